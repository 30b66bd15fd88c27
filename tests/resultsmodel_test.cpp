// The results window's model driven through a recording view: a run's rows,
// filter, sort and find-next moving the current row, the copied text, what
// a double-click and the row menu open, and the status bar with a note.
#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "app/resultsmodel.h"
#include "testkit/jwbuilder.h"
#include "text/codec.h"

namespace {

struct TFakeView : TResultsView {
  int Redrawn = 0, Moved = 0;
  std::vector<std::pair<TOpenAction, std::string>> Opened;
  std::string Clipboard;
  std::vector<std::pair<int, int>> Timers;
  void RowsChanged() override { ++Redrawn; }
  void CurrentChanged() override { ++Moved; }
  void StatusChanged() override {}
  void ShowPreview(const std::shared_ptr<const TDisplayList>&) override {}
  void ShowPreviewText(const std::string&) override {}
  void PreviewArrived() override {}
  void StartTimer(int Id, int Ms) override { Timers.emplace_back(Id, Ms); }
  void OpenRowFile(TOpenAction A, const std::string& P) override { Opened.emplace_back(A, P); }
  void CopyToClipboard(const std::string& Text) override { Clipboard = Text; }
  void PreviewPlaceChanged() override { ++Placed; }
  int Placed = 0;
  void ThumbnailPlaceChanged() override { ++ThumbnailsPlaced; }
  int ThumbnailsPlaced = 0;
  void ThumbnailsArrived() override {
    std::lock_guard<std::mutex> hold(Lock);
    ++Arrivals;
    Arrived.notify_all();
  }
  std::mutex Lock;
  std::condition_variable Arrived;
  int Arrivals = 0;
};

#ifdef _WIN32
const std::string Eol = "\r\n";
#else
const std::string Eol = "\n";
#endif

// A run of three rows, as the search run writes them.
void Fill(TResultsModel& M) {
  const char* blocks[] = {"図10", "窓", "図2"};
  for (int r = 1; r <= 3; ++r) {
    M.SetCell(0, r, "f" + std::to_string(r) + ".jww");
    M.SetCell(1, r, "/d/f" + std::to_string(r) + ".jww");
    M.SetCell(2, r, *Utf8ToCp932(blocks[r - 1]));
  }
  M.SetRowCount(4);
}

}  // namespace

TEST(ResultsModel, FilterSortAndFindNextMoveTheCurrentRowInTheView) {
  TFakeView view;
  TResultsModel m(view);
  Fill(m);
  EXPECT_EQ(m.ShownText(2, 2), "図2");
  m.SetFilter("図");
  EXPECT_EQ(m.ShownCount(), 2);
  m.HeaderClick(2);
  EXPECT_EQ(m.SortMark(2), TSortOrder::Ascending);
  EXPECT_EQ(m.SortMark(0), TSortOrder::Search);
  EXPECT_EQ(m.ShownText(0, 2), "図2");
  EXPECT_EQ(m.CurrentPosition(), 1);  // result row 1, now drawn second
  const int moved = view.Moved;
  EXPECT_FALSE(m.FindNext("図"));  // nothing below it
  EXPECT_EQ(view.Moved, moved);
  m.SetCurrentPosition(0);
  EXPECT_FALSE(m.FindNext("ず"));  // hiragana does not match kanji
  EXPECT_TRUE(m.FindNext("図"));
  EXPECT_EQ(m.Table().Current(), 1);
  EXPECT_GT(view.Moved, moved);
  EXPECT_EQ(m.StatusText(), "絞り込み 2 / 3");
}

// Find-next with nothing below says so until the next key or click; Esc in
// the filter box clears a filter, and with none closes the window; a failed
// open is said.
TEST(ResultsModel, NothingBelowEscapeAndFailedOpensAreSaid) {
  TFakeView view;
  TResultsModel m(view);
  Fill(m);
  m.SetCurrentRow(3);
  EXPECT_FALSE(m.FindNext("図"));
  EXPECT_EQ(m.StatusText(), "これより下に一致する行はありません");
  m.UserInput();
  EXPECT_EQ(m.StatusText(), "");

  m.SetFilter("窓");
  EXPECT_TRUE(m.FilterEscape());
  EXPECT_EQ(m.ShownCount(), 3);
  EXPECT_FALSE(m.FilterEscape());

  m.OpenFailed(TOpenAction::ShowInFolder, "/d/f1.jww");
  EXPECT_EQ(m.StatusText(), "フォルダーに表示できませんでした: f1.jww");
}

TEST(ResultsModel, FindPreviousSearchesUpwardsAndSaysWhenNothingIsAbove) {
  TFakeView view;
  TResultsModel m(view);
  Fill(m);
  m.SetCurrentRow(1);
  EXPECT_FALSE(m.FindPrevious("図"));  // nothing above, no wrap
  EXPECT_EQ(m.Table().Current(), 1);
  EXPECT_EQ(m.StatusText(), "これより上に一致する行はありません");
  m.SetCurrentRow(3);
  EXPECT_TRUE(m.FindPrevious(" 図 "));
  EXPECT_EQ(m.Table().Current(), 1);
  EXPECT_EQ(m.StatusText(), "");
  m.HeaderClick(2);  // drawn 図2, 図10, 窓: upwards is in the order drawn
  m.SetCurrentRow(2);
  EXPECT_TRUE(m.FindPrevious("図"));
  EXPECT_EQ(m.Table().Current(), 1);
}

