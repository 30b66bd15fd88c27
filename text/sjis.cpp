// Byte-text helpers for code page 932.
#include "text/sjis.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "text/sjis_tables.h"

namespace {

unsigned char ByteAt(std::string_view S, size_t I) {
  return static_cast<unsigned char>(S[I]);
}

void AppendCode(std::string& Out, uint16_t Code) {
  Out.push_back(static_cast<char>(Code >> 8));
  Out.push_back(static_cast<char>(Code & 0xFF));
}

// Bytes of the character starting at I under the code page's lead-byte
// rule; a lead byte in the last position stands alone.
size_t CodePageCharBytes(std::string_view S, size_t I) {
  return IsCodePageLeadByte(ByteAt(S, I)) && I + 1 < S.size() ? 2 : 1;
}

// The walk shared by StripControls and CleanFileString.
std::string DropControls(std::string_view S, bool DropCutLeadByte) {
  std::string Out;
  Out.reserve(S.size());
  for (size_t I = 0; I < S.size();) {
    const unsigned char B = ByteAt(S, I);
    if (IsHelperLeadByte(B)) {
      if (I + 1 < S.size()) {
        Out.append(S.substr(I, 2));
      } else if (!DropCutLeadByte) {
        Out.push_back(static_cast<char>(B));
      }
      I += 2;
    } else {
      if (B >= 0x20) Out.push_back(static_cast<char>(B));
      ++I;
    }
  }
  return Out;
}

// Chunk sizes of the width-and-kana conversion: each pass looks at up to
// ChunkWindow bytes and converts the characters lying wholly inside the
// first ChunkBytes of them, so a converted chunk (at most twice as long)
// always fits a 256-byte buffer.
constexpr size_t ChunkWindow = 128;
constexpr int ChunkBytes = 126;

}  // namespace

TSjisCopyResult SjisCopy(std::string_view S, int Start, int Count) {
  TSjisCopyResult Result;
  const int64_t Length = static_cast<int64_t>(S.size());
  if (S.empty() || Start < 1 || Start > Length || Count <= 0) return Result;
  const int64_t Last = static_cast<int64_t>(Start) + Count - 1;
  int64_t P = 1;
  while (P <= Length && P <= Last) {
    const size_t I = static_cast<size_t>(P - 1);
    if (IsHelperLeadByte(ByteAt(S, I))) {
      if (P >= Start && P + 1 <= Last) {
        Result.Text.append(S.substr(I, 2));  // one byte only for a cut-off lead byte
        Result.ByteCount += 2;
      }
      P += 2;
    } else {
      if (P >= Start) {
        Result.Text.push_back(S[I]);
        Result.ByteCount += 1;
      }
      P += 1;
    }
  }
  return Result;
}

int SjisLength(std::string_view S) {
  int Count = 0;
  for (size_t I = 0; I < S.size(); I += IsHelperLeadByte(ByteAt(S, I)) ? 2 : 1) ++Count;
  return Count;
}

std::string StripControls(std::string_view S) {
  return DropControls(S, false);
}

std::string CleanFileString(std::string_view S) {
  return DropControls(S, true);
}

std::string ToFullWidthKatakana(std::string_view S) {
  std::string Result;
  size_t Pos = 0;
  while (Pos < S.size()) {
    const TSjisCopyResult Chunk = SjisCopy(S.substr(Pos, ChunkWindow), 1, ChunkBytes);
    if (Chunk.ByteCount == 0) break;
    Result += WidthKanaConvert(Chunk.Text);
    Pos += static_cast<size_t>(Chunk.ByteCount);
  }
  return Result;
}

std::string NormalizeForSearch(std::string_view S) {
  const std::string T = ToFullWidthKatakana(UpperCaseText(StripControls(S)));
  const int N = SjisLength(T);
  std::string Result;
  Result.reserve(T.size());
  const std::string_view View(T);
  for (int I = 0; I < N; ++I) {
    const size_t At = 2 * static_cast<size_t>(I);
    const std::string_view Piece = At < View.size() ? View.substr(At, 2) : std::string_view();
    if (Piece.size() != 2) {
      Result.append(Piece);
      continue;
    }
    switch ((ByteAt(Piece, 0) << 8) | ByteAt(Piece, 1)) {
      case 0x817E:  // multiplication sign -> letter X
        AppendCode(Result, 0x8277);
        break;
      case 0x815B:  // long vowel mark -> minus sign
        AppendCode(Result, 0x817C);
        break;
      case 0x8140:  // full-width space: removed
        break;
      case 0x814C:  // acute accent
      case 0x814D:  // grave accent
      case 0x8165:  // left single quotation mark
      case 0x818C:  // prime
        AppendCode(Result, 0x8166);
        break;
      case 0x814A:  // voiced sound mark
      case 0x8167:  // left double quotation mark
      case 0x818D:  // double prime
        AppendCode(Result, 0x8168);
        break;
      default:
        Result.append(Piece);
    }
  }
  return Result;
}

