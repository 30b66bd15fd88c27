// The texts drawn inside each block: collected by the search's names-only
// read through the blocks a definition places (cycles included) and cut at
// their size; matched by the results filter, which says which text matched.
#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <string>
#include <vector>

#include "app/blocktexts.h"
#include "app/resultsmodel.h"
#include "app/search.h"
#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
#include "testkit/jwbuilder.h"
#include "text/codec.h"

namespace fs = std::filesystem;

namespace {

std::string Sjis(const char* Utf8) {
  return Utf8ToCp932(Utf8).value();
}

TEST(BlockTexts, FollowPlacementsThroughACycleOnceEachAndAreCut) {
  jwb::Drawing d(700);
  d.Text("", "outside every block");
  jwb::BlockDef& door = d.Def(1, "DOOR");
  door.Text("", Sjis("片開き"));
  door.Insert(2);  // WALL places DOOR again: a cycle
  door.Dim("", "900");
  jwb::BlockDef& wall = d.Def(2, "WALL");
  wall.Text("", "W");
  wall.Text("", Sjis("片開き"));  // met in DOOR already when DOOR is listed
  wall.Insert(1);
  wall.Insert(77);  // no such definition
  jwb::BlockDef& big = d.Def(3, "BIG");
  for (int i = 0; i < 300; ++i) big.Text("", Sjis("文字") + std::to_string(i));
  d.Def(4, "PLACES-BIG").Insert(3);
  d.Def(5, "EMPTY").Line();

  const fs::path dir = fs::temp_directory_path() / ("quillon-texts-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  TJwwData jww;
  TJwsData jws;
  for (const bool figure : {false, true}) {
    SCOPED_TRACE(figure ? "figure" : "drawing");
    const std::string path = (dir / (figure ? "t.jws" : "t.jww")).string();
    jwb::WriteFile(path, figure ? d.JwsBytes() : d.JwwBytes());
    const TFileBlocks blocks = ReadFileBlocks(path, jww, jws);
    ASSERT_EQ(blocks.Texts.size(), 5u);
    EXPECT_EQ(BlockTextsUtf8(blocks.Texts[0]), "片開き / W / 900");
    EXPECT_EQ(BlockTextsUtf8(blocks.Texts[1]), "W / 片開き / 900");
    const std::string& cut = blocks.Texts[2];
    EXPECT_LE(cut.size(), TDefinitionFinds::ListedBytes);
    EXPECT_GT(cut.size(), TDefinitionFinds::ListedBytes - 8);
    EXPECT_EQ(cut.substr(cut.size() - 2), Sjis("…"));
    EXPECT_TRUE(IsUtf8(Cp932ToUtf8(cut.substr(0, cut.size() - 2))));
    EXPECT_EQ(SplitBlockTexts(cut).front(), Sjis("文字0"));
    EXPECT_EQ(blocks.Texts[3], cut);
    EXPECT_EQ(blocks.Texts[4], "");
  }
  fs::remove_all(dir);
}

struct TQuietView : TResultsView {
  void RowsChanged() override {}
  void CurrentChanged() override {}
  void StatusChanged() override {}
  void ShowPreview(const std::shared_ptr<const TDisplayList>&) override {}
  void ShowPreviewText(const std::string&) override {}
  void PreviewArrived() override {}
  void StartTimer(int, int) override {}
  void OpenRowFile(TOpenAction, const std::string&) override {}
  void CopyToClipboard(const std::string&) override {}
  void PreviewPlaceChanged() override {}
  void ThumbnailPlaceChanged() override {}
  void ThumbnailsArrived() override {}
};

TEST(BlockTexts, TheFilterFindsAWordInOneTextAndTheStatusNamesIt) {
  TQuietView view;
  TResultsModel m(view);
  const std::string texts[] = {Sjis("洗面台") + "\n" + Sjis("ｶｳﾝﾀｰ W750"), "AB\nCD", ""};
  for (int r = 1; r <= 3; ++r) {
    m.SetCell(0, r, "a.jww");
    m.SetCell(1, r, "/d/a.jww");
    m.SetCell(2, r, "B" + std::to_string(r));
    m.SetCell(TextsCol, r, texts[r - 1]);
  }
  m.SetRowCount(4);
  struct TCase {
    const char* Filter;
    int Shown;
    std::string Matched;  // for the first row shown
  };
  const TCase cases[] = {{"かうんたー", 1, Sjis("ｶｳﾝﾀｰ W750")},
                         {"b1 w750", 1, ""},  // the first word is the name's
                         {"BC", 0, ""},       // never across two texts
                         {"-洗面", 2, ""},
                         {"CD", 1, "CD"}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Filter);
    m.SetFilter(c.Filter);
    ASSERT_EQ(m.ShownCount(), c.Shown);
    if (c.Shown == 0) continue;
    m.SetCurrentPosition(0);
    EXPECT_EQ(m.Table().MatchedText(m.Table().Current()), c.Matched);
    EXPECT_EQ(m.StatusText().find("図形内の文字「") != std::string::npos, !c.Matched.empty());
  }
  EXPECT_EQ(m.ShownText(0, TextsCol), "AB / CD");
  EXPECT_FALSE(m.TextsColumnShown());
  m.HeaderMenuChosen(0);
  EXPECT_TRUE(m.HeaderMenu()[0].Checked);
}

}  // namespace
