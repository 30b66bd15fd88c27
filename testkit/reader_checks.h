// Consistency checks of a drawing or figure reader after it has loaded
// arbitrary bytes, and after Clear. Shared by the fuzz targets and the
// damaged-file tests. Every check returns an empty string when everything
// holds, otherwise a description of the first thing that does not.
//
// What holds after any load, whatever the bytes:
// - every count is between 0 and its array's length, and after a complete
//   load exactly its length (the arrays are cut when each list ends);
// - EntityOrder is either unsized or sized to the announced count; its used
//   slots come first, each names a record that exists, and the records of
//   one kind appear in order 0, 1, 2, ... (a dropped record frees its slot);
// - BlockDefs has exactly BlockDefCount elements, and the total the body
//   announced equals that count;
// - every stored string went through CleanFileString, so cleaning it again
//   changes nothing (except that a drawing's text, cut to 255 bytes, may end
//   in half a double-byte character), and a drawing's texts are at most 255
//   bytes;
// - the block tree is a breadth-first forest within its bounds, every node
//   finds the first definition with its number (or none exists), and the
//   Used/Serial marks agree with the nodes;
// - what the reader holds (tree excepted) stays within a small multiple of
//   the input's size, and its definitions within their memory budget.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "app/blocktexts.h"
#include "jws/jwsunit.h"
#include "jww/blocktree.h"
#include "jww/jwwunit.h"
#include "text/sjis.h"

