// The figure-file reader (TJwsData): the fixed 452-byte header, the body in
// the drawing file's encoding with whole text strings, damaged files, the
// values a load publishes, and the real figure files of the corpus.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/search.h"
#include "jws/jwsunit.h"
#include "jww/jwwtype.h"
#include "jww/jwwunit.h"
#include "testkit/jwbuilder.h"
#include "testkit/testbytes.h"

namespace {

using testkit::B;
using testkit::CorpusDir;
using testkit::ExpectPattern;
using testkit::ExpectZero;
using testkit::Order;
using testkit::ReadTsv;
using testkit::SameAttr;

using jwb::Bytes;

bool Load(TJwsData& r, const Bytes& b, const std::string& path = "figure.jws") {
  return r.LoadFromMemory(b.data(), b.size(), path);
}

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() /
          ("quillon_jws_" + std::to_string(::getpid()) + "_" + name))
      .string();
}

std::string Letters(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += static_cast<char>('a' + i % 26);
  return s;
}

void ExpectHeaderValues(const TJwsData& r, int32_t version) {
  EXPECT_EQ(r.Signature, "JwsData");
  EXPECT_EQ(r.Version, version);
  EXPECT_DOUBLE_EQ(r.LeadReals[1], 1.25);
  EXPECT_DOUBLE_EQ(r.LeadReals[2], 2.5);
  ASSERT_EQ(r.LayerGroups.size(), 16u);
  for (size_t g = 0; g < 16; ++g) {
    EXPECT_EQ(r.LayerGroups[g].Int1, 2) << g;
    EXPECT_EQ(r.LayerGroups[g].Int2, 0) << g;
    EXPECT_DOUBLE_EQ(r.LayerGroups[g].Real1, 3.0 + static_cast<double>(g)) << g;
    EXPECT_EQ(r.LayerGroups[g].Int3, 0) << g;
    EXPECT_EQ(r.LayerGroups[g].Name, "") << g;
  }
  EXPECT_EQ(r.HeaderInts[1], 341);
  EXPECT_EQ(r.HeaderInts[6], 346);
  EXPECT_DOUBLE_EQ(r.HeaderReals[1], 37.1);
  EXPECT_DOUBLE_EQ(r.HeaderReals[10], 38.0);
}

// ---------------------------------------------------------------------------
// Header

TEST(JwsHeader, FileEndingAfterTheHeaderKeepsTheHeaderValues) {
  jwb::Drawing d(700);
  Bytes bytes = d.JwsBytes();
  ASSERT_EQ(bytes.size(), TJwsData::HeaderSize + 4);  // two zero count words

  TJwsData r;
  EXPECT_FALSE(Load(r, jwb::Cut(bytes, TJwsData::HeaderSize)));
  ExpectHeaderValues(r, 700);
  EXPECT_EQ(r.EntityCount, 0);
  EXPECT_TRUE(r.EntityOrder.empty());
  EXPECT_EQ(r.BlockDefCount, 0);
  EXPECT_EQ(r.BlockTreeCount, 0);

  // With one count word the definition count is missing.
  EXPECT_FALSE(Load(r, jwb::Cut(bytes, TJwsData::HeaderSize + 2)));

  TJwsData full;
  EXPECT_TRUE(Load(full, bytes));
  ExpectHeaderValues(full, 700);
  EXPECT_EQ(full.EntityCount, 0);
  EXPECT_EQ(full.BlockDefCount, 0);
  EXPECT_EQ(full.BlockDefTotal, 0);
  EXPECT_TRUE(full.EntityOrder.empty());
  EXPECT_TRUE(full.Lines.empty());
  EXPECT_EQ(full.LineCount + full.ArcCount + full.PointCount + full.TextCount +
                full.DimensionCount + full.SolidCount + full.BlockInsertCount,
            0);
  EXPECT_TRUE(full.BlockDefs.empty());
  EXPECT_EQ(full.BlockTreeCount, 0);
  EXPECT_EQ(full.UsedBlockDefCount, 0);
}

