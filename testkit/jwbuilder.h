// Test-file builder: writes JW drawing files (.jww) and figure files (.jws)
// byte by byte from the format's layouts, for the reader tests, the bundled
// sample files and the fuzz seeds.
//
// It is written independently of the readers and links none of them: it keeps
// its own little-endian writer and its own object numbering. A test describes
// a drawing compactly and asks for its bytes:
//
//   jwb::Drawing d(700);
//   d.Line();
//   d.Text("abc", "");
//   d.Insert(1, 10.0, 0.0);
//   auto& def = d.Def(1, "BLOCK-A");
//   def.Line();
//   std::vector<uint8_t> bytes = d.JwwBytes();
//   size_t cut = d.LastLayout().defs[0].name;   // where the first name starts
//
// Every record, tag and count can be overridden to build malformed files.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "jww/archive.h"

namespace jwb {

using Bytes = std::vector<uint8_t>;

// A fixed table indexed Lo..Hi, numbered as the format numbers it.
template <class T, int Lo, int Hi>
struct Indexed {
  std::array<T, Hi - Lo + 1> Items{};
  T& operator[](int i) { return Items.at(static_cast<size_t>(i - Lo)); }
  const T& operator[](int i) const { return Items.at(static_cast<size_t>(i - Lo)); }
};

// How a length-prefixed string is stored: Auto picks the short form below 255
// bytes, Long forces FF + uint16 length even for a short text.
enum class StringForm { Auto, Long };
// How a count is stored: Auto picks 16 bits below 0xFFFF, Long forces
// FFFF + int32, Short writes the low 16 bits whatever the value.
enum class CountForm { Auto, Short, Long };

// Little-endian byte writer with the archive's compound items.
class ByteWriter {
 public:
  ByteWriter& U8(uint8_t v);
  ByteWriter& U16(uint16_t v);
  ByteWriter& I32(int32_t v);
  ByteWriter& U32(uint32_t v);
  ByteWriter& F64(double v);
  ByteWriter& Raw(std::span<const uint8_t> b);
  ByteWriter& Raw(std::string_view b);
  ByteWriter& Zeros(size_t n);
  // Length-prefixed string; a text over 65535 bytes keeps its first 65535.
  ByteWriter& String(std::string_view s, StringForm form = StringForm::Auto);
  // 15 bytes when Version > 350, else 13 without Attr7.
  ByteWriter& Attributes(const EntityAttributes& a, int32_t version);
  ByteWriter& Count(int64_t n, CountForm form = CountForm::Auto);
  // 0xFFFF, schema, name length, name.
  ByteWriter& NewClassTag(std::string_view name, uint16_t schema = 0);
  // 0x7FFF + uint32 class number, optionally with bit 31 set.
  ByteWriter& LongClassTag(uint32_t classNumber, bool bit31 = false);
  // 0x8000 + class number.
  ByteWriter& ShortClassTag(uint16_t classNumber);
  ByteWriter& RawTag(uint16_t tag) { return U16(tag); }

  size_t Size() const { return Data.size(); }
  const Bytes& Get() const { return Data; }
  Bytes Take() { return std::move(Data); }

 private:
  Bytes Data;
};

// Entity kinds in archive order, with their class names.
enum class Kind : int { Line = 1, Arc, Point, Text, Dimension, Solid, Block };
const char* ClassName(Kind k);
// Bytes of a kind's fixed part after the attribute record (the same at every
// version): 32, 60, 20, 68, -, 64, 44. Not defined for Dimension.
size_t FixedBodySize(Kind k);

// How one object's class tag is written. Auto: a new-class tag the first time
// a class name is met in the body, afterwards the short tag 0x8000 + class
// number (or the long form once the number reaches 0x7FFF).
struct Tag {
  enum class Form { Auto, New, Long, Short, Raw };
  Form form = Form::Auto;
  std::optional<std::string> name;  // New: the name written (default the object's class)
  std::optional<uint16_t> schema;   // New: default the drawing's ClassSchema
  std::optional<uint32_t> number;   // Long, Short: default the class's tracked number
  bool bit31 = false;               // Long only
  uint16_t raw = 0;                 // Raw only

