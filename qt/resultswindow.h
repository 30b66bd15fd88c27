// TForm2: the modal results window. A three-column table of the last search
// run's rows (file name, full path, block name), a filter box above it, a
// find-next search over the block names of the rows shown, sorting by a
// column header, and opening a row's file.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/filelist.h"
#include "app/layout.h"
#include "app/mainmodel.h"
#include "app/resulttable.h"

class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSplitter;
class QStatusBar;
class QTableView;
class QWidget;
class TPreviewPane;
class TPreviewFollower;
class TResultModel;

class TForm2 : public QDialog, public TResultSink {
  Q_OBJECT

 public:
  explicit TForm2(QWidget* Parent = nullptr);
  ~TForm2() override;

  QWidget* FilterPanel;
  QLabel* FilterLabel;
  QLineEdit* FilterEdit;
  QSplitter* Splitter;  // the table, and beside it the preview
  QTableView* SG1;
  TResultModel* Model;
  TPreviewPane* Preview;
  QWidget* Panel1;
  QLabel* Label1;
  QLineEdit* Edit1;
  QPushButton* Button1;
  QPushButton* Button2;
  QStatusBar* StatusBar1;
  QLabel* StatusText;  // the status bar's one text

  // The grid's operations. Row 0 is the header row (UTF-8 texts); rows >= 1
  // hold result cells (see TResultModel).
  void SetCell(int Col, int Row, const std::string& Text) override;
  std::string Cell(int Col, int Row) const;
  // Rows including the header. When the count shrinks to the current row or
  // below, the current row becomes the last row.
  void SetRowCount(int Rows) override;
  int RowCount() const;
  // The current (selected) result row, 1 .. RowCount() - 1.
  int Row() const;
  // Makes result row R current: selects it whole and scrolls it into view
  // (when the filter shows it).
  void SetRow(int R);
  int ColWidth(int Col) const;
  void SetColWidth(int Col, int Width);
  // The preview pane's width; 0 when the user has closed it.
  int PreviewWidth() const;
  void SetPreviewWidth(int Width);
  // Asks for the current row's drawing; the pane shows it once read.
  void UpdatePreview();

  // The filter box's text; the table shows the matching rows only.
  void SetFilter(const QString& Text);
  // A click on a column's header: ascending, descending, search order.
  void HeaderClick(int Col);
  // What the last run did and which files were a problem; the status bar
  // says it.
  void SetReport(const TRunSummary& Summary, std::vector<TProblemFile> Problems) override;
  QString StatusBarText() const;
  // The list of problem files with their reasons (a click on the status
  // bar); modal.
  void ShowProblems();

  // "検索" (Enter, F3): steps to the next shown row below the current one
  // whose block name contains the search text; nothing happens when there
  // is none.
  void Button1Click();
  // "閉じる(&C)": closes the window like Esc and the close box.
  void Button2Click();

  // The selected rows as tab-separated UTF-8 lines, in the order shown.
  QString SelectedRowsText() const;
  // Puts SelectedRowsText() on the clipboard (Ctrl+C in the table).
  void CopySelection();
  // Puts the current row's full path on the clipboard.
  void CopyPath();
  // The current row's file (native path), empty with no result row.
  std::string CurrentPath() const;
  // Opens the current row's file the given way.
  void OpenCurrent(TOpenAction Action);

  // Opens a file: with its associated program, or shows it selected in the
  // file manager. Tests replace it.
  std::function<void(TOpenAction Action, const std::string& Path)> OpenFile;

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;
  void showEvent(QShowEvent* Event) override;

 private:
  void ShowCurrent();
  void UpdateStatus();
  void PlacePreview();
  QMenu* RowMenu;
  std::unique_ptr<TPreviewFollower> PreviewFollower;
  int PreviewSize = TWindowLayout().PreviewWidth;  // kept while hidden
};

// The Qt calls behind TForm2::OpenFile.
void OpenFileWith(TOpenAction Action, const std::string& Path);