TEST(JwsHeader, CutInsideTheHeader) {
  jwb::Drawing d(700);
  Bytes bytes = d.JwsBytes();
  {
    TJwsData r;
    EXPECT_FALSE(Load(r, jwb::Cut(bytes, 100)));  // inside the signature area
    EXPECT_EQ(r.Signature, "JwsData");
    EXPECT_EQ(r.Version, 0);
    EXPECT_EQ(r.LayerGroups.size(), 16u);
  }
  {
    TJwsData r;
    EXPECT_FALSE(Load(r, jwb::Cut(bytes, 300)));  // inside the group reals
    EXPECT_EQ(r.Version, 700);
    EXPECT_DOUBLE_EQ(r.LeadReals[2], 2.5);
    ASSERT_EQ(r.LayerGroups.size(), 16u);
    EXPECT_DOUBLE_EQ(r.LayerGroups[0].Real1, 3.0);
    EXPECT_DOUBLE_EQ(r.LayerGroups[15].Real1, 0.0);
    EXPECT_EQ(r.HeaderInts[1], 0);
    EXPECT_EQ(r.BlockTreeCount, 0);
  }
}

TEST(JwsHeader, EmptyAndTinyFiles) {
  for (size_t n : {size_t{0}, size_t{6}, size_t{7}, size_t{203}, size_t{204}}) {
    jwb::Drawing d(700);
    TJwsData r;
    EXPECT_FALSE(Load(r, jwb::Cut(d.JwsBytes(), n))) << n;
    EXPECT_EQ(r.LayerGroups.size(), 16u) << n;
    EXPECT_EQ(r.Version, n >= 204 ? 700 : 0) << n;
    EXPECT_EQ(r.BlockDefCount, 0) << n;
  }
}

TEST(JwsHeader, AnyVersionIsReadInFull) {
  for (int32_t version : {0, 100, 219, 350}) {
    jwb::Drawing d(version);
    d.Line();
    d.Def(1, "low").Text("t", "");
    TJwsData r;
    ASSERT_TRUE(Load(r, d.JwsBytes())) << version;
    EXPECT_EQ(r.Version, version);
    EXPECT_EQ(r.LineCount, 1);
    ASSERT_EQ(r.BlockDefCount, 1);
    EXPECT_EQ(r.BlockDefs[0].Name, "low");
    EXPECT_EQ(r.BlockDefs[0].TextCount, 1);
  }
}

class JwsFiles : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const auto& p : Made) {
      std::error_code ec;
      std::filesystem::remove(p, ec);
    }
  }
  std::string Make(const std::string& name, const Bytes& b) {
    std::string p = TempPath(name);
    jwb::WriteFile(p, b);
    Made.push_back(p);
    return p;
  }
  std::vector<std::string> Made;
};

TEST_F(JwsFiles, Signature) {
  auto bytes = [](std::string s) { return Bytes(s.begin(), s.end()); };
  jwb::Drawing d(700);
  TJwsData r;
  EXPECT_TRUE(r.CheckSignature(Make("a.jws", bytes("JwsData"))));
  EXPECT_TRUE(r.CheckSignature(Make("b.jws", bytes("JwsData.and more"))));
  EXPECT_TRUE(r.CheckSignature(Make("c.jws", d.JwsBytes())));
  EXPECT_FALSE(r.CheckSignature(Make("d.jws", bytes(std::string("Jws\0Data", 8)))));
  EXPECT_FALSE(r.CheckSignature(Make("e.jws", bytes("JwsDat"))));
  EXPECT_FALSE(r.CheckSignature(Make("f.jws", bytes("jwsData"))));
  EXPECT_FALSE(r.CheckSignature(Make("g.jws", d.JwwBytes())));
  EXPECT_FALSE(r.CheckSignature(Make("h.jws", {})));
  EXPECT_FALSE(r.CheckSignature(TempPath("missing.jws")));
}

