// Byte-text helpers for code page 932 (Shift-JIS).
//
// Every text is a std::string of CP932 bytes; positions are 1-based byte
// positions where an operation takes one. None of these functions throws or
// fails: bad input gives an empty text or 0.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Lead bytes as the program's own helpers see them: 0x80-0x9F and 0xE0-0xFD.
// (Wider than the code page's table on purpose: 0x80 and 0xFD count too.)
constexpr bool IsHelperLeadByte(unsigned char b) {
  return (b >= 0x80 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFD);
}

// Lead bytes of code page 932 itself: 0x81-0x9F and 0xE0-0xFC. Used by the
// operations that stand in for the platform's code-page services.
constexpr bool IsCodePageLeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

struct TSjisCopyResult {
  std::string Text;
  int ByteCount = 0;  // may exceed Text.size() by one for a lone trailing lead byte
};

// The characters of S lying wholly inside bytes Start .. Start+Count-1.
TSjisCopyResult SjisCopy(std::string_view S, int Start, int Count);
// Number of characters of S.
int SjisLength(std::string_view S);
// S without single-byte control characters (below 0x20).
std::string StripControls(std::string_view S);
// As StripControls, and a lead byte cut off by the end of S is dropped.
std::string CleanFileString(std::string_view S);
// Half-width to full-width and hiragana to katakana, in 126-byte chunks.
std::string ToFullWidthKatakana(std::string_view S);
// The comparison form of a text for the block-name search.
std::string NormalizeForSearch(std::string_view S);
// The block-name match, on comparison forms: the search key occurs in the
// name's comparison form (an empty key matches nothing).
bool SearchKeyFound(std::string_view Key, std::string_view NormalizedName);
// Whole-text integer parse: decimal or hex ($, x, 0x); anything else gives 0.
int32_t TextToInt(std::string_view S);

// Stand-ins for the platform's code-page services.
// Upper-cases a-z and the double-byte letters that have a double-byte
// upper-case form; the byte length never changes.
std::string UpperCaseText(std::string_view S);
// 1-based byte position of the first occurrence of Sub in S that starts on a
// character boundary; 0 when there is none or either text is empty.
int TextPos(std::string_view Sub, std::string_view S);
// The width-and-kana conversion of one chunk (full width, katakana).
std::string WidthKanaConvert(std::string_view S);
