// The model of the results window (TForm2): the result table with its
// filter, sort, find-next and current row, the texts a view draws, the
// copied rows, what a double-click and the row menu do, the preview of the
// current row with its timing, and the status bar composed from parts. A
// view draws it and forwards the user's actions; it is called back through
// TResultsView. No toolkit type crosses either way.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/filelist.h"
#include "app/mainmodel.h"
#include "app/preview.h"
#include "app/resultsplace.h"
#include "app/resulttable.h"
#include "app/thumbnail.h"

// What the results model asks of its view.
class TResultsView {
 public:
  virtual ~TResultsView() = default;
  // The rows shown changed (their number, order or filter): draw the table
  // again, with the sort mark of the sorted column.
  virtual void RowsChanged() = 0;
  // The current row changed: select it alone and scroll it into view
  // (select nothing when the filter hides it).
  virtual void CurrentChanged() = 0;
  virtual void StatusChanged() = 0;
  // Texts of the rows drawn changed (their number and order did not): draw
  // the cells again.
  virtual void CellsChanged() {}
  // The texts or the same-drawing column was shown or hidden.
  virtual void ColumnsChanged() {}
  // The preview pane shows a drawing, or a text in its place (empty: none).
  virtual void ShowPreview(const std::shared_ptr<const TDisplayList>& List) = 0;
  virtual void ShowPreviewText(const std::string& Utf8) = 0;
  // Called on the preview worker's thread: the view calls TakePreview on
  // its own thread.
  virtual void PreviewArrived() = 0;
  // Calls Timer(Id) on the window's thread once, after Milliseconds.
  virtual void StartTimer(int Id, int Milliseconds) = 0;
  virtual void OpenRowFile(TOpenAction Action, const std::string& Path) = 0;
  virtual void CopyToClipboard(const std::string& Utf8) = 0;
  // The preview pane was shown or hidden (or its share set): place it again.
  virtual void PreviewPlaceChanged() = 0;
  // The thumbnail view was shown or hidden, or its size changed.
  virtual void ThumbnailPlaceChanged() = 0;
  // Called on the thumbnail worker's thread: the view calls TakeThumbnails
  // on its own thread.
  virtual void ThumbnailsArrived() = 0;
};

// What a row's menu offers.
enum class TRowAction { OpenWithProgram, ShowInFolder, CopyPath, CopyRows, SameDrawingRows };
struct TRowMenuItem {
  TRowAction Action;
  std::string Caption;  // UTF-8, "&" before the access key
};

// The fifth column: how many other rows of the run draw the same
// (TFingerprint). The table does not hold it; the model works it out.
inline constexpr int SameCol = TextsCol + 1;

// The header's context menu: check items that show or hide the optional
// columns (the texts inside each block, the rows drawing the same).
struct THeaderMenuItem {
  std::string Caption;  // UTF-8, "&" before the access key
  bool Checked = false;
};

// How long a preview may take before the pane says it is loading.
inline constexpr int PreviewLoadingDelay = 150;  // milliseconds
// How long a note stays in the status bar.
inline constexpr int NoteDuration = 3000;  // milliseconds

class TResultsModel : public TResultSink {
 public:
  explicit TResultsModel(TResultsView& View);
  ~TResultsModel() override;
  TResultsModel(const TResultsModel&) = delete;
  TResultsModel& operator=(const TResultsModel&) = delete;

  TResultTable& Table() { return Results; }
  const TResultTable& Table() const { return Results; }

  // --- Filled by the search run (TResultSink) ------------------------------
  // Row 0 sets a header text (UTF-8); rows >= 1 a result cell.
  void SetCell(int Col, int Row, const std::string& Text) override;
  // The cell as written (row 0: the header).
  std::string Cell(int Col, int Row) const;
  void SetRowCount(int Rows) override;
  void SetReport(const TRunSummary& Summary, std::vector<TProblemFile> Problems) override;
  void SetIndexPath(const std::string& Path) override;

