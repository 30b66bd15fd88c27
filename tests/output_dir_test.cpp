// Drawings written into --output-dir: never over anything already there,
// never through a link, and nothing left behind by a write that failed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "app/catalog.h"
#include "cli/clicore.h"
#include "text/widepath.h"
#ifndef _WIN32
#include <sys/mount.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using ::testing::HasSubstr;

namespace {

class OutputDir : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() /
          ("quillon-output-" +
           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(Dir);
    fs::create_directories(Dir / "out");
  }
  void TearDown() override { fs::remove_all(Dir); }

  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(Dir / "out"))
      names.insert(Utf8OfPath(e.path().filename()));
    return names;
  }
  static std::string Content(const fs::path& P) {
    std::ifstream in(P, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  fs::path Dir;
};

qcli::TRow Row(std::string File, std::string Svg) {
  return {std::move(File), "/x/" + File, "A", 0, std::move(Svg)};
}

TEST_F(OutputDir, TwoRunsIntoOneFolderNeverOverwriteEachOther) {
  std::ofstream(Dir / "out" / "a.jww_0001_A-3.svg") << "kept";
  // Two writers stand for two runs at once: each remembers its own next
  // suffix, and a name the other took is passed over.
  qcli::TSvgFolderWriter first(Utf8OfPath(Dir / "out")), second(Utf8OfPath(Dir / "out"));
  std::set<std::string> written;
  for (int i = 0; i < 6; ++i) {
    std::string error;
    const std::string path =
        (i % 2 ? second : first).Write(Row("a.jww", "<svg>" + std::to_string(i)), error);
    ASSERT_NE(path, "") << error;
    EXPECT_TRUE(written.insert(path).second) << path;
    EXPECT_EQ(Content(PathOfUtf8(path)), "<svg>" + std::to_string(i));
  }
  EXPECT_EQ(Content(Dir / "out" / "a.jww_0001_A-3.svg"), "kept");
  EXPECT_EQ(Names().size(), 7u);
  EXPECT_TRUE(Names().count("a.jww_0001_A-7.svg"));
}

TEST_F(OutputDir, DeviceNamesNeverStartAFileName) {
  qcli::TSvgFolderWriter writer(Utf8OfPath(Dir / "out"));
  for (const char* file : {"nul.jww", "CON.jws", "com1.jww", "Lpt9 .jww", "conin$.jww"}) {
    std::string error;
    EXPECT_NE(writer.Write(Row(file, "<svg/>"), error), "") << file << error;
  }
  EXPECT_THAT(Names(), ::testing::ElementsAre("_CON.jws_0001_A.svg", "_Lpt9 .jww_0001_A.svg",
                                              "_com1.jww_0001_A.svg", "_conin$.jww_0001_A.svg",
                                              "_nul.jww_0001_A.svg"));
  // Names that only begin like a device are left alone.
  EXPECT_EQ(CatalogFileName("console.jww", 0, "A"), "console.jww_0001_A.svg");
  EXPECT_EQ(CatalogFileName("com10.jww", 0, "A"), "com10.jww_0001_A.svg");
  EXPECT_EQ(CatalogFileName("nul", 0, "A"), "nul_0001_A.svg");
}

#ifndef _WIN32
TEST_F(OutputDir, ALinkAtTheNameIsNeverFollowed) {
  fs::create_symlink(Dir / "outside.svg", Dir / "out" / "a.jww_0001_A.svg");
  qcli::TSvgFolderWriter writer(Utf8OfPath(Dir / "out"));
  std::string error;
  EXPECT_EQ(writer.Write(Row("a.jww", "<svg/>"), error),
            Utf8OfPath(Dir / "out" / "a.jww_0001_A-2.svg"))
      << error;
  EXPECT_FALSE(fs::exists(Dir / "outside.svg"));
}

// A small file system of its own, where the system lets the test mount one.
TEST_F(OutputDir, AFullDiskLeavesNoPartialFileAndSaysWhy) {
  const fs::path full = Dir / "out";
  if (mount("tmpfs", full.c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "cannot mount a small file system here";
  struct TUnmount {
    const fs::path& P;
    ~TUnmount() { umount2(P.c_str(), MNT_DETACH); }
  } unmount{full};
  qcli::TSvgFolderWriter writer(Utf8OfPath(full));
  std::string error;
  EXPECT_EQ(writer.Write(Row("a.jww", std::string(256 * 1024, 'x')), error), "");
  EXPECT_THAT(error, HasSubstr("No space left on device"));
  EXPECT_TRUE(Names().empty());
}
#endif

}  // namespace
