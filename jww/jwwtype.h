// Record types shared by the drawing-file and figure-file readers.
//
// The fixed parts of entity records are held byte for byte as the file has
// them (in the 15-byte attribute layout), so a record's memory layout is its
// file layout from version 351 on, plus its tail.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "jww/archive.h"

// A fixed-length table indexed Lo..Hi, as the file format numbers it.
template <class T, int Lo, int Hi>
struct TIndexed {
  static_assert(Hi >= Lo);
  std::array<T, Hi - Lo + 1> Items{};
  T& operator[](int i) { return Items.at(static_cast<size_t>(i - Lo)); }
  const T& operator[](int i) const { return Items.at(static_cast<size_t>(i - Lo)); }
  static constexpr int Low() { return Lo; }
  static constexpr int High() { return Hi; }
  void Fill(const T& v) { Items.fill(v); }
  bool operator==(const TIndexed&) const = default;
};

// Entity kinds in archive order.
enum EntityKind : int32_t {
  KindNone = 0,
  KindLine = 1,
  KindArc = 2,
  KindPoint = 3,
  KindText = 4,
  KindDimension = 5,
  KindSolid = 6,
  KindBlock = 7,
};
inline constexpr int KindCount = 7;
// Class names of kinds 1..7, compared byte for byte.
inline constexpr const char* EntityClassNames[KindCount] = {
    "CDataSen", "CDataEnko", "CDataTen", "CDataMoji", "CDataSunpou", "CDataSolid", "CDataBlock"};

#pragma pack(push, 1)
struct TEntJwwSen {  // line, 47 bytes
  EntityAttributes Attr;
  uint8_t Geometry[32];
};
struct TEntJwwEnko {  // arc or circle, 75 bytes
  EntityAttributes Attr;
  uint8_t Geometry[60];
};
struct TEntJwwTen {  // point, 55 bytes: 35 fixed, 20 tail
  EntityAttributes Attr;
  uint8_t Geometry[20];
  uint32_t ExtraInt;  // PointExtra
  double ExtraReal1;  // PointExtra
  double ExtraReal2;  // PointExtra
};
struct TEntJwwSolid {  // solid, 83 bytes: 79 fixed, 4 tail
  EntityAttributes Attr;
  uint8_t Geometry[64];
  uint32_t SolidColor;
};
struct TEntJwwBlock {  // block insertion, 59 bytes
  EntityAttributes Attr;
  double X;
  double Y;
  double ScaleX;
  double ScaleY;
  double Angle;  // radians
  int32_t BlockNumber;
};
#pragma pack(pop)
static_assert(sizeof(TEntJwwSen) == 47);
static_assert(sizeof(TEntJwwEnko) == 75);
static_assert(sizeof(TEntJwwTen) == 55);
static_assert(sizeof(TEntJwwSolid) == 83);
static_assert(sizeof(TEntJwwBlock) == 59);

// Size of a text record's fixed part in files from version 351 on.
inline constexpr size_t MojiFixedSize = 83;

// A text of a drawing file: the 83-byte fixed part and two strings, each
// capped at 255 bytes (the drawing program holds them as short strings).
struct TEntJwwMoji {
  static constexpr size_t MaxTextLength = 255;
  EntityAttributes Attr;
  uint8_t Fixed[68];
  std::string Text1;
  std::string Text2;
};
// A text of a figure file: the same, with both strings kept whole.
struct TEntJwwMoji2 {
  static constexpr size_t MaxTextLength = 65535;
  EntityAttributes Attr;
  uint8_t Fixed[68];
  std::string Text1;
  std::string Text2;
};

// A dimension: its own attributes, the dimension line, the text, and from
// version 420 the extension lines and points.
template <class Moji>
struct TDimensionOf {
  EntityAttributes Attr;
  TEntJwwSen DimLine;
  Moji DimText;
  uint16_t ExtFlag;
  TEntJwwSen ExtLine1;
  TEntJwwSen ExtLine2;
  TEntJwwTen ExtPoints[4];
};
using TEntJwwSunpo = TDimensionOf<TEntJwwMoji>;
using TEntJwwSunpo2 = TDimensionOf<TEntJwwMoji2>;

// One slot of EntityOrder: kind 1..7 and the index in that kind's array;
// (0, 0) marks an empty slot.
struct TEntJwwOrder {
  int32_t Kind;
  int32_t Index;
  bool operator==(const TEntJwwOrder&) const = default;
};

// The entity lists of a drawing, a figure or one block definition. Each
// array holds exactly its count of records once its list has been read.
template <class Moji>
struct TEntityListsOf {
  std::vector<TEntJwwOrder> EntityOrder;
  int32_t LineCount = 0;
  int32_t ArcCount = 0;
  int32_t PointCount = 0;
  int32_t TextCount = 0;
  int32_t DimensionCount = 0;
  int32_t SolidCount = 0;
  int32_t BlockInsertCount = 0;
  std::vector<TEntJwwSen> Lines;
  std::vector<TEntJwwEnko> Arcs;
  std::vector<TEntJwwTen> Points;
  std::vector<Moji> Texts;
  std::vector<TDimensionOf<Moji>> Dimensions;
  std::vector<TEntJwwSolid> Solids;
  std::vector<TEntJwwBlock> BlockInserts;

