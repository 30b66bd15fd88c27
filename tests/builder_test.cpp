// Pins the test-file builder to the byte layouts of the drawing and figure
// formats, with hand-written byte strings, so the reader tests can trust it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "testkit/jwbuilder.h"
#include "testkit/testbytes.h"

namespace {

using testkit::B;
using testkit::Cat;

using jwb::Bytes;

Bytes Slice(const Bytes& b, size_t from, size_t n) {
  return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(from + n));
}

template <class T>
T At(const Bytes& b, size_t offset) {
  T v;
  std::memcpy(&v, b.data() + offset, sizeof v);
  return v;
}

TEST(BuilderPrimitives, StringForms) {
  struct Case {
    size_t len;
    jwb::StringForm form;
    Bytes prefix;
  } cases[] = {
      {0, jwb::StringForm::Auto, B({0x00})},
      {254, jwb::StringForm::Auto, B({0xFE})},
      {255, jwb::StringForm::Auto, B({0xFF, 0xFF, 0x00})},
      {256, jwb::StringForm::Auto, B({0xFF, 0x00, 0x01})},
      {10, jwb::StringForm::Long, B({0xFF, 0x0A, 0x00})},
      {0, jwb::StringForm::Long, B({0xFF, 0x00, 0x00})},
      {65535, jwb::StringForm::Auto, B({0xFF, 0xFF, 0xFF})},
  };
  for (const auto& c : cases) {
    std::string text(c.len, 'x');
    jwb::ByteWriter w;
    w.String(text, c.form);
    Bytes expected = Cat(c.prefix, Bytes(text.begin(), text.end()));
    EXPECT_EQ(w.Get(), expected) << "length " << c.len;
  }
}

TEST(BuilderPrimitives, AttributesShortAndLong) {
  EntityAttributes a{0x04030201, 0x05, 0x0706, 0x0908, 0x0B0A, 0x0D0C, 0x0F0E};
  jwb::ByteWriter v351, v350;
  v351.Attributes(a, 351);
  v350.Attributes(a, 350);
  EXPECT_EQ(v351.Get(), B({1, 2, 3, 4, 5, 6, 7, 8, 9, 0xA, 0xB, 0xC, 0xD, 0xE, 0xF}));
  EXPECT_EQ(v350.Get(), B({1, 2, 3, 4, 5, 6, 7, 0xA, 0xB, 0xC, 0xD, 0xE, 0xF}));
}

TEST(BuilderPrimitives, TagsAndCounts) {
  jwb::ByteWriter w;
  w.NewClassTag("CDataSen", 0x1234);
  EXPECT_EQ(w.Get(),
            Cat(B({0xFF, 0xFF, 0x34, 0x12, 8, 0}), B({'C', 'D', 'a', 't', 'a', 'S', 'e', 'n'})));
  struct Case {
    jwb::ByteWriter w;
    Bytes expected;
  } cases[] = {
      {jwb::ByteWriter().LongClassTag(3), B({0xFF, 0x7F, 3, 0, 0, 0})},
      {jwb::ByteWriter().LongClassTag(3, true), B({0xFF, 0x7F, 3, 0, 0, 0x80})},
      {jwb::ByteWriter().ShortClassTag(5), B({0x05, 0x80})},
      {jwb::ByteWriter().RawTag(0x1234), B({0x34, 0x12})},
      {jwb::ByteWriter().Count(0), B({0, 0})},
      {jwb::ByteWriter().Count(0xFFFE), B({0xFE, 0xFF})},
      {jwb::ByteWriter().Count(0xFFFF), B({0xFF, 0xFF, 0xFF, 0xFF, 0, 0})},
      {jwb::ByteWriter().Count(70000), B({0xFF, 0xFF, 0x70, 0x11, 0x01, 0})},
      {jwb::ByteWriter().Count(5, jwb::CountForm::Long), B({0xFF, 0xFF, 5, 0, 0, 0})},
      {jwb::ByteWriter().Count(-1), B({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})},
  };
  for (const auto& c : cases) EXPECT_EQ(c.w.Get(), c.expected);
}

// Sections 11 to 21 by version (empty strings in section 19).
TEST(BuilderJwwHeader, SectionSizesByVersion) {
  const size_t sec19 = 9468 + 290;
  struct Case {
    int32_t version;
    size_t bytes;
  } cases[] = {{220, 1220}, {221, 1176}, {223, 1280},         {224, 1176},
               {225, 1312}, {229, 1176}, {230, 1320},         {231, 1520},
               {300, 1520}, {419, 1520}, {420, 1520 + sec19}, {700, 1520 + sec19}};
  for (const auto& c : cases) {
    jwb::Drawing d(c.version);
    Bytes b = d.JwwBytes();
    const auto& l = d.LastLayout();
    // 8 + 4 + empty memo + 8 + 2368 + 56 + 28 + 72 + 256 + 16 empty names.
    EXPECT_EQ(l.section[11], 2817u) << c.version;
    EXPECT_EQ(l.bodyStart - l.section[11], c.bytes) << c.version;
    EXPECT_EQ(b.size(), l.bodyStart + 4) << c.version;  // two zero count words
  }
  jwb::Drawing old(219);
  old.jww.Signature = "JwwData.";
  EXPECT_EQ(old.JwwBytes(), Cat(B({'J', 'w', 'w', 'D', 'a', 't', 'a', '.'}), B({219, 0, 0, 0})));
}

