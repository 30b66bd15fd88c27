// The fingerprint of a block's drawing, and the duplicate report built on it.
//
// Two drawings get one fingerprint when they are the same shapes, wherever
// they lie and in whatever order their records come: every coordinate is
// taken relative to the drawing's own bounds and rounded to a thousandth of
// the bounds' larger side, each shape is written in one canonical form (a
// line from either end, a solid from any corner, an arc whichever way its
// axes run), and the shapes are sorted before they are hashed. Colours and
// texts count. A shape moved by more than the tolerance gives another
// fingerprint; two drawings within the tolerance of each other may still
// differ when a coordinate of one lies just either side of a rounding
// boundary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/displaylist.h"

struct TFingerprint {
  uint64_t High = 0;
  uint64_t Low = 0;
  friend bool operator==(const TFingerprint&, const TFingerprint&) = default;
  friend auto operator<=>(const TFingerprint&, const TFingerprint&) = default;
  // 32 lower-case hexadecimal digits.
  std::string Hex() const;
};

TFingerprint FingerprintOf(const TDisplayList& List);

// What the duplicate report knows of one row.
struct TPrintedRow {
  std::string NameKey;  // the block name's comparison form (NormalizeForSearch)
  TFingerprint Print;
  bool EmptyDrawing = false;  // draws nothing: never the same drawing as another
};

enum class TDuplicateKind {
  SameDrawing,  // one drawing under more than one name
  SameName,     // one name over more than one drawing
};
const char* DuplicateKindName(TDuplicateKind Kind);  // "same-drawing", "same-name"

struct TDuplicateGroup {
  TDuplicateKind Kind;
  std::vector<size_t> Members;  // row indexes, ascending
};

// The groups among Rows: every drawing shared under more than one name, then
// every name held by more than one drawing, each kind in the order of its
// first row. Rows in no group appear nowhere.
std::vector<TDuplicateGroup> FindDuplicates(const std::vector<TPrintedRow>& Rows);

// For each row, how many other rows share its drawing (0 for one that draws
// nothing).
std::vector<size_t> SameDrawingCounts(const std::vector<TPrintedRow>& Rows);
