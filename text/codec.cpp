// The CP932 <-> UTF-8 codec, on tables generated from glibc's iconv "CP932"
// converter: the same conversion as that converter, on every platform.
#include "text/codec.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "text/codec_tables.h"

namespace {

using namespace codec_tables;

constexpr std::string_view Replacement = "\xEF\xBF\xBD";  // U+FFFD

// The row of a lead byte in kDouble, or -1.
int LeadRow(unsigned char B) {
  if (B >= 0x81 && B <= 0x9F) return B - 0x81;
  if (B >= 0xE0 && B <= 0xFC) return 31 + (B - 0xE0);
  return -1;
}

bool IsCp932TrailByte(unsigned char B) {
  return B >= 0x40 && B <= 0xFC && B != 0x7F;
}

void AppendUtf8(std::string& Out, uint32_t Cp) {
  if (Cp < 0x80) {
    Out.push_back(static_cast<char>(Cp));
  } else if (Cp < 0x800) {
    Out.push_back(static_cast<char>(0xC0 | (Cp >> 6)));
    Out.push_back(static_cast<char>(0x80 | (Cp & 0x3F)));
  } else {
    Out.push_back(static_cast<char>(0xE0 | (Cp >> 12)));
    Out.push_back(static_cast<char>(0x80 | ((Cp >> 6) & 0x3F)));
    Out.push_back(static_cast<char>(0x80 | (Cp & 0x3F)));
  }
}

}  // namespace

std::string Cp932ToUtf8(std::string_view Cp932) {
  std::string Out;
  Out.reserve(Cp932.size() + Cp932.size() / 2);
  size_t i = 0;
  while (i < Cp932.size()) {
    const auto b = static_cast<unsigned char>(Cp932[i]);
    const int row = LeadRow(b);
    if (row < 0) {
      if (kSingle[b] != NoCode) {
        AppendUtf8(Out, kSingle[b]);
      } else {
        Out.append(Replacement);
      }
      ++i;
      continue;
    }
    // A lead byte: with its trail byte one character. A well-formed pair
    // that the code page leaves unassigned is one bad character; a lead
    // byte without a trail byte loses that byte alone.
    if (i + 1 < Cp932.size()) {
      const auto t = static_cast<unsigned char>(Cp932[i + 1]);
      if (t >= 0x40 && t <= 0xFC) {
        const uint16_t cp = kDouble[static_cast<size_t>(row) * TrailCount + (t - 0x40)];
        if (cp != NoCode) {
          AppendUtf8(Out, cp);
          i += 2;
          continue;
        }
      }
      Out.append(Replacement);
      i += IsCp932TrailByte(t) ? 2 : 1;
      continue;
    }
    Out.append(Replacement);
    ++i;
  }
  return Out;
}

std::optional<std::string> Utf8ToCp932(std::string_view Utf8) {
  if (!IsUtf8(Utf8)) return std::nullopt;
  std::string Out;
  Out.reserve(Utf8.size());
  size_t i = 0;
  while (i < Utf8.size()) {
    const auto c = static_cast<unsigned char>(Utf8[i]);
    uint32_t cp;
    size_t n;
    if (c < 0x80) {
      cp = c, n = 1;
    } else if (c < 0xE0) {
      cp = c & 0x1Fu, n = 2;
    } else if (c < 0xF0) {
      cp = c & 0x0Fu, n = 3;
    } else {
      cp = c & 0x07u, n = 4;
    }
    for (size_t k = 1; k < n; ++k) cp = cp << 6 | (static_cast<unsigned char>(Utf8[i + k]) & 0x3Fu);
    i += n;
    if (cp >= kDroppedFirst && cp <= kDroppedLast) continue;
    if (cp > 0xFFFF) return std::nullopt;
    const TEncodePair* end = kEncode + EncodeCount;
    const TEncodePair* it = std::lower_bound(
        kEncode, end, cp, [](const TEncodePair& P, uint32_t V) { return P.CodePoint < V; });
    if (it == end || it->CodePoint != cp) return std::nullopt;
    if (it->Code >= 0x100) Out.push_back(static_cast<char>(it->Code >> 8));
    Out.push_back(static_cast<char>(it->Code & 0xFF));
  }
  return Out;
}

bool IsUtf8(std::string_view Text) {
  size_t i = 0;
  while (i < Text.size()) {
    const auto c = static_cast<unsigned char>(Text[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t n;
    uint32_t cp;
    if ((c >> 5) == 0x6) {
      n = 1, cp = c & 0x1Fu;
    } else if ((c >> 4) == 0xE) {
      n = 2, cp = c & 0x0Fu;
    } else if ((c >> 3) == 0x1E) {
      n = 3, cp = c & 0x07u;
    } else {
      return false;
    }
    if (i + n >= Text.size()) return false;
    for (size_t k = 1; k <= n; ++k) {
      const auto t = static_cast<unsigned char>(Text[i + k]);
      if ((t >> 6) != 0x2) return false;
      cp = cp << 6 | (t & 0x3Fu);
    }
    static constexpr uint32_t least[4] = {0, 0x80, 0x800, 0x10000};
    if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += n + 1;
  }
  return true;
}