TEST_F(JwsFiles, LoadFromFileAndAMissingFile) {
  jwb::Drawing d(700);
  d.Insert(1);
  d.Def(1, "file");
  std::string path = Make("load.jws", d.JwsBytes());
  TJwsData r;
  ASSERT_TRUE(r.LoadFromFile(path));
  EXPECT_EQ(LoadedFileName, path);
  ASSERT_EQ(r.BlockDefCount, 1);
  EXPECT_EQ(r.BlockDefs[0].Name, "file");
  EXPECT_EQ(r.BlockTreeCount, 1);

  std::string missing = TempPath("missing.jws");
  ElapsedTimeText = MemoLine1 = MemoLine2 = "stale";
  LoadedSec8Real = 9.0;
  EXPECT_FALSE(r.LoadFromFile(missing));
  EXPECT_EQ(r.BlockDefCount, 0);
  EXPECT_TRUE(r.BlockDefs.empty());
  EXPECT_EQ(r.BlockTreeCount, 0);
  EXPECT_EQ(r.Version, 0);
  EXPECT_EQ(LoadedFileName, missing);
  EXPECT_EQ(ElapsedTimeText, "");
  EXPECT_EQ(MemoLine1, "");
  EXPECT_EQ(MemoLine2, "");
  EXPECT_DOUBLE_EQ(LoadedSec8Real, 1.0);
}

// ---------------------------------------------------------------------------
// Body

TEST(JwsBody, AttributeFormsAt350And351) {
  for (int32_t version : {350, 351}) {
    SCOPED_TRACE(version);
    jwb::Drawing d(version);
    d.Line();
    d.Insert(4, 1.0, 2.0, 3.0, 4.0, 0.25);
    d.Text("a", "b");
    d.Solid(10);
    d.Point(100);
    auto& def = d.Def(4, "D");
    def.word2 = 0x01020304;
    def.stamp = 9;
    def.Arc();
    TJwsData r;
    ASSERT_TRUE(Load(r, d.JwsBytes()));
    const uint16_t attr7 = version >= 351 ? 0x0707 : 0;
    ASSERT_EQ(r.LineCount, 1);
    EXPECT_EQ(+r.Lines[0].Attr.Attr7, attr7);
    EXPECT_EQ(+r.Lines[0].Attr.Attr9, 0x0909);
    EXPECT_EQ(+r.Lines[0].Attr.Attr13, 0x0D0D);
    ExpectPattern(r.Lines[0].Geometry, 32, jwb::Kind::Line, "line");
    ASSERT_EQ(r.BlockInsertCount, 1);
    EXPECT_EQ(+r.BlockInserts[0].Attr.Attr7, attr7);
    EXPECT_DOUBLE_EQ(r.BlockInserts[0].ScaleY, 4.0);
    EXPECT_DOUBLE_EQ(r.BlockInserts[0].Angle, 0.25);
    EXPECT_EQ(+r.BlockInserts[0].BlockNumber, 4);
    ASSERT_EQ(r.TextCount, 1);
    EXPECT_EQ(+r.Texts[0].Attr.Attr7, attr7);
    ExpectPattern(r.Texts[0].Fixed, 68, jwb::Kind::Text, "text");
    EXPECT_EQ(r.Texts[0].Text2, "b");
    ASSERT_EQ(r.SolidCount, 1);
    EXPECT_EQ(+r.Solids[0].SolidColor, 0x00C0FFEEu);
    ASSERT_EQ(r.PointCount, 1);
    EXPECT_DOUBLE_EQ(r.Points[0].ExtraReal1, 2.5);
    ASSERT_EQ(r.BlockDefCount, 1);
    const auto& bd = r.BlockDefs[0];
    EXPECT_EQ(+bd.Attr.Attr7, attr7);
    EXPECT_EQ(+bd.Attr.Attr13, 0x0D0D);
    EXPECT_EQ(bd.Number, 4);
    EXPECT_EQ(bd.Word2, 0x01020304u);
    EXPECT_EQ(bd.Stamp, 9);
    EXPECT_EQ(bd.Name, "D");
    ASSERT_EQ(bd.ArcCount, 1);
    ExpectPattern(bd.Arcs[0].Geometry, 60, jwb::Kind::Arc, "arc in definition");
  }
}