int32_t TextToInt(std::string_view S) {
  size_t I = 0;
  while (I < S.size() && S[I] == ' ') ++I;
  bool Negative = false;
  if (I < S.size() && (S[I] == '-' || S[I] == '+')) {
    Negative = S[I] == '-';
    ++I;
  }
  bool Hex = false;
  if (I < S.size() && (S[I] == '$' || S[I] == 'x' || S[I] == 'X')) {
    Hex = true;
    ++I;
  } else if (I + 1 < S.size() && S[I] == '0' && (S[I + 1] == 'x' || S[I + 1] == 'X')) {
    Hex = true;
    I += 2;
  }
  if (I >= S.size()) return 0;  // no digits

  uint64_t Value = 0;
  if (Hex) {
    for (; I < S.size(); ++I) {
      const char C = S[I];
      int Digit;
      if (C >= '0' && C <= '9') {
        Digit = C - '0';
      } else if (C >= 'A' && C <= 'F') {
        Digit = C - 'A' + 10;
      } else if (C >= 'a' && C <= 'f') {
        Digit = C - 'a' + 10;
      } else {
        return 0;
      }
      Value = Value * 16 + static_cast<uint64_t>(Digit);
      if (Value > 0xFFFFFFFFu) return 0;
    }
    // The 32 bits as a signed number; a sign in front does not change it.
    return static_cast<int32_t>(static_cast<uint32_t>(Value));
  }

  constexpr uint64_t MagnitudeLimit = uint64_t{1} << 31;  // |INT32_MIN|
  for (; I < S.size(); ++I) {
    const char C = S[I];
    if (C < '0' || C > '9') return 0;
    Value = Value * 10 + static_cast<uint64_t>(C - '0');
    if (Value > MagnitudeLimit) return 0;
  }
  if (Negative) {
    return Value == MagnitudeLimit ? std::numeric_limits<int32_t>::min()
                                   : -static_cast<int32_t>(Value);
  }
  return Value == MagnitudeLimit ? 0 : static_cast<int32_t>(Value);
}

std::string UpperCaseText(std::string_view S) {
  std::string Out(S);
  for (size_t I = 0; I < Out.size();) {
    const size_t Bytes = CodePageCharBytes(Out, I);
    const unsigned char B = ByteAt(Out, I);
    if (Bytes == 1) {
      if (B >= 'a' && B <= 'z') Out[I] = static_cast<char>(B - 0x20);
    } else {
      const uint16_t Code = static_cast<uint16_t>((B << 8) | ByteAt(Out, I + 1));
      const auto* Begin = std::begin(sjis_tables::kUpperCase);
      const auto* End = std::end(sjis_tables::kUpperCase);
      const auto* Hit = std::lower_bound(
          Begin, End, Code, [](const sjis_tables::TCodePair& P, uint16_t C) { return P.From < C; });
      if (Hit != End && Hit->From == Code) {
        Out[I] = static_cast<char>(Hit->To >> 8);
        Out[I + 1] = static_cast<char>(Hit->To & 0xFF);
      }
    }
    I += Bytes;
  }
  return Out;
}

int TextPos(std::string_view Sub, std::string_view S) {
  if (Sub.empty() || S.empty()) return 0;
  for (size_t I = 0; I < S.size() && S.size() - I >= Sub.size(); I += CodePageCharBytes(S, I)) {
    if (S.compare(I, Sub.size(), Sub) == 0) return static_cast<int>(I + 1);
  }
  return 0;
}

std::string WidthKanaConvert(std::string_view S) {
  std::string Out;
  Out.reserve(2 * S.size());
  for (size_t I = 0; I < S.size();) {
    const unsigned char B = ByteAt(S, I);
    if (B >= 0x20 && B <= 0x7E) {
      AppendCode(Out, sjis_tables::kFullWidthAscii[B - 0x20]);
      ++I;
    } else if (B >= 0xA1 && B <= 0xDF) {
      // A half-width katakana, combined with a following sound mark where
      // the code page has the combined character.
      const size_t Index = B - 0xA1;
      const unsigned char Next = I + 1 < S.size() ? ByteAt(S, I + 1) : 0;
      uint16_t Combined = 0;
      if (Next == 0xDE) Combined = sjis_tables::kVoicedKana[Index];
      if (Next == 0xDF) Combined = sjis_tables::kSemiVoicedKana[Index];
      if (Combined != 0) {
        AppendCode(Out, Combined);
        I += 2;
      } else {
        AppendCode(Out, sjis_tables::kFullWidthKana[Index]);
        ++I;
      }
    } else if (CodePageCharBytes(S, I) == 2) {
      const unsigned char Trail = ByteAt(S, I + 1);
      if (B == 0x82 && Trail >= 0x9F && Trail <= 0xF1) {
        AppendCode(Out, sjis_tables::kHiraganaToKatakana[Trail - 0x9F]);
      } else {
        Out.append(S.substr(I, 2));
      }
      I += 2;
    } else {
      Out.push_back(static_cast<char>(B));  // controls, DEL and bytes outside the code page
      ++I;
    }
  }
  return Out;
}

// TextPos(Key, NormalizedName) > 0, but the filter asks it of every row at
// every keystroke: candidates are found bytewise, and only they are checked
// to start on a character boundary (scanned from the start, as TextPos does).
// Candidates are sought by the key's second byte: in a normalised text
// nearly every character is double-byte with one of a few lead bytes, so
// the first byte alone would stop almost everywhere.
bool SearchKeyFound(std::string_view Key, std::string_view NormalizedName) {
  const std::string_view& name = NormalizedName;
  if (Key.empty() || Key.size() > name.size()) return false;
  const size_t pick = Key.size() > 1 ? 1 : 0;
  size_t aligned = 0;  // a character starts here
  for (size_t hit = name.find(Key[pick], pick); hit != std::string_view::npos;
       hit = name.find(Key[pick], hit + 1)) {
    const size_t at = hit - pick;
    if (name.size() - at < Key.size()) return false;
    if (name.compare(at, Key.size(), Key) != 0) continue;
    while (aligned < at) aligned += CodePageCharBytes(name, aligned);
    if (aligned == at) return true;
  }
  return false;
}
