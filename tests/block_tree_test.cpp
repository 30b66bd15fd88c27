// The block insertion tree both readers build at the end of a load: one node
// per placement, breadth first, with the placement's transform into drawing
// coordinates, the used marks and serial numbers of the definitions, and the
// bounds that keep a self-placing definition from growing it without end.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <vector>

#include "jws/jwsunit.h"
#include "jww/jwwtype.h"
#include "jww/jwwunit.h"
#include "testkit/jwbuilder.h"
#include "testkit/testbytes.h"

namespace {

using testkit::SameAttr;

constexpr double Pi = std::numbers::pi;
constexpr double Eps = 1e-12;

bool LoadInto(TJwwData& r, jwb::Drawing& d) {
  jwb::Bytes b = d.JwwBytes();
  return r.LoadFromMemory(b.data(), b.size(), "tree.jww");
}
bool LoadInto(TJwsData& r, jwb::Drawing& d) {
  jwb::Bytes b = d.JwsBytes();
  return r.LoadFromMemory(b.data(), b.size(), "tree.jws");
}

struct Pt {
  double x, y;
};

// Where a point of the placed definition lands in drawing coordinates.
Pt Apply(const TEntJwwBlockTree& n, Pt p) {
  return {n.OriginX + n.M11 * p.x + n.M12 * p.y, n.OriginY + n.M21 * p.x + n.M22 * p.y};
}

// The same through an insertion inside the definition placed by `parent`:
// first the insertion's own scale and rotation, then its insertion point,
// then the parent's placement.
Pt ApplyThrough(const TEntJwwBlockTree& parent, const TEntJwwBlock& ins, Pt p) {
  double c = std::cos(ins.Angle), s = std::sin(ins.Angle);
  Pt scaled{p.x * ins.ScaleX, p.y * ins.ScaleY};
  Pt rotated{c * scaled.x - s * scaled.y, s * scaled.x + c * scaled.y};
  return Apply(parent, {ins.X + rotated.x, ins.Y + rotated.y});
}

template <class Reader>
class BlockTree : public ::testing::Test {};
using Readers = ::testing::Types<TJwwData, TJwsData>;
TYPED_TEST_SUITE(BlockTree, Readers);

TYPED_TEST(BlockTree, NoInsertionsNoNodes) {
  jwb::Drawing d(700);
  d.Line();
  d.Def(1, "a").Insert(2);
  d.Def(2, "b");
  TypeParam r;
  ASSERT_TRUE(LoadInto(r, d));
  EXPECT_EQ(r.BlockTreeCount, 0);
  EXPECT_TRUE(r.BlockTree.empty());
  EXPECT_EQ(r.UsedBlockDefCount, 0);
  for (const auto& def : r.BlockDefs) {
    EXPECT_FALSE(def.Used);
    EXPECT_EQ(def.Serial, -1);
  }
}

TYPED_TEST(BlockTree, RotatedPlacementOfANestedInsertion) {
  jwb::Drawing d(700);
  const EntityAttributes insAttr = jwb::MakeAttr(3, 4, 0x33333333);
  const EntityAttributes outerAttr = jwb::MakeAttr(9, 8, 0x99999999);
  d.Insert(1, 10.0, 0.0, 1.0, 1.0, Pi / 2).attr = insAttr;
  auto& outer = d.Def(1, "outer");
  outer.attr = outerAttr;
  outer.Insert(2, 1.0, 0.0).attr = jwb::MakeAttr(7, 7, 0x77777777);
  d.Def(2, "inner").Line();
  TypeParam r;
  ASSERT_TRUE(LoadInto(r, d));
  ASSERT_EQ(r.BlockTreeCount, 2);
  ASSERT_EQ(r.BlockTree.size(), 2u);

  const auto& n0 = r.BlockTree[0];
  EXPECT_TRUE(SameAttr(n0.Attr, insAttr));
  EXPECT_EQ(n0.Level, 0);
  EXPECT_EQ(n0.Parent, -1);
  EXPECT_EQ(+n0.BlockNumber, 1);
  EXPECT_EQ(n0.DefIndex, 0);
  EXPECT_EQ(n0.Name, "outer");
  EXPECT_DOUBLE_EQ(n0.OriginX, 10.0);
  EXPECT_DOUBLE_EQ(n0.OriginY, 0.0);
  EXPECT_NEAR(n0.M11, 0.0, Eps);
  EXPECT_DOUBLE_EQ(n0.M12, -1.0);
  EXPECT_DOUBLE_EQ(n0.M21, 1.0);
  EXPECT_NEAR(n0.M22, 0.0, Eps);

  const auto& n1 = r.BlockTree[1];
  EXPECT_TRUE(SameAttr(n1.Attr, outerAttr)) << "the containing definition's attributes";
  EXPECT_EQ(n1.Level, 1);
  EXPECT_EQ(n1.Parent, 0);
  EXPECT_EQ(+n1.BlockNumber, 2);
  EXPECT_EQ(n1.DefIndex, 1);
  EXPECT_EQ(n1.Name, "inner");
  EXPECT_NEAR(n1.OriginX, 10.0, Eps);
  EXPECT_NEAR(n1.OriginY, 1.0, Eps);
  EXPECT_NEAR(n1.M11, 0.0, Eps);
  EXPECT_NEAR(n1.M12, -1.0, Eps);
  EXPECT_NEAR(n1.M21, 1.0, Eps);
  EXPECT_NEAR(n1.M22, 0.0, Eps);

  EXPECT_TRUE(r.BlockDefs[0].Used);
  EXPECT_TRUE(r.BlockDefs[1].Used);
  EXPECT_EQ(r.UsedBlockDefCount, 2);

  // Building again replaces the tree.
  r.BuildBlockTree();
  EXPECT_EQ(r.BlockTreeCount, 2);
  EXPECT_EQ(r.BlockTree.size(), 2u);
  EXPECT_EQ(r.UsedBlockDefCount, 2);
}

TYPED_TEST(BlockTree, ScalesAndMirroring) {
  jwb::Drawing d(700);
  d.Insert(1, 0.0, 0.0, 2.0, 3.0, 0.0);
  d.Insert(1, 5.0, 6.0, -1.0, 1.0, 0.0);
  d.Def(1, "s");
  TypeParam r;
  ASSERT_TRUE(LoadInto(r, d));
  ASSERT_EQ(r.BlockTreeCount, 2);
  const auto& a = r.BlockTree[0];
  EXPECT_DOUBLE_EQ(a.M11, 2.0);
  EXPECT_DOUBLE_EQ(a.M22, 3.0);
  EXPECT_DOUBLE_EQ(a.M12, 0.0);
  EXPECT_DOUBLE_EQ(a.M21, 0.0);
  const auto& m = r.BlockTree[1];
  EXPECT_DOUBLE_EQ(m.M11, -1.0);
  EXPECT_DOUBLE_EQ(m.M22, 1.0);
  Pt p = Apply(m, {2.0, 1.0});
  EXPECT_DOUBLE_EQ(p.x, 3.0);
  EXPECT_DOUBLE_EQ(p.y, 7.0);
}

TYPED_TEST(BlockTree, NestedTransformsCompose) {
  jwb::Drawing d(700);
  d.Insert(1, 10.0, 0.0, 2.0, 3.0, Pi / 2);
  d.Def(1, "outer").Insert(2, 1.0, 2.0, 1.0, 1.0, Pi / 2);
  auto& middle = d.Def(2, "middle");
  middle.Insert(3, -3.0, 4.0, 1.5, -0.5, 0.3);
  d.Def(3, "leaf");
  TypeParam r;
  ASSERT_TRUE(LoadInto(r, d));
  ASSERT_EQ(r.BlockTreeCount, 3);

  // Worked by hand: the outer matrix is (0 -3; 2 0), the inner one (0 -1; 1 0).
  const auto& n1 = r.BlockTree[1];
  EXPECT_NEAR(n1.M11, -3.0, Eps);
  EXPECT_NEAR(n1.M12, 0.0, Eps);
  EXPECT_NEAR(n1.M21, 0.0, Eps);
  EXPECT_NEAR(n1.M22, -2.0, Eps);
  EXPECT_NEAR(n1.OriginX, 4.0, Eps);
  EXPECT_NEAR(n1.OriginY, 2.0, Eps);

  // Every point of a nested definition lands where placing it step by step
  // puts it.
  ASSERT_EQ(r.BlockDefs[0].BlockInsertCount, 1);
  ASSERT_EQ(r.BlockDefs[1].BlockInsertCount, 1);
  for (Pt p : {Pt{0, 0}, Pt{1, 0}, Pt{0, 1}, Pt{-2.5, 7.25}}) {
    Pt direct1 = Apply(r.BlockTree[1], p);
    Pt stepped1 = ApplyThrough(r.BlockTree[0], r.BlockDefs[0].BlockInserts[0], p);
    EXPECT_NEAR(direct1.x, stepped1.x, 1e-9);
    EXPECT_NEAR(direct1.y, stepped1.y, 1e-9);
    Pt direct2 = Apply(r.BlockTree[2], p);
    Pt stepped2 = ApplyThrough(r.BlockTree[1], r.BlockDefs[1].BlockInserts[0], p);
    EXPECT_NEAR(direct2.x, stepped2.x, 1e-9);
    EXPECT_NEAR(direct2.y, stepped2.y, 1e-9);
  }
}

TYPED_TEST(BlockTree, BreadthFirstOrder) {
  jwb::Drawing d(700);
  d.Insert(1);
  d.Insert(2);
  auto& d1 = d.Def(1, "1");
  d1.Insert(3);
  d1.Insert(4);
  d.Def(2, "2").Insert(5);
  d.Def(3, "3").Insert(6);
  d.Def(4, "4");
  d.Def(5, "5");
  d.Def(6, "6");
  TypeParam r;
  ASSERT_TRUE(LoadInto(r, d));
  ASSERT_EQ(r.BlockTreeCount, 6);
  const int32_t number[] = {1, 2, 3, 4, 5, 6};
  const int32_t parent[] = {-1, -1, 0, 0, 1, 2};
  const int32_t level[] = {0, 0, 1, 1, 1, 2};
  for (size_t k = 0; k < 6; ++k) {
    EXPECT_EQ(+r.BlockTree[k].BlockNumber, number[k]) << k;
    EXPECT_EQ(r.BlockTree[k].Parent, parent[k]) << k;
    EXPECT_EQ(r.BlockTree[k].Level, level[k]) << k;
    EXPECT_EQ(r.BlockTree[k].DefIndex, number[k] - 1) << k;
  }
  EXPECT_EQ(r.UsedBlockDefCount, 6);
}

TYPED_TEST(BlockTree, UsedMarksAndSerials) {
  struct Case {
    const char* what;
    std::vector<int32_t> placed;  // by the drawing
    std::vector<bool> used;
    std::vector<int32_t> serial;
  } cases[] = {
      {"first and third placed", {1, 3}, {true, false, true}, {0, -1, 1}},
      {"only the third, twice", {3, 3}, {false, false, true}, {-1, -1, 0}},
      {"an unknown number", {99}, {false, false, false}, {-1, -1, -1}},
      {"the second", {2}, {false, true, false}, {-1, 0, -1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    jwb::Drawing d(700);
    for (int32_t n : c.placed) d.Insert(n);
    d.Def(1, "one");
    d.Def(2, "two");
    d.Def(3, "three");
    TypeParam r;
    ASSERT_TRUE(LoadInto(r, d));
    ASSERT_EQ(r.BlockDefCount, 3);
    int32_t usedCount = 0;
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(r.BlockDefs[i].Used, c.used[i]) << i;
      EXPECT_EQ(r.BlockDefs[i].Serial, c.serial[i]) << i;
      usedCount += c.used[i] ? 1 : 0;
    }
    EXPECT_EQ(r.UsedBlockDefCount, usedCount);
  }
}

TYPED_TEST(BlockTree, PlacedOnlyInsideAnUnplacedDefinitionStaysUnused) {
  jwb::Drawing d(700);
  d.Insert(3);
  d.Def(1, "unplaced").Insert(2);
  d.Def(2, "only inside").Line();
  d.Def(3, "placed");
  TypeParam r;
  ASSERT_TRUE(LoadInto(r, d));
  ASSERT_EQ(r.BlockTreeCount, 1);
  EXPECT_FALSE(r.BlockDefs[0].Used);
  EXPECT_FALSE(r.BlockDefs[1].Used);
  EXPECT_TRUE(r.BlockDefs[2].Used);
  EXPECT_EQ(r.BlockDefs[2].Serial, 0);
  EXPECT_EQ(r.UsedBlockDefCount, 1);
}

TYPED_TEST(BlockTree, UnknownNumbersAndSharedNumbers) {
  jwb::Drawing d(700);
  d.Insert(5);
  d.Insert(42);
  d.Def(5, "first five");
  d.Def(5, "second five").Insert(6);
  d.Def(6, "six");
  TypeParam r;
  ASSERT_TRUE(LoadInto(r, d));
  ASSERT_EQ(r.BlockTreeCount, 2);  // only the first definition 5 is expanded
  EXPECT_EQ(r.BlockTree[0].DefIndex, 0);
  EXPECT_EQ(r.BlockTree[0].Name, "first five");
  EXPECT_EQ(r.BlockTree[1].DefIndex, -1);
  EXPECT_EQ(r.BlockTree[1].Name, "");
  EXPECT_EQ(+r.BlockTree[1].BlockNumber, 42);
  EXPECT_TRUE(r.BlockDefs[0].Used);
  EXPECT_FALSE(r.BlockDefs[1].Used);
  EXPECT_FALSE(r.BlockDefs[2].Used);
  EXPECT_EQ(r.UsedBlockDefCount, 1);
}

TYPED_TEST(BlockTree, SelfPlacingDefinitionsEnd) {
  for (bool viaSecond : {false, true}) {
    SCOPED_TRACE(viaSecond ? "1 places 2 places 1" : "1 places 1");
    jwb::Drawing d(700);
    d.Insert(1);
    d.Def(1, "self").Insert(viaSecond ? 2 : 1, 1.0, 0.0);
    d.Def(2, "other").Insert(1, 0.0, 1.0);
    TypeParam r;
    ASSERT_TRUE(LoadInto(r, d));
    ASSERT_GT(r.BlockTreeCount, 2);
    ASSERT_EQ(r.BlockTree.size(), static_cast<size_t>(r.BlockTreeCount));
    // A single chain: node k below node k - 1, never deeper than the bound.
    for (int32_t k = 1; k < r.BlockTreeCount; ++k) {
      const auto& n = r.BlockTree[static_cast<size_t>(k)];
      ASSERT_EQ(n.Parent, k - 1);
      ASSERT_EQ(n.Level, k);
    }
    EXPECT_LE(r.BlockTree.back().Level, 65);
    EXPECT_TRUE(r.BlockDefs[0].Used);
    EXPECT_EQ(r.BlockDefs[1].Used, viaSecond);
    EXPECT_EQ(r.UsedBlockDefCount, viaSecond ? 2 : 1);
  }
}

// Thirty definitions, each placing the next twice: 2^31 placements unbounded.
TEST(BlockTreeBound, ExponentialChainStopsAtTheNodeBound) {
  jwb::Drawing d(700);
  d.Insert(1);
  for (int32_t i = 1; i <= 30; ++i) {
    auto& def = d.Def(i, "level " + std::to_string(i));
    def.Insert(i + 1, 1.0, 0.0);
    def.Insert(i + 1, 0.0, 1.0);
  }
  TJwwData r;
  ASSERT_TRUE(LoadInto(r, d));
  EXPECT_LE(r.BlockTreeCount, 1000000);
  EXPECT_GT(r.BlockTreeCount, 500000);
  ASSERT_EQ(r.BlockTree.size(), static_cast<size_t>(r.BlockTreeCount));
  for (size_t k = 1; k < r.BlockTree.size(); ++k) {
    const auto& n = r.BlockTree[k];
    ASSERT_GE(n.Parent, 0) << k;
    ASSERT_LT(static_cast<size_t>(n.Parent), k) << k;
    const auto& p = r.BlockTree[static_cast<size_t>(n.Parent)];
    ASSERT_EQ(n.Level, p.Level + 1) << k;
    ASSERT_EQ(+n.BlockNumber, p.BlockNumber + 1) << k;
    ASSERT_GE(n.Level, r.BlockTree[k - 1].Level) << "breadth first at " << k;
  }
  // The levels that fit wholly are all there: 2^19 - 1 nodes make levels 0..18.
  EXPECT_GE(r.BlockTree.back().Level, 18);
  for (int32_t i = 0; i < 19; ++i) EXPECT_TRUE(r.BlockDefs[static_cast<size_t>(i)].Used) << i;
  EXPECT_FALSE(r.BlockDefs[29].Used);
}

}  // namespace