TEST(JwsBody, TextStringsAreKeptWhole) {
  const std::string s300 = Letters(300);
  const std::string s65535 = Letters(65535);
  jwb::Drawing d(700);
  d.Text("x", s300);
  d.Text(s65535, std::string("c\tl\0ean", 7));
  d.Dim(s300, "d");
  d.Line();
  d.Def(1, "T").Text(s300, s300);
  TJwsData r;
  ASSERT_TRUE(Load(r, d.JwsBytes()));
  ASSERT_EQ(r.TextCount, 2);
  EXPECT_EQ(r.Texts[0].Text1, "x");
  EXPECT_EQ(r.Texts[0].Text2, s300);
  EXPECT_EQ(r.Texts[1].Text1, s65535);
  EXPECT_EQ(r.Texts[1].Text2, "clean");
  ASSERT_EQ(r.DimensionCount, 1);
  EXPECT_EQ(r.Dimensions[0].DimText.Text1, s300);
  EXPECT_EQ(r.Dimensions[0].DimText.Text2, "d");
  EXPECT_EQ(r.LineCount, 1);
  ASSERT_EQ(r.BlockDefCount, 1);
  ASSERT_EQ(r.BlockDefs[0].TextCount, 1);
  EXPECT_EQ(r.BlockDefs[0].Texts[0].Text1, s300);
  EXPECT_EQ(r.BlockDefs[0].Texts[0].Text2, s300);
}

TEST(JwsBody, DimensionSizesByVersion) {
  struct Case {
    int32_t version;
    bool tailOnPoint1;
    size_t recordSize;  // after the class tag, with two empty strings
  } cases[] = {
      {350, false, 141}, {351, false, 147}, {419, false, 147},
      {420, false, 383}, {700, false, 383}, {700, true, 403},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.version << (c.tailOnPoint1 ? " with a point tail" : ""));
    jwb::Drawing d(c.version);
    auto& dim = d.Dim();
    if (c.tailOnPoint1) dim.ExtPoint(1).attr.PenStyle = 100;
    auto& line = d.Line();
    line.attr = jwb::MakeAttr(5, 6, 0xCAFEF00D);
    d.Def(1, "after");
    Bytes bytes = d.JwsBytes();
    const auto& items = d.LastLayout().list.items;
    ASSERT_EQ(items[0].end - items[0].record, c.recordSize);  // the file we hand over

    TJwsData r;
    ASSERT_TRUE(Load(r, bytes));
    ASSERT_EQ(r.DimensionCount, 1);
    ASSERT_EQ(r.LineCount, 1);
    EXPECT_TRUE(SameAttr(r.Lines[0].Attr,
                         c.version >= 351
                             ? line.attr
                             : EntityAttributes{0xCAFEF00D, 5, 6, 0, 0x0909, 0x0B0B, 0x0D0D}));
    ExpectPattern(r.Lines[0].Geometry, 32, jwb::Kind::Line, "line after the dimension");
    ASSERT_EQ(r.BlockDefCount, 1);
    EXPECT_EQ(r.BlockDefs[0].Name, "after");

    const auto& s = r.Dimensions[0];
    if (c.version >= 420) {
      EXPECT_EQ(s.ExtFlag, 0x0102);
      ExpectPattern(s.ExtLine2.Geometry, 32, jwb::Kind::Line, "extension line");
      EXPECT_EQ(+s.ExtPoints[0].ExtraInt, c.tailOnPoint1 ? 0x64u : 0u);
      EXPECT_DOUBLE_EQ(s.ExtPoints[0].ExtraReal2, c.tailOnPoint1 ? 3.5 : 0.0);
    } else {
      EXPECT_EQ(s.ExtFlag, 0);
      EXPECT_TRUE(SameAttr(s.ExtLine1.Attr, s.Attr));
      ExpectZero(s.ExtLine2.Geometry, 32, "synthesised extension line");
      EntityAttributes pointAttr = s.Attr;
      pointAttr.PenStyle = 0;
      for (const auto& p : s.ExtPoints) {
        EXPECT_TRUE(SameAttr(p.Attr, pointAttr));
        ExpectZero(p.Geometry, 40, "synthesised extension point");
      }
    }
  }
}

