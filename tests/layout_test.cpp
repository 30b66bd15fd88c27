// The window-layout file: its lines and values, the typed layout of both
// windows, and its trip through device pixels at two densities.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/layout.h"
#include "app/windowplace.h"
#include "text/widepath.h"

namespace fs = std::filesystem;

namespace {

class LayoutFile : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() /
          (std::string("quillon-layout-") +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }
  std::string Path(const std::string& Name) const { return Utf8OfPath(Dir / Name); }
  static void WriteBytes(const std::string& Path, const std::string& Bytes) {
    std::ofstream(PathOfUtf8(Path), std::ios::binary) << Bytes;
  }
  static std::string ReadBytes(const std::string& Path) {
    std::ifstream in(PathOfUtf8(Path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  fs::path Dir;
};

}  // namespace

TEST(LayoutNumbers, ListAndColumnsAreLimitedOrTakeTheirDesignWidth) {
  struct {
    const char* what;
    int line;
    const char* text;
    int value;
  } cases[] = {
      {"list width above 2000", 5, "5000", 2000},
      {"list width below 20", 5, "10", 20},
      {"list width not a number", 5, "", TWindowLayout().ListWidth},
      {"column 0 not a number", 10, "abc", 99},
      {"column 0 31", 10, "31", 99},
      {"column 0 32", 10, "32", 32},
      {"column 1 negative", 11, "-5", 206},
      {"column 2 zero", 12, "0", 120},
      {"left not a number", 1, "abc", 0},
      {"left negative is kept", 1, "-12", -12},
      {"results left off screen is kept", 6, "-30000", -30000},
      {"trailing space", 4, "7 ", 0},
      {"left near the largest int", 1, "2147483647", 1000000},
      {"width near the smallest int", 3, "-2147483648", -1000000},
  };
  for (const auto& c : cases) EXPECT_EQ(LayoutNumber(c.line, c.text), c.value) << c.what;
}

TEST_F(LayoutFile, LinesSplitAlikeInMemoryAndFromTheFile) {
  struct {
    const char* what;
    std::string content;
    std::vector<std::string> first;  // the leading lines; the rest are empty
  } cases[] = {
      {"CR LF", "1\r\n2\r\n", {"1", "2"}},
      {"LF alone ends a line", "1\n2\n", {"1", "2"}},
      {"last line without line end", "1\r\n2", {"1", "2"}},
      {"CR bytes are no part of a line", "1\r\r\n2\r3\n", {"1", "23"}},
      {"0x1A ends the file",
       "1\r\n2\x1A"
       "3\r\n4\r\n",
       {"1", "2"}},
      {"empty file", "", {}},
      {"lines after the 13th are ignored",
       "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n/f/\n14\n15\n",
       {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "/f/"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> expected = c.first;
    expected.resize(LayoutLineCount);
    EXPECT_EQ(SplitLayoutText(c.content), expected) << c.what;
    // The file reader sees the same lines.
    WriteBytes(Path("q.dat"), c.content);
    EXPECT_EQ(ReadLayoutLines(Path("q.dat")), expected) << c.what;
  }
  EXPECT_TRUE(ReadLayoutLines(Path("none.dat")).empty());
}

TEST(LayoutFormat, ThirteenLinesWithCrLf) {
  TLayoutValues v;
  v.Numbers = {192, 107, 280, 245, 176, -5, 129, 456, 293, 99, 206, 120};
  v.LastFolder = "/home/u/図面/";
  EXPECT_EQ(FormatLayout(v), std::string("192\r\n107\r\n280\r\n245\r\n176\r\n-5\r\n129\r\n456\r\n"
                                         "293\r\n99\r\n206\r\n120\r\n/home/u/図面/\r\n"));
}

// A failed save leaves no file behind; a folder of the file's name is not
// removed; a good save replaces an older, longer file.
TEST_F(LayoutFile, WriteReplacesOrLeavesNothing) {
  WriteBytes(Path("plain"), "x");
  EXPECT_FALSE(WriteLayoutFile(Path("plain") + "/q.dat", "1\r\n"));
  EXPECT_FALSE(fs::exists(Dir / "plain" / "q.dat"));

  fs::create_directory(Dir / "folder.dat");
  EXPECT_FALSE(WriteLayoutFile(Path("folder.dat"), "1\r\n"));
  EXPECT_TRUE(fs::is_directory(Dir / "folder.dat"));

  WriteBytes(Path("q.dat"), std::string(100, 'z'));
  EXPECT_TRUE(WriteLayoutFile(Path("q.dat"), "1\r\n2\r\n"));
  EXPECT_EQ(ReadBytes(Path("q.dat")), "1\r\n2\r\n");
}

// The windows as a view at a density holds them (device pixels), turned
// into the layout and written: the same file at 96 and at 144 DPI, and the
// file read back gives the same windows.
TEST_F(LayoutFile, TheSameWindowsWriteTheSameFileAtAnyDensity) {
  TWindowLayout layout;
  layout.Main = {-1201, 33, 501, 321};
  layout.ListWidth = 231;
  layout.Results = {61, 71, 641, 479};
  layout.Columns = {50, 301, 77};
  layout.LastFolder = "/srv/図面 2/";
  layout.ResultsMaximized = true;
  layout.Preview = {1234, false};
  std::string first;
  for (int dpi : {96, 144}) {
    const TRect main = ToDevicePixels(layout.Main, dpi);
    const TRect results = ToDevicePixels(layout.Results, dpi);
    if (dpi == 144) {
      EXPECT_EQ(main, (TRect{-1802, 50, 752, 482}));
    }
    TWindowLayout seen = layout;
    seen.Main = ToLogicalPixels(main, dpi);
    seen.Results = ToLogicalPixels(results, dpi);
    ASSERT_TRUE(WriteWindowLayout(Path("q.dat"), seen)) << dpi;
    const std::string written = ReadBytes(Path("q.dat"));
    if (first.empty()) first = written;
    EXPECT_EQ(written, first) << dpi;
    TWindowLayout back;
    ASSERT_TRUE(ReadWindowLayout(Path("q.dat"), back));
    EXPECT_EQ(back, layout) << dpi;
    EXPECT_EQ(ToDevicePixels(back.Main, dpi), main) << dpi;
  }
  EXPECT_EQ(first.substr(0, 6), "-1201\r");
}

// A window that cannot be one (a line not a number, a size below the
// window's minimum usable size, absent lines of a short file) takes its
// design place and size whole; the other window keeps what the file says.
TEST_F(LayoutFile, UnusableWindowsTakeTheirDesignValues) {
  const std::string results = "222\r\n129\r\n456\r\n293\r\n";
  const TWindowLayout design;
  struct {
    const char* what;
    std::string content;
    TRect main, results;
  } cases[] = {
      {"empty file", "", design.Main, design.Results},
      {"garbled bytes", "\x81\x40zz\r\n\xff", design.Main, design.Results},
      {"short file: four lines",
       "100\r\n50\r\n300\r\n240\r\n",
       {100, 50, 300, 240},
       design.Results},
      {"left not a number", "abc\r\n50\r\n300\r\n240\r\n176\r\n" + results, design.Main,
       design.Results},
      {"main window a title bar", "0\r\n0\r\n104\r\n1\r\n176\r\n" + results, design.Main,
       design.Results},
      {"main window just usable",
       "-5\r\n0\r\n200\r\n210\r\n176\r\n" + results,
       {-5, 0, 200, 210},
       design.Results},
      {"results narrower than its controls",
       "1\r\n2\r\n300\r\n240\r\n176\r\n10\r\n20\r\n419\r\n400\r\n",
       {1, 2, 300, 240},
       design.Results},
      {"results off screen is kept for placing",
       "1\r\n2\r\n300\r\n240\r\n176\r\n-30000\r\n20\r\n500\r\n400\r\n",
       {1, 2, 300, 240},
       {-30000, 20, 500, 400}},
  };
  for (const auto& c : cases) {
    WriteBytes(Path("q.dat"), c.content);
    TWindowLayout layout;
    layout.Main = {1, 1, 1, 1};  // the windows before loading are no fallback
    layout.Results = {1, 1, 1, 1};
    ASSERT_TRUE(ReadWindowLayout(Path("q.dat"), layout)) << c.what;
    EXPECT_EQ(layout.Main, c.main) << c.what;
    EXPECT_EQ(layout.Results, c.results) << c.what;
  }

  // The short file's other values: list and columns at their design widths,
  // the folder empty. No file changes nothing.
  WriteBytes(Path("q.dat"), "100\r\n50\r\n300\r\n240\r\n");
  TWindowLayout layout;
  layout.LastFolder = "/exe/";
  ASSERT_TRUE(ReadWindowLayout(Path("q.dat"), layout));
  EXPECT_EQ(layout.ListWidth, design.ListWidth);
  EXPECT_EQ(layout.Columns, design.Columns);
  EXPECT_EQ(layout.LastFolder, "");

  TWindowLayout untouched;
  untouched.LastFolder = "/exe/";
  EXPECT_FALSE(ReadWindowLayout(Path("none.dat"), untouched));
  EXPECT_EQ(untouched.LastFolder, "/exe/");
  EXPECT_EQ(untouched.Main, TWindowLayout().Main);
}

// The preview pane as a share; an earlier build's pixel width is read once.
TEST_F(LayoutFile, ThePreviewIsKeptAsAShareOfTheWindow) {
  const std::string lines =
      "1\r\n2\r\n300\r\n240\r\n176\r\n10\r\n20\r\n640\r\n400\r\n"
      "99\r\n206\r\n120\r\n/\r\n";
  const TPreviewSplit design;
  struct {
    const char* extras;
    TPreviewSplit preview;
  } cases[] = {
      {"", design},
      {"results.preview=160\r\n", {2500, true}},
      {"results.preview=0\r\n", {design.Share, false}},
      {"results.preview=160\r\nresults.previewShare=0.4\r\n", {4000, true}},
      {"results.previewShare=.12345\r\nresults.previewShown=0\r\n", {1234, false}},
      {"results.previewShare=1.5\r\nresults.previewShown=1\r\n", design},
  };
  for (const auto& c : cases) {
    WriteBytes(Path("q.dat"), lines + c.extras);
    TWindowLayout layout;
    ASSERT_TRUE(ReadWindowLayout(Path("q.dat"), layout)) << c.extras;
    EXPECT_EQ(layout.Preview, c.preview) << c.extras;
  }
  TWindowLayout old;  // the design width, 456
  ApplyLayoutExtras(old, {{"results.preview", "114"}});
  const auto extras = LayoutValuesOf(old).Extras;
  EXPECT_EQ(extras.size(), 8u);  // maximised twice, share, shown, thumbnails twice, two columns
  EXPECT_EQ(extras[2], std::make_pair(std::string(LayoutPreviewShare), std::string("0.25")));
  // The thumbnail view and its size, kept within range.
  ApplyLayoutExtras(old, {{"results.thumbnails", "1"}, {"results.thumbnailSize", "999"}});
  EXPECT_EQ(old.Thumbnails, (TThumbnailPlace{true, MaxThumbnailSize}));
  old.SameColumn = true;  // written and read back
  TWindowLayout back;
  ApplyLayoutExtras(back, LayoutValuesOf(old).Extras);
  EXPECT_TRUE(back.SameColumn && !back.TextsColumn);
}

TEST(LayoutPlace, TheUserConfigurationFolderNeverTheProgramsFolder) {
  EXPECT_EQ(UserLayoutFile("/x/cfg", "/home/u"), "/x/cfg/quillon/quillon.dat");
  EXPECT_EQ(UserLayoutFile("", "/home/u"), "/home/u/.config/quillon/quillon.dat");
  EXPECT_EQ(UserLayoutFile("rel/cfg", "/root/"), "/root/.config/quillon/quillon.dat");
  EXPECT_EQ(UserLayoutFile("", ""), "");
}
