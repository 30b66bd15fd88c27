// The results table's view (filter, sort, current row, find-next) and the
// placement of a restored window.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>

#include <string>
#include <vector>

#include "app/resulttable.h"
#include "app/windowplace.h"
#include "text/codec.h"
#include "text/sjis.h"

using ::testing::ElementsAreArray;

namespace {

struct TName {
  std::string File, Block;  // UTF-8
};

TResultTable Filled(const std::vector<TName>& Rows) {
  TResultTable t;
  int r = 1;
  for (const TName& n : Rows) {
    t.SetCell(0, r, n.File);
    t.SetCell(1, r, "/d/" + n.File);
    t.SetCell(2, r, *Utf8ToCp932(n.Block));
    ++r;
  }
  t.SetRowCount(r);
  return t;
}

std::vector<int> ShownRows(const TResultTable& t) {
  std::vector<int> out;
  for (int p = 0; p < t.ShownCount(); ++p) out.push_back(t.ShownRow(p));
  return out;
}

const std::vector<TName> Rows = {
    {"b.jww", "図10"},   {"a.jww", "ドア2"},  {"a.jww", "図2"},   {"c.jww", "窓"},
    {"b.jww", "どあ１"}, {"x.jww", "図０２"}, {"ドア.jww", "机"},
};

}  // namespace

TEST(ResultTableTest, FilterAndSortShowTheRowsInOrder) {
  struct Case {
    const char* what;
    std::string filter;
    int col;
    TSortOrder order;
    std::vector<int> shown;
  } cases[] = {
      {"everything in search order", "", 0, TSortOrder::Search, {1, 2, 3, 4, 5, 6, 7}},
      {"block or file name, normalised", "ﾄﾞｱ", 0, TSortOrder::Search, {2, 5, 7}},
      {"digits by value, ties in search order", "図", 2, TSortOrder::Ascending, {3, 6, 1}},
      {"descending", "図", 2, TSortOrder::Descending, {1, 3, 6}},
      {"file name, stable", "", 0, TSortOrder::Ascending, {2, 3, 1, 5, 4, 6, 7}},
      {"a character code page 932 lacks", "🚪", 0, TSortOrder::Search, {}},
      {"only spaces: no word, every row", "　 ", 0, TSortOrder::Search, {1, 2, 3, 4, 5, 6, 7}},
  };
  for (const Case& c : cases) {
    TResultTable t = Filled(Rows);
    t.SetSort(c.col, c.order);
    t.SetFilter(c.filter);
    EXPECT_THAT(ShownRows(t), ElementsAreArray(c.shown)) << c.what;
  }
}

TEST(ResultTableTest, NarrowingAndWideningTheFilterAsTyped) {
  TResultTable t = Filled(Rows);
  t.SetSort(2, TSortOrder::Ascending);
  std::vector<std::vector<int>> seen;
  for (const char* typed : {"図", "図1", "図", "", "机"}) {
    t.SetFilter(typed);
    seen.push_back(ShownRows(t));
  }
  EXPECT_EQ(seen[0], (std::vector<int>{3, 6, 1}));
  EXPECT_EQ(seen[1], (std::vector<int>{1}));
  EXPECT_EQ(seen[2], seen[0]);
  EXPECT_EQ(seen[3].size(), 7u);
  EXPECT_EQ(seen[4], (std::vector<int>{7}));
}

