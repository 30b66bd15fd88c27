// The drawing-file reader (TJwwData): header sections by version, the entity
// list with its class tags and record forms, the block definitions, what a
// damaged file leaves behind, the values a load publishes, and the real
// drawings of the corpus.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/search.h"
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

bool Load(TJwwData& r, const Bytes& b, const std::string& path = "drawing.jww") {
  return r.LoadFromMemory(b.data(), b.size(), path);
}

// The attribute record as a file of this version holds it: no Attr7 before 351.
EntityAttributes AsRead(EntityAttributes a, int32_t version) {
  if (version <= 350) a.Attr7 = 0;
  return a;
}

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() /
          ("quillon_jww_" + std::to_string(::getpid()) + "_" + name))
      .string();
}

// A drawing with one entity of every kind, two definitions and a memo, and
// names in the string tables.
jwb::Drawing RichDrawing(int32_t version) {
  jwb::Drawing d(version);
  d.jww.Memo = "memo";
  d.jww.LayerGroups[3].Name = "G3";
  d.jww.LayerGroups[3].Layers[5].Name = "L35";
  d.jww.ColorExTable[5].Name = "RED";
  d.jww.LineTypeExTable[32].Name = "DASH";
  d.Line();
  d.Text("ab", "cd");
  d.Point(100);
  d.Solid(10);
  d.Dim("12", "");
  d.Insert(1, 1.5, 2.5);
  auto& def = d.Def(1, "BLK");
  def.Line();
  def.Arc();
  d.Def(2, "B2").Point(1);
  return d;
}

// ---------------------------------------------------------------------------
// One file per version class

class JwwVersion : public ::testing::TestWithParam<int32_t> {};

TEST_P(JwwVersion, ReadsHeaderAndBodyAndStopsAfterTheDefinitions) {
  const int32_t v = GetParam();
  jwb::Drawing d = RichDrawing(v);
  d.Def(3, "E");  // no entities: the file ends with its entity count
  // Whatever follows the definitions must not be read: garbage that would fail
  // as an image count or as anything else.
  d.trailing = B({0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0x01, 0x02});
  if (v >= 700) {
    d.images = std::vector<jwb::BoundImage>{{"pic.bmp", Bytes(16, 0xAB), std::nullopt}};
    d.imageCount = 0x7FFFFFFF;
  }
  const Bytes bytes = d.JwwBytes();
  const jwb::Layout L = d.LastLayout();

  {
    TJwwData r;
    EXPECT_TRUE(Load(r, jwb::Cut(bytes, L.defsEnd))) << "a file that ends with its definitions";
    EXPECT_FALSE(Load(r, jwb::Cut(bytes, L.defsEnd - 1))) << "a file one byte short";
  }

  TJwwData r;
  ASSERT_TRUE(Load(r, bytes, "v.jww"));
  const TEntJwwHeader& h = r.Header;
  EXPECT_EQ(h.Signature, "JwwData.");
  EXPECT_EQ(h.Version, v);
  EXPECT_EQ(h.Memo, "memo");
  EXPECT_EQ(h.Sec4Ints[1], 401);
  EXPECT_EQ(h.Sec4Ints[2], 402);

  // Sections 5, 9, 10: groups and layers.
  ASSERT_EQ(r.LayerGroups.size(), 16u);
  ASSERT_EQ(r.Layers.size(), 256u);
  EXPECT_EQ(r.LayerGroups[3].Int1, 5031);
  EXPECT_EQ(r.LayerGroups[3].Int2, 5032);
  EXPECT_DOUBLE_EQ(r.LayerGroups[3].Real1, 5.03);
  EXPECT_EQ(r.LayerGroups[3].Int3, 5033);
  EXPECT_EQ(r.LayerGroups[3].Name, "G3");
  EXPECT_EQ(r.LayerGroups[15].Int3, 5153);
  EXPECT_EQ(r.Layers[3 * 16 + 5].Int1, 50310);
  EXPECT_EQ(r.Layers[3 * 16 + 5].Int2, 50311);
  EXPECT_EQ(r.Layers[3 * 16 + 5].Name, "L35");
  EXPECT_EQ(r.Layers[255].Int2, 51531);
  EXPECT_EQ(r.Layers[5 * 16 + 3].Name, "");

  // Sections 7 and 8.
  EXPECT_EQ(h.Sec7Ints[1], 701);
  EXPECT_EQ(h.Sec7Ints[5], 705);
  EXPECT_EQ(h.Sec7Coded, 707);
  EXPECT_FALSE(h.Sec7CodedFlag);
  EXPECT_EQ(h.Sec7Decoded, 707);
  EXPECT_DOUBLE_EQ(h.Sec8RealsA[1], 8.01);
  EXPECT_DOUBLE_EQ(h.Sec8RealsA[3], 8.03);
  EXPECT_EQ(h.Sec8Ints[2], 802);
  EXPECT_DOUBLE_EQ(h.Sec8RealsB[1], 8.11);
  EXPECT_DOUBLE_EQ(h.Sec8RealsB[5], 8.15);

  // Section 11: 28 bytes through 230, 44 after; the last two reals from 300.
  EXPECT_DOUBLE_EQ(h.Sec11RealsA[1], 11.01);
  EXPECT_DOUBLE_EQ(h.Sec11RealsA[2], 11.02);
  EXPECT_EQ(h.Sec11Int, 1103);
  EXPECT_DOUBLE_EQ(h.Sec11RealsB[1], 11.04);
  EXPECT_DOUBLE_EQ(h.Sec11RealsB[2], v >= 300 ? 11.05 : 0.0);
  EXPECT_DOUBLE_EQ(h.Sec11RealsB[3], v >= 300 ? 11.06 : 0.0);

  // Section 12.
  EXPECT_EQ(h.Sec12Int, 1201);
  EXPECT_DOUBLE_EQ(h.Sec12Reals[1], 12.02);
  EXPECT_DOUBLE_EQ(h.Sec12Reals[6], 12.07);

  // Section 13: four short records through 230, eight long ones and the two
  // extras after.
  EXPECT_DOUBLE_EQ(h.Sec13RealsA[1], 13.11);
  EXPECT_DOUBLE_EQ(h.Sec13RealsB[4], 13.42);
  EXPECT_DOUBLE_EQ(h.Sec13RealsC[4], 13.43);
  if (v <= 230) {
    EXPECT_DOUBLE_EQ(h.Sec13RealsA[5], 1.0);
    EXPECT_DOUBLE_EQ(h.Sec13RealsA[8], 1.0);
    EXPECT_DOUBLE_EQ(h.Sec13RealsB[5], 0.0);
    EXPECT_DOUBLE_EQ(h.Sec13RealsC[8], 0.0);
    EXPECT_EQ(h.Sec13Ints[1], -1);
    EXPECT_EQ(h.Sec13Ints[8], -1);
    EXPECT_EQ(h.Sec13ExtraA, TEntJwwExtra{});
    EXPECT_EQ(h.Sec13ExtraB, TEntJwwExtra{});
  } else {
    EXPECT_DOUBLE_EQ(h.Sec13RealsA[8], 13.81);
    EXPECT_DOUBLE_EQ(h.Sec13RealsC[8], 13.83);
    EXPECT_EQ(h.Sec13Ints[1], 1314);
    EXPECT_EQ(h.Sec13Ints[8], 1384);
    EXPECT_DOUBLE_EQ(h.Sec13ExtraA.Real1, 13.91);
    EXPECT_DOUBLE_EQ(h.Sec13ExtraA.Real3, 13.93);
    EXPECT_EQ(h.Sec13ExtraA.Int1, 1394);
    EXPECT_DOUBLE_EQ(h.Sec13ExtraB.Real2, 13.96);
    EXPECT_EQ(h.Sec13ExtraB.Int1, 1398);
  }

  // Sections 14 to 17.
  EXPECT_DOUBLE_EQ(h.Sec14Reals[0], 14.0);
  EXPECT_DOUBLE_EQ(h.Sec14Reals[9], 14.09);
  EXPECT_DOUBLE_EQ(h.Sec14Real, 14.10);
  ASSERT_EQ(r.Sec14Table.size(), 10u);
  EXPECT_EQ(r.Sec14Table[0].Int1, 1401);
  EXPECT_EQ(r.Sec14Table[9].Int2, 1492);
  EXPECT_EQ(r.Sec14Table[0].Int3, 1503);
  EXPECT_EQ(r.Sec14Table[9].Int4, 1594);
  EXPECT_DOUBLE_EQ(r.Sec14Table[9].Real1, 15.09);
  ASSERT_EQ(r.Sec16Table.size(), 8u);
  EXPECT_EQ(r.Sec16Table[0].Int1, 1601);
  EXPECT_EQ(r.Sec16Table[7].Int4, 1674);
  ASSERT_EQ(r.Sec17TableA.size(), 5u);
  EXPECT_EQ(r.Sec17TableA[0].Int1, 1701);
  EXPECT_EQ(r.Sec17TableA[4].Int5, 1745);
  ASSERT_EQ(r.Sec17TableB.size(), 4u);
  EXPECT_EQ(r.Sec17TableB[0].Int1, 17501);
  EXPECT_EQ(r.Sec17TableB[3].Int4, 17534);

  // Section 18: by exact version; none at all for 221.
  const bool has18 = v == 220 || v == 223 || v == 225 || v >= 230;
  const bool elapsed = has18 && v >= 223;
  EXPECT_EQ(h.Sec18IntsA[1], has18 ? 1801 : 0);
  EXPECT_EQ(h.Sec18IntsA[10], has18 ? 1810 : 0);
  EXPECT_EQ(h.Sec18Tens, has18 ? 4 : 0);
  EXPECT_EQ(h.Sec18Units, has18 ? 7 : 0);
  EXPECT_EQ(h.ElapsedSeconds, elapsed ? 3725 : 0);
  EXPECT_EQ(h.Sec18IntsB[4], elapsed ? 1814 : 0);
  EXPECT_DOUBLE_EQ(h.Sec18RealsA[1], elapsed ? 18.01 : 0.0);
  EXPECT_DOUBLE_EQ(h.Sec18RealsA[5], elapsed ? 18.05 : 0.0);
  EXPECT_DOUBLE_EQ(h.Sec18RealsB[4], has18 && v >= 225 ? 18.14 : 0.0);
  EXPECT_EQ(h.Sec18IntsC[1], v >= 230 ? 1821 : 0);
  EXPECT_EQ(h.Sec18IntsC[2], v >= 230 ? 1822 : 0);

  // Section 19 from 420; the tables exist at full length either way.
  ASSERT_EQ(r.ColorExTable.size(), 257u);
  ASSERT_EQ(r.LineTypeExTable.size(), 33u);
  if (v >= 420) {
    EXPECT_EQ(r.ColorExTable[0].Int1, 190001);
    EXPECT_EQ(r.ColorExTable[256].Int2, 192562);
    EXPECT_EQ(r.ColorExTable[5].Name, "RED");
    EXPECT_EQ(r.ColorExTable[256].Int4, 192564);
    EXPECT_DOUBLE_EQ(r.ColorExTable[256].Real1, 19.256);
    EXPECT_EQ(r.LineTypeExTable[0].Int1, 195001);
    EXPECT_EQ(r.LineTypeExTable[32].Int4, 195324);
    EXPECT_EQ(r.LineTypeExTable[32].Name, "DASH");
    EXPECT_EQ(r.LineTypeExTable[32].Int5, 195325);
    EXPECT_DOUBLE_EQ(r.LineTypeExTable[32].Reals[10], 19.821);
  } else {
    EXPECT_EQ(r.ColorExTable[0].Int1, 0);
    EXPECT_EQ(r.ColorExTable[5].Name, "");
    EXPECT_EQ(r.ColorExTable[256].Int4, 0);
    EXPECT_EQ(r.LineTypeExTable[32].Name, "");
    EXPECT_DOUBLE_EQ(r.LineTypeExTable[32].Reals[10], 0.0);
  }

  // Sections 20 and 21.
  ASSERT_EQ(r.Sec20Table.size(), 10u);
  EXPECT_DOUBLE_EQ(r.Sec20Table[0].Real1, 20.001);
  EXPECT_DOUBLE_EQ(r.Sec20Table[9].Real3, 20.093);
  EXPECT_EQ(r.Sec20Table[9].Int1, 2094);
  EXPECT_DOUBLE_EQ(h.Sec21RealsA[1], 21.01);
  EXPECT_DOUBLE_EQ(h.Sec21RealsA[3], 21.03);
  EXPECT_EQ(h.Sec21Ints[1], 2104);
  EXPECT_EQ(h.Sec21Ints[2], 2105);
  EXPECT_DOUBLE_EQ(h.Sec21RealsB[2], 21.07);
  EXPECT_EQ(h.Sec21Int, 2108);
  EXPECT_DOUBLE_EQ(h.Sec21RealsC[1], 21.11);
  EXPECT_DOUBLE_EQ(h.Sec21RealsC[6], 21.16);

  // The body.
  EXPECT_EQ(h.EntityCount, 6);
  EXPECT_EQ(r.LineCount, 1);
  EXPECT_EQ(r.TextCount, 1);
  EXPECT_EQ(r.PointCount, 1);
  EXPECT_EQ(r.SolidCount, 1);
  EXPECT_EQ(r.DimensionCount, 1);
  EXPECT_EQ(r.BlockInsertCount, 1);
  EXPECT_EQ(r.ArcCount, 0);
  ASSERT_EQ(r.Lines.size(), 1u);
  EXPECT_EQ(+r.Lines[0].Attr.Attr7, v >= 351 ? 0x0707 : 0);
  EXPECT_EQ(+r.Lines[0].Attr.Attr13, 0x0D0D);
  ExpectPattern(r.Lines[0].Geometry, 32, jwb::Kind::Line, "line");
  ASSERT_EQ(r.Texts.size(), 1u);
  EXPECT_EQ(r.Texts[0].Text1, "ab");
  EXPECT_EQ(r.Texts[0].Text2, "cd");
  ASSERT_EQ(r.Points.size(), 1u);
  EXPECT_EQ(+r.Points[0].ExtraInt, 0x64u);
  EXPECT_DOUBLE_EQ(r.Points[0].ExtraReal2, 3.5);
  ASSERT_EQ(r.Solids.size(), 1u);
  EXPECT_EQ(+r.Solids[0].SolidColor, 0x00C0FFEEu);
  ASSERT_EQ(r.Dimensions.size(), 1u);
  EXPECT_EQ(r.Dimensions[0].DimText.Text1, "12");
  EXPECT_EQ(r.Dimensions[0].ExtFlag, v >= 420 ? 0x0102 : 0);
  ASSERT_EQ(r.BlockInserts.size(), 1u);
  EXPECT_DOUBLE_EQ(r.BlockInserts[0].X, 1.5);
  EXPECT_DOUBLE_EQ(r.BlockInserts[0].Y, 2.5);
  EXPECT_EQ(+r.BlockInserts[0].BlockNumber, 1);

  EXPECT_EQ(h.BlockDefTotal, 3);
  ASSERT_EQ(r.BlockDefCount, 3);
  ASSERT_EQ(r.BlockDefs.size(), 3u);
  EXPECT_EQ(r.BlockDefs[0].Name, "BLK");
  EXPECT_EQ(r.BlockDefs[0].Number, 1);
  EXPECT_EQ(r.BlockDefs[0].Word2, 0x57570202u);
  EXPECT_EQ(+r.BlockDefs[0].Attr.Attr7, v >= 351 ? 0x0707 : 0);
  EXPECT_EQ(r.BlockDefs[0].LineCount, 1);
  EXPECT_EQ(r.BlockDefs[0].ArcCount, 1);
  EXPECT_EQ(r.BlockDefs[1].Name, "B2");
  EXPECT_EQ(r.BlockDefs[1].PointCount, 1);
  EXPECT_EQ(r.BlockDefs[2].Name, "E");
  EXPECT_EQ(r.BlockDefs[2].EntityCount, 0);

  EXPECT_EQ(BindImageCount(), 0);
  EXPECT_EQ(r.AbsorbedFailures, 0);
  EXPECT_EQ(r.BlockTreeCount, 1);
  EXPECT_EQ(r.UsedBlockDefCount, 1);

  EXPECT_EQ(LoadedFileName, "v.jww");
  EXPECT_EQ(ElapsedTimeText, elapsed ? "1 : 02" : "0 : 00");
  EXPECT_EQ(MemoLine1, "memo");
  EXPECT_EQ(MemoLine2, "");
  EXPECT_DOUBLE_EQ(LoadedSec8Real, 8.03);
}

