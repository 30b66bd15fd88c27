// TJwwData: reads one JW drawing file (.jww) completely and holds it until
// it is cleared or the next file is loaded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jww/archive.h"
#include "jww/contents.h"
#include "jww/jwwtype.h"

struct TEntJwwExtra {  // three reals and an integer (header section 13)
  double Real1 = 0, Real2 = 0, Real3 = 0;
  int32_t Int1 = 0;
  bool operator==(const TEntJwwExtra&) const = default;
};

struct TEntJwwHeader {
  std::string Signature;  // the file's first 8 bytes
  int32_t Version = 0;
  std::string Memo;  // exactly as stored, not cleaned
  TIndexed<int32_t, 1, 2> Sec4Ints{};
  TIndexed<int32_t, 1, 5> Sec7Ints{};
  int32_t Sec7Coded = 0;
  bool Sec7CodedFlag = false;
  int32_t Sec7Decoded = 0;
  TIndexed<double, 1, 3> Sec8RealsA{};
  TIndexed<int32_t, 1, 2> Sec8Ints{};
  TIndexed<double, 1, 5> Sec8RealsB{};
  // Sections 11 to 21.
  TIndexed<double, 1, 2> Sec11RealsA{};
  int32_t Sec11Int = 0;
  TIndexed<double, 1, 3> Sec11RealsB{};
  int32_t Sec12Int = 0;
  TIndexed<double, 1, 6> Sec12Reals{};
  TIndexed<double, 1, 8> Sec13RealsA{};
  TIndexed<double, 1, 8> Sec13RealsB{};
  TIndexed<double, 1, 8> Sec13RealsC{};
  TIndexed<int32_t, 1, 8> Sec13Ints{};
  TEntJwwExtra Sec13ExtraA{};
  TEntJwwExtra Sec13ExtraB{};
  TIndexed<double, 0, 9> Sec14Reals{};
  double Sec14Real = 0;
  TIndexed<int32_t, 1, 10> Sec18IntsA{};
  int32_t Sec18Units = 0;
  int32_t Sec18Tens = 0;
  int32_t ElapsedSeconds = 0;
  TIndexed<int32_t, 1, 4> Sec18IntsB{};
  TIndexed<double, 1, 5> Sec18RealsA{};
  TIndexed<double, 1, 4> Sec18RealsB{};
  TIndexed<int32_t, 1, 2> Sec18IntsC{};
  TIndexed<double, 1, 3> Sec21RealsA{};
  TIndexed<int32_t, 1, 2> Sec21Ints{};
  TIndexed<double, 1, 2> Sec21RealsB{};
  int32_t Sec21Int = 0;
  TIndexed<double, 1, 6> Sec21RealsC{};
  // Set by the body reader.
  int32_t EntityCount = 0;
  int32_t BlockDefTotal = 0;

  // Every field at its default (some reals default to 1.0, Sec13Ints to -1).
  TEntJwwHeader();
};

struct TEntJwwSec14Entry {
  int32_t Int1 = 0, Int2 = 0, Int3 = 0, Int4 = 0;
  double Real1 = 0;
};
struct TEntJwwSec16Entry {
  int32_t Int1 = 0, Int2 = 0, Int3 = 0, Int4 = 0;
};
struct TEntJwwSec17EntryA {
  int32_t Int1 = 0, Int2 = 0, Int3 = 0, Int4 = 0, Int5 = 0;
};
struct TEntJwwSec17EntryB {
  int32_t Int1 = 0, Int2 = 0, Int3 = 0, Int4 = 0;
};
struct TEntJwwColorExNo {
  int32_t Int1 = 0, Int2 = 0;
  std::string Name;
  int32_t Int3 = 0, Int4 = 0;
  double Real1 = 0;
};
struct TEntJwwLineTypeExNo {
  int32_t Int1 = 0, Int2 = 0, Int3 = 0, Int4 = 0;
  std::string Name;
  int32_t Int5 = 0;
  TIndexed<double, 1, 10> Reals{};
};
struct TEntJwwSec20Entry {
  double Real1 = 0, Real2 = 0, Real3 = 0;
  int32_t Int1 = 0;
};