TEST(ResultTableTest, CurrentRowFollowsTheViewAndFindNextWalksTheShownOrder) {
  TResultTable t = Filled(Rows);
  t.SetSort(2, TSortOrder::Ascending);  // by the CP932 bytes of the normalised names
  EXPECT_THAT(ShownRows(t), ElementsAreArray({5, 2, 7, 3, 6, 1, 4}));
  t.SetCurrent(2);
  t.SetFilter("図");  // 3 6 1: row 2 hidden, the next shown after it is 3
  EXPECT_EQ(t.Current(), 3);
  EXPECT_TRUE(t.FindNext("図"));
  EXPECT_EQ(t.Current(), 6);
  EXPECT_TRUE(t.FindNext("図"));
  EXPECT_EQ(t.Current(), 1);
  EXPECT_FALSE(t.FindNext("図"));  // no wrap
  EXPECT_EQ(t.Current(), 1);
  t.SetSort(2, TSortOrder::Descending);  // 1 3 6: the current row stays
  EXPECT_EQ(t.Current(), 1);
  EXPECT_TRUE(t.FindNext("0"));
  EXPECT_EQ(t.Current(), 6);
  t.SetFilter("机");  // 4 1 3 6 7 2 5 unfiltered: 7 is the next after 6
  EXPECT_EQ(t.Current(), 7);
  t.SetFilter("");
  t.SetCurrent(5);
  t.SetFilter("図");  // nothing after 5 is shown: the last shown row
  EXPECT_EQ(t.Current(), 6);
  t.SetFilter("該当なし");
  EXPECT_EQ(t.ShownCount(), 0);
  EXPECT_FALSE(t.FindNext("机"));
  t.SetRowCount(3);  // shrinking to the current row or below: the last row
  t.SetFilter("");
  EXPECT_EQ(t.Current(), 2);
}

TEST(ResultTableTest, RowsOfOneFileShareTheirPathAndSurviveRewriting) {
  TResultTable t = Filled(Rows);
  EXPECT_EQ(t.Cell(1, 3), "/d/a.jww");
  EXPECT_EQ(t.Cell(0, 7), "ドア.jww");
  // A second, shorter run over the same table.
  t.SetCell(0, 1, "z.jww");
  t.SetCell(1, 1, "/e/z.jww");
  t.SetCell(2, 1, "Z");
  t.SetRowCount(2);
  EXPECT_EQ(t.Cell(0, 1), "z.jww");
  EXPECT_EQ(t.Cell(1, 1), "/e/z.jww");
  EXPECT_EQ(t.RowCount(), 2);
}

TEST(ResultTableTest, StatusTextSaysRowsFilesProblemsFilterAndStop) {
  TResultTable t = Filled(Rows);
  EXPECT_EQ(t.StatusText(), "");
  t.SetReport({7, 5, 1, 1, false}, {});
  EXPECT_EQ(t.StatusText(),
            "7 行（5 ファイル）・読み込めなかったファイル 1・一部を読み飛ばしたファイル 1");
  t.SetFilter("図");
  t.SetReport({7, 5, 0, 0, true}, {});
  EXPECT_EQ(t.StatusText(), "7 行（5 ファイル）・絞り込み 3 / 7・中止しました");
  t.SetFilter("");
  t.SetReport({7, 5, 0, 0, false, 4, "locked"}, {});
  EXPECT_EQ(t.StatusText(), "7 行（5 ファイル、うち 1 ファイルを読み込み）・索引: locked");
}

TEST(NaturalCompareTest, DigitRunsCompareByValue) {
  auto cmp = [](const char* a, const char* b) {
    return NaturalCompare(NormalizePathForSearch(a), NormalizePathForSearch(b));
  };
  EXPECT_LT(cmp("図2", "図10"), 0);
  EXPECT_LT(cmp("図２", "図10"), 0);
  EXPECT_EQ(cmp("図02", "図2"), 0);
  EXPECT_LT(cmp("A9Z", "A10A"), 0);
  EXPECT_GT(cmp("B", "A100"), 0);
  EXPECT_LT(cmp("図", "図1"), 0);
}