  static Tag New(std::optional<std::string> name = std::nullopt) {
    return {Form::New, std::move(name), {}, {}, false, 0};
  }
  static Tag Long(bool bit31 = false, std::optional<uint32_t> n = std::nullopt) {
    return {Form::Long, {}, {}, n, bit31, 0};
  }
  static Tag Short(std::optional<uint32_t> n = std::nullopt) {
    return {Form::Short, {}, {}, n, false, 0};
  }
  static Tag RawTag(uint16_t v) { return {Form::Raw, {}, {}, {}, false, v}; }
};

// The default attribute record: recognisable values, PenStyle 1, PenColor 2.
EntityAttributes DefaultAttr();
EntityAttributes MakeAttr(uint8_t penStyle, uint16_t penColor, uint32_t attr0 = 0x0A0B0C0D);

// One entity record. The fixed part after the attribute record is `body`
// (FixedBodySize bytes, filled with a recognisable pattern by default); the
// tails are written only when the format asks for them.
struct Entity {
  Kind kind = Kind::Line;
  EntityAttributes attr = DefaultAttr();
  Bytes body;  // resized to FixedBodySize when written
  // Point tail, written when attr.PenStyle is 100.
  uint32_t pointInt = 0x64;
  double pointReal1 = 2.5;
  double pointReal2 = 3.5;
  // Solid tail, written when attr.PenColor is 10.
  uint32_t solidColor = 0x00C0FFEE;
  // Text strings (also the dimension's text part).
  std::string text1, text2;
  StringForm text1Form = StringForm::Auto, text2Form = StringForm::Auto;
  // Dimension only: line, text, ext line 1, ext line 2, points 1-4.
  std::vector<Entity> parts;
  uint16_t extFlag = 0x0102;
  Tag tag;

  Entity& DimLine() { return parts.at(0); }
  Entity& DimText() { return parts.at(1); }
  Entity& ExtLine(int i) { return parts.at(static_cast<size_t>(1 + i)); }   // i = 1, 2
  Entity& ExtPoint(int i) { return parts.at(static_cast<size_t>(3 + i)); }  // i = 1..4
};

Entity MakeEntity(Kind k);
// The 44 bytes of a block insertion after its attribute record.
Bytes InsertBody(double x, double y, double scaleX, double scaleY, double angle, int32_t number);

// Offsets (from the start of the file) of the pieces written by the last build.
struct ItemLayout {
  size_t tag = 0;            // the class tag
  size_t record = 0;         // first byte after the tag (for a raw item, its first byte)
  size_t end = 0;            // first byte after the item
  int32_t objectNumber = 0;  // ObjectNumber the object took (0 when it took none)
};
struct ListLayout {
  size_t count = 0;  // the count word
  std::vector<ItemLayout> items;
  size_t end = 0;
};
struct DefLayout {
  size_t tag = 0, header = 0, extra = 0, name = 0;  // extra == name when absent
  int32_t objectNumber = 0;
  ListLayout list;  // list.count is the definition's entity count
};
struct Layout {
  std::array<size_t, 22> section{};  // JWW header section n at section[n]; 0 when absent
  size_t bodyStart = 0;
  ListLayout list;
  size_t defCount = 0;
  std::vector<DefLayout> defs;
  size_t defsEnd = 0;
  size_t images = 0;  // the image count; == defsEnd when no image section
  size_t trailing = 0;
  size_t total = 0;
  std::map<std::string, uint32_t> classNumbers;  // after the body
  int32_t nextObjectNumber = 1;
};

// A counted list of archived objects: the drawing's own list or a definition's.
// Adders return a reference that stays valid while more items are added.
class EntityList {
 public:
  Entity& Add(Entity e);
  Entity& Line();
  Entity& Arc();
  Entity& Point(uint8_t penStyle = 1);
  Entity& Text(std::string s1 = "", std::string s2 = "");
  Entity& Dim(std::string s1 = "", std::string s2 = "");
  Entity& Solid(uint16_t penColor = 2);
  Entity& Insert(int32_t blockNumber, double x = 0.0, double y = 0.0, double scaleX = 1.0,
                 double scaleY = 1.0, double angle = 0.0);
  // Bytes written as they are, in place of an object; `names` class names and
  // `objects` objects are counted into the numbering. Not counted as entities.
  void Raw(Bytes b, int names = 0, int objects = 0);
  // A new-class tag with an unknown name followed by `payload`: counts one
  // class name, and one object when `isObject`. Not counted as an entity.
  void UnknownClass(std::string name, Bytes payload = {}, bool isObject = false);
  // Announce `n` entities instead of the number added, in the given form.
  void SetCount(int64_t n, CountForm form = CountForm::Auto) {
    countOverride = n;
    countForm = form;
  }
  void SetCountForm(CountForm form) { countForm = form; }
  size_t EntityCount() const;