INSTANTIATE_TEST_SUITE_P(Classes, JwwVersion,
                         ::testing::Values(220, 221, 222, 223, 224, 225, 226, 229, 230, 231, 250,
                                           299, 300, 350, 351, 419, 420, 699, 700),
                         [](const auto& info) { return "v" + std::to_string(info.param); });

TEST(JwwVersion219, StopsAfterTheVersionAndPublishesOnlyTheFileName) {
  TJwwData r;
  jwb::Drawing earlier = RichDrawing(700);
  ASSERT_TRUE(Load(r, earlier.JwwBytes(), "earlier.jww"));
  ASSERT_EQ(ElapsedTimeText, "1 : 02");

  jwb::Drawing d(219);
  d.trailing = B({0x00, 0x00, 0x00, 0x00});  // a memo and more, if anything read on
  EXPECT_FALSE(Load(r, d.JwwBytes(), "old.jww"));

  const TEntJwwHeader& h = r.Header;
  EXPECT_EQ(h.Signature, "JwwData.");
  EXPECT_EQ(h.Version, 219);
  EXPECT_EQ(h.Memo, "");
  EXPECT_EQ(h.Sec4Ints[1], 0);
  EXPECT_DOUBLE_EQ(h.Sec8RealsA[3], 1.0);
  EXPECT_EQ(h.Sec13Ints[1], -1);
  EXPECT_EQ(h.ElapsedSeconds, 0);
  EXPECT_EQ(h.EntityCount, 0);

  ASSERT_EQ(r.LayerGroups.size(), 16u);
  for (const auto& g : r.LayerGroups) EXPECT_EQ(g, TEntJwwLayerGroup{});
  ASSERT_EQ(r.Layers.size(), 256u);
  for (const auto& l : r.Layers) EXPECT_EQ(l, TEntJwwLayer{});
  EXPECT_EQ(r.Sec14Table.size(), 10u);
  EXPECT_EQ(r.Sec14Table[9].Int4, 0);
  EXPECT_EQ(r.Sec16Table.size(), 8u);
  EXPECT_EQ(r.Sec17TableA.size(), 5u);
  EXPECT_EQ(r.Sec17TableB.size(), 4u);
  ASSERT_EQ(r.ColorExTable.size(), 257u);
  EXPECT_EQ(r.ColorExTable[5].Name, "");
  EXPECT_EQ(r.ColorExTable[0].Int1, 0);
  ASSERT_EQ(r.LineTypeExTable.size(), 33u);
  EXPECT_EQ(r.LineTypeExTable[32].Name, "");
  ASSERT_EQ(r.Sec20Table.size(), 10u);
  EXPECT_EQ(r.Sec20Table[9].Int1, 0);

  EXPECT_EQ(r.BlockDefCount, 0);
  EXPECT_TRUE(r.BlockDefs.empty());
  EXPECT_EQ(r.LineCount, 0);
  EXPECT_TRUE(r.EntityOrder.empty());
  EXPECT_EQ(r.BlockTreeCount, 0);

  EXPECT_EQ(LoadedFileName, "old.jww");
  EXPECT_EQ(ElapsedTimeText, "1 : 02");
  EXPECT_EQ(MemoLine1, "memo");
  EXPECT_EQ(MemoLine2, "");
  EXPECT_DOUBLE_EQ(LoadedSec8Real, 8.03);
}

