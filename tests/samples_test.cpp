// The bundled sample files read back completely, with the names they were
// meant to list, and their nested insertions resolve.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>

#include "app/search.h"
#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
#include "samples/samples.h"
#include "text/codec.h"

namespace fs = std::filesystem;

namespace {

// Deepest insertion level in a reader's block tree, and the definitions it
// reached below the top level.
template <class Reader>
int DeepestLevel(const Reader& R) {
  int deepest = -1;
  for (int32_t i = 0; i < R.BlockTreeCount; ++i) {
    const TEntJwwBlockTree& node = R.BlockTree[static_cast<size_t>(i)];
    EXPECT_GE(node.DefIndex, 0) << "insertion of block " << node.BlockNumber << " unresolved";
    deepest = std::max(deepest, node.Level);
  }
  return deepest;
}

// Expected depth of the nesting described for a file: 1 + the longest chain
// of definitions inserted into definitions.
int DescribedDepth(const samples::TSampleFile& File) {
  std::function<int(int32_t)> depth = [&](int32_t number) {
    for (const auto& def : File.Defs) {
      if (def.Number != number) continue;
      int d = 0;
      for (const auto& in : def.Inserts) d = std::max(d, 1 + depth(in.Def));
      return d;
    }
    return 0;
  };
  int deepest = 0;
  for (const auto& def : File.Defs) deepest = std::max(deepest, depth(def.Number));
  return deepest;
}

TEST(Samples, ReadBackCompletelyWithTheirNames) {
  const fs::path dir =
      fs::temp_directory_path() / ("quillon-samples-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  samples::WriteSamples(dir.string());

  std::set<int32_t> versions;
  bool figure = false, drawing = false, marker = false, halfKana = false, nested = false;
  TJwwData jww;
  TJwsData jws;
  for (const samples::TSampleFile& file : samples::SampleFiles()) {
    SCOPED_TRACE(file.FileName);
    const std::string path = (dir / file.FileName).string();
    versions.insert(file.Version);
    (file.Figure ? figure : drawing) = true;

    const TFileBlocks blocks = ReadFileBlocks(path, jww, jws);
    EXPECT_EQ(blocks.Outcome.Kind, TOutcomeKind::Complete);
    EXPECT_EQ(blocks.Outcome.SkippedRecords, 0);
    std::vector<std::string> listed;
    for (const std::string& name : blocks.Names) listed.push_back(Cp932ToUtf8(name));
    std::vector<std::string> intended;
    for (const auto& def : file.Defs) {
      intended.push_back(def.Listed);
      marker |= def.Listed != def.Name;
      halfKana |= def.Name.find("\xEF\xBD") != std::string::npos ||
                  def.Name.find("\xEF\xBE") != std::string::npos;  // U+FF61..U+FF9F
      nested |= !def.Inserts.empty();
    }
    EXPECT_EQ(listed, intended);

    // The nested insertions resolve to definitions, as deep as described.
    const int depth = DescribedDepth(file);
    if (file.Figure) {
      ASSERT_TRUE(jws.LoadFromFile(path));
      EXPECT_EQ(DeepestLevel(jws), depth);
      jws.Clear();
    } else {
      ASSERT_TRUE(jww.LoadFromFile(path));
      EXPECT_EQ(DeepestLevel(jww), depth);
      jww.Clear();
    }
  }
  fs::remove_all(dir);

  // What the samples are there to show.
  EXPECT_TRUE(figure && drawing);
  EXPECT_TRUE(marker && halfKana && nested);
  for (int32_t v : {230, 351, 420, 600, 700}) EXPECT_TRUE(versions.count(v)) << v;
}

}  // namespace
