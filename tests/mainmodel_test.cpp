// The main window's model driven through a recording view: adding from the
// dialog, a drop, a folder and the command line; deleting with and without
// a current line; a run with its progress, problem files and stop; the
// layout file's folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/mainmodel.h"
#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
#include "testkit/jwbuilder.h"
#include "text/widepath.h"

namespace fs = std::filesystem;

namespace {

struct TFakeView : TMainView {
  int Shown = 0;
  std::optional<std::vector<std::string>> Files;
  std::optional<std::string> Folder;
  std::string AskedAt;
  std::vector<std::string> Statuses;  // as each state change left it
  std::function<void()> OnPump;
  TMainModel* Model = nullptr;
  int Lists = 0;            // ListChanged calls
  bool WorkingSeen = true;  // every ListChanged came with the busy cursor
  void ListChanged() override {
    ++Lists;
    if (Model) WorkingSeen = WorkingSeen && Model->Working();
  }
  void EntryChanged(int) override {}
  void StateChanged() override {
    if (Model && (Statuses.empty() || Statuses.back() != Model->StatusText()))
      Statuses.push_back(Model->StatusText());
  }
  void ProcessMessages() override {
    if (OnPump) OnPump();
  }
  std::optional<std::vector<std::string>> AskFiles(const std::string& At) override {
    AskedAt = At;
    return Files;
  }
  std::optional<std::string> AskFolder(const std::string& At) override {
    AskedAt = At;
    return Folder;
  }
  void ShowResults() override { ++Shown; }
  int Closed = 0;
  void CloseWindow() override { ++Closed; }
};

struct TFakeResults : TResultSink {
  int Rows = 0;
  TRunSummary Summary;
  std::vector<TProblemFile> Problems;
  void SetCell(int, int, const std::string&) override {}
  void SetRowCount(int R) override { Rows = R; }
  void SetReport(const TRunSummary& S, std::vector<TProblemFile> P) override {
    Summary = S;
    Problems = std::move(P);
  }
};

class MainModel : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() /
          (std::string("quillon-mainmodel-") +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(Dir);
    fs::create_directories(Dir / "in" / "sub");
    View.Model = &Model;
    Model.Results = &Results;
  }
  void TearDown() override { fs::remove_all(Dir); }
  std::string File(const std::string& Name) const {
    return Utf8OfPath((Dir / Name).make_preferred());
  }
  static std::string Delimiter() { return {static_cast<char>(fs::path::preferred_separator)}; }
  std::string Touch(const std::string& Name) const {
    std::ofstream(Dir / Name) << "not a drawing";
    return File(Name);
  }
  std::string Drawing(const std::string& Name, int Blocks) const {
    jwb::Drawing d(700);
    for (int i = 1; i <= Blocks; ++i) d.Def(i, "B" + std::to_string(i)).Line();
    jwb::WriteFile(File(Name), d.JwwBytes());
    return File(Name);
  }

  fs::path Dir;
  TFakeView View;
  TFakeResults Results;
  TMainModel Model{View};
  TJwwData Jww;
  TJwsData Jws;
};

}  // namespace

