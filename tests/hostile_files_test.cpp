// Hostile inputs that once cost far too much: each must load within the
// memory the reader checks allow and list exactly the definitions it holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/catalog.h"
#include "app/preview.h"
#include "app/search.h"
#include "app/thumbnail.h"
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

// The drawings of a file that places much from little: the catalog's page
// and the preview stay within their bounds, and say so where they cut.
TEST(HostileFiles, DrawingsStayWithinTheirBoundsAndSayWhereTheyCut) {
  struct Case {
    const char* Name;
    jwb::Bytes Bytes;
    bool CutShort;  // some drawing
  } const cases[] = {
      {"texts.jws", hostile::PlacedTexts(4096, 50, 40, true), true},
      {"shuffled.jww", hostile::ShuffledDefinitions(2000), false},
      {"walks.jww", hostile::EmptyPlacementWalks(20, 100), false},
      {"arcs.jww", hostile::PlacedArcs(300, 200), true},
  };
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "quillon-hostile-draw";
  std::filesystem::create_directories(dir);
  for (const Case& c : cases) {
    const std::string path = (dir / c.Name).string();
    jwb::WriteFile(path, c.Bytes);
    const TDrawLimits file = CatalogFileLimits(c.Bytes.size());
    TJwwData jww;
    TJwsData jws;
    size_t page = 0, rows = 0, thumbnail = 0;
    bool cut = false;
    std::string last;
    ReadFileDrawings(
        path, jww, jws, [](const std::string&) { return true; },
        [&](int, const std::string& Name, const TDisplayList& List) {
          page += SvgDrawing(List, 240, 170, false).size();
          thumbnail = std::max(thumbnail, CompactThumbnail(List).size());
          cut = cut || List.CutShort;
          ++rows;
          last = Name;
        });
    EXPECT_LE(page, file.Bytes + rows * 1024) << c.Name;
    EXPECT_EQ(cut, c.CutShort) << c.Name;
    EXPECT_LE(thumbnail, MaxThumbnailBytes) << c.Name;

    // The preview of the last definition (the one that places the most).
    TPreviewSource source;
    const TPreview p = source.Build(path, static_cast<int>(rows) - 1, last);
    ASSERT_TRUE(p.List) << c.Name << p.ProblemEn;
    EXPECT_LE(p.List->ShapeCount(), CatalogDrawLimits.Shapes) << c.Name;
    EXPECT_LE(p.List->Bytes, std::min(CatalogDrawLimits.Bytes, file.Bytes)) << c.Name;
    EXPECT_EQ(p.List->CutShort, c.CutShort) << c.Name;
    std::vector<TVec2> points;
    TArcFlattener arcs(FitToPane(p.List->Bounds, 400, 300, 8), 400, 300);
    for (const TDrawnArc& a : p.List->Arcs) arcs.Flatten(a, points);
    EXPECT_LE(points.size(), MaxPaneArcPoints + 9 * p.List->Arcs.size()) << c.Name;
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