class TJwwData : public TContentsOf<TEntJwwMoji> {
 public:
  TEntJwwHeader Header;
  // The nine header tables: empty after ResetFields, created at their full
  // length (16, 256, 10, 8, 5, 4, 257, 33, 10) by ReadHeader.
  std::vector<TEntJwwLayerGroup> LayerGroups;
  std::vector<TEntJwwLayer> Layers;  // Layers[g * 16 + j]: layer j of group g
  std::vector<TEntJwwSec14Entry> Sec14Table;
  std::vector<TEntJwwSec16Entry> Sec16Table;
  std::vector<TEntJwwSec17EntryA> Sec17TableA;
  std::vector<TEntJwwSec17EntryB> Sec17TableB;
  std::vector<TEntJwwColorExNo> ColorExTable;
  std::vector<TEntJwwLineTypeExNo> LineTypeExTable;
  std::vector<TEntJwwSec20Entry> Sec20Table;

  // Inherited: the entity lists (EntityOrder, Lines..BlockInserts with their
  // counts), BlockDefs, BlockDefCount, BlockTree, BlockTreeCount,
  // UsedBlockDefCount, AbsorbedFailures and BuildBlockTree.

  TJwwData();
  ~TJwwData();
  TJwwData(const TJwwData&) = delete;
  TJwwData& operator=(const TJwwData&) = delete;

  void ResetFields();
  void Clear();
  // True when the file starts with this kind's signature; when the file
  // cannot be opened, OpenError (if given) says why.
  // What a file of this kind starts with.
  static constexpr std::string_view SignatureText = "JwwData.";
  bool CheckSignature(const std::string& Path, TOpenError* OpenError = nullptr) const;
  bool LoadFromFile(const std::string& Path);
  // The same load over bytes in memory (tests, fuzzing); Path is only
  // published as LoadedFileName.
  bool LoadFromMemory(const uint8_t* Data, size_t Size, const std::string& Path = {});
  // Reads the file as LoadFromFile does, with the same result, failure and
  // skipped records, and keeps every entity and definition, but builds no
  // tree and publishes nothing. For drawing definitions.
  bool LoadDrawings(const std::string& Path);
  // Reads the file as LoadFromFile does, with the same result, failure and
  // skipped records, but keeps only the block definitions' headers and names:
  // no entity, no tree, no published value. For the search, which needs
  // nothing more.
  bool LoadBlockNames(const std::string& Path);
  // The same two loads over a source already open, from its first byte (the
  // search checks the signature on it and opens each file once).
  bool LoadDrawings(ByteSource& Src);
  bool LoadBlockNames(ByteSource& Src);
  bool LoadBlockNamesFromMemory(const uint8_t* Data, size_t Size);
  void ReadHeader(ByteSource& Src);
  void ReadBody(ByteSource& Src);

  // The archive primitives as operations of the reader (version from Header).
  std::string ReadString(ByteSource& Src);
  std::string ReadCleanString(ByteSource& Src);
  EntityAttributes ReadAttributes(ByteSource& Src);
  EntityAttributes CopyAttributes(const EntityAttributes& Source);

 private:
  friend class TContentsOf<TEntJwwMoji>;
  bool Load(ByteSource* Src, const std::string& Path);
  // The points of the shared load where a drawing differs from a figure.
  THeaderResult ReadHeaderPart(ByteSource& Src);
  void ReadBodyPart(ByteSource& Src);
  void Publish();
};

// Sec7Coded decoding: the flag and the decoded value.
void DecodeSec7(int32_t Coded, bool& Flag, int32_t& Decoded);
// "h : mm" from a number of seconds.
std::string FormatElapsedTime(int32_t Seconds);
// Splits Memo at its first CR LF.
void SplitMemo(const std::string& Memo, std::string& Line1, std::string& Line2);
