// Hostile inputs that once cost far too much: each must load within the
// memory the reader checks allow and list exactly the definitions it holds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/search.h"
#include "testkit/hostile_files.h"
#include "testkit/reader_checks.h"

namespace {

TEST(HostileFiles, EndQuicklyInSmallMemoryWithTheRowsTheyHold) {
  struct Case {
    jwb::Bytes Bytes;
    bool Loads;
    int32_t Names;    // rows the search lists
    int32_t MinTree;  // tree nodes at least (0: none)
  } const cases[] = {
      {hostile::CollidingNumbers(2000), true, 2001, jwbody::MaxTreeNodes / 2},
      {hostile::ZerosAnnouncingDefinitions(1 << 16, 3587233), false, 0, 0},
      {hostile::ZerosAnnouncingEntities(1 << 16, 0x7FFFFFFF), false, 0, 0},
      {hostile::SelfPlacing(), true, 1, jwbody::MaxTreeNodes / 2},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    auto r = std::make_unique<TJwwData>();
    const bool loaded = r->LoadFromMemory(c.Bytes.data(), c.Bytes.size());
    EXPECT_EQ(loaded, c.Loads) << i;
    EXPECT_EQ(readercheck::CheckLoaded(*r, loaded, c.Bytes.size()), "") << i;
    EXPECT_EQ(r->BlockDefCount, c.Names) << i;
    EXPECT_GE(r->BlockTreeCount, c.MinTree) << i;
    EXPECT_LE(r->BlockTreeCount, jwbody::MaxTreeNodes) << i;
    r->Clear();
    EXPECT_EQ(r->LoadBlockNamesFromMemory(c.Bytes.data(), c.Bytes.size()), c.Loads) << i;
    EXPECT_EQ(r->BlockDefCount, c.Names) << i;
    EXPECT_EQ(r->BlockTreeCount, 0) << "the search builds no tree, " << i;
  }
}

}  // namespace