TEST(BuilderJwwHeader, ValuesLandInTheirFields) {
  jwb::Drawing d(300);
  d.jww.Memo = "AB";
  Bytes b = d.JwwBytes();
  const auto& s = d.LastLayout().section;
  const auto& h = d.jww;
  EXPECT_EQ(At<int32_t>(b, 8), 300);
  EXPECT_EQ(Slice(b, 12, 3), B({2, 'A', 'B'}));
  EXPECT_EQ(At<int32_t>(b, s[4] + 4), h.Sec4Ints[2]);
  EXPECT_EQ(At<double>(b, s[5] + 148 * 3 + 8), h.LayerGroups[3].Real1);
  EXPECT_EQ(At<int32_t>(b, s[5] + 148 * 3 + 24 + 8 * 5), h.LayerGroups[3].Layers[5].Int2);
  EXPECT_EQ(At<int32_t>(b, s[7] + 24), h.Sec7Coded);
  EXPECT_EQ(At<double>(b, s[8] + 16), h.Sec8RealsA[3]);
  EXPECT_EQ(At<double>(b, s[11] + 36), h.Sec11RealsB[3]);
  EXPECT_EQ(At<double>(b, s[13] + 28 * 2 + 16), h.Sec13[3].RealC);
  EXPECT_EQ(At<int32_t>(b, s[14] + 92 + 8 * 9), h.Sec14Table[9].Int2);
  EXPECT_EQ(At<double>(b, s[15] + 16 * 9 + 8), h.Sec14Table[9].Real1);
  EXPECT_EQ(At<int32_t>(b, s[17] + 100 + 16 * 3 + 12), h.Sec17TableB[3][3]);
  EXPECT_EQ(At<int32_t>(b, s[18] + 40), h.Sec18T);
  EXPECT_EQ(At<int32_t>(b, s[18] + 44), h.ElapsedSeconds);
  EXPECT_EQ(At<int32_t>(b, s[18] + 140), h.Sec18IntsC[2]);
  EXPECT_EQ(At<int32_t>(b, s[20] + 28 * 9 + 24), h.Sec20Table[9].Int1);
  EXPECT_EQ(At<int32_t>(b, s[21] + 48), h.Sec21Int);
  EXPECT_EQ(At<double>(b, s[21] + 92), h.Sec21RealsC[6]);

  jwb::Drawing v230(230);  // 24-byte records up to 230
  b = v230.JwwBytes();
  EXPECT_EQ(At<double>(b, v230.LastLayout().section[13] + 24 * 3 + 8), h.Sec13[4].RealB);
  EXPECT_EQ(v230.LastLayout().section[14] - v230.LastLayout().section[13], 96u);

  jwb::Drawing v231(231);
  b = v231.JwwBytes();
  EXPECT_EQ(At<int32_t>(b, v231.LastLayout().section[13] + 28 * 7 + 24), h.Sec13[8].Int);
  EXPECT_EQ(At<int32_t>(b, v231.LastLayout().section[13] + 252 + 24), h.Sec13ExtraB.Int1);

  jwb::Drawing v420(420);
  v420.jww.ColorExTable[256].Name = "C";
  v420.jww.LineTypeExTable[0].Name = "L";
  b = v420.JwwBytes();
  size_t s19 = v420.LastLayout().section[19];
  size_t run2 = s19 + 257 * 8;
  size_t run4 = run2 + 256 * 17 + 18 + 33 * 16;  // 256 empty names, then "C"
  EXPECT_EQ(At<int32_t>(b, s19 + 256 * 8 + 4), h.ColorExTable[256].Int2);
  EXPECT_EQ(Slice(b, run2 + 256 * 17, 2), B({1, 'C'}));
  EXPECT_EQ(Slice(b, run4, 2), B({1, 'L'}));
  EXPECT_EQ(At<double>(b, run4 + 2 + 4 + 72), h.LineTypeExTable[0].Reals[10]);
}