TEST(JwsBody, PointAndSolidTails) {
  jwb::Drawing d(700);
  d.Point(1);
  d.Point(100).pointReal2 = -1.5;
  d.Solid(3);
  auto& def = d.Def(1, "P");
  def.Point(1);
  def.Solid(10).solidColor = 0xABCDEF;
  def.Line();
  TJwsData r;
  ASSERT_TRUE(Load(r, d.JwsBytes()));
  ASSERT_EQ(r.PointCount, 2);
  EXPECT_EQ(+r.Points[0].ExtraInt, 0u);
  EXPECT_DOUBLE_EQ(r.Points[0].ExtraReal1, 0.0);
  EXPECT_DOUBLE_EQ(r.Points[0].ExtraReal2, 1.0);
  EXPECT_DOUBLE_EQ(r.Points[1].ExtraReal2, -1.5);
  ASSERT_EQ(r.SolidCount, 1);
  EXPECT_EQ(+r.Solids[0].SolidColor, 0u);
  ASSERT_EQ(r.BlockDefCount, 1);
  const auto& bd = r.BlockDefs[0];
  ASSERT_EQ(bd.PointCount, 1);
  ExpectZero(&bd.Points[0].ExtraInt, 20, "point tail inside a definition");
  ASSERT_EQ(bd.SolidCount, 1);
  EXPECT_EQ(+bd.Solids[0].SolidColor, 0xABCDEFu);
  EXPECT_EQ(bd.EntityOrder, Order({{3, 0}, {6, 0}, {1, 0}}));
}

TEST(JwsBody, DefinitionsReferToClassesNamedInTheFiguresList) {
  jwb::Drawing d(700);
  d.Arc();                  // CDataEnko is class 1, the arc object 2
  d.Solid();                // CDataSolid is class 3, object 4
  auto& a = d.Def(1, "A");  // CDataList at 5, the definition object 6
  a.Arc();                  // short tag 0x8001
  a.Solid().tag = jwb::Tag::Long(true, 3);
  auto& b = d.Def(2, "B");           // objects 7 and 8 above, the definition 9
  b.Arc().tag = jwb::Tag::Short(1);  // object 10
  b.Line();                          // CDataSen named inside a definition: class 11
  d.Def(3, "C").Line().tag = jwb::Tag::Short(11);
  TJwsData r;
  ASSERT_TRUE(Load(r, d.JwsBytes()));
  EXPECT_EQ(r.EntityOrder, Order({{2, 0}, {6, 0}}));
  ASSERT_EQ(r.BlockDefCount, 3);
  EXPECT_EQ(r.BlockDefs[0].EntityOrder, Order({{2, 0}, {6, 0}}));
  EXPECT_EQ(r.BlockDefs[1].EntityOrder, Order({{2, 0}, {1, 0}}));
  EXPECT_EQ(r.BlockDefs[2].EntityOrder, Order({{1, 0}}));
  EXPECT_EQ(r.BlockDefs[2].Name, "C");
}

TEST(JwsBody, ClassNamesUpTo200Bytes) {
  const std::string names[] = {std::string(200, 'N'), "CDataSen" + std::string(192, 'x'),
                               "CDataMojiX"};
  for (const auto& name : names) {
    jwb::Drawing d(700);
    d.Line();
    d.UnknownClass(name);
    d.Line();
    d.Def(1, "after");
    TJwsData r;
    ASSERT_TRUE(Load(r, d.JwsBytes())) << "name of " << name.size() << " bytes";
    EXPECT_EQ(r.LineCount, 2);
    EXPECT_EQ(r.TextCount, 0);
    ASSERT_EQ(r.BlockDefCount, 1);
  }
  // One byte more than the reader holds: a failed class tag, not an overrun.
  jwb::Drawing d(700);
  d.Line();
  d.UnknownClass(std::string(201, 'N'));
  d.Line();
  d.Def(1, "after");
  TJwsData r;
  EXPECT_FALSE(Load(r, d.JwsBytes()));
  EXPECT_EQ(r.LineCount, 1);
  EXPECT_EQ(r.BlockDefCount, 0);
}