TEST_F(MainModel, AddsOnlyExistingDrawingFilesFromEverySource) {
  const std::string a = Touch("a.JwW"), txt = Touch("plan.txt"), s = Touch("in/sub/b.jws");
  Touch("in/c.jww");
  View.Files = std::vector<std::string>{a, txt, File("gone.jww"), a};
  Model.LastFolder = "/start/";
  Model.AddFromDialog();
  EXPECT_EQ(View.AskedAt, "/start/");
  EXPECT_EQ(Model.ListPaths(), (std::vector<std::string>{a, a}));
  EXPECT_EQ(Model.LastFolder, Utf8OfPath(Dir) + Delimiter());

  const std::string before = Model.LastFolder;
  Model.Drop({File("in"), txt, a, ""});
  EXPECT_EQ(Model.Count(), 3);
  EXPECT_EQ(Model.LastFolder, before);  // a drop leaves the folder alone

  View.Folder = File("in");
  Model.AddFromFolder();
  EXPECT_EQ(Model.ListPaths().back(), s);
  EXPECT_EQ(Model.ListPaths()[3], File("in/c.jww"));
  EXPECT_EQ(Model.LastFolder, File("in") + Delimiter());

  View.Files = std::nullopt;  // cancelled: nothing changes
  Model.AddFromDialog();
  EXPECT_EQ(Model.Count(), 5);
  EXPECT_EQ(Model.LastFolder, File("in") + Delimiter());

  // Relative command-line paths are made absolute first.
  const fs::path cwd = fs::current_path();
  fs::current_path(Dir);
  Model.AddCommandLine({"in/../a.JwW"});
  fs::current_path(cwd);
  EXPECT_TRUE(fs::path(PathOfUtf8(Model.ListPaths().back())).is_absolute());
  EXPECT_TRUE(fs::equivalent(PathOfUtf8(Model.ListPaths().back()), PathOfUtf8(a)));
}

TEST_F(MainModel, DeletesTheSelectedLinesOnlyWithACurrentLine) {
  struct {
    const char* what;
    int current;
    std::vector<int> selected, left;
  } cases[] = {
      {"several, order kept", 1, {0, 2, 4}, {1, 3}},
      {"no current line: nothing", -1, {0, 1}, {0, 1, 2, 3, 4}},
      {"nothing selected", 0, {}, {0, 1, 2, 3, 4}},
  };
  std::vector<std::string> paths;
  for (int i = 0; i < 5; ++i) paths.push_back(Touch("f" + std::to_string(i) + ".jww"));
  for (const auto& c : cases) {
    TMainModel model(View);
    model.Drop(paths);
    model.SetSelection(c.selected, c.current);
    model.Delete();
    std::vector<std::string> expected;
    for (int i : c.left) expected.push_back(paths[static_cast<size_t>(i)]);
    EXPECT_EQ(model.ListPaths(), expected) << c.what;
  }
}

TEST_F(MainModel, BatchesAreAppliedInOneStepWithOneNotification) {
  for (int i = 0; i < 300; ++i) Touch("in/f" + std::to_string(1000 + i) + ".jww");
  Model.LastFolder = "/start/";
  View.Folder = File("in");
  Model.AddFromFolder();
  EXPECT_EQ(View.AskedAt, "/start/");
  EXPECT_EQ(Model.Count(), 300);
  EXPECT_EQ(Model.FileCountText(), "300 ファイル");
  EXPECT_EQ(View.Lists, 1);
  Model.AddFromDialog();  // the folder dialog's folder is the next start
  EXPECT_EQ(View.AskedAt, File("in") + Delimiter());

  std::vector<int> odd;
  for (int i = 1; i < 300; i += 2) odd.push_back(i);
  Model.SetSelection(odd, 299);
  Model.Delete();
  EXPECT_EQ(View.Lists, 2);
  ASSERT_EQ(Model.Count(), 150);
  EXPECT_EQ(Model.ListPaths()[149], File("in/f1298.jww"));  // order kept
  EXPECT_EQ(Model.CurrentLine(), 149);
  EXPECT_TRUE(View.WorkingSeen);
  EXPECT_FALSE(Model.Working());

  Model.SelectAll();  // Ctrl+A
  EXPECT_TRUE(Model.Selected(0) && Model.Selected(149));
  Model.Delete();
  EXPECT_EQ(Model.FileCountText(), "0 ファイル");
  EXPECT_EQ(Model.CurrentLine(), -1);
}