  // --- What the view draws --------------------------------------------------
  const std::string& HeaderText(int Col) const { return Header[static_cast<size_t>(Col)]; }
  int ShownCount() const { return Results.ShownCount(); }
  // The text of a cell of result row Row as shown (UTF-8; block names and
  // texts converted from CP932, bad bytes as U+FFFD; texts joined by " / ").
  std::string DisplayText(int Col, int Row) const;
  // The same for the row drawn at Position.
  std::string ShownText(int Position, int Col) const;
  // The sort mark of a column's header.
  TSortOrder SortMark(int Col) const;
  // Where the current row is drawn, or -1.
  int CurrentPosition() const { return Results.PositionOf(Results.Current()); }
  // The counts, the filter, ..., and when the filter kept the current row
  // for a text inside its block, that text.
  std::string StatusText() const;
  // Whether a click on the status bar lists problem files, and its tooltip.
  bool StatusClickable() const { return !Results.Problems().empty(); }
  std::string StatusTip() const;
  const std::vector<TProblemFile>& Problems() const { return Results.Problems(); }

  // --- The user's actions ---------------------------------------------------
  void SetFilter(const std::string& Utf8);
  // A click on a column's header: ascending, descending, search order.
  void HeaderClick(int Col);
  // The fourth column, the texts drawn inside each block: hidden until the
  // user turns it on from the header's menu; the layout file keeps it.
  bool TextsColumnShown() const { return TextsShown; }
  void SetTextsColumnShown(bool Shown);
  // The fifth column, how many other rows draw the same: hidden until the
  // user turns it on; while shown, every file of the run is read in the
  // background for the drawings' fingerprints, and a cell stays empty until
  // all of them are in.
  bool SameColumnShown() const { return SameShown; }
  void SetSameColumnShown(bool Shown);
  // The columns drawn, in order: the three of the header row, then TextsCol
  // and SameCol when shown.
  std::vector<int> ShownColumns() const;
  std::vector<THeaderMenuItem> HeaderMenu() const;
  // Item Index of HeaderMenu was chosen: its column is shown or hidden.
  void HeaderMenuChosen(size_t Index);
  // "検索" (Enter, F3): the next shown row below the current one whose block
  // name contains Utf8 becomes current. When there is none the current row
  // stays (no wrap, no sound) and the status bar says so until the user's
  // next key or click.
  bool FindNext(const std::string& Utf8);
  // Shift+F3: the same upwards, from the row above the current one; with
  // none the status bar says so in the same way.
  bool FindPrevious(const std::string& Utf8);
  // The user moved the current row to the row drawn at Position.
  void SetCurrentPosition(int Position);
  // Makes result row Row current (and shows it).
  void SetCurrentRow(int Row);
  // The rows drawn at Positions as tab-separated lines, in the order shown.
  std::string CopiedText(std::vector<int> Positions) const;
  // Puts them on the clipboard (nothing without rows) with a note.
  void CopyRows(const std::vector<int>& Positions);
  // The current row's file, empty when no result row is shown current.
  std::string CurrentPath() const;
  void CopyPath();
  void Open(TOpenAction Action);
  // A double-click on the row drawn at Position (-1: beside the rows).
  void DoubleClick(int Position);
  // The menu of the row drawn at Position (none beside the rows), and the
  // choice made in it; CopyRows copies Selected.
  // Opening it asks for the fingerprints, so that "同じ図形の行を表示" is
  // offered once they are known and the current row has others.
  std::vector<TRowMenuItem> RowMenu(int Position);
  void RowMenuChosen(TRowAction Action, const std::vector<int>& Selected);
  // A text shown in the status bar for a few seconds.
  void SetNote(const std::string& Utf8);
  // Opening a row's file or showing it in its folder failed (no program
  // answered, or it reported an error): the status bar says so.
  void OpenFailed(TOpenAction Action, const std::string& Path);
  // The user pressed a key or clicked in the window: a note that waits for
  // it (find-next's) goes.
  void UserInput();
  // Only the rows that draw the same as the current row are shown (with the
  // filter); chosen again, clearing the filter box, or Esc ends it.
  bool SameRowsShown() const { return SameOnly.has_value(); }
  void ToggleSameRows();
  // How many other rows draw the same as result row Row; nothing while not
  // known (or the row's file gave no drawing).
  std::optional<size_t> SameCount(int Row) const;
  // Esc in the filter box: true when it cleared a filter or ended the
  // same-drawing rows (the view empties the box); false when there was
  // neither and Esc closes the window.
  bool FilterEscape();

