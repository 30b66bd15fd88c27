// The results table: every row of the last search run (file name, full path,
// block name), and the view the user works in: a filter, a sort order, the
// current row and the find-next search over the rows shown. Both front-ends
// draw from this one table (the Qt model and the Win32 virtual list view ask
// it for the cell they are about to draw), so they cannot disagree.
//
// Result rows are numbered 1..RowCount()-1 as the search run writes them
// (row 0 is the header); a shown position is 0-based in the order drawn.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/matcher.h"
#include "app/outcome.h"
#include "app/query.h"
#include "app/search.h"

inline constexpr int ResultColCount = 3;
inline constexpr int FileNameCol = 0;
inline constexpr int PathCol = 1;
inline constexpr int BlockNameCol = 2;

enum class TSortOrder { Search, Ascending, Descending };

// The sort order after a click on a column's header: a new column sorts
// ascending; the same column steps ascending, descending, back to search
// order.
TSortOrder NextSortOrder(int SortedCol, TSortOrder Current, int ClickedCol);

// The comparison form of a native path or file name (UTF-8): its CP932
// form, each character that code page cannot hold as "？", normalised.
std::string NormalizePathForSearch(std::string_view Utf8);

// Compares two normalised texts character by character, a run of digits
// (full-width after normalising; half-width too) by its value, so "図2"
// comes before "図10". Returns <0, 0 or >0.
int NaturalCompare(std::string_view A, std::string_view B);

// One file the user should hear about, for the list of problem files.
struct TProblemFile {
  std::string Path;  // native
  TFileOutcome Outcome;
};

// Status-bar parts joined by "・", empty parts left out.
std::string JoinStatusParts(const std::vector<std::string>& Parts);

class TResultTable {
 public:
  TResultTable();

  // --- Filling, as the search run writes the grid -------------------------
  // Columns 0..3 of result row Row >= 1. Rows beyond the row count may be
  // written; they show once the row count includes them. The texts of
  // column 3 are given their comparison form here, once, so that typing in
  // the filter never normalises them again.
  void SetCell(int Col, int Row, std::string_view Text);
  // The cell as written (columns 0 and 1 native paths, columns 2 and 3
  // CP932).
  const std::string& Cell(int Col, int Row) const;
  // Rows including the header; below 2 counts as 2. Rows cut off are
  // dropped. When the count shrinks to the current row or below, the
  // current row becomes the last row. Rebuilds the view.
  void SetRowCount(int Rows);
  int RowCount() const { return Count + 1; }

  // --- The view ----------------------------------------------------------
  // Rows that keep every word of Utf8 (see TQuery) in their block name,
  // their path or the texts inside their block; an empty text shows every
  // row, a text that holds a character code page 932 cannot hold shows none.
  void SetFilter(std::string_view Utf8);
  const std::string& FilterText() const { return Filter; }
  bool Filtering() const { return !Filter.empty(); }
  // A narrowing of its own, combined with the filter: only the result rows
  // Keep marks (Keep[r - 1] for row r) are shown; an empty Keep ends it. A
  // new row count ends it too.
  void SetOnlyRows(std::vector<bool> Keep);
  bool OnlyRows() const { return !Only.empty(); }
  // Col 0..3 sorts by that column's texts; a column after them the table
  // does not hold sorts by SetSortNumbers' numbers (Numbers[r - 1] for row r,
  // a row without one first).
  void SetSort(int Col, TSortOrder Order);
  void SetSortNumbers(std::vector<int64_t> Numbers);
  int SortColumn() const { return SortCol; }
  TSortOrder SortOrder() const { return Order; }

  int ShownCount() const { return static_cast<int>(Shown.size()); }
  // The result row drawn at Position.
  int ShownRow(int Position) const { return Shown[static_cast<size_t>(Position)] + 1; }
  // Where result row Row is drawn, or -1 when the filter hides it.
  int PositionOf(int Row) const;

  // The current row: a result row, kept while it is shown; when the view
  // hides it, it moves to the first shown row after it in the order drawn,
  // else to the last shown row (with no row shown it stays where it was).
  int Current() const { return CurrentRow; }
  void SetCurrent(int Row);
  // Find-next over the rows shown: the first row after the current one, in
  // the order drawn, whose block name contains Utf8. Makes it current and
  // answers true; answers false (nothing changes) when there is none.
  bool FindNext(std::string_view Utf8);
  // Find-previous: the same rule upwards, from the row drawn just above the
  // current one to the first.
  bool FindPrevious(std::string_view Utf8);

  // When the filter keeps result row Row for a text drawn inside its block
  // (its first word is found there, not in the name or the path): that text,
  // CP932. Empty otherwise.
  std::string MatchedText(int Row) const;

  // The place in its file (from 0) of the block definition result row Row
  // lists: the search run writes a file's definitions as consecutive rows.
  int DefinitionPosition(int Row) const;

  // --- The run's report ----------------------------------------------------
  void SetReport(const TRunSummary& Summary, std::vector<TProblemFile> Problems);
  const TRunSummary& Summary() const { return Report; }
  const std::vector<TProblemFile>& Problems() const { return ProblemFiles; }
  // The parts of the status bar's text (UTF-8) the table knows: the counts,
  // the problem files, the filter and a stopped run, in that order.
  std::vector<std::string> StatusParts() const;
  // They joined, e.g. "120 行（8 ファイル）・読めないファイル 1・絞り込み 12 / 120
  // ・中止しました". Empty before the first run.
  std::string StatusText() const;

 private:
  struct TFile {
    std::string Name, Path;
    std::string Key;      // normalised Name, made when the view needs it
    std::string PathKey;  // the path for the filter's words (QueryPathKey)
    bool Keyed = false;
  };
  struct TRow {
    uint32_t File = 0;  // into Files; rows of one file share it
    std::string Block;
    std::string Key;  // normalised Block
    bool Keyed = false;
    std::string Texts;    // the texts inside the block
    std::string TextKey;  // BlockTextsKey(Texts), made as they are written
  };

  void SetFileCell(TRow& Row, int Col, std::string_view Text);
  void DropUnusedFiles();
  void MakeKeys();
  // Find-next (Step 1) or find-previous (Step -1).
  bool Find(std::string_view Utf8, int Step);
  void Rebuild();
  void Refilter();

  std::vector<TFile> Files;
  std::vector<uint32_t> FileUsers;  // rows that refer to each file entry
  std::vector<TRow> Rows;           // Rows[r - 1] is result row r; may exceed Count
  int Count = 1;                    // result rows counted (a grid always has one)
  std::vector<int32_t> Ordered;     // every counted row, in the order drawn
  std::vector<int32_t> Rank;        // Rank[row] = its place in Ordered
  std::vector<int32_t> Shown;       // Ordered, less what the filter hides
  std::vector<int32_t> Where;       // Where[row] = its place in Shown, or -1
  std::string Filter;
  TQuery FilterQuery;            // inactive without a filter
  std::vector<bool> Only;        // SetOnlyRows' rows, empty when not narrowed
  std::vector<int64_t> Numbers;  // SetSortNumbers'
  int SortCol = 0;
  TSortOrder Order = TSortOrder::Search;
  int CurrentRow = 1;
  TRunSummary Report;
  bool Reported = false;
  std::vector<TProblemFile> ProblemFiles;
};