// The block-name column fills the table; the path gives way first, then the
// other columns from the last, then the name down to its minimum.
TEST(ResultColumns, TheBlockNameTakesTheWidthThePathGivesUp) {
  const std::vector<TFitColumn> design = {{99, 48}, {206, 96}, {120, 48}};
  struct {
    const char* what;
    int32_t client;
    std::vector<TFitColumn> columns;
    std::vector<int32_t> drawn;
  } cases[] = {
      {"maximised", 1900, design, {99, 206, 1595}},
      {"default window with preview", 280, design, {64, 96, 120}},
      {"too narrow: overflows", 150, design, {48, 96, 48}},
      {"path the user made narrow", 200, {{99, 48}, {50, 96}, {120, 48}}, {48, 50, 102}},
      {"hidden fourth", 600, {{99, 48}, {206, 96}, {120, 48}, {150, 48, false}}, {99, 206, 295, 0}},
      {"shown fourth gives after the path",
       400,
       {{99, 48}, {206, 96}, {120, 48}, {150, 48}},
       {99, 96, 120, 85}},
  };
  for (const auto& c : cases) EXPECT_EQ(FitColumns(c.client, c.columns, 2, 1), c.drawn) << c.what;

  TResultColumns columns({99, 206, 120});
  columns.Fit(600);
  columns.Dragged(1, 300);
  EXPECT_EQ(columns.UserWidth(1), 300);
  EXPECT_EQ(columns.Drawn(2), 201);
  columns.Fit(300);
  EXPECT_EQ(columns.Drawn(1), 81);
  EXPECT_EQ(columns.UserWidth(1), 300);
}

// The table keeps its minimum; a pane dragged shut comes back at its share.
TEST(ResultsModel, ThePreviewPaneIsAShareAndCanBeReopened) {
  TFakeView view;
  TResultsModel m(view);
  EXPECT_EQ(m.PreviewSplit().PaneWidth(456), 160);
  EXPECT_EQ((TPreviewSplit{9000, true}).PaneWidth(500), 500 - MinTableWidth);
  m.PreviewDragged(250, 500);
  EXPECT_EQ(m.PreviewSplit(), (TPreviewSplit{5000, true}));
  m.PreviewDragged(3, 500);
  EXPECT_EQ(m.PreviewSplit(), (TPreviewSplit{5000, false}));
  m.TogglePreview();
  EXPECT_EQ(m.PreviewSplit().PaneWidth(800), 400);
  EXPECT_EQ(view.Placed, 1);
}

TEST(ResultsModel, CopyOpenAndTheRowMenuActOnTheRowsShown) {
  TFakeView view;
  TResultsModel m(view);
  Fill(m);
  EXPECT_EQ(m.CopiedText({2, 0}), "f1.jww\t/d/f1.jww\t図10" + Eol + "f3.jww\t/d/f3.jww\t図2" + Eol);
  m.CopyRows({});
  EXPECT_EQ(view.Clipboard, "");
  m.CopyRows({1});
  EXPECT_EQ(view.Clipboard, "f2.jww\t/d/f2.jww\t窓" + Eol);
  EXPECT_EQ(m.StatusText(), "1 行をコピーしました");
  ASSERT_EQ(view.Timers.size(), 1u);
  m.Timer(view.Timers.back().first);
  EXPECT_EQ(m.StatusText(), "");  // the note goes

  m.DoubleClick(-1);
  EXPECT_TRUE(view.Opened.empty());
  m.DoubleClick(2);
  ASSERT_EQ(view.Opened.size(), 1u);
  EXPECT_EQ(view.Opened[0], std::make_pair(DoubleClickAction(), std::string("/d/f3.jww")));

  EXPECT_TRUE(m.RowMenu(-1).empty());
  ASSERT_EQ(m.RowMenu(0).size(), 4u);
  m.RowMenuChosen(TRowAction::ShowInFolder, {});
  EXPECT_EQ(view.Opened.back(),
            std::make_pair(TOpenAction::ShowInFolder, std::string("/d/f3.jww")));
  m.RowMenuChosen(TRowAction::CopyPath, {});
  EXPECT_EQ(view.Clipboard, "/d/f3.jww");

  // A filter that hides the current row leaves nothing to open.
  m.SetFilter("窓");
  m.SetFilter("🚪");
  m.Open(TOpenAction::OpenWithProgram);
  EXPECT_EQ(view.Opened.size(), 2u);
  EXPECT_EQ(m.CurrentPath(), "");
}