TEST(JwwHeader, Section18TensAndUnitsKeepTheSign) {
  struct Case {
    int32_t t, tens, units;
  } cases[] = {{47, 4, 7}, {-47, -4, -7}, {-3, 0, -3}, {0, 0, 0}, {10, 1, 0}, {-10, -1, 0}};
  for (int32_t version : {220, 700}) {
    for (const auto& c : cases) {
      jwb::Drawing d(version);
      d.jww.Sec18T = c.t;
      TJwwData r;
      ASSERT_TRUE(Load(r, d.JwwBytes()));
      EXPECT_EQ(r.Header.Sec18Tens, c.tens) << "T " << c.t;
      EXPECT_EQ(r.Header.Sec18Units, c.units) << "T " << c.t;
    }
  }
}

TEST(JwwHeader, MemoIsKeptAsStoredOtherStringsAreCleaned) {
  jwb::Drawing d(700);
  d.jww.Memo = std::string("A\r\nB\t\0\r\nC", 9);
  d.jww.LayerGroups[0].Layers[1].Name = "a\tb\r\n";
  d.jww.LayerGroups[2].Name = std::string("g\0h", 3);
  d.jww.ColorExTable[7].Name = "\x82\x0D";
  d.jww.Sec7Coded = -450;
  TJwwData r;
  ASSERT_TRUE(Load(r, d.JwwBytes()));
  EXPECT_EQ(r.Header.Memo, std::string("A\r\nB\t\0\r\nC", 9));
  EXPECT_EQ(r.Layers[1].Name, "ab");
  EXPECT_EQ(r.LayerGroups[2].Name, "gh");
  EXPECT_EQ(r.ColorExTable[7].Name, "\x82\x0D");
  EXPECT_TRUE(r.Header.Sec7CodedFlag);
  EXPECT_EQ(r.Header.Sec7Decoded, -50);
  EXPECT_EQ(MemoLine1, "A");
  EXPECT_EQ(MemoLine2, std::string("B\t\0\r\nC", 6));
}

TEST(JwwHeader, LongMemoInTheLongStringForm) {
  std::string memo = std::string(280, 'm') + "\r\n" + std::string(30, 'n');
  jwb::Drawing d(700);
  d.jww.Memo = memo;
  d.Def(1, "after");
  TJwwData r;
  ASSERT_TRUE(Load(r, d.JwwBytes()));
  EXPECT_EQ(r.Header.Memo, memo);
  EXPECT_EQ(MemoLine1, std::string(280, 'm'));
  EXPECT_EQ(MemoLine2, std::string(30, 'n'));
  ASSERT_EQ(r.BlockDefCount, 1);
}

TEST(JwwHeader, EmptyAndTinyFiles) {
  for (size_t n : {size_t{0}, size_t{7}, size_t{8}, size_t{11}, size_t{12}}) {
    jwb::Drawing d(700);
    Bytes bytes = jwb::Cut(d.JwwBytes(), n);
    TJwwData r;
    EXPECT_FALSE(Load(r, bytes)) << n;
    EXPECT_EQ(r.BlockDefCount, 0) << n;
    EXPECT_EQ(r.LayerGroups.size(), 16u) << n;
    EXPECT_EQ(r.Header.Version, n >= 12 ? 700 : 0) << n;
  }
}

// ---------------------------------------------------------------------------
// Class tags

TEST(JwwClassTags, ShortTagsReachAcrossTheListAndTheDefinitions) {
  // ObjectNumber runs through the whole body: a class takes the number at
  // which its name appears, and every object and definition takes one more.
  jwb::Drawing d(700);
  d.Line().tag = jwb::Tag::New();      // CDataSen is class 1, the line object 2
  d.Line().tag = jwb::Tag::Short(1);   // object 3
  auto& a = d.Def(1, "A");             // CDataList named at 4, definition object 5
  a.tag = jwb::Tag::New("CDataList");  //
  a.Arc().tag = jwb::Tag::New();       // CDataEnko is class 6, object 7
  a.Line().tag = jwb::Tag::Short(1);   // object 8
  auto& b = d.Def(2, "B");             //
  b.tag = jwb::Tag::Short(4);          // definition object 9
  b.Arc().tag = jwb::Tag::Short(6);    // object 10
  b.Line().tag = jwb::Tag::Short(1);   // object 11
  d.Def(3, "C").Arc().tag = jwb::Tag::Short(6);
  TJwwData r;
  ASSERT_TRUE(Load(r, d.JwwBytes()));
  EXPECT_EQ(r.LineCount, 2);
  ASSERT_EQ(r.BlockDefCount, 3);
  EXPECT_EQ(r.BlockDefs[0].ArcCount, 1);
  EXPECT_EQ(r.BlockDefs[0].LineCount, 1);
  EXPECT_EQ(r.BlockDefs[1].EntityOrder, Order({{2, 0}, {1, 0}}));
  ASSERT_EQ(r.BlockDefs[1].Arcs.size(), 1u);
  ExpectPattern(r.BlockDefs[1].Arcs[0].Geometry, 60, jwb::Kind::Arc, "arc");
  EXPECT_EQ(r.BlockDefs[2].ArcCount, 1);
  EXPECT_EQ(r.BlockDefs[2].Name, "C");
}

TEST(JwwClassTags, ANameMetAgainTakesTheNewNumber) {
  jwb::Drawing d(700);
  d.Line();                           // CDataSen is class 1, the line object 2
  d.Line().tag = jwb::Tag::New();     // named again at 3, object 4
  d.Raw(B({0x01, 0x80}));             // the old number now names nothing
  d.Line().tag = jwb::Tag::Short(3);  // object 5
  d.Def(1, "after").Line().tag = jwb::Tag::Short(3);
  TJwwData r;
  ASSERT_TRUE(Load(r, d.JwwBytes()));
  EXPECT_EQ(r.LineCount, 3);
  EXPECT_EQ(r.EntityOrder, Order({{1, 0}, {1, 1}, {1, 2}}));
  ASSERT_EQ(r.BlockDefCount, 1);
  EXPECT_EQ(r.BlockDefs[0].LineCount, 1);
}

TEST(JwwClassTags, LongReferenceIgnoresBit31) {
  jwb::Drawing d(700);
  d.Line();                               // class 1
  d.Arc();                                // class 3
  d.Arc().tag = jwb::Tag::Long(true, 3);  // 0x80000003 means class 3
  d.Line().tag = jwb::Tag::Long(true, 1);
  d.Line().tag = jwb::Tag::Long(false, 1);
  d.Def(1, "X").Arc().tag = jwb::Tag::Long(true, 3);
  TJwwData r;
  ASSERT_TRUE(Load(r, d.JwwBytes()));
  EXPECT_EQ(r.LineCount, 3);
  EXPECT_EQ(r.ArcCount, 2);
  EXPECT_EQ(r.EntityOrder, Order({{1, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}}));
  ASSERT_EQ(r.BlockDefCount, 1);
  EXPECT_EQ(r.BlockDefs[0].ArcCount, 1);
}

TEST(JwwClassTags, NamesOtherThanTheSevenResolveToNoKind) {
  const std::string names[] = {
      "CDataSenX",           "CDataSe", "cdatasen",
      "CDataList",           "",        "CDataSen" + std::string(2040, 'x'),
      std::string(2048, 'C')};
  for (const auto& name : names) {
    SCOPED_TRACE("class name of " + std::to_string(name.size()) + " bytes");
    jwb::Drawing d(700);
    d.UnknownClass(name);  // class name taken at 1, nothing read for its object
    d.Line();              // CDataSen at 2, the line object 3
    d.Line();              // short tag 0x8002
    TJwwData r;
    ASSERT_TRUE(Load(r, d.JwwBytes()));
    EXPECT_EQ(r.Header.EntityCount, 2);
    EXPECT_EQ(r.LineCount, 2);
    EXPECT_EQ(r.EntityOrder, Order({{1, 0}, {1, 1}}));
  }
}

TEST(JwwClassTags, ClassNameLongerThanTheBufferEndsTheLoad) {
  jwb::Drawing d(700);
  d.Line();
  d.UnknownClass(std::string(2049, 'C'));
  d.Line();
  TJwwData r;
  EXPECT_FALSE(Load(r, d.JwwBytes()));
  EXPECT_EQ(r.LineCount, 1);
}

TEST(JwwClassTags, TagsResolvingToNoClassReadNothing) {
  jwb::Drawing d(700);
  d.Raw(B({0x05, 0x80}));                          // class 5: nothing has that number
  d.Raw(B({0x01, 0x00}));                          // below 0x8000: a negative class number
  d.Raw(B({0xFF, 0x7F, 0x63, 0x00, 0x00, 0x80}));  // long form, class 99
  d.Line();
  d.Def(1, "D").Line();
  TJwwData r;
  ASSERT_TRUE(Load(r, d.JwwBytes()));
  EXPECT_EQ(r.LineCount, 1);
  EXPECT_EQ(r.EntityOrder, Order({{1, 0}}));
  ASSERT_EQ(r.BlockDefCount, 1);
  EXPECT_EQ(r.BlockDefs[0].Name, "D");
}

TEST(JwwClassTags, Tag8000BeforeItsClassIsNamedIsTheHighestUnnamedKind) {
  using K = jwb::Kind;
  struct Case {
    std::vector<K> named;
    K expected;
  } cases[] = {
      {{}, K::Block},
      {{K::Block}, K::Solid},
      {{K::Line}, K::Block},
      {{K::Block, K::Solid, K::Dimension}, K::Text},
  };
  for (const auto& c : cases) {
    jwb::Drawing d(700);
    for (K k : c.named) d.Add(jwb::MakeEntity(k));
    jwb::Entity e = jwb::MakeEntity(c.expected);
    e.tag = jwb::Tag::RawTag(0x8000);
    d.Add(e);
    d.Line();  // must still be in step
    TJwwData r;
    ASSERT_TRUE(Load(r, d.JwwBytes())) << "expected kind " << static_cast<int>(c.expected);
    ASSERT_EQ(r.EntityOrder.size(), c.named.size() + 2);
    EXPECT_EQ(r.EntityOrder[c.named.size()].Kind, static_cast<int32_t>(c.expected));
    EXPECT_EQ(r.EntityOrder.back().Kind, 1);
  }
}