TEST(BuilderJws, HeaderIs452Bytes) {
  jwb::Drawing d(351);
  Bytes b = d.JwsBytes();
  ASSERT_EQ(b.size(), 452u + 4);
  EXPECT_EQ(Slice(b, 0, 8), B({'J', 'w', 's', 'D', 'a', 't', 'a', 0}));
  EXPECT_EQ(Slice(b, 7, 193), Bytes(193, 0));
  EXPECT_EQ(At<int32_t>(b, 200), 351);
  EXPECT_EQ(At<double>(b, 212), d.jws.LeadReals[2]);
  EXPECT_EQ(At<double>(b, 220 + 8 * 15), d.jws.GroupReals[15]);
  EXPECT_EQ(At<int32_t>(b, 348 + 4 * 5), d.jws.HeaderInts[6]);
  EXPECT_EQ(At<double>(b, 444), d.jws.HeaderReals[10]);
  EXPECT_EQ(d.LastLayout().list.count, 452u);
  EXPECT_EQ(Slice(b, 452, 4), B({0, 0, 0, 0}));
}

// Bytes of one record after its class tag, by kind, version and tail trigger.
TEST(BuilderEntities, RecordSizes) {
  struct Case {
    const char* what;
    int32_t version;
    size_t bytes;
    void (*add)(jwb::EntityList&);
  } cases[] = {
      {"line", 351, 47, [](jwb::EntityList& l) { l.Line(); }},
      {"line", 350, 45, [](jwb::EntityList& l) { l.Line(); }},
      {"arc", 350, 73, [](jwb::EntityList& l) { l.Arc(); }},
      {"point", 351, 35, [](jwb::EntityList& l) { l.Point(); }},
      {"point style 100", 351, 55, [](jwb::EntityList& l) { l.Point(100); }},
      {"point style 100", 350, 53, [](jwb::EntityList& l) { l.Point(100); }},
      {"text", 351, 83 + 1 + 1, [](jwb::EntityList& l) { l.Text(); }},
      {"text", 350, 81 + 4 + 3, [](jwb::EntityList& l) { l.Text("abc", "de"); }},
      {"solid", 351, 79, [](jwb::EntityList& l) { l.Solid(); }},
      {"solid colour 10", 351, 83, [](jwb::EntityList& l) { l.Solid(10); }},
      {"solid colour 10", 350, 81, [](jwb::EntityList& l) { l.Solid(10); }},
      {"insert", 351, 59, [](jwb::EntityList& l) { l.Insert(1); }},
      {"insert", 350, 57, [](jwb::EntityList& l) { l.Insert(1); }},
      {"dimension", 420, 383, [](jwb::EntityList& l) { l.Dim(); }},
      {"dimension", 700, 383 + 20,
       [](jwb::EntityList& l) { l.Dim().ExtPoint(3).attr.PenStyle = 100; }},
      {"dimension", 419, 147, [](jwb::EntityList& l) { l.Dim(); }},
      {"dimension", 351, 147, [](jwb::EntityList& l) { l.Dim(); }},
      {"dimension", 350, 141, [](jwb::EntityList& l) { l.Dim(); }},
  };
  for (const auto& c : cases) {
    jwb::Drawing d(c.version);
    c.add(d);
    d.BodyBytes();
    const auto& item = d.LastLayout().list.items.at(0);
    EXPECT_EQ(item.end - item.record, c.bytes) << c.what << " v" << c.version;
  }
}

TEST(BuilderEntities, InsertAndPointTailBytes) {
  jwb::Drawing d(351);
  d.Insert(-7, 1.5, 2.5, 3.0, 4.0, 0.25);
  d.Point(100);
  Bytes b = d.BodyBytes();
  size_t r = d.LastLayout().list.items[0].record;
  EXPECT_EQ(At<double>(b, r + 15), 1.5);
  EXPECT_EQ(At<double>(b, r + 47), 0.25);
  EXPECT_EQ(At<int32_t>(b, r + 55), -7);
  size_t p = d.LastLayout().list.items[1].record;
  EXPECT_EQ(b[p + 4], 100);
  EXPECT_EQ(At<uint32_t>(b, p + 35), 0x64u);
  EXPECT_EQ(At<double>(b, p + 47), 3.5);
}

