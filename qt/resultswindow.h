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
#include "app/resultsmodel.h"
#include "app/resulttable.h"

class QAbstractItemView;
class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSlider;
class QSplitter;
class QStackedWidget;
class QStatusBar;
class QTableView;
class QToolButton;
class QWidget;
class TPreviewPane;
class TResultModel;
class TThumbnailView;

class TForm2 : public QDialog, public TResultsView {
  Q_OBJECT

 public:
  explicit TForm2(QWidget* Parent = nullptr);
  ~TForm2() override;

  // Every state and rule of the window. Declared first: it outlives the
  // widgets that draw it.
  TResultsModel Results{*this};

  QWidget* FilterPanel;
  QLabel* FilterLabel;
  QLineEdit* FilterEdit;
  QToolButton* PreviewButton;    // shows or hides the preview (F6)
  QToolButton* ThumbnailButton;  // the thumbnails in place of the table (Ctrl+T)
  QSlider* ThumbnailSlider;      // their size, shown with them
  QSplitter* Splitter;           // the rows, and beside them the preview
  QStackedWidget* Views;         // the table or the thumbnails
  QTableView* SG1;
  TThumbnailView* Thumbs;
  TResultModel* Model;
  TPreviewPane* Preview;
  QWidget* Panel1;
  QLabel* Label1;
  QLineEdit* Edit1;
  QPushButton* Button1;
  QPushButton* Button2;
  QStatusBar* StatusBar1;
  QLabel* StatusText;  // the status bar's one text

  // The grid's operations, handed to the model. Row 0 is the header row
  // (UTF-8 texts); rows >= 1 hold result cells.
  void SetCell(int Col, int Row, const std::string& Text) { Results.SetCell(Col, Row, Text); }
  std::string Cell(int Col, int Row) const { return Results.Cell(Col, Row); }
  void SetRowCount(int Rows) { Results.SetRowCount(Rows); }
  int RowCount() const { return Results.Table().RowCount(); }
  // The current (selected) result row, 1 .. RowCount() - 1.
  int Row() const { return Results.Table().Current(); }
  void SetRow(int R) { Results.SetCurrentRow(R); }
  int ColWidth(int Col) const;
  void SetColWidth(int Col, int Width);
  // Whether the column of the texts inside each block is shown.
  bool TextsColumnShown() const { return Results.TextsColumnShown(); }
  void SetTextsColumnShown(bool Shown) { Results.SetTextsColumnShown(Shown); }
  bool SameColumnShown() const { return Results.SameColumnShown(); }
  void SetSameColumnShown(bool Shown) { Results.SetSameColumnShown(Shown); }
  // The preview pane's width as placed in the window now; 0 when hidden.
  int PreviewWidth() const;
  // Places the pane Width wide, as a drag of its divider would.
  void SetPreviewWidth(int Width);

  void SetFilter(const QString& Text);
  void HeaderClick(int Col) { Results.HeaderClick(Col); }
  void SetReport(const TRunSummary& Summary, std::vector<TProblemFile> Problems) {
    Results.SetReport(Summary, std::move(Problems));
  }
  QString StatusBarText() const;
  // The list of problem files with their reasons (a click on the status
  // bar); modal.
  void ShowProblems();

  // "検索" (Enter, F3).
  void Button1Click();
  // Shift+F3: the previous match.
  void FindPreviousClick();
  // "閉じる(&C)": closes the window like Esc and the close box.
  void Button2Click();

  // The selected rows as the model copies them.
  QString SelectedRowsText() const;
  // Ctrl+C in the table.
  void CopySelection();

  // Opens a file: with its associated program, or shows it selected in the
  // file manager. Tests replace it.
  std::function<void(TOpenAction Action, const std::string& Path)> OpenFile;

  // TResultsView.
  void RowsChanged() override;
  void CurrentChanged() override;
  void StatusChanged() override;
  void ColumnsChanged() override;
  void CellsChanged() override;
  void ShowPreview(const std::shared_ptr<const TDisplayList>& List) override;
  void ShowPreviewText(const std::string& Utf8) override;
  void PreviewArrived() override;
  void StartTimer(int Id, int Milliseconds) override;
  void OpenRowFile(TOpenAction Action, const std::string& Path) override;
  void CopyToClipboard(const std::string& Utf8) override;
  void PreviewPlaceChanged() override;
  void ThumbnailPlaceChanged() override;
  void ThumbnailsArrived() override;

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;
  void showEvent(QShowEvent* Event) override;
  void hideEvent(QHideEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;

 private:
  std::vector<int> SelectedPositions() const;
  void PlacePreview();
  // Draws the columns at the widths fitted to the table's width.
  void FitColumns();
  // A tooltip with the whole text of a cut cell at Pos (the viewport's).
  bool CellTip(const QPoint& Pos, const QPoint& Global);
  void ShowRowMenu(QAbstractItemView* View, const QPoint& At);
  QMenu* RowMenu;
  QAction* CopyAction;
  bool Drawing = false;  // the table is being set from the model
  bool Fitting = false;  // the columns are being set from the model
};

// The Qt calls behind TForm2::OpenFile; Failed is called (perhaps later)
// when no program answers.
void OpenFileWith(TOpenAction Action, const std::string& Path, const std::function<void()>& Failed);