// ---------------------------------------------------------------------------
// Records

TEST(JwwRecords, PointTailByPenStyle) {
  for (int32_t version : {350, 351, 700}) {
    SCOPED_TRACE(version);
    jwb::Drawing d(version);
    auto& p = d.Point(100);
    p.pointInt = 0x99;
    p.pointReal1 = -4.25;
    p.pointReal2 = 7.5;
    d.Point(1);
    d.Point(0);
    d.Line();
    auto& def = d.Def(1, "P");
    def.Point(100);
    def.Point(1);
    def.Line();
    TJwwData r;
    ASSERT_TRUE(Load(r, d.JwwBytes()));
    ASSERT_EQ(r.PointCount, 3);
    EXPECT_EQ(+r.Points[0].ExtraInt, 0x99u);
    EXPECT_DOUBLE_EQ(r.Points[0].ExtraReal1, -4.25);
    EXPECT_DOUBLE_EQ(r.Points[0].ExtraReal2, 7.5);
    for (int i : {1, 2}) {
      // Points of the drawing's own list without a tail: 0, 0.0, 1.0.
      EXPECT_EQ(+r.Points[static_cast<size_t>(i)].ExtraInt, 0u);
      EXPECT_DOUBLE_EQ(r.Points[static_cast<size_t>(i)].ExtraReal1, 0.0);
      EXPECT_DOUBLE_EQ(r.Points[static_cast<size_t>(i)].ExtraReal2, 1.0);
      ExpectPattern(r.Points[static_cast<size_t>(i)].Geometry, 20, jwb::Kind::Point, "point");
    }
    ASSERT_EQ(r.LineCount, 1);
    ExpectPattern(r.Lines[0].Geometry, 32, jwb::Kind::Line, "line after the points");
    ASSERT_EQ(r.BlockDefCount, 1);
    const auto& dp = r.BlockDefs[0].Points;
    ASSERT_EQ(dp.size(), 2u);
    EXPECT_EQ(+dp[0].ExtraInt, 0x64u);
    EXPECT_DOUBLE_EQ(dp[0].ExtraReal1, 2.5);
    // Inside a definition the missing tail is all zero bytes.
    ExpectZero(&dp[1].ExtraInt, 20, "point tail inside a definition");
    ASSERT_EQ(r.BlockDefs[0].LineCount, 1);
    ExpectPattern(r.BlockDefs[0].Lines[0].Geometry, 32, jwb::Kind::Line, "line in definition");
  }
}

TEST(JwwRecords, SolidColourOnlyForPenColour10) {
  jwb::Drawing d(700);
  d.Solid(10).solidColor = 0x11223344;
  d.Solid(2);
  d.Solid(11);
  d.Line();
  d.Def(1, "S").Solid(10).solidColor = 0x55667788;
  TJwwData r;
  ASSERT_TRUE(Load(r, d.JwwBytes()));
  ASSERT_EQ(r.SolidCount, 3);
  EXPECT_EQ(+r.Solids[0].SolidColor, 0x11223344u);
  EXPECT_EQ(+r.Solids[1].SolidColor, 0u);
  EXPECT_EQ(+r.Solids[2].SolidColor, 0u);
  for (const auto& s : r.Solids) ExpectPattern(s.Geometry, 64, jwb::Kind::Solid, "solid");
  EXPECT_EQ(r.LineCount, 1);
  ASSERT_EQ(r.BlockDefs.size(), 1u);
  ASSERT_EQ(r.BlockDefs[0].SolidCount, 1);
  EXPECT_EQ(+r.BlockDefs[0].Solids[0].SolidColor, 0x55667788u);
}

// Every kind at 350 (13-byte attribute record, Attr7 zero) and at 351.
TEST(JwwRecords, AttributeRecordWidensBefore351) {
  for (int32_t version : {350, 351}) {
    SCOPED_TRACE(version);
    jwb::Drawing d(version);
    EntityAttributes attr = jwb::MakeAttr(3, 4, 0x01020304);
    d.Line().attr = attr;
    d.Arc().attr = attr;
    auto& p = d.Point(100);
    d.Text("t1", "t2").attr = attr;
    d.Solid(10);
    d.Dim("d1", "d2").attr = attr;
    d.Insert(7, 1.0, 2.0, 3.0, 4.0, 0.5).attr = attr;
    d.Line();
    auto& def = d.Def(-3, "W");
    def.attr = attr;
    def.word2 = 0xA1B2C3D4;
    def.stamp = 12;
    def.Line();
    TJwwData r;
    ASSERT_TRUE(Load(r, d.JwwBytes()));
    const EntityAttributes want = AsRead(attr, version);
    ASSERT_EQ(r.LineCount, 2);
    EXPECT_TRUE(SameAttr(r.Lines[0].Attr, want));
    ExpectPattern(r.Lines[0].Geometry, 32, jwb::Kind::Line, "line");
    ExpectPattern(r.Lines[1].Geometry, 32, jwb::Kind::Line, "last line");
    ASSERT_EQ(r.ArcCount, 1);
    EXPECT_TRUE(SameAttr(r.Arcs[0].Attr, want));
    ExpectPattern(r.Arcs[0].Geometry, 60, jwb::Kind::Arc, "arc");
    ASSERT_EQ(r.PointCount, 1);
    EXPECT_TRUE(SameAttr(r.Points[0].Attr, AsRead(p.attr, version)));
    EXPECT_DOUBLE_EQ(r.Points[0].ExtraReal2, 3.5);
    ASSERT_EQ(r.TextCount, 1);
    EXPECT_TRUE(SameAttr(r.Texts[0].Attr, want));
    ExpectPattern(r.Texts[0].Fixed, 68, jwb::Kind::Text, "text");
    EXPECT_EQ(r.Texts[0].Text1, "t1");
    EXPECT_EQ(r.Texts[0].Text2, "t2");
    ASSERT_EQ(r.SolidCount, 1);
    EXPECT_EQ(+r.Solids[0].SolidColor, 0x00C0FFEEu);
    ASSERT_EQ(r.DimensionCount, 1);
    const auto& dim = r.Dimensions[0];
    EXPECT_TRUE(SameAttr(dim.Attr, want));
    EXPECT_EQ(+dim.DimLine.Attr.Attr7, version >= 351 ? 0x0707 : 0);
    ExpectPattern(dim.DimLine.Geometry, 32, jwb::Kind::Line, "dimension line");
    ExpectPattern(dim.DimText.Fixed, 68, jwb::Kind::Text, "dimension text");
    EXPECT_EQ(dim.DimText.Text1, "d1");
    EXPECT_EQ(dim.DimText.Text2, "d2");
    ASSERT_EQ(r.BlockInsertCount, 1);
    const auto& ins = r.BlockInserts[0];
    EXPECT_TRUE(SameAttr(ins.Attr, want));
    EXPECT_DOUBLE_EQ(ins.X, 1.0);
    EXPECT_DOUBLE_EQ(ins.Y, 2.0);
    EXPECT_DOUBLE_EQ(ins.ScaleX, 3.0);
    EXPECT_DOUBLE_EQ(ins.ScaleY, 4.0);
    EXPECT_DOUBLE_EQ(ins.Angle, 0.5);
    EXPECT_EQ(+ins.BlockNumber, 7);
    ASSERT_EQ(r.BlockDefCount, 1);
    const auto& bd = r.BlockDefs[0];
    EXPECT_TRUE(SameAttr(bd.Attr, want));
    EXPECT_EQ(bd.Number, -3);
    EXPECT_EQ(bd.Word2, 0xA1B2C3D4u);
    EXPECT_EQ(bd.Stamp, 12);
    EXPECT_EQ(bd.Name, "W");
    EXPECT_EQ(bd.LineCount, 1);
  }
}

TEST(JwwRecords, DimensionBefore420GetsSynthesisedExtensions) {
  for (int32_t version : {351, 419}) {
    SCOPED_TRACE(version);
    jwb::Drawing d(version);
    auto& dim = d.Dim("x", "y");
    dim.attr = jwb::MakeAttr(100, 10, 0x11223344);  // pen style 100 must not matter here
    d.Line();
    d.Def(1, "D").Dim();
    TJwwData r;
    ASSERT_TRUE(Load(r, d.JwwBytes()));
    ASSERT_EQ(r.DimensionCount, 1);
    const auto& s = r.Dimensions[0];
    EXPECT_TRUE(SameAttr(s.Attr, dim.attr));
    ExpectPattern(s.DimLine.Geometry, 32, jwb::Kind::Line, "dimension line");
    EXPECT_EQ(s.DimText.Text1, "x");
    EXPECT_EQ(s.DimText.Text2, "y");
    EXPECT_EQ(s.ExtFlag, 0);
    for (const TEntJwwSen* l : {&s.ExtLine1, &s.ExtLine2}) {
      EXPECT_TRUE(SameAttr(l->Attr, dim.attr));
      ExpectZero(l->Geometry, 32, "extension line");
    }
    EntityAttributes pointAttr = dim.attr;
    pointAttr.PenStyle = 0;
    for (const auto& p : s.ExtPoints) {
      EXPECT_TRUE(SameAttr(p.Attr, pointAttr));
      ExpectZero(p.Geometry, 40, "extension point");
    }
    ASSERT_EQ(r.LineCount, 1);
    ExpectPattern(r.Lines[0].Geometry, 32, jwb::Kind::Line, "line after the dimension");
    ASSERT_EQ(r.BlockDefCount, 1);
    EXPECT_EQ(r.BlockDefs[0].DimensionCount, 1);
  }
}