  struct Item {
    bool isEntity = true;
    Entity entity;
    Bytes raw;
    int names = 0, objects = 0;
  };
  std::deque<Item> items;
  std::optional<int64_t> countOverride;
  CountForm countForm = CountForm::Auto;
};

// One block definition: tag, header (Attr, Number, Word2, Stamp), 8 extra
// bytes when Stamp is negative, name, entity count and entities.
class BlockDef : public EntityList {
 public:
  EntityAttributes attr = DefaultAttr();
  int32_t number = 0;
  uint32_t word2 = 0x57570202;
  int32_t stamp = 0;
  std::array<uint8_t, 8> extra{0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8};
  std::string name;
  StringForm nameForm = StringForm::Auto;
  std::string className = "CDataList";
  Tag tag;
};

struct LayerValues {
  int32_t Int1 = 0, Int2 = 0;
  std::string Name;
};
struct LayerGroupValues {
  int32_t Int1 = 0, Int2 = 0;
  double Real1 = 0.0;
  int32_t Int3 = 0;
  std::string Name;
  std::array<LayerValues, 16> Layers;
};
struct RealsInt {
  double Real1 = 0, Real2 = 0, Real3 = 0;
  int32_t Int1 = 0;
};
struct Sec13Record {
  double RealA = 0, RealB = 0, RealC = 0;
  int32_t Int = 0;
};
struct Sec14Entry {
  int32_t Int1 = 0, Int2 = 0, Int3 = 0, Int4 = 0;
  double Real1 = 0;
};
struct ColorEx {
  int32_t Int1 = 0, Int2 = 0;
  std::string Name;
  int32_t Int3 = 0, Int4 = 0;
  double Real1 = 0;
};
struct LineTypeEx {
  int32_t Int1 = 0, Int2 = 0, Int3 = 0, Int4 = 0;
  std::string Name;
  int32_t Int5 = 0;
  Indexed<double, 1, 10> Reals;
};

// Every value of a JWW header. The constructor gives each number a distinct,
// recognisable value (integers near 100 × section, reals section.fraction),
// strings are empty, the memo too.
struct JwwHeader {
  JwwHeader();
  std::string Signature = "JwwData.";  // written as is, whatever its length
  std::string Memo;
  StringForm MemoForm = StringForm::Auto;
  Indexed<int32_t, 1, 2> Sec4Ints;
  std::array<LayerGroupValues, 16> LayerGroups;  // section 5, 9 and 10
  std::array<uint8_t, 56> Sec6{};
  Indexed<int32_t, 1, 5> Sec7Ints;
  int32_t Sec7Unused = 0;
  int32_t Sec7Coded = 0;
  Indexed<double, 1, 3> Sec8RealsA;
  Indexed<int32_t, 1, 2> Sec8Ints;
  Indexed<double, 1, 5> Sec8RealsB;
  Indexed<double, 1, 2> Sec11RealsA;
  int32_t Sec11Int = 0;
  Indexed<double, 1, 3> Sec11RealsB;
  int32_t Sec12Int = 0;
  Indexed<double, 1, 6> Sec12Reals;
  Indexed<Sec13Record, 1, 8> Sec13;
  RealsInt Sec13ExtraA, Sec13ExtraB;
  Indexed<double, 0, 9> Sec14Reals;
  double Sec14Real = 0;
  std::array<Sec14Entry, 10> Sec14Table;  // sections 14 and 15
  std::array<std::array<int32_t, 4>, 8> Sec16Table{};
  std::array<std::array<int32_t, 5>, 5> Sec17TableA{};
  std::array<std::array<int32_t, 4>, 4> Sec17TableB{};
  Indexed<int32_t, 1, 10> Sec18IntsA;
  int32_t Sec18T = 47;  // tens and units
  int32_t ElapsedSeconds = 3725;
  Indexed<int32_t, 1, 4> Sec18IntsB;
  Indexed<double, 1, 5> Sec18RealsA;
  Indexed<double, 1, 4> Sec18RealsB;
  Indexed<int32_t, 1, 2> Sec18IntsC;
  std::array<ColorEx, 257> ColorExTable;
  std::array<LineTypeEx, 33> LineTypeExTable;
  std::array<RealsInt, 10> Sec20Table;
  Indexed<double, 1, 3> Sec21RealsA;
  Indexed<int32_t, 1, 2> Sec21Ints;
  Indexed<double, 1, 2> Sec21RealsB;
  int32_t Sec21Int = 0;
  Indexed<double, 1, 6> Sec21RealsC;
};

// The 452-byte JWS header; the version comes from the drawing.
struct JwsHeader {
  JwsHeader();
  std::string Signature = "JwsData";  // zero-padded (or cut) to the 200-byte area
  Indexed<double, 1, 2> LeadReals;
  std::array<double, 16> GroupReals{};
  Indexed<int32_t, 1, 6> HeaderInts;
  Indexed<double, 1, 10> HeaderReals;
};

struct BoundImage {
  std::string name;
  Bytes data;
  std::optional<int32_t> size;  // default data.size()
};

// A whole drawing or figure: the entity list (inherited), the block
// definitions, the headers and what follows the definitions.
class Drawing : public EntityList {
 public:
  explicit Drawing(int32_t version = 700)
      : version(version), classSchema(static_cast<uint16_t>(version)) {}

