#include "jws/jwsunit.h"

#include <optional>

#include "jww/body.h"

namespace {

// Size of the class-name buffer of the figure-file body.
constexpr size_t ClassNameBuffer = 200;
// The header opens with a 200-byte field whose first 7 bytes are the
// signature "JwsData".
constexpr size_t SignatureField = 200;
constexpr size_t SignatureSize = 7;

}  // namespace

TJwsData::TJwsData() {
  ResetFields();
}

TJwsData::~TJwsData() {
  Clear();
}

void TJwsData::ResetFields() {
  Signature.clear();
  Version = 0;
  LeadReals = {};
  HeaderInts = {};
  HeaderReals = {};
  EntityCount = 0;
  BlockDefTotal = 0;
  ReleaseVector(LayerGroups);
  ResetContents();
}

void TJwsData::Clear() {
  ReleaseDefinitionLists();
  ResetFields();
}

bool TJwsData::CheckSignature(const std::string& Path, TOpenError* OpenError) const {
  return FileStartsWith(Path, SignatureText, OpenError);
}

bool TJwsData::LoadFromFile(const std::string& Path) {
  return Load(nullptr, Path);
}

bool TJwsData::LoadDrawings(const std::string& Path) {
  return LoadInMode(*this, nullptr, Path, TLoadMode::Drawings);
}

bool TJwsData::LoadDrawings(ByteSource& Src) {
  return LoadInMode(*this, &Src, {}, TLoadMode::Drawings);
}

bool TJwsData::LoadBlockNames(ByteSource& Src) {
  return LoadNamesWith(*this, &Src, {});
}

bool TJwsData::LoadBlockNames(const std::string& Path) {
  return LoadNamesWith(*this, nullptr, Path);
}

bool TJwsData::LoadBlockNamesFromMemory(const uint8_t* Data, size_t Size) {
  ByteSource src(std::span<const uint8_t>(Data, Size));
  return LoadNamesWith(*this, &src, {});
}

bool TJwsData::LoadFromMemory(const uint8_t* Data, size_t Size, const std::string& Path) {
  ByteSource src(std::span<const uint8_t>(Data, Size));
  return Load(&src, Path);
}

bool TJwsData::Load(ByteSource* Memory, const std::string& Path) {
  return LoadWith(*this, Memory, Path);
}

TJwsData::THeaderResult TJwsData::ReadHeaderPart(ByteSource& S) {
  LayerGroups.assign(16, TEntJwwLayerGroup{});
  // The header is read field by field, so that a file cut inside it keeps
  // the fields before the cut.
  const uint8_t* p = S.Take(SignatureSize);
  Signature.assign(reinterpret_cast<const char*>(p), SignatureSize);
  S.Take(SignatureField - SignatureSize);
  Version = S.ReadInt32();
  LeadReals[1] = S.ReadDouble();
  LeadReals[2] = S.ReadDouble();
  for (TEntJwwLayerGroup& g : LayerGroups) {
    g.Int1 = 2;
    g.Int2 = 0;
    g.Real1 = S.ReadDouble();  // the group's scale
    g.Int3 = 0;
  }
  for (int i = 1; i <= 6; ++i) HeaderInts[i] = S.ReadInt32();
  for (int i = 1; i <= 10; ++i) HeaderReals[i] = S.ReadDouble();
  return THeaderResult::Read;
}

void TJwsData::ReadBodyPart(ByteSource& S) {
  ReadEntitiesAndDefinitions(S, Version, ClassNameBuffer, EntityCount, BlockDefTotal);
}

void TJwsData::Publish() {
  ElapsedTimeText.clear();
  MemoLine1.clear();
  MemoLine2.clear();
  LoadedSec8Real = 1.0;
}