TEST(JwwRecords, DimensionFrom420ReadsExtensionsAndPointTails) {
  jwb::Drawing d(420);
  auto& dim = d.Dim("x", "");
  dim.extFlag = 0xBEEF;
  dim.ExtLine(1).body.assign(32, 0xE1);
  dim.ExtLine(2).body.assign(32, 0xE2);
  dim.ExtPoint(2).attr.PenStyle = 100;
  dim.ExtPoint(2).pointInt = 0x77;
  dim.ExtPoint(2).pointReal1 = 4.5;
  dim.ExtPoint(2).pointReal2 = 5.5;
  dim.ExtPoint(4).attr.PenStyle = 100;
  d.Line();
  TJwwData r;
  ASSERT_TRUE(Load(r, d.JwwBytes()));
  ASSERT_EQ(r.DimensionCount, 1);
  const auto& s = r.Dimensions[0];
  EXPECT_EQ(s.ExtFlag, 0xBEEF);
  EXPECT_EQ(s.ExtLine1.Geometry[0], 0xE1);
  EXPECT_EQ(s.ExtLine1.Geometry[31], 0xE1);
  EXPECT_EQ(s.ExtLine2.Geometry[31], 0xE2);
  EXPECT_EQ(+s.ExtPoints[1].Attr.PenStyle, 100);
  EXPECT_EQ(+s.ExtPoints[1].ExtraInt, 0x77u);
  EXPECT_DOUBLE_EQ(s.ExtPoints[1].ExtraReal1, 4.5);
  EXPECT_DOUBLE_EQ(s.ExtPoints[1].ExtraReal2, 5.5);
  EXPECT_EQ(+s.ExtPoints[3].ExtraInt, 0x64u);
  // A point of a dimension without a tail has zero there, not the 1.0 of a
  // point of the drawing's list.
  for (int i : {0, 2}) {
    EXPECT_EQ(+s.ExtPoints[i].Attr.PenStyle, 1);
    ExpectZero(&s.ExtPoints[i].ExtraInt, 20, "extension point tail");
    ExpectPattern(s.ExtPoints[i].Geometry, 20, jwb::Kind::Point, "extension point");
  }
  ASSERT_EQ(r.LineCount, 1);
  ExpectPattern(r.Lines[0].Geometry, 32, jwb::Kind::Line, "line after the dimension");
}

TEST(JwwRecords, TextStringsKeepTheirFirst255Bytes) {
  std::string s300;
  for (int i = 0; i < 300; ++i) s300 += static_cast<char>('A' + i % 26);
  // Two ASCII bytes and 149 double-byte characters: the cut falls after a
  // lead byte.
  std::string kanji = "AA";
  for (int i = 0; i < 149; ++i) kanji += "\x82\xA0";
  // Cleaning comes first: 50 tabs go, 250 bytes remain, all kept.
  std::string tabs = std::string(50, '\t') + s300.substr(0, 250);

  jwb::Drawing d(700);
  d.Text(s300, "b");
  d.Text("a", s300);
  d.Text(kanji, s300.substr(0, 255));
  d.Text(tabs, "");
  d.Line();
  d.Def(1, "T").Text(s300, s300);
  TJwwData r;
  ASSERT_TRUE(Load(r, d.JwwBytes()));
  ASSERT_EQ(r.TextCount, 4);
  EXPECT_EQ(r.Texts[0].Text1, s300.substr(0, 255));
  EXPECT_EQ(r.Texts[0].Text2, "b");
  EXPECT_EQ(r.Texts[1].Text1, "a");
  EXPECT_EQ(r.Texts[1].Text2, s300.substr(0, 255));
  EXPECT_EQ(r.Texts[2].Text1, kanji.substr(0, 255));
  EXPECT_EQ(r.Texts[2].Text2, s300.substr(0, 255));
  EXPECT_EQ(r.Texts[3].Text1, s300.substr(0, 250));
  EXPECT_EQ(r.LineCount, 1);
  ASSERT_EQ(r.BlockDefCount, 1);
  ASSERT_EQ(r.BlockDefs[0].TextCount, 1);
  EXPECT_EQ(r.BlockDefs[0].Texts[0].Text2, s300.substr(0, 255));
}

TEST(JwwRecords, EntityOrderNamesKindAndIndexInFileOrder) {
  jwb::Drawing d(700);
  d.Line();
  d.Arc();
  d.Line();
  d.Text();
  d.Insert(1);
  d.Point();
  d.Dim();
  d.Solid();
  d.Arc();
  auto& def = d.Def(1, "E");
  def.Solid();
  def.Line();
  def.Solid();
  TJwwData r;
  ASSERT_TRUE(Load(r, d.JwwBytes()));
  EXPECT_EQ(r.EntityOrder,
            Order({{1, 0}, {2, 0}, {1, 1}, {4, 0}, {7, 0}, {3, 0}, {5, 0}, {6, 0}, {2, 1}}));
  ASSERT_EQ(r.BlockDefCount, 1);
  EXPECT_EQ(r.BlockDefs[0].EntityCount, 3);
  EXPECT_EQ(r.BlockDefs[0].EntityOrder, Order({{6, 0}, {1, 0}, {6, 1}}));
}

// ---------------------------------------------------------------------------
// Counts and block definitions

TEST(JwwCounts, ThirtyTwoBitCountForms) {
  jwb::Drawing d(700);
  d.SetCountForm(jwb::CountForm::Long);
  d.Line();
  d.Arc();
  d.defCountForm = jwb::CountForm::Long;
  auto& a = d.Def(1, "A");
  a.SetCountForm(jwb::CountForm::Long);
  a.Line();
  d.Def(2, "B");  // an entity count of 0
  TJwwData r;
  ASSERT_TRUE(Load(r, d.JwwBytes()));
  EXPECT_EQ(r.Header.EntityCount, 2);
  EXPECT_EQ(r.EntityOrder, Order({{1, 0}, {2, 0}}));
  ASSERT_EQ(r.BlockDefCount, 2);
  EXPECT_EQ(r.BlockDefs[0].LineCount, 1);
  EXPECT_EQ(r.BlockDefs[1].Name, "B");
  EXPECT_EQ(r.BlockDefs[1].EntityCount, 0);
  EXPECT_TRUE(r.BlockDefs[1].EntityOrder.empty());
  EXPECT_TRUE(r.BlockDefs[1].Lines.empty());
}

TEST(JwwCounts, EmptyListsAndNoDefinitions) {
  jwb::Drawing d(700);
  TJwwData r;
  ASSERT_TRUE(Load(r, d.JwwBytes()));
  EXPECT_EQ(r.Header.EntityCount, 0);
  EXPECT_TRUE(r.EntityOrder.empty());
  EXPECT_EQ(r.LineCount + r.ArcCount + r.PointCount + r.TextCount + r.DimensionCount +
                r.SolidCount + r.BlockInsertCount,
            0);
  EXPECT_TRUE(r.Lines.empty());
  EXPECT_EQ(r.BlockDefCount, 0);
  EXPECT_EQ(r.Header.BlockDefTotal, 0);
  EXPECT_TRUE(r.BlockDefs.empty());
}

TEST(JwwCounts, SeventyThousandEntitiesBehindTheEscape) {
  jwb::Drawing d(700);
  for (int i = 0; i < 70000; ++i) d.Line();
  d.SetCountForm(jwb::CountForm::Long);
  d.Def(1, "after");
  TJwwData r;
  ASSERT_TRUE(Load(r, d.JwwBytes()));
  EXPECT_EQ(r.Header.EntityCount, 70000);
  EXPECT_EQ(r.LineCount, 70000);
  EXPECT_EQ(r.Lines.size(), 70000u);
  ASSERT_EQ(r.EntityOrder.size(), 70000u);
  EXPECT_EQ(r.EntityOrder.back(), (TEntJwwOrder{1, 69999}));
  ExpectPattern(r.Lines.back().Geometry, 32, jwb::Kind::Line, "last line");
  ASSERT_EQ(r.BlockDefCount, 1);
  EXPECT_EQ(r.BlockDefs[0].Name, "after");
}

TEST(JwwCounts, ArraysEndAtTheirCounts) {
  jwb::Drawing d(700);
  for (int i = 0; i < 1001; ++i) d.Line();
  auto& def = d.Def(1, "many");
  for (int i = 0; i < 501; ++i) def.Text("t", "");
  for (int i = 0; i < 3; ++i) def.Dim();
  TJwwData r;
  ASSERT_TRUE(Load(r, d.JwwBytes()));
  EXPECT_EQ(r.LineCount, 1001);
  EXPECT_EQ(r.Lines.size(), 1001u);
  EXPECT_EQ(r.EntityOrder.size(), 1001u);
  EXPECT_TRUE(r.Arcs.empty());
  ASSERT_EQ(r.BlockDefCount, 1);
  EXPECT_EQ(r.BlockDefs[0].TextCount, 501);
  EXPECT_EQ(r.BlockDefs[0].Texts.size(), 501u);
  EXPECT_EQ(r.BlockDefs[0].Dimensions.size(), 3u);
  EXPECT_TRUE(r.BlockDefs[0].Lines.empty());
}

TEST(JwwCounts, UnaffordableCountsEndTheLoad) {
  {
    jwb::Drawing d(700);
    d.Line();
    d.SetCount(-1, jwb::CountForm::Long);
    TJwwData r;
    EXPECT_FALSE(Load(r, d.JwwBytes()));
    EXPECT_EQ(r.LineCount, 0);
    EXPECT_EQ(r.BlockDefCount, 0);
  }
  for (int64_t n : {int64_t{-1}, int64_t{0x7FFFFFFF}, int64_t{100000}}) {
    jwb::Drawing d(700);
    d.Def(1, "A");
    d.SetDefCount(n, jwb::CountForm::Long);
    TJwwData r;
    EXPECT_FALSE(Load(r, d.JwwBytes())) << n;
    EXPECT_EQ(r.BlockDefCount, 0) << n;
    EXPECT_TRUE(r.BlockDefs.empty()) << n;
  }
}