  // Adds a definition with this number and name.
  BlockDef& Def(int32_t number, std::string name);
  // Announce `n` definitions instead of the number added.
  void SetDefCount(int64_t n, CountForm form = CountForm::Auto) {
    defCountOverride = n;
    defCountForm = form;
  }

  Bytes JwwBytes();
  Bytes JwsBytes();
  // The body alone (entity list, definitions), numbered from offset `base`.
  Bytes BodyBytes(size_t base = 0);
  // Offsets of the last JwwBytes / JwsBytes / BodyBytes.
  const Layout& LastLayout() const { return layout; }

  int32_t version;
  uint16_t classSchema;  // schema number in new-class tags; default the version
  JwwHeader jww;
  JwsHeader jws;
  std::deque<BlockDef> defs;
  std::optional<int64_t> defCountOverride;
  CountForm defCountForm = CountForm::Auto;
  std::optional<std::vector<BoundImage>> images;  // JWW, version >= 700 only
  std::optional<int32_t> imageCount;              // default images->size()
  Bytes trailing;                                 // after everything

 private:
  void WriteBody(ByteWriter& w, size_t base);
  void WriteTail(ByteWriter& w, bool withImages);
  Layout layout;
};

// Writes only the JWW header (sections 1 to 21); fills layout.section.
void WriteJwwHeader(ByteWriter& w, int32_t version, const JwwHeader& h, Layout* layout = nullptr);
void WriteJwsHeader(ByteWriter& w, int32_t version, const JwsHeader& h);

// The first n bytes of b (all of b when n is larger).
Bytes Cut(const Bytes& b, size_t n);
// Overwrites bytes of b at offset (which must lie inside b).
void PokeU16(Bytes& b, size_t offset, uint16_t v);
void PokeI32(Bytes& b, size_t offset, int32_t v);
// Writes b to path, replacing the file; throws std::runtime_error on failure.
void WriteFile(const std::string& path, const Bytes& b);

}  // namespace jwb
