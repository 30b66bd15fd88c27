// The tables of the CP932 <-> Unicode codec, generated once from glibc's
// iconv "CP932" converter by gen_codec_tables.py, so that the codec needs no
// iconv at run time and converts the same on every platform.
#pragma once

#include <cstddef>
#include <cstdint>

namespace codec_tables {

inline constexpr uint16_t NoCode = 0xFFFF;
// Lead bytes: 0x81-0x9F, then 0xE0-0xFC; trail bytes 0x40-0xFC.
inline constexpr size_t LeadCount = 31 + 29;
inline constexpr size_t TrailCount = 0xFC - 0x40 + 1;
inline constexpr size_t EncodeCount = 9406;

struct TEncodePair {
  uint16_t CodePoint;
  uint16_t Code;  // below 0x100 one byte, else lead * 0x100 + trail
};

extern const uint16_t kSingle[256];
extern const uint16_t kDouble[LeadCount * TrailCount];
extern const TEncodePair kEncode[EncodeCount];
extern const uint32_t kDroppedFirst;
extern const uint32_t kDroppedLast;

}  // namespace codec_tables
