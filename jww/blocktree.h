// Flattening of block insertions into one tree of placements, shared by the
// drawing-file and figure-file readers.
#pragma once

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "jww/jwwtype.h"

namespace jwbody {

// Expansion stops at these bounds, so that a definition that places itself
// (directly or through others) cannot make the tree endless.
inline constexpr int32_t MaxTreeLevel = 64;
inline constexpr int32_t MaxTreeNodes = 1000000;

struct TLocalMatrix {
  double L11, L12, L21, L22;
};

inline TLocalMatrix LocalMatrix(const TEntJwwBlock& I) {
  const double a = I.Angle, sx = I.ScaleX, sy = I.ScaleY;
  return {std::cos(a) * sx, std::sin(a) * (-sy), std::sin(a) * sx, std::cos(a) * sy};
}

// Finds definitions by number as every lookup must: the first definition
// with a given number is the one found. (number, index) pairs sorted by
// both, searched by number, so that whatever the numbers a lookup costs a
// binary search.
class TDefinitionsByNumber {
 public:
  template <class Def>
  TDefinitionsByNumber(const std::vector<Def>& Defs, int32_t DefCount) {
    const int32_t defs = std::max<int32_t>(
        0, static_cast<int32_t>(std::min<int64_t>(DefCount, static_cast<int64_t>(Defs.size()))));
    Pairs.resize(static_cast<size_t>(defs));
    for (int32_t i = 0; i < defs; ++i)
      Pairs[static_cast<size_t>(i)] = {Defs[static_cast<size_t>(i)].Number, i};
    std::sort(Pairs.begin(), Pairs.end());
  }
  // The index of the first definition numbered Number, or -1.
  int32_t Find(int32_t Number) const {
    auto it = std::lower_bound(Pairs.begin(), Pairs.end(),
                               std::pair<int32_t, int32_t>{Number, INT32_MIN});
    return it != Pairs.end() && it->first == Number ? it->second : -1;
  }