// Object numbering across the drawing's list and the definitions: class names
// and objects each take one number, starting at 1.
TEST(BuilderBody, ClassTagsFollowTheNumbering) {
  jwb::Drawing d(420);
  d.Line();                                     // name 1, object 2
  d.Line();                                     // object 3
  d.Text();                                     // name 4, object 5
  auto& def = d.Def(9, "A");                    // name 6 (CDataList), object 7
  def.Text();                                   // object 8
  def.Line().tag = jwb::Tag::Long(true);        // object 9
  d.Def(10, "B").Line().tag = jwb::Tag::New();  // object 10; name 11, object 12
  Bytes b = d.BodyBytes();
  const auto& l = d.LastLayout();
  auto tagAt = [&](size_t off, size_t n) { return Slice(b, off, n); };
  EXPECT_EQ(tagAt(l.list.items[0].tag, 6), B({0xFF, 0xFF, 0xA4, 0x01, 8, 0}));
  EXPECT_EQ(tagAt(l.list.items[1].tag, 2), B({0x01, 0x80}));
  EXPECT_EQ(tagAt(l.list.items[2].tag, 6), B({0xFF, 0xFF, 0xA4, 0x01, 9, 0}));
  EXPECT_EQ(tagAt(l.defs[0].tag, 6), B({0xFF, 0xFF, 0xA4, 0x01, 9, 0}));
  EXPECT_EQ(tagAt(l.defs[0].list.items[0].tag, 2), B({0x04, 0x80}));
  EXPECT_EQ(tagAt(l.defs[0].list.items[1].tag, 6), B({0xFF, 0x7F, 1, 0, 0, 0x80}));
  EXPECT_EQ(tagAt(l.defs[1].tag, 2), B({0x06, 0x80}));
  EXPECT_EQ(tagAt(l.defs[1].list.items[0].tag, 2), B({0xFF, 0xFF}));
  EXPECT_EQ(l.defs[0].objectNumber, 7);
  EXPECT_EQ(l.defs[1].list.items[0].objectNumber, 12);
  EXPECT_EQ(l.classNumbers.at("CDataSen"), 11u);
  EXPECT_EQ(l.nextObjectNumber, 13);
}

// A definition written out in full, against its hand-assembled bytes.
TEST(BuilderBody, DefinitionBytes) {
  for (int32_t version : {350, 351}) {
    jwb::Drawing d(version);
    d.classSchema = 0;
    d.UnknownClass("CFoo", B({0xAA}));  // name 1, no object, not counted
    auto& def = d.Def(-3, "NM");
    def.attr = EntityAttributes{0x11, 2, 3, 0x77, 4, 5, 6};
    def.word2 = 0x01020304;
    def.stamp = -1;
    def.SetCount(70000);
    Bytes b = d.BodyBytes();
    Bytes attr = version > 350 ? B({0x11, 0, 0, 0, 2, 3, 0, 0x77, 0, 4, 0, 5, 0, 6, 0})
                               : B({0x11, 0, 0, 0, 2, 3, 0, 4, 0, 5, 0, 6, 0});
    Bytes expected =
        B({0,    0,    0xFF, 0xFF, 0, 0, 4,   0,   'C', 'F', 'o', 'o', 0xAA, 1,   0,
           0xFF, 0xFF, 0,    0,    9, 0, 'C', 'D', 'a', 't', 'a', 'L', 'i',  's', 't'});
    expected =
        Cat(Cat(expected, attr),
            B({0xFD, 0xFF, 0xFF, 0xFF, 4,    3, 2,   1,   0xFF, 0xFF, 0xFF, 0xFF, 0xE1, 0xE2, 0xE3,
               0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 2, 'N', 'M', 0xFF, 0xFF, 0x70, 0x11, 0x01, 0}));
    EXPECT_EQ(b, expected) << version;
    const auto& dl = d.LastLayout().defs.at(0);
    EXPECT_EQ(dl.name, dl.extra + 8);
    EXPECT_EQ(b[dl.name], 2);
    EXPECT_EQ(dl.objectNumber, 3);
  }
}

TEST(BuilderFile, ImagesTrailingAndHelpers) {
  for (int32_t version : {699, 700}) {
    jwb::Drawing d(version);
    d.images = std::vector<jwb::BoundImage>{{"i", B({7, 8}), {}}};
    d.trailing = B({0xEE});
    Bytes b = d.JwwBytes();
    const auto& l = d.LastLayout();
    EXPECT_EQ(l.images, l.defsEnd);
    Bytes tail = version >= 700 ? B({1, 0, 0, 0, 1, 'i', 2, 0, 0, 0, 7, 8, 0xEE}) : B({0xEE});
    EXPECT_EQ(Slice(b, l.defsEnd, b.size() - l.defsEnd), tail) << version;
    EXPECT_EQ(l.trailing, b.size() - 1);
  }

  Bytes b = B({1, 2, 3});
  EXPECT_EQ(jwb::Cut(b, 2), B({1, 2}));
  EXPECT_EQ(jwb::Cut(b, 9), b);
  jwb::PokeU16(b, 1, 0xABCD);
  EXPECT_EQ(b, B({1, 0xCD, 0xAB}));
  EXPECT_THROW(jwb::PokeI32(b, 0, 1), std::out_of_range);

  auto path = std::filesystem::temp_directory_path() / "quillon_builder_test.jww";
  jwb::WriteFile(path.string(), b);
  std::ifstream f(path, std::ios::binary);
  Bytes back((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  EXPECT_EQ(back, b);
  f.close();
  std::filesystem::remove(path);
}

}  // namespace
