// Block drawings: where each kind of record lands after nested placements,
// the bounds on self-placing definitions, previews of files that went away
// or changed, and the SVG text of a drawing.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numbers>

#include "app/catalog.h"
#include "app/displaylist.h"
#include "app/preview.h"
#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
#include "testkit/jwbuilder.h"

namespace fs = std::filesystem;

namespace {

jwb::Bytes Reals(std::initializer_list<double> Values, std::initializer_list<uint32_t> Ints = {}) {
  jwb::ByteWriter w;
  for (double v : Values) w.F64(v);
  for (uint32_t v : Ints) w.U32(v);
  return w.Take();
}

// A point (x, y) of INNER is drawn in OUTER at (10 - 2y, 5 + 6x): OUTER
// places MID at (0, 5) scaled (1, 3); MID places INNER at (10, 0) scaled 2
// and turned a right angle.
TDisplayList Nested(const std::function<void(jwb::BlockDef&)>& FillInner, int32_t Version = 700) {
  jwb::Drawing d(Version);
  d.Def(1, "OUTER").Insert(2, 0, 5, 1, 3, 0);
  d.Def(2, "MID").Insert(3, 10, 0, 2, 2, std::numbers::pi / 2);
  FillInner(d.Def(3, "INNER"));
  const jwb::Bytes bytes = d.JwwBytes();
  TJwwData r;
  EXPECT_TRUE(r.LoadFromMemory(bytes.data(), bytes.size()));
  return BuildDisplayList(r, 0);
}

void ExpectAt(TVec2 Got, double X, double Y, const char* What) {
  EXPECT_NEAR(Got.X, X, 1e-9) << What;
  EXPECT_NEAR(Got.Y, Y, 1e-9) << What;
}

TEST(DisplayList, EachKindLandsWhereItsPlacementsPutIt) {
  {
    const TDisplayList l = Nested([](jwb::BlockDef& D) { D.Line().body = Reals({1, 2, 3, 4}); });
    ASSERT_EQ(l.Lines.size(), 1u);
    ExpectAt(l.Lines[0].A, 6, 11, "line start");
    ExpectAt(l.Lines[0].B, 2, 23, "line end");
    EXPECT_EQ(l.Lines[0].Color, PenColorRgb(2));
    EXPECT_DOUBLE_EQ(l.Bounds.MinX, 2);
    EXPECT_DOUBLE_EQ(l.Bounds.MaxY, 23);
  }
  {
    const TDisplayList l = Nested([](jwb::BlockDef& D) {
      D.Arc().body = Reals({1, 2, 1, 0, 0, 0, 0.5}, {1});  // a whole ellipse, half as high
    });
    ASSERT_EQ(l.Arcs.size(), 1u);
    ExpectAt(l.Arcs[0].Centre, 6, 11, "centre");
    ExpectAt(l.Arcs[0].U, 0, 6, "major axis");
    ExpectAt(l.Arcs[0].V, -1, 0, "minor axis");
    EXPECT_NEAR(l.Arcs[0].Sweep, 2 * std::numbers::pi, 1e-12);
    EXPECT_NEAR(l.Bounds.MinX, 5, 1e-9);
    EXPECT_NEAR(l.Bounds.MaxY, 17, 1e-9);
  }
  {
    const TDisplayList l = Nested([](jwb::BlockDef& D) {
      D.Point().body = Reals({1, 2}, {0});
      D.Point().body = Reals({7, 7}, {1});  // temporary: not drawn
    });
    ASSERT_EQ(l.Points.size(), 1u);
    ExpectAt(l.Points[0].P, 6, 11, "point");
  }
  {
    const TDisplayList l = Nested([](jwb::BlockDef& D) {
      jwb::Entity& s = D.Solid(10);
      s.body = Reals({0, 0, 1, 0, 1, 1, 0, 1});
      s.solidColor = 0x00332211;  // 0x00BBGGRR
    });
    ASSERT_EQ(l.Solids.size(), 1u);
    ExpectAt(l.Solids[0].Corner[2], 8, 11, "third corner");
    EXPECT_EQ(l.Solids[0].Color, 0x112233u);
  }
  {
    const TDisplayList l = Nested([](jwb::BlockDef& D) {
      jwb::ByteWriter w;
      w.F64(1).F64(2).F64(3).F64(2).U32(0).F64(0.5).F64(1).F64(0).F64(0);
      D.Text("font", "A<&\"\x82\xa0").body = w.Take();
    });
    ASSERT_EQ(l.Texts.size(), 1u);
    ExpectAt(l.Texts[0].Origin, 6, 11, "text origin");
    ExpectAt(l.Texts[0].Advance, 0, 12, "baseline");
    ExpectAt(l.Texts[0].Up, -2, 0, "up");
    EXPECT_EQ(l.Texts[0].Text, "A<&\"あ");
  }
  // A dimension: its line and text, and from version 420 its extension
  // lines and points.
  for (int32_t version : {400, 700}) {
    const TDisplayList l = Nested(
        [](jwb::BlockDef& D) {
          jwb::Entity& dim = D.Dim("font", "100");
          for (jwb::Entity& part : dim.parts) std::fill(part.body.begin(), part.body.end(), 0);
        },
        version);
    EXPECT_EQ(l.Lines.size(), version >= 420 ? 3u : 1u) << version;
    EXPECT_EQ(l.Texts.size(), 1u);
    EXPECT_EQ(l.Points.size(), version >= 420 ? 4u : 0u);
  }
}

TEST(DisplayList, SelfPlacingDefinitionsEnd) {
  struct TCase {
    const char* What;
    int Placements;  // of itself
    size_t Lines;
  };
  for (const TCase& c : {TCase{"once: cut at the depth bound", 1, MaxPlacementDepth + 1},
                         TCase{"twice: cut at the placement bound", 2, MaxPlacements}}) {
    jwb::Drawing d(700);
    jwb::BlockDef& def = d.Def(1, "SELF");
    def.Line().body = Reals({0, 0, 1, 1});
    for (int i = 0; i < c.Placements; ++i) def.Insert(1, 1, 0);
    const jwb::Bytes bytes = d.JwwBytes();
    TJwwData r;
    ASSERT_TRUE(r.LoadFromMemory(bytes.data(), bytes.size()));
    const TDisplayList l = BuildDisplayList(r, 0);
    EXPECT_TRUE(l.CutShort) << c.What;
    EXPECT_LE(l.Lines.size(), c.Lines) << c.What;
    EXPECT_GE(l.Lines.size(), MaxPlacementDepth + 1u) << c.What;
  }
}

TEST(Catalog, DrawingsOfAFileStayWithinTheirBounds) {
  jwb::Drawing d(700);
  for (int32_t n = 1; n <= 8; ++n) {
    jwb::BlockDef& def = d.Def(n, "SELF");
    def.Line().body = Reals({0, 0, 1, 1});
    def.Insert(n, 1, 0);
    def.Insert(n, 0, 1);
  }
  const fs::path path = fs::temp_directory_path() / "quillon-catalog-bounds.jww";
  jwb::WriteFile(path.string(), d.JwwBytes());
  const TDrawLimits file = CatalogFileLimits(fs::file_size(path));
  TJwwData jww;
  TJwsData jws;
  size_t total = 0, bytes = 0, drawings = 0;
  const TFileOutcome outcome = ReadFileDrawings(
      path.string(), jww, jws, [](const std::string&) { return true; },
      [&](int, const std::string&, const TDisplayList& List) {
        EXPECT_LE(List.ShapeCount(), CatalogDrawLimits.Shapes);
        EXPECT_TRUE(List.CutShort);
        total += List.ShapeCount();
        bytes += List.Bytes;
        ++drawings;
      });
  fs::remove(path);
  EXPECT_EQ(outcome.Kind, TOutcomeKind::Complete);
  EXPECT_EQ(drawings, 8u);
  EXPECT_LE(total, file.Shapes);
  EXPECT_LE(bytes, file.Bytes);
  EXPECT_GT(bytes + 1024, file.Bytes);  // spent, to within a shape
}

TEST(Preview, SaysWhyItCannotShow) {
  const fs::path dir = fs::temp_directory_path() / "quillon-preview-test";
  fs::remove_all(dir);
  fs::create_directories(dir);
  auto write = [&](const std::string& Name, const jwb::Bytes& Bytes) {
    std::ofstream(dir / Name, std::ios::binary)
        .write(reinterpret_cast<const char*>(Bytes.data()),
               static_cast<std::streamsize>(Bytes.size()));
    return (dir / Name).string();
  };
  jwb::Drawing d(700);
  d.Def(1, "A").Line().body = Reals({0, 0, 1, 1});
  d.Def(2, "B");
  const jwb::Bytes bytes = d.JwwBytes();
  const std::string path = write("a.jww", bytes);

  TPreviewSource source;
  TPreview p = source.Build(path, 0, "A");
  ASSERT_TRUE(p.List) << p.Problem;
  EXPECT_EQ(p.List->Lines.size(), 1u);
  p = source.Build(path, 1, "B");
  ASSERT_TRUE(p.List);
  EXPECT_TRUE(p.List->EmptyDrawing());

  // Renamed since the search: the row no longer matches.
  p = source.Build(path, 1, "OLD");
  EXPECT_FALSE(p.List);
  EXPECT_NE(p.ProblemEn.find("changed since the search"), std::string::npos) << p.ProblemEn;

  // Cut inside the second definition: the first still shows.
  const std::string cut = write(
      "cut.jww",
      jwb::Bytes(bytes.begin(), bytes.begin() + static_cast<long>(d.LastLayout().defs[1].name)));
  EXPECT_TRUE(source.Build(cut, 0, "A").List);
  p = source.Build(cut, 1, "B");
  EXPECT_FALSE(p.List);
  EXPECT_NE(p.ProblemEn.find("could not be read to the end"), std::string::npos) << p.ProblemEn;

  fs::remove(path);
  p = source.Build(path, 0, "A");
  EXPECT_FALSE(p.List);
  EXPECT_NE(p.ProblemEn.find("no such file"), std::string::npos) << p.ProblemEn;

  // The drawings' load keeps what the full load keeps, but builds no tree.
  d.Insert(1);
  const std::string placed = write("placed.jww", d.JwwBytes());
  TJwwData full, drawings;
  ASSERT_TRUE(full.LoadFromFile(placed));
  ASSERT_TRUE(drawings.LoadDrawings(placed));
  EXPECT_EQ(full.BlockTreeCount, 1);
  EXPECT_EQ(drawings.BlockTreeCount, 0);
  EXPECT_EQ(drawings.BlockInsertCount, 1);
  EXPECT_EQ(BuildDisplayList(drawings, 0).Lines.size(), BuildDisplayList(full, 0).Lines.size());

  fs::remove_all(dir);
}

TEST(Catalog, SvgEscapesTextAndNamesFilesSafely) {
  TDisplayList l;
  l.Texts.push_back({{0, 0}, {4, 0}, {0, 1}, "a<b&c\"d'\x01\xff", 0});
  l.Bounds.Add({0, 0});
  l.Bounds.Add({4, 1});
  const std::string svg = SvgDrawing(l, 100, 50, true);
  EXPECT_NE(svg.find(">a&lt;b&amp;c&quot;d&#39;\xEF\xBF\xBD\xEF\xBF\xBD</text>"), std::string::npos)
      << svg;

  EXPECT_EQ(CatalogFileName("a.jww", 0, "x/y:z*?\"<>|\\"), "a.jww_0001_x_y_z_______.svg");
  EXPECT_EQ(CatalogFileName("図.jws", 11, "扉. "), "図.jws_0012_扉.svg");
  EXPECT_EQ(CatalogFileName("f", 0, std::string(300, 'x')).size(), 2 + 5 + 80 + 4u);
}

}  // namespace