TEST(JwsBody, NegativeStampAndAnyDefinitionTag) {
  jwb::Drawing d(351);
  d.Def(1, "first").stamp = -7;
  d.Def(2, "second").tag = jwb::Tag::New("Whatever");
  auto& third = d.Def(3, "third");
  third.stamp = -1;
  third.tag = jwb::Tag::RawTag(0x8123);
  third.Line();
  TJwsData r;
  ASSERT_TRUE(Load(r, d.JwsBytes()));
  ASSERT_EQ(r.BlockDefCount, 3);
  EXPECT_EQ(r.BlockDefTotal, 3);
  EXPECT_EQ(r.BlockDefs[0].Stamp, 1);
  EXPECT_EQ(r.BlockDefs[0].Name, "first");
  EXPECT_EQ(r.BlockDefs[1].Name, "second");
  EXPECT_EQ(r.BlockDefs[2].Stamp, 3);
  EXPECT_EQ(r.BlockDefs[2].Name, "third");
  EXPECT_EQ(r.BlockDefs[2].LineCount, 1);
}

TEST(JwsBody, TrailingBytesAfterTheLastDefinitionAreIgnored) {
  for (int32_t version : {351, 700}) {
    jwb::Drawing d(version);
    d.Line();
    d.Def(1, "full").Line();
    d.Def(2, "last");  // no entities: the file ends with its entity count
    d.trailing = B({0xFF, 0xFF, 0xFF, 0xFF, 0x12});
    Bytes bytes = d.JwsBytes();
    const size_t end = d.LastLayout().defsEnd;
    TJwsData r;
    EXPECT_TRUE(Load(r, bytes)) << version;
    EXPECT_TRUE(Load(r, jwb::Cut(bytes, end))) << version;
    EXPECT_FALSE(Load(r, jwb::Cut(bytes, end - 1))) << version;
  }
}

// ---------------------------------------------------------------------------
// Damaged files

TEST(JwsDamaged, CutInsideTheThirdOfFourDefinitions) {
  jwb::Drawing d(700);
  d.Insert(0);
  for (int i = 0; i < 4; ++i) {
    auto& def = d.Def(20 + i, "D" + std::to_string(i));
    def.Text("text " + std::to_string(i), "");
    def.Line();
  }
  Bytes bytes = d.JwsBytes();
  size_t cut = d.LastLayout().defs[2].header + 20;
  TJwsData r;
  EXPECT_FALSE(Load(r, jwb::Cut(bytes, cut), "cut.jws"));
  // The two definitions read are held; the cut one and the unread one are not.
  EXPECT_EQ(r.BlockDefTotal, 4);
  ASSERT_EQ(r.BlockDefCount, 2);
  ASSERT_EQ(r.BlockDefs.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    const auto& bd = r.BlockDefs[i];
    EXPECT_EQ(bd.Name, "D" + std::to_string(i));
    EXPECT_EQ(bd.Number, static_cast<int32_t>(20 + i));
    EXPECT_EQ(bd.EntityOrder, Order({{4, 0}, {1, 0}}));
    ASSERT_EQ(bd.Texts.size(), 1u);
    EXPECT_EQ(bd.Texts[0].Text1, "text " + std::to_string(i));
  }
  // The tree is built from what was read; number 0 finds no definition.
  ASSERT_EQ(r.BlockTreeCount, 1);
  EXPECT_EQ(r.BlockTree[0].DefIndex, -1);
  EXPECT_EQ(r.BlockTree[0].Name, "");
  EXPECT_EQ(LoadedFileName, "cut.jws");
}

TEST(JwsDamaged, CutInsideAnEntityOfTheFiguresList) {
  jwb::Drawing d(700);
  d.Line();
  d.Text("abc", "");
  d.Arc();
  d.Def(1, "never");
  Bytes bytes = d.JwsBytes();
  size_t cut = d.LastLayout().list.items[1].record + 86;  // inside "abc"
  TJwsData r;
  EXPECT_FALSE(Load(r, jwb::Cut(bytes, cut)));
  EXPECT_EQ(r.EntityCount, 3);
  EXPECT_EQ(r.LineCount, 1);
  EXPECT_EQ(r.TextCount, 0);
  EXPECT_EQ(r.AbsorbedFailures, 1);
  EXPECT_EQ(r.EntityOrder, Order({{1, 0}}));
  EXPECT_EQ(r.BlockDefCount, 0);
}