TEST(WindowPlaceTest, OffScreenOrOversizedWindowsMoveOntoAndFitTheirScreen) {
  const std::vector<TRect> two = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
  struct Case {
    const char* what;
    TRect window, placed;
  } cases[] = {
      {"on the first screen", {100, 100, 400, 300}, {100, 100, 400, 300}},
      {"across both screens", {1800, 50, 400, 300}, {1800, 50, 400, 300}},
      {"right of every screen", {4000, 100, 400, 300}, {2800, 100, 400, 300}},
      {"title bar above the screens", {100, -30, 400, 300}, {100, 0, 400, 300}},
      {"below the second screen", {2400, 1500, 400, 300}, {2400, 724, 400, 300}},
      {"larger than the screen", {-5000, -5000, 3000, 2000}, {0, 0, 1920, 1080}},
      {"on a screen but taller than it", {2000, 100, 400, 1500}, {2000, 0, 400, 1024}},
      {"only a sliver shows", {1900, 2, 400, 300}, {1900, 2, 400, 300}},
      {"left edge barely in", {-390, 10, 400, 300}, {0, 10, 400, 300}},
      {"left edge at the largest int", {INT_MAX, 10, 400, 300}, {2800, 10, 400, 300}},
      {"top edge at the smallest int", {10, INT_MIN, INT_MAX, 300}, {0, 0, 1920, 300}},
  };
  for (const Case& c : cases) EXPECT_EQ(PlaceOnScreens(c.window, two), c.placed) << c.what;
  EXPECT_EQ(PlaceOnScreens({-900, 9, 10, 10}, {}), (TRect{-900, 9, 10, 10}));
}

// The filter's words, each found in the block name, the path without its
// extension or the block's texts.
TEST(QueryTest, EveryWordNarrowsAndAMinusExcludes) {
  auto key = [](const char* Utf8) { return NormalizeForSearch(*Utf8ToCp932(Utf8)); };
  const std::string name = key("洗面化粧台 W750");
  const std::string path = QueryPathKey("/lib/TOTO/設備/sink.jww");
  const std::string texts = key("TCF8GM23");
  const struct {
    const char* query;
    bool kept;
    TQuery::TField where;
  } cases[] = {
      {"", true, TQuery::TField::None},
      {"   　 ", true, TQuery::TField::None},  // only spaces, half- and full-width
      {"洗面 750", true, TQuery::TField::Name},
      {"化粧　ｗ７５０", true, TQuery::TField::Name},  // a full-width space, full-width letters
      {"toto 設備", true, TQuery::TField::Path},
      {"tcf8gm23", true, TQuery::TField::Text},
      {"洗面 jww", false, TQuery::TField::None},  // the extension is no part of the path
      {"洗面 便器", false, TQuery::TField::None},
      {"洗面 -便器", true, TQuery::TField::Name},
      {"洗面 -toto", false, TQuery::TField::None},
      {"洗面 -", true, TQuery::TField::Name},       // a minus before its word is typed
      {"\"化粧 台\"", true, TQuery::TField::Name},  // quoted: one word, spaces ignored
      {"\"台 化粧\"", false, TQuery::TField::None},
      {"\xF0\x9F\x98\x80", false, TQuery::TField::None},       // not in code page 932
      {"洗面 -\xF0\x9F\x98\x80", true, TQuery::TField::Name},  // avoided everywhere anyway
      {"\xFF", false, TQuery::TField::None},                   // not UTF-8
  };
  for (const auto& c : cases) {
    TQuery::TField where = TQuery::TField::None;
    EXPECT_EQ(TQuery(c.query).Matches(name, path, texts, &where), c.kept) << c.query;
    if (c.kept) {
      EXPECT_EQ(where, c.where) << c.query;
    }
  }
  EXPECT_TRUE(TQuery("洗面 7501").Narrows(TQuery("洗面 750")));
  EXPECT_TRUE(TQuery("洗面 -便").Narrows(TQuery("洗面 -便器")));
  EXPECT_FALSE(TQuery("洗面 -便器").Narrows(TQuery("洗面 -便")));
  EXPECT_FALSE(TQuery("洗面").Narrows(TQuery("洗面 750")));
}
