// The archive primitives both readers build on: length-prefixed strings in
// their short and long forms, cleaning, the 13/15-byte attribute record, and
// short reads through ByteSource over memory and over a file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "jww/archive.h"
#include "jww/jwwunit.h"
#include "testkit/jwbuilder.h"
#include "testkit/testbytes.h"

namespace {

using testkit::B;
using testkit::Cat;

using testkit::Bytes;

// n text bytes that differ from position to position (never 0, never below
// 0x20, never a lead byte), so a misplaced chunk shows.
Bytes Text(size_t n) {
  Bytes out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>('A' + i % 26);
  return out;
}

std::string Str(const Bytes& b) {
  return std::string(b.begin(), b.end());
}

TEST(ArchiveString, ShortAndLongForms) {
  struct Case {
    const char* what;
    Bytes prefix;
    size_t textLength;
  } cases[] = {
      {"00: empty", B({0x00}), 0},
      {"FE: 254 bytes", B({0xFE}), 254},
      {"FF 00 01: 256 bytes", B({0xFF, 0x00, 0x01}), 256},
      {"FF 0A 00: a short text in the long form", B({0xFF, 0x0A, 0x00}), 10},
      {"FF FF 00: 255 bytes", B({0xFF, 0xFF, 0x00}), 255},
      {"FF 00 00: empty in the long form", B({0xFF, 0x00, 0x00}), 0},
      {"FF 05 02: two chunks and five", B({0xFF, 0x05, 0x02}), 517},
      {"FF FF FF: 65535 bytes", B({0xFF, 0xFF, 0xFF}), 65535},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes text = Text(c.textLength);
    // A sentinel after the string shows that exactly the string was consumed.
    Bytes file = Cat(Cat(c.prefix, text), B({0x5A}));
    ByteSource src(file);
    std::string s = ReadString(src);
    EXPECT_EQ(s, Str(text));
    EXPECT_EQ(src.Position(), c.prefix.size() + c.textLength);
    uint8_t next = 0;
    src.ReadExact(&next, 1);
    EXPECT_EQ(next, 0x5A);
  }
}

TEST(ArchiveString, RawKeepsZeroBytesCleanDropsThem) {
  Bytes file = B({0x03, 0x41, 0x00, 0x42, 0x03, 0x41, 0x00, 0x42});
  ByteSource src(file);
  EXPECT_EQ(ReadString(src), std::string("A\0B", 3));
  EXPECT_EQ(ReadCleanString(src), "AB");
  EXPECT_EQ(src.Remaining(), 0u);
}

TEST(ArchiveString, CleaningKeepsDoubleBytePairs) {
  struct Case {
    Bytes text;
    Bytes cleaned;
  } cases[] = {
      {B({0x82, 0x0D}), B({0x82, 0x0D})},        // a lead byte takes the next byte whatever it is
      {B({0x41, 0x0D, 0x42}), B({0x41, 0x42})},  // a lone CR goes
      {B({0x41, 0x82}), B({0x41})},              // a lead byte at the very end goes
      {B({0x80, 0x00, 0xFD, 0x0A}), B({0x80, 0x00, 0xFD, 0x0A})},  // 80 and FD lead too
      {B({0xFE, 0x09, 0xFF, 0x7F}), B({0xFE, 0xFF, 0x7F})},        // FE and FF do not
      {B({0xB1, 0x1F, 0x20}), B({0xB1, 0x20})},  // half-width katakana is a single byte
      {B({}), B({})},
  };
  for (const auto& c : cases) {
    Bytes file = Cat(B({static_cast<int>(c.text.size())}), c.text);
    ByteSource src(file);
    EXPECT_EQ(ReadCleanString(src), Str(c.cleaned))
        << "text of " << c.text.size() << " bytes starting " << (c.text.empty() ? -1 : c.text[0]);
    EXPECT_EQ(src.Remaining(), 0u);
  }
}

TEST(ArchiveString, ShortReadInsideStringRaisesAndStoresNothing) {
  const Bytes cases[] = {
      Cat(B({0x0A}), Text(9)),                // short form, one byte missing
      Cat(B({0xFF, 0x00, 0x01}), Text(255)),  // long form, inside the chunk
      Cat(B({0xFF, 0x05, 0x01}), Text(258)),  // long form, inside the remainder
      B({0xFF, 0x05}),                        // inside the 16-bit length
      B({}),                                  // no length byte at all
  };
  for (const auto& file : cases) {
    ByteSource src(file);
    std::string kept = "kept";
    EXPECT_THROW(kept = ReadString(src), EReadError) << "file of " << file.size() << " bytes";
    EXPECT_EQ(kept, "kept");
    ByteSource again(file);
    EXPECT_THROW(kept = ReadCleanString(again), EReadError);
    EXPECT_EQ(kept, "kept");
  }
}

TEST(ArchiveAttributes, ThirteenBytesBefore351FifteenFrom351) {
  // Attr0 01020304, PenStyle 05, PenColor 0706, [Attr7 0908], Attr9 0B0A,
  // Attr11 0D0C, Attr13 0F0E.
  Bytes v351 = B({0x04, 0x03, 0x02, 0x01, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D,
                  0x0E, 0x0F, 0xEE});
  Bytes v350 =
      B({0x04, 0x03, 0x02, 0x01, 0x05, 0x06, 0x07, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0xEE});
  {
    ByteSource src(v351);
    EntityAttributes a = ReadAttributes(src, 351);
    EXPECT_EQ(src.Position(), 15u);
    EXPECT_EQ(+a.Attr0, 0x01020304u);
    EXPECT_EQ(+a.PenStyle, 0x05);
    EXPECT_EQ(+a.PenColor, 0x0706);
    EXPECT_EQ(+a.Attr7, 0x0908);
    EXPECT_EQ(+a.Attr9, 0x0B0A);
    EXPECT_EQ(+a.Attr11, 0x0D0C);
    EXPECT_EQ(+a.Attr13, 0x0F0E);
  }
  for (int32_t version : {350, 219, 0}) {
    ByteSource src(v350);
    EntityAttributes a = ReadAttributes(src, version);
    EXPECT_EQ(src.Position(), 13u) << version;
    EXPECT_EQ(+a.Attr0, 0x01020304u);
    EXPECT_EQ(+a.PenStyle, 0x05);
    EXPECT_EQ(+a.PenColor, 0x0706);
    EXPECT_EQ(+a.Attr7, 0);
    EXPECT_EQ(+a.Attr9, 0x0B0A);
    EXPECT_EQ(+a.Attr11, 0x0D0C);
    EXPECT_EQ(+a.Attr13, 0x0F0E);
  }
  {
    ByteSource src(jwb::Cut(v351, 14));
    EXPECT_THROW(ReadAttributes(src, 351), EReadError);
  }
}

TEST(ArchiveAttributes, CopyTakesAllSevenFields) {
  EntityAttributes a = jwb::MakeAttr(100, 10, 0xDEADBEEF);
  EntityAttributes c = CopyAttributes(a);
  EXPECT_EQ(std::memcmp(&a, &c, sizeof a), 0);
}

TEST(ArchiveAttributes, DrawingReaderUsesItsHeaderVersion) {
  Bytes file = B({0x04, 0x03, 0x02, 0x01, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B,
                  0x0C, 0x0D, 0x0E, 0x0F, 0x02, 0x41, 0x00, 0x02, 0x41, 0x00});
  for (int32_t version : {350, 351}) {
    TJwwData r;
    r.Header.Version = version;
    ByteSource src(file);
    EntityAttributes a = r.ReadAttributes(src);
    EXPECT_EQ(src.Position(), version > 350 ? 15u : 13u);
    EXPECT_EQ(+a.Attr7, version > 350 ? 0x0908 : 0);
    EXPECT_EQ(+a.Attr13, version > 350 ? 0x0F0E : 0x0D0C);
    EntityAttributes c = r.CopyAttributes(a);
    EXPECT_EQ(std::memcmp(&a, &c, sizeof a), 0);
    if (version > 350) {
      EXPECT_EQ(r.ReadString(src), std::string("A\0", 2));
      EXPECT_EQ(r.ReadCleanString(src), "A");
      EXPECT_EQ(src.Remaining(), 0u);
    }
  }
}

TEST(ArchiveSource, ShortReadLeavesDestinationUntouched) {
  Bytes file = B({1, 2, 3});
  ByteSource src(file);
  uint8_t buf[4] = {9, 9, 9, 9};
  EXPECT_THROW(src.ReadExact(buf, 4), EReadError);
  EXPECT_EQ(buf[0], 9);
  EXPECT_EQ(buf[3], 9);
}

class ArchiveFile : public ::testing::Test {
 protected:
  void SetUp() override {
    Path = (std::filesystem::temp_directory_path() /
            ("quillon_archive_test_" + std::to_string(::getpid()) + ".bin"))
               .string();
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove(Path, ec);
  }
  std::string Path;
};

TEST_F(ArchiveFile, ReadsExactlyTheFileThenFailsAtItsEnd) {
  // Larger than any one buffer fill, with strings crossing the fills.
  jwb::ByteWriter w;
  std::vector<std::string> texts;
  for (int i = 0; texts.size() < 400; ++i) {
    texts.push_back(
        std::string(static_cast<size_t>(i * 37 % 700), static_cast<char>('a' + i % 26)));
    w.String(texts.back());
  }
  w.I32(0x12345678).F64(2.5);
  jwb::WriteFile(Path, w.Get());

  ByteSource src(Path);
  EXPECT_EQ(src.Remaining(), w.Size());
  for (const auto& t : texts) ASSERT_EQ(ReadString(src), t);
  EXPECT_EQ(src.ReadInt32(), 0x12345678);
  EXPECT_EQ(src.ReadDouble(), 2.5);
  EXPECT_EQ(src.Remaining(), 0u);
  EXPECT_EQ(src.Position(), w.Size());
  uint8_t b = 0;
  EXPECT_THROW(src.ReadExact(&b, 1), EReadError);
}

TEST_F(ArchiveFile, ShortReadAtTheEnd) {
  jwb::WriteFile(Path, B({0x05, 'a', 'b', 'c'}));
  ByteSource src(Path);
  std::string kept = "kept";
  EXPECT_THROW(kept = ReadString(src), EReadError);
  EXPECT_EQ(kept, "kept");

  ByteSource again(Path);
  uint8_t buf[8] = {};
  EXPECT_THROW(again.ReadExact(buf, 5), EReadError);
  EXPECT_EQ(buf[0], 0);
}

TEST_F(ArchiveFile, LargeTakeAcrossTheBuffer) {
  Bytes data(ByteSource::MaxTake * 3 + 17);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + i / 251);
  jwb::WriteFile(Path, data);
  ByteSource src(Path);
  size_t pos = 0;
  for (size_t n :
       {size_t{3}, ByteSource::MaxTake, ByteSource::MaxTake, size_t{1}, ByteSource::MaxTake - 1}) {
    const uint8_t* p = src.Take(n);
    ASSERT_EQ(std::memcmp(p, data.data() + pos, n), 0) << "at " << pos;
    pos += n;
  }
  EXPECT_EQ(src.Remaining(), data.size() - pos);
  EXPECT_THROW(src.Take(data.size() - pos + 1), EReadError);
}

TEST_F(ArchiveFile, MissingFileCannotBeOpened) {
  EXPECT_THROW(ByteSource src(Path + ".missing"), EReadError);
}

}  // namespace