  // Releases every list and sets the counts to 0.
  void ClearLists() { *this = TEntityListsOf(); }
};

// Empties V and gives its storage back (assigning {} would keep it).
template <class T>
void ReleaseVector(std::vector<T>& V) {
  std::vector<T>().swap(V);
}

// What the search keeps of a definition's drawing while it reads only the
// names: the texts the definition draws itself (its text records' texts and
// its dimensions' texts, after cleaning, each once, in file order) and the
// numbers of the definitions it places. The texts of the blocks it places
// are joined in only after the whole file is read.
struct TDefinitionFinds {
  // The texts of a definition are listed up to this many bytes (CP932, as
  // stored, with one byte between texts); more is cut off with "…".
  static constexpr size_t ListedBytes = 1024;
  // Kept while reading: twice the listed bytes, because a definition that
  // places this one may already hold up to ListedBytes of its texts and
  // must still be able to fill its own list from the rest.
  static constexpr size_t KeptBytes = 2 * ListedBytes;
  // Each text followed by '\n' (no cleaned text holds a control byte), all
  // after one leading '\n', so that "\n" + text + "\n" finds a text again.
  std::string Texts = std::string(1, '\n');
  // (bytes of Texts before the placement, the placed definition's number)
  std::vector<std::pair<uint32_t, int32_t>> Placed;

  bool Full() const { return Texts.size() > KeptBytes; }
  void AddText(std::string_view Text) {
    if (Text.empty() || Full()) return;
    if (Text.find('\n') != std::string_view::npos) {
      // A damaged text may still hold the byte as the second of a pair.
      std::string safe(Text);
      std::replace(safe.begin(), safe.end(), '\n', '?');
      AddText(safe);
      return;
    }
    for (size_t at = Texts.find(Text, 1); at != std::string::npos; at = Texts.find(Text, at + 1)) {
      if (Texts[at - 1] == '\n' && Texts[at + Text.size()] == '\n') return;  // held already
    }
    Texts += Text;
    Texts += '\n';
  }
  // Once the texts are full, what a placement would add is never listed; a
  // placement of the definition placed just before adds nothing either.
  void AddPlacement(int32_t Number) {
    if (Full() || (!Placed.empty() && Placed.back().second == Number)) return;
    Placed.emplace_back(static_cast<uint32_t>(Texts.size()), Number);
  }
};

// One block definition.
template <class Moji>
struct TBlockDefOf : TEntityListsOf<Moji> {
  EntityAttributes Attr{};
  int32_t Number = 0;
  uint32_t Word2 = 0;
  int32_t Stamp = 0;
  std::string Name;
  int32_t EntityCount = 0;
  bool Used = false;
  int32_t Serial = 0;
  // Filled by the names-only load alone.
  TDefinitionFinds Finds;
};
using TEntJwwBlockDef = TBlockDefOf<TEntJwwMoji>;
using TEntJwwBlockDef2 = TBlockDefOf<TEntJwwMoji2>;

// One placement of a block definition, anywhere in the drawing.
struct TEntJwwBlockTree {
  EntityAttributes Attr{};
  int32_t Level = 0;
  int32_t Parent = -1;
  int32_t BlockNumber = 0;
  int32_t DefIndex = -1;
  // The placed definition's name. It views that definition's Name in the
  // reader that built the tree (a node per placement must not copy a name of
  // up to 64 KiB up to a million times), so it is valid while the reader
  // holds the file: until its next Clear or load.
  std::string_view Name;
  double OriginX = 0, OriginY = 0;
  double M11 = 0, M12 = 0, M21 = 0, M22 = 0;
};

struct TEntJwwLayerGroup {
  int32_t Int1 = 0;
  int32_t Int2 = 0;
  double Real1 = 0;
  int32_t Int3 = 0;
  std::string Name;
  bool operator==(const TEntJwwLayerGroup&) const = default;
};

struct TEntJwwLayer {
  int32_t Int1 = 0;
  int32_t Int2 = 0;
  std::string Name;
  bool operator==(const TEntJwwLayer&) const = default;
};

// An image bound into a drawing (from version 700). Never read: the table of
// them only exists so that it can be emptied.
struct TBindImageType {
  std::string Name;
  int32_t Size = 0;
  uint32_t Reserved = 0;
};
// Empties the process-wide table of bound images.
void ClearImageTable();
// Number of entries in that table (always 0: nothing fills it).
int32_t BindImageCount();

// Values a load reports about the file it read last. Nothing in Quillon reads
// them; each thread has its own, so that loads on worker threads do not race.
extern thread_local std::string LoadedFileName;
extern thread_local std::string ElapsedTimeText;
extern thread_local std::string MemoLine1;
extern thread_local std::string MemoLine2;
extern thread_local double LoadedSec8Real;
