// The block search run against a recording window layer and builder-made
// drawing and figure files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/search.h"
#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
#include "testkit/jwbuilder.h"

namespace fs = std::filesystem;
using ::testing::ElementsAre;

namespace {

// Records every call of the run, in order, and keeps the cells it wrote.
class RecordingWindow : public TSearchWindow {
 public:
  std::vector<std::string> Entries;
  std::vector<std::string> Calls;
  std::map<std::pair<int, int>, std::string> Cells;
  std::vector<bool> Selected;
  int RowCount = 0;
  int Shown = 0;
  bool LogCells = false;
  int Pumps = 0;
  int StopAtPump = 0;  // from this pump on a stop is asked for (0: never)
  TRunSummary Summary;

  int ListCount() override { return static_cast<int>(Entries.size()); }
  std::string ListEntry(int i) override { return Entries.at(static_cast<size_t>(i)); }
  void ClearSelection() override {
    Selected.assign(Entries.size(), false);
    Calls.push_back("clear");
  }
  void SetSelected(int i, bool on) override {
    Selected.at(static_cast<size_t>(i)) = on;
    Calls.push_back((on ? "select " : "deselect ") + std::to_string(i));
  }
  void SetStatusText(const std::string& t) override { Calls.push_back("status " + t); }
  void ProcessMessages() override {
    ++Pumps;
    Calls.push_back("pump");
  }
  void SetCell(int c, int r, const std::string& t) override {
    Cells[{c, r}] = t;
    if (LogCells) Calls.push_back("cell " + std::to_string(c) + "," + std::to_string(r));
  }
  void SetRowCount(int n) override {
    RowCount = n;
    Calls.push_back("rows " + std::to_string(n));
  }
  bool StopRequested() override { return Pumps >= StopAtPump && StopAtPump > 0; }
  void RunFinished(const TRunSummary& s) override { Summary = s; }
  void ShowResults() override {
    ++Shown;
    Calls.push_back("show");
  }
  std::string Cell(int c, int r) const {
    auto it = Cells.find({c, r});
    return it == Cells.end() ? "<unset>" : it->second;
  }
  // Block names of result rows 1..RowCount-1.
  std::vector<std::string> Names() const {
    std::vector<std::string> out;
    for (int r = 1; r < RowCount; ++r) out.push_back(Cells.at({2, r}));
    return out;
  }
};

class SearchRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() /
          ("quillon-search-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
           "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(Dir);
    fs::create_directories(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }

  // A figure or drawing file holding definitions with these names.
  std::string Write(const std::string& name, const std::vector<std::string>& defs,
                    bool figure = false, int32_t version = 700) {
    jwb::Drawing d(version);
    d.Line();
    int32_t n = 1;
    for (const std::string& def : defs) d.Def(n++, def).Line();
    const std::string path = (Dir / name).string();
    jwb::WriteFile(path, figure ? d.JwsBytes() : d.JwwBytes());
    return path;
  }

  fs::path Dir;
  TJwwData Jww;
  TJwsData Jws;
  RecordingWindow W;
};

const std::string Reading(const std::string& path) {
  return "status " + ReadingStatusText(path);
}

TEST_F(SearchRunTest, EmptyListDoesNothingVisible) {
  RunBlockSearch(W, Jww, Jws);
  EXPECT_TRUE(W.Calls.empty());
  EXPECT_EQ(W.Shown, 0);
}

TEST_F(SearchRunTest, CallsPerFileComeInOrder) {
  const std::string a = Write("a.jww", {"A1", "A2"});
  const std::string b = Write("b.jws", {"B1"}, true);
  W.Entries = {a, (Dir / "notes.txt").string(), b};
  W.LogCells = true;
  RunBlockSearch(W, Jww, Jws);
  EXPECT_THAT(W.Calls, ElementsAre("clear", "select 0", Reading(a), "pump", "cell 0,1", "cell 1,1",
                                   "cell 2,1", "cell 3,1", "cell 0,2", "cell 1,2", "cell 2,2",
                                   "cell 3,2", "deselect 0", "pump", "select 2", Reading(b), "pump",
                                   "cell 0,3", "cell 1,3", "cell 2,3", "cell 3,3", "deselect 2",
                                   "pump", "status " + IdlePrompt, "rows 4", "show"));
  EXPECT_EQ(W.Cell(0, 1), "a.jww");
  EXPECT_EQ(W.Cell(1, 1), a);
  EXPECT_EQ(W.Cell(0, 3), "b.jws");
  EXPECT_THAT(W.Names(), ElementsAre("A1", "A2", "B1"));
  // Each reader was cleared after its file.
  EXPECT_EQ(Jww.BlockDefCount, 0);
  EXPECT_EQ(Jws.BlockDefCount, 0);
  EXPECT_THAT(W.Selected, ElementsAre(false, false, false));
}

TEST_F(SearchRunTest, NoDefinitionsGivesOneEmptyRow) {
  W.Entries = {Write("none.jww", {}), (Dir / "gone.jws").string()};
  W.Cells[{2, 1}] = "stale";  // left from an earlier run
  RunBlockSearch(W, Jww, Jws);
  EXPECT_EQ(W.RowCount, 2);
  EXPECT_EQ(W.Cell(0, 1), "");
  EXPECT_EQ(W.Cell(1, 1), "");
  EXPECT_EQ(W.Cell(2, 1), "");
  EXPECT_EQ(W.Shown, 1);
  EXPECT_EQ(W.Calls.at(W.Calls.size() - 3), "status " + IdlePrompt);
}

TEST_F(SearchRunTest, ReaderIsChosenByExtensionInAnyCase) {
  const std::string upper = Write("UP.JWW", {"U"});
  const std::string mixed = Write("mixed.Jws", {"M"}, true);
  // A figure file named as a drawing goes to the drawing reader and fails its
  // signature check.
  const std::string misnamed = Write("figure.jww", {"F"}, true);
  W.Entries = {upper, mixed, misnamed};
  RunBlockSearch(W, Jww, Jws);
  EXPECT_THAT(W.Names(), ElementsAre("U", "M"));
}

TEST_F(SearchRunTest, MarkerIsCutAndSamePathTwiceListsTwice) {
  const std::string p =
      Write("m.jws", {"ABC@@SFIGORGFLAG123", "abc@@sfigorgflag", "@@SFIGORGFLAG"}, true);
  W.Entries = {p, p};
  RunBlockSearch(W, Jww, Jws);
  EXPECT_THAT(W.Names(), ElementsAre("ABC", "abc", "", "ABC", "abc", ""));
}

TEST(CutAtMarkerTest, MarkerStartsOnlyOnCharacterBoundaries) {
  struct Case {
    std::string name, expected;
  } cases[] = {
      {"ABC@@SFIGORGFLAG123", "ABC"},
      {"abc@@sfigorgflag", "abc"},
      {"AbC@@SfIgOrGfLaG", "AbC"},
      {"@@SFIGORGFLAG", ""},
      {"NOMARKER", "NOMARKER"},
      // The first '@' is the second byte of a full-width space (81 40).
      {"X\x81@@SFIGORGFLAG", "X\x81@@SFIGORGFLAG"},
      // ... unless the marker occurs again on a boundary.
      {"X\x81@@SFIGORGFLAGY@@SFIGORGFLAG", "X\x81@@SFIGORGFLAGY"},
      // A double-byte name before the marker keeps its bytes.
      {"\x8e\xa5\x90\xce@@sfigorgflagZ", "\x8e\xa5\x90\xce"},
  };
  for (const Case& c : cases) EXPECT_EQ(CutAtMarker(c.name), c.expected) << c.name;
}

// The old grid stopped at 32,766 rows; the table keeps every row.
TEST_F(SearchRunTest, KeepsEveryRowPastTheOldGridLimit) {
  constexpr int OldLimit = 32766;
  std::vector<std::string> many;
  for (int i = 0; i < OldLimit; ++i) many.push_back("D" + std::to_string(i));
  W.Entries = {Write("big.jws", many, true), Write("two.jws", {"X", "Y"}, true)};
  RunBlockSearch(W, Jww, Jws);
  EXPECT_EQ(W.RowCount, OldLimit + 3);
  EXPECT_EQ(W.Cell(2, OldLimit), "D" + std::to_string(OldLimit - 1));
  EXPECT_EQ(W.Cell(2, OldLimit + 2), "Y");
  EXPECT_THAT(W.Selected, ElementsAre(false, false));
  EXPECT_EQ(W.Summary.Rows, OldLimit + 2);
  EXPECT_FALSE(W.Summary.Stopped);
}

// A stop asked for while a file is read ends the run after that file; its
// rows are shown as a normal result.
TEST_F(SearchRunTest, StopEndsTheRunAfterTheCurrentFile) {
  const std::string a = Write("a.jww", {"A1", "A2"});
  W.Entries = {a, Write("b.jww", {"B"}), Write("c.jww", {"C"})};
  W.StopAtPump = 1;  // during the first file
  RunBlockSearch(W, Jww, Jws);
  EXPECT_THAT(W.Names(), ElementsAre("A1", "A2"));
  EXPECT_TRUE(W.Summary.Stopped);
  EXPECT_EQ(W.Summary.Files, 1);
  EXPECT_EQ(W.Shown, 1);
  EXPECT_THAT(W.Selected, ElementsAre(false, false, false));

  // A stop during the last file stops nothing: every file was read.
  RecordingWindow last;
  last.Entries = {a};
  last.StopAtPump = 1;
  RunBlockSearch(last, Jww, Jws);
  EXPECT_FALSE(last.Summary.Stopped);
}

// Reading ahead on workers changes nothing the window sees: the same calls in
// the same order as a one-by-one run, with a large first file that finishes
// after the small ones behind it, and with a stop part-way.
TEST_F(SearchRunTest, ReadAheadKeepsTheCallsOfAOneByOneRun) {
  std::vector<std::string> big;
  for (int i = 0; i < 3000; ++i) big.push_back("Big" + std::to_string(i));
  std::vector<std::string> entries = {Write("big.jww", big), (Dir / "gone.jww").string(),
                                      (Dir / "notes.txt").string()};
  jwb::WriteFile((Dir / "junk.jws").string(), jwb::Bytes(40, 0x20));
  entries.push_back((Dir / "junk.jws").string());
  for (int i = 0; i < 12; ++i)
    entries.push_back(Write("s" + std::to_string(i) + ".jws", {"S" + std::to_string(i)}, true));
  for (const int stopAt : {0, 7}) {
    RecordingWindow one;
    one.Entries = entries;
    one.LogCells = true;
    one.StopAtPump = stopAt;
    RunBlockSearch(one, Jww, Jws, 1);
    for (const unsigned jobs : {2u, 5u}) {
      RecordingWindow ahead;
      ahead.Entries = entries;
      ahead.LogCells = true;
      ahead.StopAtPump = stopAt;
      RunBlockSearch(ahead, Jww, Jws, jobs);
      EXPECT_EQ(ahead.Calls, one.Calls) << jobs << " jobs, stop at " << stopAt;
      EXPECT_EQ(ahead.Cells, one.Cells);
      EXPECT_EQ(ahead.Summary.Files, one.Summary.Files);
      EXPECT_EQ(ahead.Summary.Failed, 2);
      EXPECT_EQ(ahead.Summary.Stopped, stopAt != 0);
    }
  }
}

TEST_F(SearchRunTest, SecondRunWithFewerRowsShrinksTheTable) {
  W.Entries = {Write("three.jww", {"A", "B", "C"})};
  RunBlockSearch(W, Jww, Jws);
  EXPECT_EQ(W.RowCount, 4);
  W.Entries = {Write("one.jww", {"Z"})};
  RunBlockSearch(W, Jww, Jws);
  EXPECT_EQ(W.RowCount, 2);
  EXPECT_THAT(W.Names(), ElementsAre("Z"));
}

TEST_F(SearchRunTest, ReadFileBlocksReportsHowEachFileWent) {
  const std::string good = Write("good.jww", {"G1", "G2@@SFIGORGFLAG"});
  const std::string fig = Write("fig.jws", {"F"}, true);
  const std::string wrongSig = Write("wrong.jws", {"W"});  // a drawing named as a figure
  jwb::Drawing d(700);
  d.Def(1, "KEPT").Line();
  d.Def(2, "LOST").Line();
  jwb::Bytes bytes = d.JwwBytes();
  const jwb::Layout layout = d.LastLayout();
  const std::string cut = (Dir / "cut.jww").string();
  jwb::WriteFile(cut, jwb::Cut(bytes, layout.defs[1].name + 1));
  const std::string cutHeader = (Dir / "header.jww").string();
  jwb::WriteFile(cutHeader, jwb::Cut(bytes, layout.section[5] + 10));
  // A FIFO without a writer: opening it must not wait for one. (Windows has
  // no FIFO in the file system: a folder stands in.)
  const std::string fifo = (Dir / "fifo.jws").string();
#ifdef _WIN32
  fs::create_directories(fifo);
#else
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
#endif
  fs::create_directories(Dir / "folder.jww");

  struct Case {
    std::string path;
    TOutcomeKind outcome;
    std::vector<std::string> names;
    std::string reason;  // a part of DescribeOutcome
  } cases[] = {
      {good, TOutcomeKind::Complete, {"G1", "G2"}, "read completely"},
      {fig, TOutcomeKind::Complete, {"F"}, "read completely"},
      {wrongSig, TOutcomeKind::WrongSignature, {}, "not a JW figure file"},
      {(Dir / "missing.jww").string(), TOutcomeKind::Missing, {}, "no such file"},
      {(Dir / "nofolder" / "x.jww").string(), TOutcomeKind::Missing, {}, "no such file"},
      {Dir.string(), TOutcomeKind::NotRegular, {}, "not a regular file"},
      {(Dir / "folder.jww").string(), TOutcomeKind::NotRegular, {}, "not a regular file"},
      {fifo, TOutcomeKind::NotRegular, {}, "not a regular file"},
      {cut,
       TOutcomeKind::Partial,
       {"KEPT"},
       "stopped at byte " + std::to_string(layout.defs[1].name + 1) +
           " while reading block definition 2 of 2 (the file ends early"},
      {cutHeader,
       TOutcomeKind::Partial,
       {},
       "stopped at byte " + std::to_string(layout.section[5]) + " while reading the header"},
  };
  for (const Case& c : cases) {
    const TFileBlocks r = ReadFileBlocks(c.path, Jww, Jws);
    EXPECT_EQ(r.Outcome.Kind, c.outcome) << c.path;
    EXPECT_EQ(r.Names, c.names) << c.path;
    EXPECT_THAT(DescribeOutcome(r.Outcome), ::testing::HasSubstr(c.reason)) << c.path;
    EXPECT_FALSE(DescribeOutcomeJa(r.Outcome).empty());
    EXPECT_EQ(Jww.BlockDefCount + Jws.BlockDefCount, 0) << c.path;
  }
}

}  // namespace
