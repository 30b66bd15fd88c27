// TJwsData: reads one JW figure file (.jws) completely and holds it until it
// is cleared or the next file is loaded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jww/archive.h"
#include "jww/contents.h"
#include "jww/jwwtype.h"

class TJwsData : public TContentsOf<TEntJwwMoji2> {
 public:
  std::string Signature;  // up to 7 bytes
  int32_t Version = 0;
  TIndexed<double, 1, 2> LeadReals{};
  TIndexed<int32_t, 1, 6> HeaderInts{};
  TIndexed<double, 1, 10> HeaderReals{};
  int32_t EntityCount = 0;
  int32_t BlockDefTotal = 0;
  std::vector<TEntJwwLayerGroup> LayerGroups;  // 16 once a load has opened the file
  // Inherited: the entity lists (EntityOrder, Lines..BlockInserts with their
  // counts), BlockDefs, BlockDefCount, BlockTree, BlockTreeCount,
  // UsedBlockDefCount, AbsorbedFailures and BuildBlockTree.

  // Size of the fixed header.
  static constexpr size_t HeaderSize = 452;

  TJwsData();
  ~TJwsData();
  TJwsData(const TJwsData&) = delete;
  TJwsData& operator=(const TJwsData&) = delete;

  void ResetFields();
  void Clear();
  // True when the file starts with this kind's signature; when the file
  // cannot be opened, OpenError (if given) says why.
  // What a file of this kind starts with.
  static constexpr std::string_view SignatureText = "JwsData";
  bool CheckSignature(const std::string& Path, TOpenError* OpenError = nullptr) const;
  bool LoadFromFile(const std::string& Path);
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

 private:
  friend class TContentsOf<TEntJwwMoji2>;
  bool Load(ByteSource* Src, const std::string& Path);
  // The points of the shared load where a figure differs from a drawing.
  THeaderResult ReadHeaderPart(ByteSource& Src);
  void ReadBodyPart(ByteSource& Src);
  void Publish();
};
