// The search's names-only load against the full load: on whole files, on
// every cut of them and on damaged bytes, both must end the same way with the
// same definitions.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "testkit/reader_checks.h"
#include "testkit/sample_drawings.h"

namespace {

template <class Reader>
std::string Agreement(const uint8_t* Data, size_t Size) {
  auto full = std::make_unique<Reader>();
  const bool result = full->LoadFromMemory(Data, Size);
  return readercheck::CheckNamesOnlyAgrees(*full, result, Data, Size);
}

template <class Reader>
void ExpectAgreement(const std::vector<uint8_t>& Bytes, const std::string& What) {
  // Every cut, and a byte turned over at every position (a stride keeps the
  // larger files quick).
  const size_t stride = Bytes.size() > 4000 ? 7 : 1;
  for (size_t cut = 0; cut <= Bytes.size(); cut += stride) {
    ASSERT_EQ(Agreement<Reader>(Bytes.data(), cut), "") << What << " cut at " << cut;
  }
  std::vector<uint8_t> damaged = Bytes;
  for (size_t at = 0; at < damaged.size(); at += stride) {
    damaged[at] ^= 0xA5;
    ASSERT_EQ(Agreement<Reader>(damaged.data(), damaged.size()), "")
        << What << " byte " << at << " turned";
    damaged[at] = Bytes[at];
  }
}

TEST(NamesOnlyLoad, AgreesWithTheFullLoadOnWholeCutAndDamagedFiles) {
  for (const int32_t version : samples::VersionClasses()) {
    jwb::Drawing d = samples::EveryKind(version);
    ExpectAgreement<TJwwData>(d.JwwBytes(), "drawing v" + std::to_string(version));
    ExpectAgreement<TJwsData>(d.JwsBytes(), "figure v" + std::to_string(version));
  }
  for (auto& [name, d] : samples::Specials()) {
    ExpectAgreement<TJwwData>(d.JwwBytes(), name);
  }
}

}  // namespace
