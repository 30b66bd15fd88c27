// Tests of the CP932 <-> UTF-8 codec.
#include <gtest/gtest.h>

#if defined(__GLIBC__)
#include <iconv.h>
#endif

#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "text/codec.h"

namespace {

const std::string kBad = "\xEF\xBF\xBD";  // U+FFFD

TEST(Cp932ToUtf8Test, DecodesAndMarksBadBytes) {
  struct {
    std::string In, Out;
  } const Cases[] = {
      {"", ""},
      {"ABC", "ABC"},
      {"\x95\x5C", "\xE8\xA1\xA8"},              // 表
      {"\xB1\xDE", "\xEF\xBD\xB1\xEF\xBE\x9E"},  // ｱﾞ
      {"\\~", "\\~"},
      {"A\x80"
       "B",
       "A" + kBad + "B"},
      {"A\x81", "A" + kBad},  // cut off by the end
      {"\x85\x40"
       "A",
       kBad + "A"},  // an unassigned pair is one bad character
      {"\x81\x20"
       "A",
       kBad + " A"},  // a lead byte without a second byte
      {"\xFF\xFE"
       "a",
       kBad + kBad + "a"},
      {std::string("A\0B", 3), std::string("A\0B", 3)},
  };
  for (const auto& C : Cases) EXPECT_EQ(Cp932ToUtf8(C.In), C.Out) << C.In;
}

TEST(Cp932ToUtf8Test, HandlesTextsLongerThanOneBuffer) {
  std::string In, Want;
  for (int I = 0; I < 5000; ++I) {
    In += "\x95\x5C";
    Want += "\xE8\xA1\xA8";
    if (I == 2500) {
      In += "\x80";
      Want += kBad;
    }
  }
  EXPECT_EQ(Cp932ToUtf8(In), Want);
}

TEST(Utf8ToCp932Test, EncodesOrRefuses) {
  EXPECT_EQ(Utf8ToCp932(""), std::optional<std::string>(""));
  EXPECT_EQ(Utf8ToCp932("ABC"), std::optional<std::string>("ABC"));
  EXPECT_EQ(Utf8ToCp932("\xE8\xA1\xA8\xE3\x83\x96"),
            std::optional<std::string>("\x95\x5C\x83\x75"));                   // 表ブ
  EXPECT_EQ(Utf8ToCp932("\xEF\xBD\xB1"), std::optional<std::string>("\xB1"));  // ｱ
  EXPECT_EQ(Utf8ToCp932("A\xF0\x9F\x98\x80"), std::nullopt);                   // no emoji in CP932
  EXPECT_EQ(Utf8ToCp932("\xC3\xA9"), std::nullopt);                            // é neither
  EXPECT_EQ(Utf8ToCp932("A\xC3"), std::nullopt);                               // cut off
  EXPECT_EQ(Utf8ToCp932("\xFF"
                        "A"),
            std::nullopt);  // not UTF-8
  // A failure leaves nothing behind for the next call.
  EXPECT_EQ(Utf8ToCp932("B"), std::optional<std::string>("B"));
}

TEST(CodecTest, RoundTripsEveryByteOfMixedText) {
  const std::string Text = "\x82\xD3\x82\xEB\x82\xC1\x82\xAD ABC \xCC\xDB\xAF\xB8 \x95\x5C";
  EXPECT_EQ(Utf8ToCp932(Cp932ToUtf8(Text)), std::optional<std::string>(Text));
}

TEST(CodecTest, ThreadsConvertIndependently) {
  std::vector<std::thread> Threads;
  std::vector<int> Failures(4, 0);
  for (int T = 0; T < 4; ++T) {
    Threads.emplace_back([T, &Failures] {
      for (int I = 0; I < 200; ++I) {
        const std::string In = (T % 2 ? "A\x80" : "\x95\x5C") + std::to_string(I);
        const std::string Want = (T % 2 ? "A" + kBad : "\xE8\xA1\xA8") + std::to_string(I);
        if (Cp932ToUtf8(In) != Want) ++Failures[T];
        if (Utf8ToCp932(Want) != (T % 2 ? std::nullopt : std::optional<std::string>(In)))
          ++Failures[T];
      }
    });
  }
  for (auto& Th : Threads) Th.join();
  for (int T = 0; T < 4; ++T) EXPECT_EQ(Failures[T], 0) << T;
}

}  // namespace

#if defined(__GLIBC__)
// The tables agree with the converter they were generated from, on every
// code both ways and on texts that mix good and bad bytes.
std::optional<std::string> Iconv(const char* To, const char* From, std::string_view In) {
  iconv_t cd = iconv_open(To, From);
  std::string out(In.size() * 4 + 16, '\0');
  char* ip = const_cast<char*>(In.data());
  size_t il = In.size();
  char* op = out.data();
  size_t ol = out.size();
  const size_t rc = iconv(cd, &ip, &il, &op, &ol);
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1)) return std::nullopt;
  out.resize(out.size() - ol);
  return out;
}

TEST(CodecTest, TablesAgreeWithTheSystemConverter) {
  for (int lead = 0; lead < 256; ++lead) {
    for (int trail = -1; trail < 256; ++trail) {
      std::string in(1, static_cast<char>(lead));
      if (trail >= 0) in.push_back(static_cast<char>(trail));
      const std::optional<std::string> want = Iconv("UTF-8", "CP932", in);
      if (want) {
        ASSERT_EQ(Cp932ToUtf8(in), *want) << lead << " " << trail;
      } else {
        ASSERT_NE(Cp932ToUtf8(in).find(kBad), std::string::npos) << lead << " " << trail;
      }
    }
  }
  for (uint32_t cp = 0; cp < 0x110000; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    std::string utf8;
    if (cp < 0x80) {
      utf8 = {static_cast<char>(cp)};
    } else if (cp < 0x800) {
      utf8 = {static_cast<char>(0xC0 | (cp >> 6)), static_cast<char>(0x80 | (cp & 0x3F))};
    } else if (cp < 0x10000) {
      utf8 = {static_cast<char>(0xE0 | (cp >> 12)), static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
              static_cast<char>(0x80 | (cp & 0x3F))};
    } else {
      utf8 = {static_cast<char>(0xF0 | (cp >> 18)), static_cast<char>(0x80 | ((cp >> 12) & 0x3F)),
              static_cast<char>(0x80 | ((cp >> 6) & 0x3F)), static_cast<char>(0x80 | (cp & 0x3F))};
    }
    ASSERT_EQ(Utf8ToCp932(utf8), Iconv("CP932", "UTF-8", utf8)) << std::hex << cp;
  }
  for (const std::string bad : {"\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "a\xE3\x81"})
    EXPECT_EQ(Utf8ToCp932(bad), Iconv("CP932", "UTF-8", bad)) << bad;
}
#endif