TEST(ResultsModel, StatusPartsAndTheHeader) {
  TFakeView view;
  TResultsModel m(view);
  for (int c = 0; c < 3; ++c) m.SetCell(c, 0, ResultHeader[c]);
  EXPECT_EQ(m.HeaderText(2), "定義ブロック名");
  Fill(m);
  TFileOutcome bad;
  bad.Kind = TOutcomeKind::WrongSignature;
  m.SetReport({3, 4, 1, 0, true}, {{"/d/x.jww", bad}});
  m.SetNote("パスをコピーしました");
  EXPECT_EQ(m.StatusText(),
            "3 行（4 ファイル）・読み込めなかったファイル 1・中止しました・パスをコピーしました");
  EXPECT_TRUE(m.StatusClickable());
  EXPECT_FALSE(m.StatusTip().empty());
}

namespace {

// The thumbnail view: toggled and sized within range, drawn from the files
// of the rows on screen, and forgotten by a new run.
TEST(ResultsModel, ThumbnailsAreDrawnForTheRowsOnScreen) {
  const auto dir = std::filesystem::temp_directory_path() / "quillon-model-thumbnails";
  std::filesystem::create_directories(dir);
  jwb::Drawing d(700);
  d.Def(1, "A").Line();
  d.Def(2, "B").Line();
  const std::string path = (dir / "a.jww").string();
  jwb::WriteFile(path, d.JwwBytes());

  TFakeView view;
  TResultsModel m(view);
  m.ToggleThumbnails();
  m.SetThumbnailSize(1000);
  EXPECT_EQ(m.ThumbnailPlace(), (TThumbnailPlace{true, MaxThumbnailSize}));
  EXPECT_EQ(view.ThumbnailsPlaced, 2);
  for (int r = 1; r <= 2; ++r) {
    m.SetCell(0, r, "a.jww");
    m.SetCell(1, r, path);
    m.SetCell(2, r, r == 1 ? "A" : "B");
  }
  m.SetRowCount(3);
  m.HeaderClick(BlockNameCol);
  m.HeaderClick(BlockNameCol);  // descending: B first
  EXPECT_EQ(m.ThumbnailAt(0), nullptr);
  m.ThumbnailsOnScreen(0, 0);
  {
    std::unique_lock<std::mutex> hold(view.Lock);
    view.Arrived.wait(hold, [&] { return view.Arrivals > 0; });
  }
  m.TakeThumbnails();
  ASSERT_NE(m.ThumbnailAt(0), nullptr);
  EXPECT_NE(m.ThumbnailAt(1), nullptr);  // the same file: read once for both
  EXPECT_EQ(m.ThumbnailTip(0), "B");
  m.SetRowCount(3);
  EXPECT_EQ(m.ThumbnailAt(0), nullptr);
  m.StopPreview();
  std::filesystem::remove_all(dir);
}

// Two files where rows A and Z draw the same line: the counts come once both
// files are read, and the row menu narrows to those two rows.
TEST(ResultsModel, TheSameDrawingColumnCountsAndNarrowsTheRows) {
  const auto dir = std::filesystem::temp_directory_path() / "quillon-model-same";
  std::filesystem::create_directories(dir);
  jwb::Drawing a(700), b(700);
  a.Def(1, "A").Line();
  a.Def(2, "Zb").Arc();
  b.Def(1, "Z").Line();
  jwb::WriteFile((dir / "a.jww").string(), a.JwwBytes());
  jwb::WriteFile((dir / "b.jww").string(), b.JwwBytes());
  TFakeView view;
  TResultsModel m(view);
  for (int r = 1; r <= 3; ++r) {
    m.SetCell(1, r, (dir / (r < 3 ? "a.jww" : "b.jww")).string());
    m.SetCell(2, r, r == 1 ? "A" : r == 2 ? "Zb" : "Z");
  }
  m.SetRowCount(4);
  m.SetSameColumnShown(true);
  for (int taken = 0; m.ShownText(0, SameCol).empty(); m.TakeThumbnails()) {
    std::unique_lock<std::mutex> hold(view.Lock);
    view.Arrived.wait(hold, [&] { return view.Arrivals > taken; });
    taken = view.Arrivals;
  }
  EXPECT_EQ(m.ShownText(0, SameCol) + m.ShownText(1, SameCol) + m.ShownText(2, SameCol), "101");
  m.SetCurrentPosition(1);  // Zb draws what no other row does
  EXPECT_EQ(m.RowMenu(1).size(), 4u);
  m.SetCurrentPosition(2);
  // With the filter; ended by the item again, by Esc, by emptying the box.
  for (int end = 0; end < 3; ++end) {
    m.SetFilter("Z");
    m.RowMenuChosen(TRowAction::SameDrawingRows, {});
    EXPECT_EQ(m.ShownCount(), 1);
    EXPECT_NE(m.StatusText().find("同じ図形 2 行"), std::string::npos);
    if (end == 0) m.RowMenuChosen(TRowAction::SameDrawingRows, {});
    if (end == 1) m.FilterEscape();
    if (end == 2) m.SetFilter("");
    EXPECT_EQ(m.ShownCount(), end == 0 ? 2 : 3) << end;
  }
  m.HeaderClick(SameCol);
  m.HeaderClick(SameCol);  // descending, by number
  EXPECT_EQ(m.ShownText(2, BlockNameCol), "Zb");
  m.StopPreview();
  std::filesystem::remove_all(dir);
}

}  // namespace