 private:
  std::vector<std::pair<int32_t, int32_t>> Pairs;
};

// Builds Tree from the top-level insertions and the definitions' own
// insertions, breadth first; marks and numbers the definitions placed.
template <class Def>
void BuildBlockTreeOf(const std::vector<TEntJwwBlock>& Inserts, int32_t InsertCount,
                      std::vector<Def>& Defs, int32_t DefCount, std::vector<TEntJwwBlockTree>& Tree,
                      int32_t& TreeCount, int32_t& UsedDefCount) {
  Tree.clear();
  Tree.shrink_to_fit();
  TreeCount = 0;
  const int32_t defs = std::min<int64_t>(DefCount, static_cast<int64_t>(Defs.size()));
  for (int32_t i = 0; i < defs; ++i) {
    Defs[static_cast<size_t>(i)].Used = false;
    Defs[static_cast<size_t>(i)].Serial = -1;
  }
  const int32_t inserts = std::min<int64_t>(InsertCount, static_cast<int64_t>(Inserts.size()));
  if (inserts <= 0) return;

  const TDefinitionsByNumber byNumber(Defs, defs);
  auto find = [&](int32_t Number) { return byNumber.Find(Number); };
  auto place = [&](TEntJwwBlockTree& node, int32_t DefIndex) {
    if (DefIndex < 0) return;
    Def& d = Defs[static_cast<size_t>(DefIndex)];
    node.DefIndex = DefIndex;
    node.Name = d.Name;
    d.Used = true;
  };
  // What each definition's own insertions place, looked up once per
  // definition however often it is placed.
  std::vector<std::vector<int32_t>> placedBy(static_cast<size_t>(defs));
  std::vector<bool> resolved(static_cast<size_t>(defs), false);
  // The definitions placed by definition DefIndex's own insertions (-1 for
  // a number no definition has); empty when it places nothing.
  auto childrenOf = [&](int32_t DefIndex) -> const std::vector<int32_t>& {
    std::vector<int32_t>& children = placedBy[static_cast<size_t>(DefIndex)];
    if (!resolved[static_cast<size_t>(DefIndex)]) {
      resolved[static_cast<size_t>(DefIndex)] = true;
      const Def& D = Defs[static_cast<size_t>(DefIndex)];
      const int32_t m =
          std::min<int64_t>(D.BlockInsertCount, static_cast<int64_t>(D.BlockInserts.size()));
      for (int32_t b = 0; b < m; ++b)
        children.push_back(find(D.BlockInserts[static_cast<size_t>(b)].BlockNumber));
    }
    return children;
  };

  // First the tree's shape alone (definition and level of each node, in the
  // order the nodes are made), so that the tree is sized once and never
  // moved while it grows to as many as MaxTreeNodes nodes.
  {
    std::vector<std::pair<int32_t, int32_t>> shape;
    shape.reserve(static_cast<size_t>(inserts));
    for (int32_t j = 0; j < inserts; ++j)
      shape.push_back({find(Inserts[static_cast<size_t>(j)].BlockNumber), 0});
    for (size_t k = 0; k < shape.size(); ++k) {
      const auto [defIndex, level] = shape[k];
      if (defIndex < 0) continue;
      const std::vector<int32_t>& children = childrenOf(defIndex);
      const int64_t m = static_cast<int64_t>(children.size());
      if (m <= 0 || level >= MaxTreeLevel) continue;
      if (static_cast<int64_t>(shape.size()) + m > MaxTreeNodes) break;
      for (int32_t child : children) shape.push_back({child, level + 1});
    }
    Tree.reserve(shape.size());
  }

  // Nodes are appended whole (the storage is reserved above), each field
  // written once.
  for (int32_t j = 0; j < inserts; ++j) {
    const TEntJwwBlock& I = Inserts[static_cast<size_t>(j)];
    TEntJwwBlockTree& node = Tree.emplace_back();
    const TLocalMatrix L = LocalMatrix(I);
    node.Attr = I.Attr;
    node.Level = 0;
    node.Parent = -1;
    node.BlockNumber = I.BlockNumber;
    node.OriginX = I.X;
    node.OriginY = I.Y;
    node.M11 = L.L11;
    node.M12 = L.L12;
    node.M21 = L.L21;
    node.M22 = L.L22;
    place(node, find(I.BlockNumber));
  }
  TreeCount = inserts;

  for (int32_t k = 0; k < TreeCount; ++k) {
    if (Tree[static_cast<size_t>(k)].DefIndex < 0) continue;
    // A copy of what the children need: Tree grows below.
    struct {
      int32_t Level, DefIndex;
      double OriginX, OriginY, M11, M12, M21, M22;
    } parent;
    {
      const TEntJwwBlockTree& p = Tree[static_cast<size_t>(k)];
      parent = {p.Level, p.DefIndex, p.OriginX, p.OriginY, p.M11, p.M12, p.M21, p.M22};
    }
    const Def& D = Defs[static_cast<size_t>(parent.DefIndex)];
    const int32_t m =
        std::min<int64_t>(D.BlockInsertCount, static_cast<int64_t>(D.BlockInserts.size()));
    if (m <= 0) continue;
    if (parent.Level >= MaxTreeLevel) continue;
    if (static_cast<int64_t>(TreeCount) + m > MaxTreeNodes) break;
    const std::vector<int32_t>& children = childrenOf(parent.DefIndex);
    TreeCount += m;
    for (int32_t b = 0; b < m; ++b) {
      const TEntJwwBlock& I = D.BlockInserts[static_cast<size_t>(b)];
      const TLocalMatrix L = LocalMatrix(I);
      TEntJwwBlockTree& node = Tree.emplace_back();
      node.Attr = D.Attr;
      node.Level = parent.Level + 1;
      node.Parent = k;
      node.BlockNumber = I.BlockNumber;
      node.OriginX = parent.OriginX + parent.M11 * I.X + parent.M12 * I.Y;
      node.OriginY = parent.OriginY + parent.M21 * I.X + parent.M22 * I.Y;
      node.M11 = parent.M11 * L.L11 + parent.M12 * L.L21;
      node.M12 = parent.M11 * L.L12 + parent.M12 * L.L22;
      node.M21 = parent.M21 * L.L11 + parent.M22 * L.L21;
      node.M22 = parent.M21 * L.L12 + parent.M22 * L.L22;
      place(node, children[static_cast<size_t>(b)]);
    }
  }

  int32_t used = 0;
  for (int32_t i = 0; i < defs; ++i) {
    Def& d = Defs[static_cast<size_t>(i)];
    if (d.Used) d.Serial = used++;
  }
  UsedDefCount = used;
}

}  // namespace jwbody