TEST(JwsDamaged, FailureInTheLastRecordIsAbsorbed) {
  jwb::Drawing d(700);
  auto& def = d.Def(1, "last");
  def.Arc();
  def.Solid(10);
  Bytes bytes = d.JwsBytes();
  size_t cut = d.LastLayout().defs[0].list.items[1].record + 81;  // inside the colour
  TJwsData r;
  EXPECT_TRUE(Load(r, jwb::Cut(bytes, cut)));
  EXPECT_EQ(r.AbsorbedFailures, 1);
  ASSERT_EQ(r.BlockDefCount, 1);
  EXPECT_EQ(r.BlockDefs[0].ArcCount, 1);
  EXPECT_EQ(r.BlockDefs[0].SolidCount, 0);
  EXPECT_EQ(r.BlockDefs[0].EntityOrder, Order({{2, 0}, {0, 0}}));
}

TEST(JwsDamaged, UnaffordableCountsEndTheLoad) {
  for (int64_t n : {int64_t{-1}, int64_t{0x7FFFFFFF}}) {
    jwb::Drawing d(700);
    d.Line();
    d.SetCount(n, jwb::CountForm::Long);
    TJwsData r;
    EXPECT_FALSE(Load(r, d.JwsBytes())) << n;
    EXPECT_EQ(r.LineCount, 0) << n;
  }
  jwb::Drawing d(700);
  d.Def(1, "A");
  d.SetDefCount(-5, jwb::CountForm::Long);
  TJwsData r;
  EXPECT_FALSE(Load(r, d.JwsBytes()));
  EXPECT_EQ(r.BlockDefCount, 0);
}

// ---------------------------------------------------------------------------
// Reader state and published values

TEST(JwsReader, PublishedValuesAfterADrawingThenAFigure) {
  jwb::Drawing drawing(700);
  drawing.jww.Memo = "line one\r\nline two";
  drawing.Def(1, "in the drawing");
  Bytes dBytes = drawing.JwwBytes();
  TJwwData jww;
  ASSERT_TRUE(jww.LoadFromMemory(dBytes.data(), dBytes.size(), "first.jww"));
  ASSERT_EQ(ElapsedTimeText, "1 : 02");
  ASSERT_EQ(MemoLine1, "line one");

  for (bool complete : {true, false}) {
    jwb::Drawing figure(700);
    figure.Def(1, "in the figure");
    Bytes fBytes = figure.JwsBytes();
    if (!complete) fBytes = jwb::Cut(fBytes, 300);
    ASSERT_TRUE(jww.LoadFromMemory(dBytes.data(), dBytes.size(), "first.jww"));
    TJwsData jws;
    EXPECT_EQ(Load(jws, fBytes, "second.jws"), complete);
    EXPECT_EQ(LoadedFileName, "second.jws");
    EXPECT_EQ(ElapsedTimeText, "");
    EXPECT_EQ(MemoLine1, "");
    EXPECT_EQ(MemoLine2, "");
    EXPECT_DOUBLE_EQ(LoadedSec8Real, 1.0);
  }
}