TEST(MainWindowRules, ListWidensAndDialogFiltersMatchAnyCase) {
  EXPECT_EQ(MainListWidth(DesignMainWidth), TWindowLayout().ListWidth);
  EXPECT_EQ(MainListWidth(DesignMainWidth + 100), TWindowLayout().ListWidth + 100);
  EXPECT_EQ(MainListWidth(50), MinListWidth);
  using namespace std::string_literals;
  EXPECT_EQ(WindowsFileFilter(),
            "JW 図面・図形ファイル (*.jww;*.jws)\0*.jww;*.jws\0"
            "JW 図面ファイル (*.jww)\0*.jww\0JW 図形ファイル (*.jws)\0*.jws\0\0"s);
  EXPECT_EQ(SpacedFileFilters(), (std::vector<std::string>{
                                     "JW 図面・図形ファイル (*.jww *.jws *.JWW *.JWS)",
                                     "JW 図面ファイル (*.jww *.JWW)",
                                     "JW 図形ファイル (*.jws *.JWS)",
                                 }));
}

TEST_F(MainModel, ARunMarksProblemFilesAndShowsTheResults) {
  const std::string junk = Touch("junk.jww"), good = Drawing("good.jww", 2);
  Model.Drop({junk, good});
  Model.SetSelection({0, 1}, 1);
  std::vector<std::pair<int, int>> progress;
  bool busyDuringRun = false;
  View.OnPump = [&] {
    progress.emplace_back(Model.ProgressDone(), Model.ProgressTotal());
    busyDuringRun = !Model.ButtonsEnabled() && Model.ProgressVisible() && Model.StopVisible();
    Model.Drop({good});  // refused while the run goes
  };
  Model.Search(Jww, Jws);
  EXPECT_TRUE(busyDuringRun);
  EXPECT_EQ(progress.front(), std::make_pair(0, 2));
  EXPECT_EQ(progress.back(), std::make_pair(2, 2));
  EXPECT_EQ(Model.Count(), 2);
  EXPECT_EQ(View.Shown, 1);
  EXPECT_EQ(Results.Rows, 3);
  EXPECT_EQ(Results.Summary.Failed, 1);
  ASSERT_EQ(Results.Problems.size(), 1u);
  EXPECT_EQ(Results.Problems[0].Path, junk);
  EXPECT_FALSE(Model.Running());
  EXPECT_TRUE(Model.ButtonsEnabled());
  EXPECT_FALSE(Model.ProgressVisible());
  EXPECT_EQ(Model.StatusText(), IdlePrompt);
  EXPECT_FALSE(Model.Selected(0) || Model.Selected(1));

  ASSERT_NE(Model.Mark(0), nullptr);
  EXPECT_EQ(Model.Mark(0)->Kind, TOutcomeKind::WrongSignature);
  EXPECT_EQ(Model.Mark(1), nullptr);
  EXPECT_EQ(Model.EntryTip(0), junk + "\n" + DescribeOutcomeJa(*Model.Mark(0)));
  EXPECT_EQ(Model.EntryTip(1), good);
  // The marked entry selected alone says why; selected with another, not.
  Model.SetSelection({0}, 0);
  EXPECT_EQ(Model.StatusText(), "junk.jww: " + DescribeOutcomeJa(*Model.Mark(0)));
  Model.SetSelection({0, 1}, 0);
  EXPECT_EQ(Model.StatusText(), IdlePrompt);

  // After a run nothing is selected: delete deletes nothing.
  Model.SetSelection({}, 0);
  Model.Delete();
  EXPECT_EQ(Model.Count(), 2);
}

TEST_F(MainModel, StopEndsTheRunAfterTheFileBeingRead) {
  const std::string a = Drawing("a.jww", 1), b = Drawing("b.jww", 1);
  Model.Drop({a, b, a});
  View.OnPump = [&] { Model.Stop(); };
  Model.Search(Jww, Jws);
  EXPECT_TRUE(Results.Summary.Stopped);
  EXPECT_EQ(Results.Rows, 2);
  EXPECT_NE(std::find(View.Statuses.begin(), View.Statuses.end(), "中止します…"),
            View.Statuses.end());
  EXPECT_EQ(Model.StatusText(), IdlePrompt);
  EXPECT_TRUE(Model.StopEnabled());

  // An empty list: no run, no results window.
  TMainModel empty(View);
  empty.Search(Jww, Jws);
  EXPECT_EQ(View.Shown, 1);
}

