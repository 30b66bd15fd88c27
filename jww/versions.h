// The format versions at which the file layout changed. A file's version is
// the integer after its signature; each constant names the change it marks.
#pragma once

#include <cstdint>

namespace jwversion {

// The oldest drawing version read at all; older drawings stop after it.
inline constexpr int32_t FirstRead = 220;
// Header section 18 gains the elapsed drawing time and more values.
inline constexpr int32_t ElapsedTime = 223;
// Header section 18 gains four more reals.
inline constexpr int32_t MoreSec18Reals = 225;
// Header section 18 reaches its final 144 bytes. Versions after it have
// the longer section 11 and eight records with extras in section 13.
inline constexpr int32_t FullSec18 = 230;
// Section 11 holds its second and third reals.
inline constexpr int32_t Sec11Reals = 300;
// The attribute record grows from 13 to 15 bytes (Attr7); files up to
// LastShortAttributes store 13.
inline constexpr int32_t LastShortAttributes = 350;
// Extended colours and line types in the header; dimensions gain their
// extension lines and points.
inline constexpr int32_t ExtendedStyles = 420;
// Bound images follow the block definitions.
inline constexpr int32_t BoundImages = 700;

}  // namespace jwversion