TEST(JwwBlockDefs, NegativeStampSkipsEightBytesAndBecomesThePosition) {
  jwb::Drawing d(700);
  d.Def(1, "A").stamp = 77;
  d.Def(2, "B").stamp = -1;
  auto& c = d.Def(3, "C");
  c.stamp = -2147483647 - 1;
  c.Line();
  d.Def(4, "A").stamp = 0;  // a repeated name stays a definition of its own
  TJwwData r;
  ASSERT_TRUE(Load(r, d.JwwBytes()));
  ASSERT_EQ(r.BlockDefCount, 4);
  EXPECT_EQ(r.BlockDefs[0].Stamp, 77);
  EXPECT_EQ(r.BlockDefs[1].Stamp, 2);
  EXPECT_EQ(r.BlockDefs[2].Stamp, 3);
  EXPECT_EQ(r.BlockDefs[3].Stamp, 0);
  EXPECT_EQ(r.BlockDefs[1].Name, "B");
  EXPECT_EQ(r.BlockDefs[2].Name, "C");
  EXPECT_EQ(r.BlockDefs[2].LineCount, 1);
  EXPECT_EQ(r.BlockDefs[3].Name, "A");
  EXPECT_EQ(r.BlockDefs[3].Number, 4);
}

TEST(JwwBlockDefs, AnyClassTagIntroducesADefinition) {
  jwb::Drawing d(700);
  d.Line();
  d.Def(1, "new").tag = jwb::Tag::New("AnyNameAtAll");
  d.Def(2, "short").tag = jwb::Tag::Short(1);
  d.Def(3, "long").tag = jwb::Tag::Long(true, 12345);
  d.Def(4, "raw").tag = jwb::Tag::RawTag(0x1234);
  d.Def(5, "end").Line();
  TJwwData r;
  ASSERT_TRUE(Load(r, d.JwwBytes()));
  ASSERT_EQ(r.BlockDefCount, 5);
  EXPECT_EQ(r.BlockDefs[0].Name, "new");
  EXPECT_EQ(r.BlockDefs[3].Name, "raw");
  EXPECT_EQ(r.BlockDefs[4].Name, "end");
  EXPECT_EQ(r.BlockDefs[4].LineCount, 1);
}

TEST(JwwBlockDefs, NamesAreCleaned) {
  jwb::Drawing d(700);
  d.Def(1, std::string("a\tb\0c", 5));
  d.Def(2, "\x95\x5C\x8E\xA6");
  d.Def(3, std::string(300, 'n'));
  TJwwData r;
  ASSERT_TRUE(Load(r, d.JwwBytes()));
  ASSERT_EQ(r.BlockDefCount, 3);
  EXPECT_EQ(r.BlockDefs[0].Name, "abc");
  EXPECT_EQ(r.BlockDefs[1].Name, "\x95\x5C\x8E\xA6");
  EXPECT_EQ(r.BlockDefs[2].Name, std::string(300, 'n'));
}

// ---------------------------------------------------------------------------
// Damaged files

TEST(JwwDamaged, CutInsideTheFourthOfTenEntities) {
  jwb::Drawing d(700);
  d.Line();
  d.Arc();
  d.Text("abc", "de");
  d.Point(100);
  d.Solid(10);
  d.Line();
  d.Line();
  d.Arc();
  d.Text();
  d.Insert(1);
  d.Def(1, "never");
  Bytes bytes = d.JwwBytes();
  size_t cut = d.LastLayout().list.items[3].record + 20;
  TJwwData r;
  EXPECT_FALSE(Load(r, jwb::Cut(bytes, cut), "cut.jww"));
  EXPECT_EQ(r.Header.EntityCount, 10);
  EXPECT_EQ(r.LineCount, 1);
  EXPECT_EQ(r.ArcCount, 1);
  EXPECT_EQ(r.TextCount, 1);
  EXPECT_EQ(r.PointCount, 0);
  EXPECT_EQ(r.SolidCount, 0);
  EXPECT_EQ(r.BlockInsertCount, 0);
  ASSERT_GE(r.Texts.size(), 1u);
  EXPECT_EQ(r.Texts[0].Text1, "abc");
  ExpectPattern(r.Arcs[0].Geometry, 60, jwb::Kind::Arc, "arc");
  // The order list holds the records read, nothing sized by the count.
  EXPECT_EQ(r.EntityOrder, Order({{1, 0}, {2, 0}, {4, 0}}));
  EXPECT_EQ(r.AbsorbedFailures, 1);
  EXPECT_EQ(r.BlockDefCount, 0);
  EXPECT_EQ(r.BlockTreeCount, 0);
  EXPECT_EQ(LoadedFileName, "cut.jww");
  EXPECT_EQ(ElapsedTimeText, "1 : 02");
  EXPECT_DOUBLE_EQ(LoadedSec8Real, 8.03);
}

TEST(JwwDamaged, CutInsideTheNameOfTheSecondOfFiveDefinitions) {
  jwb::Drawing d(700);
  d.Insert(10);
  d.Insert(0);
  for (int i = 0; i < 5; ++i) {
    auto& def = d.Def(10 + i, "DEFINITION-" + std::to_string(i));
    def.Line();
    def.Text("in " + std::to_string(i), "");
  }
  Bytes bytes = d.JwwBytes();
  size_t cut = d.LastLayout().defs[1].name + 5;
  TJwwData r;
  EXPECT_FALSE(Load(r, jwb::Cut(bytes, cut), "defs.jww"));
  // Only the definition whose name was read is held: no unread slots.
  EXPECT_EQ(r.Header.BlockDefTotal, 5);
  ASSERT_EQ(r.BlockDefCount, 1);
  ASSERT_EQ(r.BlockDefs.size(), 1u);
  const auto& first = r.BlockDefs[0];
  EXPECT_EQ(first.Name, "DEFINITION-0");
  EXPECT_EQ(first.Number, 10);
  EXPECT_EQ(first.EntityCount, 2);
  EXPECT_EQ(first.EntityOrder, Order({{1, 0}, {4, 0}}));
  ASSERT_EQ(first.Texts.size(), 1u);
  EXPECT_EQ(first.Texts[0].Text1, "in 0");
  // The tree is built from what was read: number 0 finds no definition.
  ASSERT_EQ(r.BlockTreeCount, 2);
  EXPECT_EQ(r.BlockTree[0].DefIndex, 0);
  EXPECT_EQ(r.BlockTree[1].DefIndex, -1);
  EXPECT_EQ(LoadedFileName, "defs.jww");
  EXPECT_EQ(ElapsedTimeText, "1 : 02");
}

TEST(JwwDamaged, CutInsideTheHeaderPublishesWhatWasRead) {
  jwb::Drawing d(700);
  d.jww.Memo = "A\r\nB";
  d.jww.LayerGroups[0].Layers[0].Name = "L0";
  d.jww.LayerGroups[0].Layers[1].Name = "L1-long-name";
  d.Def(1, "never");
  Bytes bytes = d.JwwBytes();
  const jwb::Layout L = d.LastLayout();
  struct Case {
    const char* where;
    size_t cut;
    const char* elapsed;
    double sec8;
  } cases[] = {
      {"inside the signature", 5, "0 : 00", 1.0},
      {"inside the memo", L.section[3] + 2, "0 : 00", 1.0},
      {"inside section 5", L.section[5] + 100, "0 : 00", 1.0},
      {"inside the second layer name", L.section[9] + 3 + 4, "0 : 00", 8.03},
      {"inside section 18", L.section[18] + 50, "0 : 00", 8.03},
      {"inside section 19", L.section[19] + 5000, "1 : 02", 8.03},
      {"inside section 21", L.section[21] + 99, "1 : 02", 8.03},
      {"at the entity count", L.bodyStart, "1 : 02", 8.03},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.where);
    MemoLine1 = MemoLine2 = "stale";
    TJwwData r;
    EXPECT_FALSE(Load(r, jwb::Cut(bytes, c.cut), "header.jww"));
    EXPECT_EQ(r.BlockDefCount, 0);
    EXPECT_EQ(r.Header.EntityCount, 0);
    EXPECT_EQ(r.LayerGroups.size(), 16u);
    EXPECT_EQ(r.ColorExTable.size(), 257u);
    EXPECT_EQ(r.Sec20Table.size(), 10u);
    EXPECT_EQ(LoadedFileName, "header.jww");
    EXPECT_EQ(ElapsedTimeText, c.elapsed);
    EXPECT_DOUBLE_EQ(LoadedSec8Real, c.sec8);
    const bool memoRead = c.cut > L.section[4];
    EXPECT_EQ(MemoLine1, memoRead ? "A" : "");
    EXPECT_EQ(MemoLine2, memoRead ? "B" : "");
    if (c.cut == L.section[9] + 7) {
      EXPECT_EQ(r.Layers[0].Name, "L0");
      EXPECT_EQ(r.Layers[1].Name, "");
      EXPECT_EQ(r.LayerGroups[15].Int3, 5153);
    }
  }
}

TEST(JwwDamaged, FailureInTheLastRecordOfTheLastDefinitionIsAbsorbed) {
  jwb::Drawing d(700);
  d.Line();
  auto& def = d.Def(1, "last");
  def.Line();
  def.Text("cut here", "");
  Bytes bytes = d.JwwBytes();
  const jwb::Layout L = d.LastLayout();
  size_t cut = L.defs[0].list.items[1].record + 85;  // inside the first string
  TJwwData r;
  EXPECT_TRUE(Load(r, jwb::Cut(bytes, cut), "absorbed.jww"));
  EXPECT_EQ(r.AbsorbedFailures, 1);
  ASSERT_EQ(r.BlockDefCount, 1);
  const auto& bd = r.BlockDefs[0];
  EXPECT_EQ(bd.Name, "last");
  EXPECT_EQ(bd.EntityCount, 2);
  EXPECT_EQ(bd.LineCount, 1);
  EXPECT_EQ(bd.TextCount, 0);
  EXPECT_TRUE(bd.Texts.empty());
  EXPECT_EQ(bd.EntityOrder, Order({{1, 0}, {0, 0}}));
  EXPECT_EQ(LoadedFileName, "absorbed.jww");
  EXPECT_EQ(ElapsedTimeText, "1 : 02");
  EXPECT_DOUBLE_EQ(LoadedSec8Real, 8.03);

  // The same with the whole file: nothing absorbed.
  TJwwData whole;
  EXPECT_TRUE(Load(whole, bytes));
  EXPECT_EQ(whole.AbsorbedFailures, 0);
  EXPECT_EQ(whole.BlockDefs[0].TextCount, 1);
}

