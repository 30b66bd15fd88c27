// Drawings written into --output-dir: never over anything already there,
// never through a link, and nothing left behind by a write that failed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "cli/clicore.h"
#include "text/widepath.h"
#ifndef _WIN32
#include <sys/mount.h>
#endif

namespace fs = std::filesystem;

namespace {

class OutputDir : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(Dir);
    fs::create_directories(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }
  std::string Write(const std::string& File, const std::string& Svg) {
    std::string error;
    const std::string path = Writer.Write({File, "/x/" + File, "A", 0, Svg}, error);
    Error = error;
    return path.empty() ? path : Utf8OfPath(PathOfUtf8(path).filename());
  }
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(Dir)) names.insert(Utf8OfPath(e.path().filename()));
    return names;
  }
  const fs::path Dir = fs::temp_directory_path() / "quillon-output-dir-test";
  qcli::TSvgFolderWriter Writer{Utf8OfPath(Dir)};
  std::string Error;
};

TEST_F(OutputDir, NothingThereIsOverwrittenAndDeviceNamesStartWithAnUnderscore) {
  std::ofstream(Dir / "a.jww_0001_A-3.svg") << "kept";
  // A second writer stands for a second run into the same folder.
  qcli::TSvgFolderWriter other(Utf8OfPath(Dir));
  std::string error;
  EXPECT_EQ(Write("a.jww", "1"), "a.jww_0001_A.svg");
  EXPECT_NE(other.Write({"a.jww", "/x", "A", 0, "2"}, error), "");
  EXPECT_EQ(Write("a.jww", "3"), "a.jww_0001_A-4.svg");
  EXPECT_EQ(std::ifstream(Dir / "a.jww_0001_A-3.svg").rdbuf()->sgetc(), 'k');
  EXPECT_EQ(std::ifstream(Dir / "a.jww_0001_A-2.svg").rdbuf()->sgetc(), '2');
  for (const char* file : {"nul.jww", "CON.jws", "com1.jww", "Lpt9 .jww", "conin$.jww"})
    EXPECT_EQ(Write(file, "<svg/>"), "_" + std::string(file) + "_0001_A.svg") << Error;
  EXPECT_EQ(Write("console.jww", "<svg/>"), "console.jww_0001_A.svg");
  EXPECT_EQ(Write("com10.jww", "<svg/>"), "com10.jww_0001_A.svg");
}

#ifndef _WIN32
TEST_F(OutputDir, ALinkAtTheNameIsNeverFollowed) {
  fs::create_symlink(Dir / "outside.svg", Dir / "a.jww_0001_A.svg");
  EXPECT_EQ(Write("a.jww", "<svg/>"), "a.jww_0001_A-2.svg") << Error;
  EXPECT_FALSE(fs::exists(Dir / "outside.svg"));
}

// A small file system of its own, where the system lets the test mount one.
TEST_F(OutputDir, AFullDiskLeavesNoPartialFileAndSaysWhy) {
  if (mount("tmpfs", Dir.c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "cannot mount a small file system here";
  EXPECT_EQ(Write("a.jww", std::string(256 * 1024, 'x')), "");
  EXPECT_THAT(Error, ::testing::HasSubstr("No space left on device"));
  EXPECT_TRUE(Names().empty());
  umount2(Dir.c_str(), MNT_DETACH);
}
#endif

}  // namespace