TEST(JwsReader, ASecondLoadLeavesNoTraceOfTheFirst) {
  jwb::Drawing first(700);
  for (int i = 0; i < 3; ++i) first.Text("t", "u");
  first.Insert(1);
  first.Insert(2);
  first.Def(1, "one").Insert(2);
  first.Def(2, "two").Line();
  Bytes firstBytes = first.JwsBytes();

  jwb::Drawing second(350);
  second.jws.LeadReals[1] = -3.0;
  second.jws.GroupReals[15] = 99.0;
  second.Arc();
  second.Def(7, "seven");
  Bytes secondBytes = second.JwsBytes();

  TJwsData fresh;
  ASSERT_TRUE(Load(fresh, secondBytes));
  TJwsData r;
  ASSERT_TRUE(Load(r, firstBytes));
  ASSERT_TRUE(Load(r, secondBytes));
  EXPECT_EQ(r.Signature, fresh.Signature);
  EXPECT_EQ(r.Version, 350);
  EXPECT_EQ(r.LeadReals, fresh.LeadReals);
  EXPECT_EQ(r.HeaderInts, fresh.HeaderInts);
  EXPECT_EQ(r.HeaderReals, fresh.HeaderReals);
  EXPECT_EQ(r.LayerGroups, fresh.LayerGroups);
  EXPECT_EQ(r.EntityCount, 1);
  EXPECT_EQ(r.EntityOrder, fresh.EntityOrder);
  EXPECT_EQ(r.TextCount, 0);
  EXPECT_TRUE(r.Texts.empty());
  EXPECT_EQ(r.BlockInsertCount, 0);
  EXPECT_TRUE(r.BlockInserts.empty());
  EXPECT_EQ(r.ArcCount, 1);
  ASSERT_EQ(r.BlockDefCount, 1);
  EXPECT_EQ(r.BlockDefs[0].Name, "seven");
  EXPECT_EQ(r.BlockDefs[0].Used, fresh.BlockDefs[0].Used);
  EXPECT_EQ(r.BlockDefs[0].Serial, fresh.BlockDefs[0].Serial);
  EXPECT_EQ(r.BlockTreeCount, 0);
  EXPECT_TRUE(r.BlockTree.empty());
  EXPECT_EQ(r.UsedBlockDefCount, 0);

  r.Clear();
  EXPECT_EQ(r.Signature, "");
  EXPECT_EQ(r.Version, 0);
  EXPECT_DOUBLE_EQ(r.LeadReals[1], 0.0);
  EXPECT_TRUE(r.LayerGroups.empty());
  EXPECT_EQ(r.BlockDefCount, 0);
  EXPECT_TRUE(r.BlockDefs.empty());
  EXPECT_EQ(r.ArcCount, 0);
  r.Clear();
  EXPECT_EQ(r.BlockDefCount, 0);
}

// ---------------------------------------------------------------------------
// Real figure files

std::string Hex(const std::string& s) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

TEST(JwsCorpus, RealFiguresYieldTheExpectedBlockNames) {
  if (!std::filesystem::exists(CorpusDir() + "/files.tsv"))
    GTEST_SKIP() << "no corpus at " << CorpusDir();
  std::map<std::string, std::vector<std::string>> expected;
  for (const auto& row : ReadTsv(CorpusDir() + "/expected.tsv")) {
    if (row.size() < 4) continue;
    auto& names = expected[row[0]];
    EXPECT_EQ(std::stoul(row[1]), names.size()) << row[0] << ": rows out of order";
    std::string h = row[3];
    for (char& ch : h) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    names.push_back(h);
  }
  int figures = 0;
  for (const auto& row : ReadTsv(CorpusDir() + "/files.tsv")) {
    if (row.size() < 6 || row[1] != "jws") continue;
    ++figures;
    SCOPED_TRACE(row[0]);
    const std::string path = CorpusDir() + "/" + row[0];
    const auto& names = expected[row[0]];
    TJwsData r;
    ASSERT_TRUE(r.CheckSignature(path));
    EXPECT_EQ(r.LoadFromFile(path), row[3] == "true");
    EXPECT_EQ(r.Version, std::stoi(row[2]));
    EXPECT_EQ(r.EntityCount, std::stoi(row[5]));
    EXPECT_EQ(r.AbsorbedFailures, 0);
    ASSERT_EQ(r.BlockDefCount, std::stoi(row[4]));
    ASSERT_EQ(static_cast<size_t>(r.BlockDefCount), names.size());
    for (size_t i = 0; i < names.size(); ++i)
      EXPECT_EQ(Hex(CutAtMarker(r.BlockDefs[i].Name)), names[i]) << "definition " << i;
  }
  EXPECT_GT(figures, 0);
}

}  // namespace