// ---------------------------------------------------------------------------
// Files, signatures and the published values

class JwwFiles : public ::testing::Test {
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

TEST_F(JwwFiles, Signature) {
  auto bytes = [](std::string s) { return Bytes(s.begin(), s.end()); };
  TJwwData r;
  EXPECT_TRUE(r.CheckSignature(Make("a.jww", bytes("JwwData."))));
  EXPECT_TRUE(r.CheckSignature(Make("b.jww", bytes("JwwData.anything after"))));
  EXPECT_FALSE(r.CheckSignature(Make("c.jww", bytes("jwwData."))));
  EXPECT_FALSE(r.CheckSignature(Make("d.jww", bytes("JwwDatA."))));
  EXPECT_FALSE(r.CheckSignature(Make("e.jww", bytes("JwwData"))));
  EXPECT_FALSE(r.CheckSignature(Make("f.jww", bytes(std::string("JwwData\0", 8)))));
  EXPECT_FALSE(r.CheckSignature(Make("g.jww", bytes("JwsData"))));
  EXPECT_FALSE(r.CheckSignature(Make("h.jww", {})));
  EXPECT_FALSE(r.CheckSignature(TempPath("missing.jww")));
  EXPECT_FALSE(r.CheckSignature(std::filesystem::temp_directory_path().string()));
}

TEST_F(JwwFiles, LoadFromFileAndAMissingFile) {
  jwb::Drawing d = RichDrawing(700);
  std::string path = Make("rich.jww", d.JwwBytes());
  TJwwData r;
  ASSERT_TRUE(r.LoadFromFile(path));
  EXPECT_EQ(LoadedFileName, path);
  ASSERT_EQ(r.BlockDefCount, 2);
  EXPECT_EQ(r.BlockDefs[1].Name, "B2");
  EXPECT_EQ(r.BlockTreeCount, 1);

  // A file that cannot be opened: false, an empty reader, and the values of
  // an empty header published.
  std::string missing = TempPath("missing.jww");
  EXPECT_FALSE(r.LoadFromFile(missing));
  EXPECT_EQ(r.BlockDefCount, 0);
  EXPECT_TRUE(r.BlockDefs.empty());
  EXPECT_EQ(r.LineCount, 0);
  EXPECT_EQ(r.BlockTreeCount, 0);
  EXPECT_EQ(r.Header.Version, 0);
  EXPECT_EQ(LoadedFileName, missing);
  EXPECT_EQ(ElapsedTimeText, "0 : 00");
  EXPECT_EQ(MemoLine1, "");
  EXPECT_EQ(MemoLine2, "");
  EXPECT_DOUBLE_EQ(LoadedSec8Real, 1.0);
}

TEST_F(JwwFiles, CheckSignatureLeavesTheReaderAlone) {
  jwb::Drawing d = RichDrawing(700);
  TJwwData r;
  ASSERT_TRUE(Load(r, d.JwwBytes(), "kept.jww"));
  jwb::Drawing other(220);
  other.Def(5, "other");
  EXPECT_TRUE(r.CheckSignature(Make("other.jww", other.JwwBytes())));
  EXPECT_EQ(r.Header.Version, 700);
  ASSERT_EQ(r.BlockDefCount, 2);
  EXPECT_EQ(r.BlockDefs[0].Name, "BLK");
  EXPECT_EQ(LoadedFileName, "kept.jww");
}

TEST(JwwReader, ClearAndResetLeaveAnEmptyReader) {
  jwb::Drawing d = RichDrawing(700);
  TJwwData r;
  ASSERT_TRUE(Load(r, d.JwwBytes()));
  r.Clear();
  EXPECT_EQ(r.Header.Version, 0);
  EXPECT_EQ(r.Header.Signature, "");
  EXPECT_DOUBLE_EQ(r.Header.Sec8RealsA[3], 1.0);
  EXPECT_DOUBLE_EQ(r.Header.Sec8RealsB[3], 1.0);
  EXPECT_DOUBLE_EQ(r.Header.Sec8RealsB[4], 0.0);
  EXPECT_DOUBLE_EQ(r.Header.Sec12Reals[1], 1.0);
  EXPECT_DOUBLE_EQ(r.Header.Sec12Reals[4], 1.0);
  EXPECT_DOUBLE_EQ(r.Header.Sec12Reals[2], 0.0);
  EXPECT_DOUBLE_EQ(r.Header.Sec13RealsA[8], 1.0);
  EXPECT_EQ(r.Header.Sec13Ints[8], -1);
  EXPECT_TRUE(r.LayerGroups.empty());
  EXPECT_TRUE(r.ColorExTable.empty());
  EXPECT_TRUE(r.EntityOrder.empty());
  EXPECT_TRUE(r.Lines.empty());
  EXPECT_EQ(r.LineCount, 0);
  EXPECT_EQ(r.BlockDefCount, 0);
  EXPECT_TRUE(r.BlockDefs.empty());
  EXPECT_EQ(r.BlockTreeCount, 0);
  EXPECT_TRUE(r.BlockTree.empty());
  EXPECT_EQ(r.UsedBlockDefCount, 0);
  r.Clear();  // on an empty reader
  EXPECT_EQ(r.BlockDefCount, 0);
}

// Compares everything a load fills.
void ExpectSameContents(const TJwwData& a, const TJwwData& b) {
  const TEntJwwHeader& x = a.Header;
  const TEntJwwHeader& y = b.Header;
  EXPECT_EQ(x.Signature, y.Signature);
  EXPECT_EQ(x.Version, y.Version);
  EXPECT_EQ(x.Memo, y.Memo);
  EXPECT_EQ(x.Sec4Ints, y.Sec4Ints);
  EXPECT_EQ(x.Sec7Ints, y.Sec7Ints);
  EXPECT_EQ(x.Sec7Coded, y.Sec7Coded);
  EXPECT_EQ(x.Sec7CodedFlag, y.Sec7CodedFlag);
  EXPECT_EQ(x.Sec7Decoded, y.Sec7Decoded);
  EXPECT_EQ(x.Sec8RealsA, y.Sec8RealsA);
  EXPECT_EQ(x.Sec8Ints, y.Sec8Ints);
  EXPECT_EQ(x.Sec8RealsB, y.Sec8RealsB);
  EXPECT_EQ(x.Sec11RealsA, y.Sec11RealsA);
  EXPECT_EQ(x.Sec11Int, y.Sec11Int);
  EXPECT_EQ(x.Sec11RealsB, y.Sec11RealsB);
  EXPECT_EQ(x.Sec12Int, y.Sec12Int);
  EXPECT_EQ(x.Sec12Reals, y.Sec12Reals);
  EXPECT_EQ(x.Sec13RealsA, y.Sec13RealsA);
  EXPECT_EQ(x.Sec13RealsB, y.Sec13RealsB);
  EXPECT_EQ(x.Sec13RealsC, y.Sec13RealsC);
  EXPECT_EQ(x.Sec13Ints, y.Sec13Ints);
  EXPECT_EQ(x.Sec13ExtraA, y.Sec13ExtraA);
  EXPECT_EQ(x.Sec13ExtraB, y.Sec13ExtraB);
  EXPECT_EQ(x.Sec14Reals, y.Sec14Reals);
  EXPECT_EQ(x.Sec14Real, y.Sec14Real);
  EXPECT_EQ(x.Sec18IntsA, y.Sec18IntsA);
  EXPECT_EQ(x.Sec18Units, y.Sec18Units);
  EXPECT_EQ(x.Sec18Tens, y.Sec18Tens);
  EXPECT_EQ(x.ElapsedSeconds, y.ElapsedSeconds);
  EXPECT_EQ(x.Sec18IntsB, y.Sec18IntsB);
  EXPECT_EQ(x.Sec18RealsA, y.Sec18RealsA);
  EXPECT_EQ(x.Sec18RealsB, y.Sec18RealsB);
  EXPECT_EQ(x.Sec18IntsC, y.Sec18IntsC);
  EXPECT_EQ(x.Sec21RealsA, y.Sec21RealsA);
  EXPECT_EQ(x.Sec21Ints, y.Sec21Ints);
  EXPECT_EQ(x.Sec21RealsB, y.Sec21RealsB);
  EXPECT_EQ(x.Sec21Int, y.Sec21Int);
  EXPECT_EQ(x.Sec21RealsC, y.Sec21RealsC);
  EXPECT_EQ(x.EntityCount, y.EntityCount);
  EXPECT_EQ(x.BlockDefTotal, y.BlockDefTotal);

  EXPECT_EQ(a.LayerGroups, b.LayerGroups);
  EXPECT_EQ(a.Layers, b.Layers);
  ASSERT_EQ(a.ColorExTable.size(), b.ColorExTable.size());
  for (size_t i = 0; i < a.ColorExTable.size(); ++i) {
    EXPECT_EQ(a.ColorExTable[i].Name, b.ColorExTable[i].Name) << i;
    EXPECT_EQ(a.ColorExTable[i].Int1, b.ColorExTable[i].Int1) << i;
    EXPECT_EQ(a.ColorExTable[i].Real1, b.ColorExTable[i].Real1) << i;
  }
  ASSERT_EQ(a.LineTypeExTable.size(), b.LineTypeExTable.size());
  for (size_t i = 0; i < a.LineTypeExTable.size(); ++i) {
    EXPECT_EQ(a.LineTypeExTable[i].Name, b.LineTypeExTable[i].Name) << i;
    EXPECT_EQ(a.LineTypeExTable[i].Reals, b.LineTypeExTable[i].Reals) << i;
  }
  ASSERT_EQ(a.Sec14Table.size(), b.Sec14Table.size());
  for (size_t i = 0; i < a.Sec14Table.size(); ++i)
    EXPECT_EQ(a.Sec14Table[i].Int4, b.Sec14Table[i].Int4) << i;
  ASSERT_EQ(a.Sec20Table.size(), b.Sec20Table.size());
  for (size_t i = 0; i < a.Sec20Table.size(); ++i)
    EXPECT_EQ(a.Sec20Table[i].Int1, b.Sec20Table[i].Int1) << i;

  EXPECT_EQ(a.EntityOrder, b.EntityOrder);
  EXPECT_EQ(a.LineCount, b.LineCount);
  EXPECT_EQ(a.ArcCount, b.ArcCount);
  EXPECT_EQ(a.PointCount, b.PointCount);
  EXPECT_EQ(a.TextCount, b.TextCount);
  EXPECT_EQ(a.DimensionCount, b.DimensionCount);
  EXPECT_EQ(a.SolidCount, b.SolidCount);
  EXPECT_EQ(a.BlockInsertCount, b.BlockInsertCount);
  EXPECT_EQ(a.Lines.size(), b.Lines.size());
  EXPECT_EQ(a.Arcs.size(), b.Arcs.size());
  EXPECT_EQ(a.Points.size(), b.Points.size());
  EXPECT_EQ(a.Texts.size(), b.Texts.size());
  EXPECT_EQ(a.Dimensions.size(), b.Dimensions.size());
  EXPECT_EQ(a.Solids.size(), b.Solids.size());
  EXPECT_EQ(a.BlockInserts.size(), b.BlockInserts.size());

  ASSERT_EQ(a.BlockDefCount, b.BlockDefCount);
  ASSERT_EQ(a.BlockDefs.size(), b.BlockDefs.size());
  for (size_t i = 0; i < a.BlockDefs.size(); ++i) {
    EXPECT_EQ(a.BlockDefs[i].Name, b.BlockDefs[i].Name) << i;
    EXPECT_EQ(a.BlockDefs[i].Number, b.BlockDefs[i].Number) << i;
    EXPECT_EQ(a.BlockDefs[i].EntityOrder, b.BlockDefs[i].EntityOrder) << i;
    EXPECT_EQ(a.BlockDefs[i].Used, b.BlockDefs[i].Used) << i;
    EXPECT_EQ(a.BlockDefs[i].Serial, b.BlockDefs[i].Serial) << i;
  }
  ASSERT_EQ(a.BlockTreeCount, b.BlockTreeCount);
  ASSERT_EQ(a.BlockTree.size(), b.BlockTree.size());
  for (size_t i = 0; i < a.BlockTree.size(); ++i) {
    EXPECT_EQ(a.BlockTree[i].DefIndex, b.BlockTree[i].DefIndex) << i;
    EXPECT_EQ(a.BlockTree[i].Name, b.BlockTree[i].Name) << i;
  }
  EXPECT_EQ(a.UsedBlockDefCount, b.UsedBlockDefCount);
  EXPECT_EQ(a.AbsorbedFailures, b.AbsorbedFailures);
}

TEST(JwwReader, ASecondLoadLeavesNoTraceOfTheFirst) {
  jwb::Drawing first = RichDrawing(700);
  first.jww.Memo = "first\r\nmemo";
  for (int i = 0; i < 5; ++i) first.Def(100 + i, "extra").Insert(1);
  for (int i = 0; i < 1200; ++i) first.Line();
  Bytes firstBytes = first.JwwBytes();
  Bytes firstCut = jwb::Cut(firstBytes, first.LastLayout().defs[3].name + 2);

  jwb::Drawing second(220);  // no section 19, the short section 18, no 13 extras
  second.jww = jwb::JwwHeader();
  second.jww.Sec8RealsA[3] = 2.75;
  second.Line();
  second.Def(9, "only");
  Bytes secondBytes = second.JwwBytes();

  TJwwData fresh;
  ASSERT_TRUE(Load(fresh, secondBytes, "second.jww"));
  for (const Bytes* before : {&firstBytes, &firstCut}) {
    TJwwData r;
    Load(r, *before, "first.jww");
    ASSERT_TRUE(Load(r, secondBytes, "second.jww"));
    ExpectSameContents(r, fresh);
    EXPECT_EQ(LoadedFileName, "second.jww");
    EXPECT_EQ(ElapsedTimeText, "0 : 00");
    EXPECT_EQ(MemoLine1, "");
    EXPECT_EQ(MemoLine2, "");
    EXPECT_DOUBLE_EQ(LoadedSec8Real, 2.75);
  }
}

// ---------------------------------------------------------------------------
// Helpers of the header

TEST(JwwHelpers, FormatElapsedTime) {
  struct Case {
    int32_t seconds;
    const char* text;
  } cases[] = {
      {3725, "1 : 02"},     {0, "0 : 00"},   {59, "0 : 00"},     {4140, "1 : 09"},
      {36000, "10 : 00"},   {60, "0 : 01"},  {3599, "0 : 59"},   {3600, "1 : 00"},
      {360000, "100 : 00"}, {-60, "0 : -1"}, {-3725, "-1 : -2"}, {-720, "0 : -12"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatElapsedTime(c.seconds), c.text) << c.seconds;
}

TEST(JwwHelpers, SplitMemoAtTheFirstCrLf) {
  struct Case {
    std::string memo, line1, line2;
  } cases[] = {
      {"A\r\nB\r\nC", "A", "B\r\nC"},
      {"no break", "no break", ""},
      {"\r\nafter", "", "after"},
      {"before\r\n", "before", ""},
      {"", "", ""},
      {"\r\n", "", ""},
      {"lone\rcr\nlf", "lone\rcr\nlf", ""},
      {"\n\r\n", "\n", ""},
      // CR on the second byte of a double-byte character is no break.
      {"\x81\r\nX", "\x81\r\nX", ""},
      {"\x81\x40\r\nX", "\x81\x40", "X"},
  };
  for (const auto& c : cases) {
    std::string l1 = "old", l2 = "old";
    SplitMemo(c.memo, l1, l2);
    EXPECT_EQ(l1, c.line1) << "memo of " << c.memo.size() << " bytes";
    EXPECT_EQ(l2, c.line2) << "memo of " << c.memo.size() << " bytes";
  }
}

TEST(JwwHelpers, DecodeSec7) {
  struct Case {
    int32_t coded;
    bool flag;
    int32_t decoded;
  } cases[] = {
      {-450, true, -50},  {-250, true, 50},    {-500, true, -100},
      {-401, true, -1},   {-201, true, 1},     {-101, true, -100},
      {-350, true, -100}, {-100, false, -100}, {5, false, 5},
      {-300, true, 100},  {-400, true, -100},  {-501, true, -100},
      {0, false, 0},      {-200, true, -100},  {-2147483647 - 1, true, -100},
  };
  for (const auto& c : cases) {
    bool flag = !c.flag;
    int32_t decoded = 12345;
    DecodeSec7(c.coded, flag, decoded);
    EXPECT_EQ(flag, c.flag) << c.coded;
    EXPECT_EQ(decoded, c.decoded) << c.coded;
  }
}

// ---------------------------------------------------------------------------
// Real drawings

struct CorpusFile {
  std::string path, kind;
  int version = 0;
  bool loads = false;
  int blockDefs = 0, entities = 0;
  std::vector<std::string> hex;  // expected names, in file order
};

std::vector<CorpusFile> CorpusFiles(const std::string& kind) {
  std::map<std::string, CorpusFile> files;
  std::vector<std::string> order;
  for (const auto& row : ReadTsv(CorpusDir() + "/files.tsv")) {
    if (row.size() < 6 || row[1] != kind) continue;
    CorpusFile f{
        row[0], row[1], std::stoi(row[2]), row[3] == "true", std::stoi(row[4]), std::stoi(row[5]),
        {}};
    order.push_back(f.path);
    files[f.path] = f;
  }
  for (const auto& row : ReadTsv(CorpusDir() + "/expected.tsv")) {
    if (row.size() < 4) continue;
    auto it = files.find(row[0]);
    if (it == files.end()) continue;
    EXPECT_EQ(std::stoul(row[1]), it->second.hex.size()) << row[0] << ": rows out of order";
    std::string h = row[3];
    for (char& ch : h) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    it->second.hex.push_back(h);
  }
  std::vector<CorpusFile> out;
  for (const auto& p : order) out.push_back(files[p]);
  return out;
}

std::string Hex(const std::string& s) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

TEST(JwwCorpus, RealDrawingsYieldTheExpectedBlockNames) {
  if (!std::filesystem::exists(CorpusDir() + "/files.tsv"))
    GTEST_SKIP() << "no corpus at " << CorpusDir();
  auto files = CorpusFiles("jww");
  ASSERT_FALSE(files.empty());
  for (const auto& f : files) {
    SCOPED_TRACE(f.path);
    TJwwData r;
    ASSERT_TRUE(r.CheckSignature(CorpusDir() + "/" + f.path));
    EXPECT_EQ(r.LoadFromFile(CorpusDir() + "/" + f.path), f.loads);
    EXPECT_EQ(r.Header.Version, f.version);
    EXPECT_EQ(r.Header.EntityCount, f.entities);
    EXPECT_EQ(r.AbsorbedFailures, 0);
    ASSERT_EQ(r.BlockDefCount, f.blockDefs);
    ASSERT_EQ(static_cast<size_t>(r.BlockDefCount), f.hex.size());
    for (size_t i = 0; i < f.hex.size(); ++i)
      EXPECT_EQ(Hex(CutAtMarker(r.BlockDefs[i].Name)), f.hex[i]) << "definition " << i;
  }
}

}  // namespace
