// The layout of a drawing file's header: the size of each fixed section,
// spelled out from the fields it holds, and a cursor that reads a section's
// fields one by one, in the order the format stores them. A section is
// taken from the file in one piece, so a file cut inside it fails at the
// section's start, as a reader of the whole section would.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>

#include "jww/archive.h"

namespace jwwheader {

inline constexpr size_t Int = 4, Real = 8;

// Section 1: the signature.
inline constexpr size_t Signature = 8;
// Section 4: two integers.
inline constexpr size_t Sec4 = 2 * Int;
// Section 5, per layer group: the group's record, then its 16 layers'.
inline constexpr size_t LayerGroupRecord = Int + Int + Real + Int;
inline constexpr size_t LayerRecord = 2 * Int;
inline constexpr size_t LayerGroup = LayerGroupRecord + 16 * LayerRecord;
// Section 6: not used.
inline constexpr size_t Sec6 = 56;
// Section 7: five integers, an integer not used, the coded value.
inline constexpr size_t Sec7 = 5 * Int + Int + Int;
// Section 8: three reals, two integers, five reals.
inline constexpr size_t Sec8 = 3 * Real + 2 * Int + 5 * Real;
// Section 11: two reals, an integer, one real; two more reals after the
// full section 18 (read from Sec11Reals on).
inline constexpr size_t Sec11Short = 2 * Real + Int + Real;
inline constexpr size_t Sec11Long = Sec11Short + 2 * Real;
// Section 12: an integer and six reals.
inline constexpr size_t Sec12 = Int + 6 * Real;
// Section 13: up to the full section 18, four records of three reals; after
// it eight records of three reals and an integer, and two extra records.
inline constexpr size_t Sec13ShortRecord = 3 * Real;
inline constexpr size_t Sec13Record = 3 * Real + Int;
inline constexpr size_t Sec13Short = 4 * Sec13ShortRecord;
inline constexpr size_t Sec13Long = 8 * Sec13Record + 2 * Sec13Record;
// Section 14: ten reals, a real, ten pairs of integers.
inline constexpr size_t Sec14 = 10 * Real + Real + 10 * 2 * Int;
// Section 15: ten records of two integers and a real.
inline constexpr size_t Sec15 = 10 * (2 * Int + Real);
// Section 16: eight records of four integers.
inline constexpr size_t Sec16 = 8 * 4 * Int;
// Section 17: five records of five integers, four of four.
inline constexpr size_t Sec17 = 5 * 5 * Int + 4 * 4 * Int;
// Section 18, growing with the version: ten integers and the tens/units
// value; then the elapsed time, four integers, five reals; then four reals;
// then two integers.
inline constexpr size_t Sec18First = 10 * Int + Int;
inline constexpr size_t Sec18Elapsed = Sec18First + Int + 4 * Int + 5 * Real;
inline constexpr size_t Sec18MoreReals = Sec18Elapsed + 4 * Real;
inline constexpr size_t Sec18Full = Sec18MoreReals + 2 * Int;
// Section 20: ten records of three reals and an integer.
inline constexpr size_t Sec20 = 10 * (3 * Real + Int);
// Section 21: three reals, two integers, two reals, an integer, six reals.
inline constexpr size_t Sec21 = 3 * Real + 2 * Int + 2 * Real + Int + 6 * Real;

// Reads one section's fields in order from the bytes taken for it.
class TSection {
 public:
  TSection(ByteSource& Src, size_t Size) : P(Src.Take(Size)), Left(Size) {}
  ~TSection() { assert(Left == 0 && "a section's fields must fill it"); }
  TSection(const TSection&) = delete;
  TSection& operator=(const TSection&) = delete;

  int32_t ReadInt() { return Next<int32_t>(); }
  double ReadReal() { return Next<double>(); }
  void Skip(size_t N) {
    assert(N <= Left);
    P += N;
    Left -= N;
  }

 private:
  template <class T>
  T Next() {
    assert(sizeof(T) <= Left);
    const T v = ByteSource::Load<T>(P);
    P += sizeof(T);
    Left -= sizeof(T);
    return v;
  }

  const uint8_t* P;
  size_t Left;
};

}  // namespace jwwheader
