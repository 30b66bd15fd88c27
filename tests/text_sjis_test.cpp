// Tests of the CP932 byte-text helpers.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "text/sjis.h"

namespace {

// A few CP932 characters used below.
const std::string kHyo = "\x95\x5C";         // 表 (second byte is a backslash)
const std::string kHalfA = "\xB1";           // ｱ
const std::string kHalfVoiced = "\xDE";      // ﾞ
const std::string kHalfSemiVoiced = "\xDF";  // ﾟ
const std::string kWideSpace = "\x81\x40";   // 　

struct TCopyCase {
  std::string S;
  int Start;
  int Count;
  std::string Text;
  int ByteCount;
};

TEST(SjisCopyTest, TakesOnlyWholeCharactersInsideTheRange) {
  const std::string S = "AB" + kHyo + "C";
  const TCopyCase Cases[] = {
      {S, 1, 3, "AB", 2},  // 表 straddles the end
      {S, 1, 4, "AB" + kHyo, 4},
      {S, 2, 4, "B" + kHyo + "C", 4},
      {S, 4, 2, "C", 1},  // starts on 表's second byte
      {S, 6, 1, "", 0},   // past the end
      {S, 1, 0, "", 0},
      {S, 0, 3, "", 0},
      {S, 2, INT_MAX, "B" + kHyo + "C", 4},  // no overflow at the range end
      {"", 1, 5, "", 0},
      {"A\x95", 1, 3, "A\x95", 3},  // a cut-off lead byte still counts 2
      {"A\x95", 1, 2, "A", 1},
      {"\x80"
       "AB",
       1, 2,
       "\x80"
       "A",
       2},  // 0x80 leads for these helpers
  };
  for (const auto& C : Cases) {
    const TSjisCopyResult R = SjisCopy(C.S, C.Start, C.Count);
    EXPECT_EQ(R.Text, C.Text) << C.S << " " << C.Start << " " << C.Count;
    EXPECT_EQ(R.ByteCount, C.ByteCount) << C.S << " " << C.Start << " " << C.Count;
  }
}

TEST(SjisLengthTest, CountsCharactersByTheHelperLeadByteRule) {
  EXPECT_EQ(SjisLength(kHalfA + kHyo + "A"), 3);
  EXPECT_EQ(SjisLength(""), 0);
  EXPECT_EQ(SjisLength("A\x81"), 2);  // lone lead byte at the end
  EXPECT_EQ(SjisLength("\x80"
                       "A"),
            1);  // 0x80 and 0xFD lead here
  EXPECT_EQ(SjisLength("\xFD"
                       "A"),
            1);
  EXPECT_EQ(SjisLength("\xFE"
                       "A"),
            2);
}

TEST(StripControlsTest, DropsSingleByteControlsOnly) {
  struct {
    std::string In, Stripped, Cleaned;
  } const Cases[] = {
      {"AB\tC", "ABC", "ABC"},
      {"AB\x95", "AB\x95", "AB"},  // a lead byte cut off by the end
      {"\x7F\xA0\xFE\xFF ", "\x7F\xA0\xFE\xFF ", "\x7F\xA0\xFE\xFF "},
      {"\x81\x09"
       "A",
       "\x81\x09"
       "A",
       "\x81\x09"
       "A"},  // second bytes are never controls
      {"\x80\x0A", "\x80\x0A", "\x80\x0A"},
      {std::string("A\0B\r\n", 5), "AB", "AB"},
      {"", "", ""},
  };
  for (const auto& C : Cases) {
    EXPECT_EQ(StripControls(C.In), C.Stripped) << C.In;
    EXPECT_EQ(CleanFileString(C.In), C.Cleaned) << C.In;
  }
}

TEST(UpperCaseTextTest, UpperCasesSingleAndDoubleByteLetters) {
  struct {
    std::string In, Out;
  } const Cases[] = {
      {"abc.jww XYZ 1", "ABC.JWW XYZ 1"},
      {"\x82\x81\x82\x9A", "\x82\x60\x82\x79"},  // ａｚ -> ＡＺ
      {"\x83\xBF", "\x83\x9F"},                  // α -> Α
      {"\x84\x76", "\x84\x46"},                  // ё -> Ё
      {"\xFA\x40", "\x87\x54"},                  // ⅰ -> Ⅰ
      {"\x83\x61", "\x83\x61"},                  // a second byte 'a' stays
      {"\x80"
       "a",
       "\x80"
       "A"},  // 0x80 is no lead byte of the code page
      {"a\x81", "A\x81"},
      {"", ""},
  };
  for (const auto& C : Cases) EXPECT_EQ(UpperCaseText(C.In), C.Out) << C.In;
}

TEST(TextPosTest, FindsOccurrencesOnCharacterBoundariesOnly) {
  struct {
    std::string Sub, S;
    int Pos;
  } const Cases[] = {
      {"@@A", "X\x81@@A", 0},  // byte 3 is the second byte of 0x81 0x40
      {"@A", "X\x81@@A", 4},  {"CA", "ABCABC", 3},  {"YZ", "XYZ", 2},
      {"\\", kHyo, 0},        {"A", kHyo + "A", 3}, {"\r\n", "L1\r\nL2\r\n", 3},
      {"abc", "ABC", 0},      {"ABCD", "ABC", 0},   {"", "ABC", 0},
      {"A", "", 0},
  };
  for (const auto& C : Cases) EXPECT_EQ(TextPos(C.Sub, C.S), C.Pos) << C.Sub << " in " << C.S;
}

TEST(TextPosTest, SearchKeyFoundAgreesWithItOnEveryShortText) {
  // Every text of up to six bytes over lead, trail and single bytes, and
  // keys of up to three: found exactly where TextPos finds them.
  const char bytes[] = {'\x82', '\x60', 'A', '\x81'};
  auto text = [&](int N, int Len) {
    std::string s;
    for (int i = 0; i < Len; ++i, N /= 4) s += bytes[N % 4];
    return s;
  };
  for (int len = 1; len <= 6; ++len) {
    for (int n = 0; n < 1 << (2 * len); ++n) {
      for (int klen = 1; klen <= 3; ++klen) {
        for (int k = 0; k < 1 << (2 * klen); ++k) {
          const std::string s = text(n, len), key = text(k, klen);
          ASSERT_EQ(SearchKeyFound(key, s), TextPos(key, s) > 0);
        }
      }
    }
  }
}

TEST(WidthKanaConvertTest, WidensAsciiAndKanaAndTurnsHiraganaIntoKatakana) {
  struct {
    std::string In, Out;
  } const Cases[] = {
      {"A1 ~\\", "\x82\x60\x82\x50\x81\x40\x81\x60\x81\x5F"},  // Ａ１　～＼
      {"\"'", "\x81\x68\x81\x66"},                             // ”’
      {kHalfA, "\x83\x41"},                                    // ア
      {"\xB6\xDE", "\x83\x4B"},                                // ｶﾞ -> ガ
      {"\xCA\xDF", "\x83\x70"},                                // ﾊﾟ -> パ
      {"\xB3\xDE", "\x83\x94"},                                // ｳﾞ -> ヴ
      {"\xB1\xDE", "\x83\x41\x81\x4A"},                        // ｱﾞ -> ア゛
      {"\xB6\xDF", "\x83\x4A\x81\x4B"},                        // ｶﾟ -> カ゜
      {kHalfVoiced + kHalfSemiVoiced, "\x81\x4A\x81\x4B"},     // ﾞﾟ -> ゛゜
      {"\xB0\xA4\xA5", "\x81\x5B\x81\x41\x81\x45"},            // ｰ､･ -> ー、・
      {"\x82\x9F\x82\xDD\x82\xDE\x82\xF1", "\x83\x40\x83\x7E\x83\x80\x83\x93"},  // ぁみむん
      {kHyo + "\x83\x41", kHyo + "\x83\x41"},                                    // kanji, katakana
      {"\x01\x7F\x80\xA0\xFD", "\x01\x7F\x80\xA0\xFD"},
      {"\x82", "\x82"},
  };
  for (const auto& C : Cases) EXPECT_EQ(WidthKanaConvert(C.In), C.Out) << C.In;
}

TEST(ToFullWidthKatakanaTest, ConvertsLongTextsChunkByChunkWithoutLoss) {
  EXPECT_EQ(ToFullWidthKatakana(""), "");

  std::string Expected;
  for (int I = 0; I < 300; ++I) Expected += "\x82\x81";  // ａ
  EXPECT_EQ(ToFullWidthKatakana(std::string(300, 'a')), Expected);

  // 表 would straddle the end of the first 126-byte chunk: it moves whole
  // into the next one.
  const std::string Long = std::string(125, 'A') + kHyo + "B";
  std::string Want;
  for (int I = 0; I < 125; ++I) Want += "\x82\x60";
  Want += kHyo + "\x82\x61";
  EXPECT_EQ(ToFullWidthKatakana(Long), Want);

  // A sound mark in the next chunk does not combine with the kana before it.
  const std::string Split = std::string(125, 'A') + "\xB6\xDE";
  EXPECT_EQ(ToFullWidthKatakana(Split).substr(250), "\x83\x4A\x81\x4A");

  // A lone lead byte at the end and zero bytes survive.
  EXPECT_EQ(ToFullWidthKatakana("a\x95"), "\x82\x81\x95");
  EXPECT_EQ(ToFullWidthKatakana(std::string("a\0b", 3)), std::string("\x82\x81\0\x82\x82", 5));
}

TEST(NormalizeForSearchTest, IgnoresCaseWidthKanaKindAndSpaces) {
  const std::string Frock = "\x83\x74\x83\x8D\x83\x62\x83\x4E\x82\x50";  // フロック１
  EXPECT_EQ(NormalizeForSearch("\xCC\xDB\xAF\xB8 1"), Frock);            // ﾌﾛｯｸ 1
  EXPECT_EQ(NormalizeForSearch("\x82\xD3\x82\xEB\x82\xC1\x82\xAD" + kWideSpace + "\x82\x50"),
            Frock);  // ふろっく　１

  const std::string Abc = NormalizeForSearch("abc");
  EXPECT_EQ(Abc, "\x82\x60\x82\x61\x82\x62");
  EXPECT_EQ(NormalizeForSearch("\x82\x60\x82\x61\x82\x62"), Abc);
  EXPECT_EQ(NormalizeForSearch("A B\tC"), Abc);
  EXPECT_EQ(NormalizeForSearch("\x82\x81\x82\x82\x82\x83"), Abc);  // ａｂｃ

  EXPECT_EQ(NormalizeForSearch("2\x81\x7E"
                               "4"),
            NormalizeForSearch("2x4"));  // ×
  EXPECT_EQ(NormalizeForSearch("   "), "");
  EXPECT_EQ(NormalizeForSearch(kWideSpace + kWideSpace), "");
  EXPECT_EQ(NormalizeForSearch(""), "");
}

TEST(NormalizeForSearchTest, FoldsMarksTogether) {
  struct {
    std::string In, Out;
  } const Cases[] = {
      {"\x81\x5B", "\x81\x7C"},                            // ー -> －
      {"\xB0", "\x81\x7C"},                                // ｰ -> －
      {"-", "\x81\x7C"},        {"\x81\x4C", "\x81\x66"},  // ´ -> ’
      {"\x81\x4D", "\x81\x66"},                            // ｀
      {"`", "\x81\x66"},        {"\x81\x65", "\x81\x66"},  // ‘
      {"\x81\x8C", "\x81\x66"},                            // ′
      {"\x81\x66", "\x81\x66"}, {"\x81\x4A", "\x81\x68"},  // ゛ -> ”
      {"\xDE", "\x81\x68"},                                // ﾞ
      {"\x81\x67", "\x81\x68"},                            // “
      {"\x81\x8D", "\x81\x68"},                            // ″
      {"'", "\x81\x66"},                                   // the apostrophe
      {"\"", "\x81\x68"},                                  // the double quote
      {"\x7F", "\x7F"},                                    // a single byte left over is kept
  };
  for (const auto& C : Cases) EXPECT_EQ(NormalizeForSearch(C.In), C.Out) << C.In;
  // So a name typed with half-width quotes finds one written with curly ones.
  EXPECT_GT(TextPos(NormalizeForSearch("it's"), NormalizeForSearch("IT\x81\x66S")), 0);
}

TEST(TextToIntTest, ParsesWholeDecimalAndHexTexts) {
  struct {
    std::string In;
    int32_t Value;
  } const Cases[] = {
      {"120", 120},
      {" -5", -5},
      {"+7", 7},
      {"007", 7},
      {"-0", 0},
      {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"2147483648", 0},
      {"-2147483649", 0},
      {"99999999999999999999", 0},
      {"$1F", 31},
      {"x10", 16},
      {"X10", 16},
      {"0x1f", 31},
      {"0XfF", 255},
      {"$FFFFFFFF", -1},
      {"$80000000", INT32_MIN},
      {"$0000000001F", 31},
      {"$100000000", 0},
      {"-$10", 16},  // a sign does not change a hex value
      {"12 ", 0},
      {"", 0},
      {"   ", 0},
      {"-", 0},
      {"$", 0},
      {"0x", 0},
      {"- 5", 0},
      {"\t5", 0},
      {"1a", 0},
      {"$1G", 0},
      {"1.5", 0},
  };
  for (const auto& C : Cases) EXPECT_EQ(TextToInt(C.In), C.Value) << "\"" << C.In << "\"";
}

}  // namespace
