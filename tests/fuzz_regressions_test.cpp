// Inputs that the fuzz targets (or the damaged-file sweeps) tripped over,
// kept as byte literals so that each case stays exactly what was found.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
#include "testkit/jwbuilder.h"
#include "testkit/reader_checks.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The 452-byte figure header: signature, zeros, the version at offset 200,
// zeros for every value after it.
Bytes FigureHeader(int32_t Version) {
  Bytes b(TJwsData::HeaderSize, 0);
  const std::string sig = "JwsData";
  std::copy(sig.begin(), sig.end(), b.begin());
  for (int i = 0; i < 4; ++i)
    b[200 + static_cast<size_t>(i)] = static_cast<uint8_t>(Version >> (8 * i));
  return b;
}

Bytes Join(std::initializer_list<Bytes> Parts) {
  Bytes out;
  for (const Bytes& p : Parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A block insertion record (version 351 on) of definition 5 at the origin,
// scale 1, angle 0: attributes, X, Y, ScaleX, ScaleY, Angle, BlockNumber.
const Bytes kInsertOf5 = {
    0, 0, 0, 0, 0, 0, 0,    0,    0, 0, 0, 0, 0, 0, 0,  // attributes
    0, 0, 0, 0, 0, 0, 0,    0,                          // X
    0, 0, 0, 0, 0, 0, 0,    0,                          // Y
    0, 0, 0, 0, 0, 0, 0xF0, 0x3F,                       // ScaleX 1.0
    0, 0, 0, 0, 0, 0, 0xF0, 0x3F,                       // ScaleY 1.0
    0, 0, 0, 0, 0, 0, 0,    0,                          // Angle
    5, 0, 0, 0,                                         // BlockNumber
};

// A figure whose one insertion places definition 5, and definition 5 places
// itself twice: the tree doubles per level until its node bound. The
// definition's name is the longest a string can be.
Bytes SelfPlacingWithLongName() {
  const Bytes list = {
      0x01, 0x00,                          // one entity
      0xFF, 0xFF, 0xBC, 0x02, 0x0A, 0x00,  // new class, schema 700, 10 bytes:
      'C',  'D',  'a',  't',  'a',  'B',  'l', 'o', 'c', 'k',
  };
  const Bytes defHead = {
      0x01, 0x00,                                                           // one definition
      0xFF, 0xFF, 0xBC, 0x02, 0x09, 0x00,                                   // its class tag
      'C',  'D',  'a',  't',  'a',  'L',  'i', 's', 't',                    //
      0,    0,    0,    0,    0,    0,    0,   0,   0,   0, 0, 0, 0, 0, 0,  // attributes
      5,    0,    0,    0,                                                  // Number 5
      0,    0,    0,    0,                                                  // Word2
      0,    0,    0,    0,                                                  // Stamp
      0xFF, 0xFF, 0xFF,                                                     // name of 65535 bytes:
  };
  const Bytes name(65535, 'N');
  const Bytes defList = {0x02, 0x00};  // two entities, each tagged 0x8001 (CDataBlock)
  const Bytes shortTag = {0x01, 0x80};
  return Join({FigureHeader(700), list, kInsertOf5, defHead, name, defList, shortTag, kInsertOf5,
               shortTag, kInsertOf5});
}

// A definition with a 65535-byte name that places itself: a million tree
// nodes each holding a copy of the name would need about 64 GB for a 66 KB
// file. Nodes view the definition's name instead, so the node bound is a
// memory bound.
TEST(FuzzRegressions, TreeOfASelfPlacingDefinitionWithALongName) {
  const Bytes b = SelfPlacingWithLongName();
  TJwsData r;
  bool result = false;
  ASSERT_NO_THROW(result = r.LoadFromMemory(b.data(), b.size()));
  EXPECT_TRUE(result);
  ASSERT_EQ(readercheck::CheckLoaded(r, result, b.size()), "");
  EXPECT_LE(r.BlockTree.capacity() * sizeof(TEntJwwBlockTree), size_t{256} << 20);
  ASSERT_GT(r.BlockTreeCount, 1);
  const std::string& name = r.BlockDefs[0].Name;
  ASSERT_EQ(name.size(), 65535u);
  size_t copies = 0;
  for (const TEntJwwBlockTree& n : r.BlockTree) copies += n.Name.data() != name.data();
  EXPECT_EQ(copies, 0u);
}

// Clear gives back the storage of BlockDefs and BlockTree, not just their
// elements (emptying them by assigning "{}" kept it, so the reader held the
// last large tree until the next one was built). Here 2^17 nodes (about
// 15 MB) through sixteen definitions, each placing the next twice.
TEST(FuzzRegressions, ClearReleasesTheTreeAndTheDefinitions) {
  // Definition n places definition n + 1 twice, for n = 1..16.
  Bytes defs = {16, 0};
  for (uint8_t n = 1; n <= 16; ++n) {
    Bytes inserted = kInsertOf5;
    inserted[55] = static_cast<uint8_t>(n + 1);
    const Bytes head = {
        0x01, 0x80,                                         // class tag: any
        0,    0,    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // attributes
        n,    0,    0, 0,                                   // Number
        0,    0,    0, 0,                                   // Word2
        0,    0,    0, 0,                                   // Stamp
        1,    'D',                                          // name
        0x02, 0x00,                                         // two entities
    };
    defs = Join({defs, head, {0x01, 0x80}, inserted, {0x01, 0x80}, inserted});
  }
  Bytes top = kInsertOf5;
  top[55] = 1;
  const Bytes b = Join({FigureHeader(700),
                        {0x01, 0x00, 0xFF, 0xFF, 0xBC, 0x02, 0x0A, 0x00, 'C', 'D', 'a', 't', 'a',
                         'B', 'l', 'o', 'c', 'k'},
                        top,
                        defs});
  TJwsData r;
  ASSERT_TRUE(r.LoadFromMemory(b.data(), b.size()));
  ASSERT_EQ(r.BlockTreeCount, (1 << 17) - 1);
  r.Clear();
  EXPECT_EQ(r.BlockTree.capacity(), 0u);
  EXPECT_EQ(r.BlockDefs.capacity(), 0u);
}

// A drawing's text keeps the first 255 bytes of its cleaned string even when
// that cuts a double-byte character in two; a figure's keeps the whole
// string. The fuzz target's check of cleaned strings first took the lone
// lead byte at the end for a string that had not been cleaned (the inputs
// it found were mutated drawings whose texts grew past 255 bytes).
TEST(FuzzRegressions, TextCutInsideADoubleByteCharacter) {
  const std::string whole = std::string(254, 'a') + "\x82\xA0z";
  jwb::Drawing d(700);
  d.Text(whole, "");
  const Bytes drawing = d.JwwBytes(), figure = d.JwsBytes();

  TJwwData jww;
  const bool jwwResult = jww.LoadFromMemory(drawing.data(), drawing.size());
  ASSERT_TRUE(jwwResult);
  ASSERT_EQ(jww.TextCount, 1);
  EXPECT_EQ(jww.Texts[0].Text1, whole.substr(0, 255));
  EXPECT_EQ(readercheck::CheckLoaded(jww, jwwResult, drawing.size()), "");

  TJwsData jws;
  const bool jwsResult = jws.LoadFromMemory(figure.data(), figure.size());
  ASSERT_TRUE(jwsResult);
  ASSERT_EQ(jws.TextCount, 1);
  EXPECT_EQ(jws.Texts[0].Text1, whole);
  EXPECT_EQ(readercheck::CheckLoaded(jws, jwsResult, figure.size()), "");

  // A lone lead byte anywhere else is still an uncleaned string.
  EXPECT_NE(readercheck::CheckCleaned("abc\x82", 255, "text"), "");
  EXPECT_NE(readercheck::CheckCleaned("a\x01" + std::string(253, 'b'), 255, "text"), "");
}

}  // namespace