namespace readercheck {

inline int32_t EntityCountOf(const TJwwData& R) {
  return R.Header.EntityCount;
}
inline int32_t EntityCountOf(const TJwsData& R) {
  return R.EntityCount;
}
inline int32_t BlockDefTotalOf(const TJwwData& R) {
  return R.Header.BlockDefTotal;
}
inline int32_t BlockDefTotalOf(const TJwsData& R) {
  return R.BlockDefTotal;
}

// Longest text a reader of this kind keeps.
template <class Reader>
constexpr size_t MaxTextOf() {
  return std::is_same_v<Reader, TJwwData> ? 255 : 65535;
}

template <class T>
size_t HeldBytes(const std::vector<T>& V) {
  return V.capacity() * sizeof(T);
}
inline size_t HeldBytes(const std::string& S) {
  return S.capacity() > 15 ? S.capacity() : 0;
}

template <class Lists>
size_t HeldBytesOfLists(const Lists& L) {
  size_t n = HeldBytes(L.EntityOrder) + HeldBytes(L.Lines) + HeldBytes(L.Arcs) +
             HeldBytes(L.Points) + HeldBytes(L.Texts) + HeldBytes(L.Dimensions) +
             HeldBytes(L.Solids) + HeldBytes(L.BlockInserts);
  for (const auto& t : L.Texts) n += HeldBytes(t.Text1) + HeldBytes(t.Text2);
  for (const auto& d : L.Dimensions) n += HeldBytes(d.DimText.Text1) + HeldBytes(d.DimText.Text2);
  return n;
}

// S went through CleanFileString. A text cut to its kind's length limit may
// end in the first byte of a double-byte character whose second byte was
// cut off; cleaning it again would drop that byte.
inline std::string CheckCleaned(const std::string& S, size_t MaxLength, const std::string& What) {
  if (S.size() > MaxLength) {
    return What + " is " + std::to_string(S.size()) + " bytes, more than " +
           std::to_string(MaxLength);
  }
  const std::string again = CleanFileString(S);
  if (again == S) return {};
  const bool cutInPair = S.size() == MaxLength && again.size() + 1 == S.size() &&
                         S.compare(0, again.size(), again) == 0 &&
                         IsHelperLeadByte(static_cast<unsigned char>(S.back()));
  if (cutInPair) return {};
  return What + " was not cleaned";
}

// One entity list (the reader's own or a definition's).
template <class Lists>
std::string CheckLists(const Lists& L, int32_t EntityCount, bool Complete, size_t MaxText,
                       const std::string& Where) {
  const int32_t counts[8] = {0,           L.LineCount,      L.ArcCount,   L.PointCount,
                             L.TextCount, L.DimensionCount, L.SolidCount, L.BlockInsertCount};
  const size_t sizes[8] = {0,
                           L.Lines.size(),
                           L.Arcs.size(),
                           L.Points.size(),
                           L.Texts.size(),
                           L.Dimensions.size(),
                           L.Solids.size(),
                           L.BlockInserts.size()};
  int64_t total = 0;
  for (int k = 1; k <= 7; ++k) {
    if (counts[k] < 0 || static_cast<size_t>(counts[k]) > sizes[k]) {
      return Where + ": count of kind " + std::to_string(k) + " is " + std::to_string(counts[k]) +
             " with " + std::to_string(sizes[k]) + " elements";
    }
    if (Complete && static_cast<size_t>(counts[k]) != sizes[k]) {
      return Where + ": kind " + std::to_string(k) + " not cut to its count after a complete load";
    }
    total += counts[k];
  }
  const size_t orderSize = L.EntityOrder.size();
  if (orderSize != 0 && (EntityCount < 0 || orderSize > static_cast<size_t>(EntityCount))) {
    return Where + ": EntityOrder has " + std::to_string(orderSize) + " slots for a count of " +
           std::to_string(EntityCount);
  }
  if (Complete && EntityCount >= 0 && orderSize != static_cast<size_t>(EntityCount)) {
    return Where + ": EntityOrder not sized to the count after a complete load";
  }
  int32_t next[8] = {};
  size_t used = 0;
  for (size_t i = 0; i < orderSize; ++i) {
    const TEntJwwOrder& o = L.EntityOrder[i];
    if (o.Kind == 0 && o.Index == 0) continue;
    if (used != i) return Where + ": a used EntityOrder slot follows an empty one";
    ++used;
    if (o.Kind < 1 || o.Kind > 7) return Where + ": EntityOrder kind " + std::to_string(o.Kind);
    if (o.Index != next[o.Kind]) {
      return Where + ": EntityOrder slot " + std::to_string(i) + " names record " +
             std::to_string(o.Index) + " of kind " + std::to_string(o.Kind) + ", expected " +
             std::to_string(next[o.Kind]);
    }
    ++next[o.Kind];
  }
  if (static_cast<int64_t>(used) != total) {
    return Where + ": " + std::to_string(used) + " used EntityOrder slots for " +
           std::to_string(total) + " records";
  }
  for (int32_t i = 0; i < L.TextCount; ++i) {
    const auto& t = L.Texts[static_cast<size_t>(i)];
    for (const std::string* s : {&t.Text1, &t.Text2}) {
      std::string e = CheckCleaned(*s, MaxText, Where + ": text " + std::to_string(i));
      if (!e.empty()) return e;
    }
  }
  for (int32_t i = 0; i < L.DimensionCount; ++i) {
    const auto& t = L.Dimensions[static_cast<size_t>(i)].DimText;
    for (const std::string* s : {&t.Text1, &t.Text2}) {
      std::string e = CheckCleaned(*s, MaxText, Where + ": dimension text " + std::to_string(i));
      if (!e.empty()) return e;
    }
  }
  return {};
}

// Number of used EntityOrder slots missing from a list: the records dropped.
template <class Lists>
int64_t DroppedIn(const Lists& L) {
  int64_t dropped = 0;
  for (const TEntJwwOrder& o : L.EntityOrder) dropped += (o.Kind == 0 && o.Index == 0);
  return dropped;
}

template <class Reader>
std::string CheckTree(const Reader& R) {
  const auto& T = R.BlockTree;
  if (R.BlockTreeCount < 0 || static_cast<size_t>(R.BlockTreeCount) != T.size()) {
    return "BlockTreeCount " + std::to_string(R.BlockTreeCount) + " with " +
           std::to_string(T.size()) + " nodes";
  }
  if (R.BlockTreeCount > jwbody::MaxTreeNodes) return "block tree beyond its node bound";
  const int32_t defs = R.BlockDefCount;
  // The first definition with each number, and for each definition whether
  // it is that first one.
  std::unordered_map<int32_t, int32_t> first;
  std::vector<bool> isFirst(static_cast<size_t>(std::max(defs, 0)), false);
  int32_t maxInserts = 0;
  for (int32_t i = 0; i < defs; ++i) {
    const auto& d = R.BlockDefs[static_cast<size_t>(i)];
    isFirst[static_cast<size_t>(i)] = first.emplace(d.Number, i).second;
    maxInserts = std::max(maxInserts, d.BlockInsertCount);
  }
  const int32_t roots = R.BlockInsertCount;
  if (roots > 0 && R.BlockTreeCount < roots) return "fewer tree nodes than insertions";
  if (roots <= 0 && R.BlockTreeCount != 0) return "tree nodes without insertions";
  std::vector<int32_t> children(T.size(), 0);
  std::vector<bool> used(static_cast<size_t>(std::max(defs, 0)), false);
  for (size_t k = 0; k < T.size(); ++k) {
    const TEntJwwBlockTree& n = T[k];
    // The node's name in a message, made only when a check fails.
    struct TAt {
      size_t K;
      std::string operator+(const char* What) const {
        return "tree node " + std::to_string(K) + What;
      }
      std::string operator+(const std::string& What) const { return *this + What.c_str(); }
    } const at{k};
    const bool root = k < static_cast<size_t>(std::max(roots, 0));
    if (root != (n.Level == 0) || root != (n.Parent == -1)) return at + ": level/parent mismatch";
    if (!root) {
      if (n.Parent < 0 || static_cast<size_t>(n.Parent) >= k) return at + ": parent out of order";
      const TEntJwwBlockTree& p = T[static_cast<size_t>(n.Parent)];
      if (n.Level != p.Level + 1) return at + ": level is not its parent's plus one";
      if (n.Level > jwbody::MaxTreeLevel) return at + ": deeper than the level bound";
      if (k > 0 && T[k - 1].Parent > n.Parent) return at + ": not breadth first";
      ++children[static_cast<size_t>(n.Parent)];
    }
    if (n.DefIndex >= 0) {
      if (n.DefIndex >= defs) return at + ": DefIndex beyond the definitions";
      const auto& d = R.BlockDefs[static_cast<size_t>(n.DefIndex)];
      if (d.Number != n.BlockNumber || !isFirst[static_cast<size_t>(n.DefIndex)]) {
        return at + ": DefIndex " + std::to_string(n.DefIndex) +
               " is not the first definition with number " + std::to_string(n.BlockNumber);
      }
      if (n.Name != d.Name) return at + ": name differs from its definition's";
      used[static_cast<size_t>(n.DefIndex)] = true;
    } else {
      if (n.DefIndex != -1 || first.count(n.BlockNumber) != 0) {
        return at + ": DefIndex " + std::to_string(n.DefIndex) + " while definition " +
               std::to_string(first.count(n.BlockNumber) ? first[n.BlockNumber] : -1) +
               " has number " + std::to_string(n.BlockNumber);
      }
      if (!n.Name.empty()) return at + ": name without a definition";
    }
  }
  // Unless the node bound stopped the expansion, every node with a
  // definition that holds insertions has exactly that many children, up to
  // the level bound.
  const bool bounded =
      static_cast<int64_t>(R.BlockTreeCount) + maxInserts > int64_t{jwbody::MaxTreeNodes};
  if (!bounded) {
    for (size_t k = 0; k < T.size(); ++k) {
      const TEntJwwBlockTree& n = T[k];
      int32_t expect = 0;
      if (n.DefIndex >= 0 && n.Level < jwbody::MaxTreeLevel) {
        expect = std::max(R.BlockDefs[static_cast<size_t>(n.DefIndex)].BlockInsertCount, 0);
      }
      if (children[k] != expect) {
        return "tree node " + std::to_string(k) + " has " + std::to_string(children[k]) +
               " children, expected " + std::to_string(expect);
      }
    }
  }
  int32_t serial = 0;
  for (int32_t i = 0; i < defs; ++i) {
    const auto& d = R.BlockDefs[static_cast<size_t>(i)];
    if (d.Used != used[static_cast<size_t>(i)]) {
      return "definition " + std::to_string(i) + ": Used does not match the tree";
    }
    if (d.Serial != (d.Used ? serial : -1)) {
      return "definition " + std::to_string(i) + ": Serial " + std::to_string(d.Serial);
    }
    serial += d.Used;
  }
  if (R.BlockTreeCount > 0 && R.UsedBlockDefCount != serial) {
    return "UsedBlockDefCount " + std::to_string(R.UsedBlockDefCount) + ", " +
           std::to_string(serial) + " definitions used";
  }
  if (R.BlockTreeCount == 0 && R.UsedBlockDefCount != 0) return "UsedBlockDefCount without tree";
  return {};
}

// Everything after LoadFromMemory(Data, Size) returned Result; with Tree
// false, after a load that builds no tree (LoadDrawings).
template <class Reader>
std::string CheckLoaded(const Reader& R, bool Result, size_t Size, bool Tree = true) {
  constexpr size_t maxText = MaxTextOf<Reader>();
  if (R.BlockDefCount < 0 || static_cast<size_t>(R.BlockDefCount) != R.BlockDefs.size()) {
    return "BlockDefCount " + std::to_string(R.BlockDefCount) + " with " +
           std::to_string(R.BlockDefs.size()) + " definitions";
  }
  // A list cut short holds only the definitions whose name was read.
  if (Result ? BlockDefTotalOf(R) != R.BlockDefCount : BlockDefTotalOf(R) < R.BlockDefCount)
    return "BlockDefTotal " + std::to_string(BlockDefTotalOf(R)) + " with BlockDefCount " +
           std::to_string(R.BlockDefCount);
  if (R.AbsorbedFailures < 0) return "negative AbsorbedFailures";
  if constexpr (std::is_same_v<Reader, TJwwData>) {
    if (R.Header.Version < 220 && (Result || R.BlockDefCount != 0 || !R.EntityOrder.empty())) {
      return "a drawing below version 220 was read past its version";
    }
  }
  std::string e = CheckLists(R, EntityCountOf(R), Result, maxText, "own list");
  if (!e.empty()) return e;
  int64_t dropped = DroppedIn(R);
  for (int32_t i = 0; i < R.BlockDefCount; ++i) {
    const auto& d = R.BlockDefs[static_cast<size_t>(i)];
    const std::string where = "definition " + std::to_string(i);
    e = CheckLists(d, d.EntityCount, Result, maxText, where);
    if (!e.empty()) return e;
    e = CheckCleaned(d.Name, 65535, where + " name");
    if (!e.empty()) return e;
    dropped += DroppedIn(d);
  }
  if (Result && dropped != R.AbsorbedFailures) {
    return std::to_string(dropped) + " empty EntityOrder slots after a complete load, " +
           std::to_string(R.AbsorbedFailures) + " records reported dropped";
  }
  // Entity records take at most a few times their file size in memory, and
  // one unfinished list may still hold a growth step of spare records. The
  // definition list grows as definitions are read, each at least 30 bytes of
  // the file.
  size_t held = HeldBytesOfLists(R);
  // (Counted by size, as capacity left over from an earlier load is not this
  // load's doing.)
  size_t defsHeld = R.BlockDefs.size() * sizeof(typename decltype(R.BlockDefs)::value_type);
  for (const auto& d : R.BlockDefs) held += HeldBytesOfLists(d) + HeldBytes(d.Name);
  const uint64_t defsBound = (Size / 30 + 1) * sizeof(typename decltype(R.BlockDefs)::value_type);
  if (defsHeld > defsBound) {
    return "holds " + std::to_string(defsHeld) + " bytes of definitions for an input of " +
           std::to_string(Size);
  }
  const uint64_t bound = 32 * uint64_t{Size} + (4u << 20);
  if (held > bound) {
    return "holds " + std::to_string(held) + " bytes of entities for an input of " +
           std::to_string(Size);
  }
  if (!Tree) return R.BlockTreeCount == 0 && R.BlockTree.empty() ? "" : "a tree was built";
  return CheckTree(R);
}

// Everything after Clear: an empty reader.
template <class Reader>
std::string CheckCleared(const Reader& R) {
  const bool empty = R.BlockDefCount == 0 && R.BlockDefs.empty() && BlockDefTotalOf(R) == 0 &&
                     EntityCountOf(R) == 0 && R.EntityOrder.empty() && R.LineCount == 0 &&
                     R.ArcCount == 0 && R.PointCount == 0 && R.TextCount == 0 &&
                     R.DimensionCount == 0 && R.SolidCount == 0 && R.BlockInsertCount == 0 &&
                     R.Lines.empty() && R.Arcs.empty() && R.Points.empty() && R.Texts.empty() &&
                     R.Dimensions.empty() && R.Solids.empty() && R.BlockInserts.empty() &&
                     R.BlockTreeCount == 0 && R.BlockTree.empty() && R.UsedBlockDefCount == 0 &&
                     R.AbsorbedFailures == 0 && R.LayerGroups.empty();
  if (!empty) return "Clear left data in the reader";
  // Emptied and given back: a reader kept for the next file holds nothing
  // of the last one.
  const size_t kept = R.EntityOrder.capacity() + R.Lines.capacity() + R.Arcs.capacity() +
                      R.Points.capacity() + R.Texts.capacity() + R.Dimensions.capacity() +
                      R.Solids.capacity() + R.BlockInserts.capacity() + R.BlockDefs.capacity() +
                      R.BlockTree.capacity() + R.LayerGroups.capacity();
  if (kept != 0) return "Clear kept the storage of emptied lists";
  if constexpr (std::is_same_v<Reader, TJwwData>) {
    if (R.Header.Version != 0 || !R.Header.Signature.empty() || !R.Header.Memo.empty() ||
        R.Layers.capacity() != 0 || R.ColorExTable.capacity() != 0 ||
        R.LineTypeExTable.capacity() != 0) {
      return "Clear left header data in the drawing reader";
    }
  } else {
    if (R.Version != 0 || !R.Signature.empty()) return "Clear left header data in the reader";
  }
  return {};
}

// Loads Data the names-only way and says how that differs from Full, the
// reader after its full load of the same bytes (empty when they agree): the result, the skipped
// records, the failure with its place, and every definition's name and header.
template <class Reader>
std::string CheckNamesOnlyAgrees(const Reader& Full, bool FullResult, const uint8_t* Data,
                                 size_t Size) {
  const Reader* full = &Full;
  const bool fullResult = FullResult;
  auto names = std::make_unique<Reader>();
  const bool namesResult = names->LoadBlockNamesFromMemory(Data, Size);
  auto failure = [](const Reader& R) {
    const TReadFailure& f = R.LastError;
    const TReadPlace& p = f.Place;
    return std::to_string(f.Failed) + " at " + std::to_string(f.Offset) + " part " +
           std::to_string(p.Part) + " " + std::to_string(p.Index) + "/" + std::to_string(p.Count) +
           " " + std::to_string(p.Inner) + "/" + std::to_string(p.InnerCount) + ": " + f.Message;
  };
  if (fullResult != namesResult) return "the results differ";
  if (full->AbsorbedFailures != names->AbsorbedFailures) return "the skipped records differ";
  if (failure(*full) != failure(*names))
    return "the failures differ: " + failure(*full) + " | " + failure(*names);
  if (full->BlockDefCount != names->BlockDefCount) return "the definition counts differ";
  if (BlockDefTotalOf(*full) != BlockDefTotalOf(*names)) return "the definition totals differ";
  if (EntityCountOf(*full) != EntityCountOf(*names)) return "the entity counts differ";
  for (int32_t i = 0; i < full->BlockDefCount; ++i) {
    const auto& a = full->BlockDefs[static_cast<size_t>(i)];
    const auto& b = names->BlockDefs[static_cast<size_t>(i)];
    if (a.Name != b.Name || a.Number != b.Number || a.EntityCount != b.EntityCount)
      return "definition " + std::to_string(i + 1) + " differs";
  }
  if (BlockTextsOf(full->BlockDefs, full->BlockDefCount, false) !=
      BlockTextsOf(names->BlockDefs, names->BlockDefCount, true))
    return "the texts inside the definitions differ";
  return {};
}

}  // namespace readercheck
