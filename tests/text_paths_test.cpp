// Tests of the path operations and the file-existence test.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "text/paths.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

TEST(PathsTest, SplitsNativePaths) {
  struct {
    std::string Path, Ext, Name, Folder;
  } const Cases[] = {
      {"/dir.x/file", "", "file", "/dir.x/"},
      {"file.jww", ".jww", "file.jww", ""},
      {"/a/b.jww", ".jww", "b.jww", "/a/"},
      {"/a/b.c.JWS", ".JWS", "b.c.JWS", "/a/"},
      {"/a/.hidden", ".hidden", ".hidden", "/a/"},
      {"/a/b.", ".", "b.", "/a/"},
      {"/a/", "", "", "/a/"},
      {"/", "", "", "/"},
      {"", "", "", ""},
      {"/\xE5\x9B\xB3\xE9\x9D\xA2/\xE8\xA1\xA8.jww", ".jww", "\xE8\xA1\xA8.jww",
       "/\xE5\x9B\xB3\xE9\x9D\xA2/"},  // /図面/表.jww
#ifndef _WIN32
      {"a\\b.jww", ".jww", "a\\b.jww", ""},  // only "/" delimits here
      {"c:x.jww", ".jww", "c:x.jww", ""},
#endif
  };
  for (const auto& C : Cases) {
    EXPECT_EQ(ExtractExt(C.Path), C.Ext) << C.Path;
    EXPECT_EQ(ExtractName(C.Path), C.Name) << C.Path;
    EXPECT_EQ(ExtractFolder(C.Path), C.Folder) << C.Path;
  }
}

TEST(PathsTest, ReplaceExtSwapsOrAppends) {
  EXPECT_EQ(ReplaceExt("/a/prog.exe", ".dat"), "/a/prog.dat");
  EXPECT_EQ(ReplaceExt("/a/prog", ".dat"), "/a/prog.dat");
  EXPECT_EQ(ReplaceExt("/a.b/prog", ".dat"), "/a.b/prog.dat");
  EXPECT_EQ(ReplaceExt("/a/prog.tar.gz", ".dat"), "/a/prog.tar.dat");
  EXPECT_EQ(ReplaceExt("/a/prog.exe", ""), "/a/prog");
}

#ifdef _WIN32
// Paths are UTF-8 on Windows too; "\\", "/" and ":" delimit, with drive
// letters and UNC paths.
TEST(PathsTest, SplitsWindowsPaths) {
  const std::string Zu = "\xE5\x9B\xB3";  // 図
  struct {
    std::string Path, Ext, Name, Folder;
  } const Cases[] = {
      {"C:\\a\\b.jww", ".jww", "b.jww", "C:\\a\\"},
      {"C:b.jws", ".jws", "b.jws", "C:"},
      {"C:\\dir.x\\file", "", "file", "C:\\dir.x\\"},
      {"\\\\server\\share\\" + Zu + ".JWW", ".JWW", Zu + ".JWW", "\\\\server\\share\\"},
      {"D:/mixed\\sep/x.jww", ".jww", "x.jww", "D:/mixed\\sep/"},
  };
  for (const auto& C : Cases) {
    EXPECT_EQ(ExtractExt(C.Path), C.Ext) << C.Path;
    EXPECT_EQ(ExtractName(C.Path), C.Name) << C.Path;
    EXPECT_EQ(ExtractFolder(C.Path), C.Folder) << C.Path;
  }
}
#endif

class IsExistingFileTest : public testing::Test {
 protected:
  void SetUp() override {
    Dir = std::filesystem::temp_directory_path() /
          ("quillon-paths-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
           "-" + std::to_string(reinterpret_cast<uintptr_t>(this)));
    std::filesystem::create_directories(Dir);
  }
  void TearDown() override {
    std::error_code Ignored;
    std::filesystem::remove_all(Dir, Ignored);
  }
  std::filesystem::path Dir;
};

TEST_F(IsExistingFileTest, TrueOnlyForRegularFiles) {
  const auto File = Dir / "a.jww";
  std::ofstream(File) << "JwwData.";
  EXPECT_TRUE(IsExistingFile(File.string()));
  EXPECT_FALSE(IsExistingFile(Dir.string()));
  EXPECT_FALSE(IsExistingFile((Dir / "missing.jww").string()));
  EXPECT_FALSE(IsExistingFile(""));
#ifndef _WIN32
  std::filesystem::create_symlink(File, Dir / "link.jww");
  EXPECT_TRUE(IsExistingFile((Dir / "link.jww").string()));
  std::filesystem::create_directory_symlink(Dir, Dir / "dirlink.jww");
  EXPECT_FALSE(IsExistingFile((Dir / "dirlink.jww").string()));
  // A pipe would block a reader forever.
  const auto Fifo = Dir / "pipe.jww";
  ASSERT_EQ(mkfifo(Fifo.c_str(), 0600), 0);
  EXPECT_FALSE(IsExistingFile(Fifo.string()));
#endif
}

}  // namespace

TEST(ExtendedLengthPathTest, AbsoluteWindowsPathsOnlyAndBackAgain) {
  struct {
    const char* path;
    const char* extended;
  } cases[] = {
      {"C:\\図面\\a", "\\\\?\\C:\\図面\\a"},
      {"d:/x/y", "\\\\?\\d:\\x\\y"},
      {"\\\\server\\share\\b", "\\\\?\\UNC\\server\\share\\b"},
      {"\\\\?\\C:\\a", "\\\\?\\C:\\a"},
      {"rel\\a", "rel\\a"},
      {"C:\\a\\..\\b", "C:\\a\\..\\b"},
      {"/home/u/a", "/home/u/a"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExtendedLengthPath(c.path), c.extended) << c.path;
  }
  EXPECT_EQ(WithoutExtendedPrefix("\\\\?\\C:\\図面\\a"), "C:\\図面\\a");
  EXPECT_EQ(WithoutExtendedPrefix("\\\\?\\UNC\\server\\share\\b"), "\\\\server\\share\\b");
}
