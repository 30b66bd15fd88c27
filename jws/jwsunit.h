// TJwsData: reads one JW figure file (.jws) completely and holds it until it
// is cleared or the next file is loaded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jww/archive.h"
#include "jww/jwwtype.h"

class TJwsData : public TEntityListsOf<TEntJwwMoji2> {
 public:
  std::string Signature;  // up to 7 bytes
  int32_t Version = 0;
  TIndexed<double, 1, 2> LeadReals{};
  TIndexed<int32_t, 1, 6> HeaderInts{};
  TIndexed<double, 1, 10> HeaderReals{};
  int32_t EntityCount = 0;
  int32_t BlockDefTotal = 0;
  std::vector<TEntJwwLayerGroup> LayerGroups;  // 16 once a load has opened the file
  // Entity lists (inherited): EntityOrder, Lines..BlockInserts with counts.
  std::vector<TEntJwwBlockDef2> BlockDefs;
  int32_t BlockDefCount = 0;
  std::vector<TEntJwwBlockTree> BlockTree;
  int32_t BlockTreeCount = 0;
  int32_t UsedBlockDefCount = 0;

  // Not part of the file: entity records dropped during the last load.
  int32_t AbsorbedFailures = 0;

  // Size of the fixed header.
  static constexpr size_t HeaderSize = 452;

  TJwsData();
  ~TJwsData();
  TJwsData(const TJwsData&) = delete;
  TJwsData& operator=(const TJwsData&) = delete;

  void ResetFields();
  void Clear();
  bool CheckSignature(const std::string& Path) const;
  bool LoadFromFile(const std::string& Path);
  bool LoadFromMemory(const uint8_t* Data, size_t Size, const std::string& Path = {});
  void BuildBlockTree();

 private:
  bool Load(ByteSource* Src, const std::string& Path);
};