// Closing during a run stops it after the file being read, shows no
// results and then closes; the repaints of a run are merged, its steps not.
TEST_F(MainModel, ClosingDuringARunStopsItThenCloses) {
  Model.Drop({Drawing("a.jww", 1), Drawing("b.jww", 1), Drawing("c.jww", 1), Drawing("d.jww", 1)});
  int64_t now = 0;
  Model.Clock = [&] { return now; };
  int pumps = 0;
  View.OnPump = [&] {
    ++pumps;
    if (pumps == 3) {
      EXPECT_FALSE(Model.RequestClose());
    }
  };
  Model.Search(Jww, Jws);
  EXPECT_EQ(pumps, 4);  // the second file's two pumps, then no more
  EXPECT_TRUE(Results.Summary.Stopped);
  EXPECT_EQ(View.Shown, 0);
  EXPECT_EQ(View.Closed, 1);
  EXPECT_TRUE(Model.RequestClose());

  // With the clock standing still a run draws its state only when it
  // starts, at its first file and when it ends.
  View.Statuses.clear();
  View.OnPump = nullptr;
  Model.Search(Jww, Jws);
  EXPECT_EQ(View.Statuses, (std::vector<std::string>{
                               IdlePrompt, "ファイル【" + File("a.jww") + "】検索中", IdlePrompt}));
  View.OnPump = [&] { now += RunDrawInterval; };
  Model.Search(Jww, Jws);
  EXPECT_GT(View.Statuses.size(), 4u);
}

// A dropped or named path the list does not take, and a folder that cannot
// be read, are counted in the status bar and listed with reasons.
TEST_F(MainModel, RefusedPathsAreSaidAndListed) {
  const std::string a = Touch("a.jww"), txt = Touch("plan.txt");
  Model.Drop({a, File("in"), File("gone.jww"), txt});
  EXPECT_EQ(Model.Count(), 1);
  EXPECT_EQ(Model.StatusText(), "3 件を追加できませんでした");
  EXPECT_TRUE(Model.StatusClickable());
  ASSERT_EQ(Model.Rejected().size(), 3u);
  EXPECT_EQ(Model.Rejected()[0].Path, File("in"));
  EXPECT_NE(Model.Rejected()[0].Reason, Model.Rejected()[1].Reason);
  EXPECT_NE(Model.Rejected()[1].Reason, Model.Rejected()[2].Reason);
  EXPECT_EQ(CopiedProblems(ListedProblems(Model.Rejected())).substr(0, File("in").size() + 1),
            File("in") + "\t");
  Model.AddCommandLine({a});
  EXPECT_EQ(Model.StatusText(), IdlePrompt);
  Model.AddFolder(File("gone"));
  EXPECT_EQ(Model.StatusText(), "1 件を追加できませんでした");
}

TEST_F(MainModel, TheLayoutFileKeepsTheDialogsFolder) {
  Model.ExeFolder = "/opt/quillon/";
  Model.LayoutFile = File("q.dat");
  EXPECT_FALSE(Model.LoadLayout(TWindowLayout()).has_value());
  EXPECT_EQ(Model.LastFolder, "/opt/quillon/");
  Model.LastFolder = "/srv/図面/";
  TWindowLayout moved;
  moved.Main.Left = 300;
  Model.SaveLayout(moved);

  TMainModel again(View);
  again.ExeFolder = "/opt/quillon/";
  again.LayoutFile = File("q.dat");
  const std::optional<TWindowLayout> back = again.LoadLayout(TWindowLayout());
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->Main.Left, 300);
  EXPECT_EQ(again.LastFolder, "/srv/図面/");
}