  // --- The preview ----------------------------------------------------------
  // Whether the window is shown; previews are asked for only then.
  void SetShowing(bool Showing);
  // Asks for the current row's drawing when it is not asked for yet.
  void FollowPreview();
  // On the window's thread, after PreviewArrived: shows the answer when it
  // is still the one wanted.
  void TakePreview();
  void Timer(int Id);
  // Ends the preview and thumbnail workers (the view calls it before it goes
  // away).
  void StopPreview();
  // The pane's place beside the table (the layout file keeps it).
  const TPreviewSplit& PreviewSplit() const { return Split; }
  void SetPreviewSplit(const TPreviewSplit& Value);
  // F6 or the pane's button: shows a hidden pane (one dragged shut too) or
  // hides a shown one.
  void TogglePreview();
  // The user dragged the divider: the pane is Width of Total wide.
  void PreviewDragged(int32_t Width, int32_t Total);

  // --- The thumbnail view ---------------------------------------------------
  // Whether the rows show as thumbnails in place of the table, and their
  // size (the layout file keeps both).
  const TThumbnailPlace& ThumbnailPlace() const { return Thumbs; }
  void SetThumbnailPlace(const TThumbnailPlace& Value);
  // Ctrl+T or the view's button.
  void ToggleThumbnails();
  // The slider, Ctrl+wheel, Ctrl+plus and minus.
  void SetThumbnailSize(int32_t Size);
  // The compact drawing of the row drawn at Position, null while it is not
  // drawn (the cell shows an empty frame).
  const std::string* ThumbnailAt(int Position) const;
  // The problem of the file of the row drawn at Position (its mark), or null.
  const TProblemFile* ProblemAt(int Position) const;
  // A thumbnail's tooltip: the whole block name, and the file's problem.
  std::string ThumbnailTip(int Position) const;
  // The rows drawn at First..Last are on screen: their files are read first.
  void ThumbnailsOnScreen(int First, int Last);
  // On the window's thread, after ThumbnailsArrived.
  void TakeThumbnails();
  const TThumbnailCache& Thumbnails() const { return ThumbCache; }

  // --- The table's columns --------------------------------------------------
  // The user's widths (the layout file's) and the widths drawn, fitted to
  // the table's width so that the block name stays in view.
  TResultColumns& Columns() { return ColumnWidths; }
  const TResultColumns& Columns() const { return ColumnWidths; }

 private:
  void ViewChanged();
  // Asks the thumbnail worker for every file of the run, once per run.
  void WantPrints();
  // Once every file of the run is read: the counts of SameCount.
  void CountSame();
  bool EndSameRows();
  bool Find(const std::string& Utf8, bool Upwards);

  TResultsView& View;
  TResultTable Results;
  std::array<std::string, SameCol + 1> Header;
  bool TextsShown = false;
  bool SameShown = false;
  bool PrintsWanted = false;                           // this run's files were asked for
  std::vector<std::string> PrintFiles;                 // this run's files, in order
  size_t PrintFilesRead = 0;                           // those before it are read
  bool SameKnown = false;                              // SameCounts and RowPrints hold every row
  std::vector<std::optional<TFingerprint>> RowPrints;  // [Row - 1]; none: draws nothing known
  std::vector<size_t> SameCounts;                      // [Row - 1]; UnknownCount: not known
  std::optional<TFingerprint> SameOnly;                // ToggleSameRows' drawing
  std::string Note;
  int NotesShowing = 0;   // note timers still running
  bool NoteHeld = false;  // the note stays until the user's next input
  bool Showing = false;
  TPreviewSplit Split;
  // The three of the header row, then the texts and the same-drawing count
  // (shown only when asked for).
  TResultColumns ColumnWidths{{DesignColumnWidths[0], DesignColumnWidths[1], DesignColumnWidths[2],
                               DesignTextsColumnWidth, DesignSameColumnWidth}};
  std::unique_ptr<TPreviewFollower> Follower;
  TThumbnailPlace Thumbs;
  TThumbnailCache ThumbCache;
  std::unique_ptr<TThumbnailWorker> ThumbWorker;  // made when first wanted
  std::string IndexPath;                          // where drawings are kept
  std::mutex ArrivedLock;                         // the worker hands its answer over here
  std::optional<std::pair<uint64_t, TPreview>> Arrived;
};
