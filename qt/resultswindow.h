// TForm2: the modal results window. A three-column table of the last search
// run's rows (file name, full path, block name) and a find-next search over
// the block names.
#pragma once

#include <QDialog>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QTableView;
class QWidget;
class TResultModel;

class TForm2 : public QDialog {
  Q_OBJECT

 public:
  explicit TForm2(QWidget* Parent = nullptr);

  QTableView* SG1;
  TResultModel* Model;
  QWidget* Panel1;
  QLabel* Label1;
  QLineEdit* Edit1;
  QPushButton* Button1;
  QPushButton* Button2;
  QStatusBar* StatusBar1;

  // The grid's operations. Row 0 is the header row (UTF-8 texts); rows >= 1
  // hold result cells (see TResultModel).
  void SetCell(int Col, int Row, const std::string& Text);
  std::string Cell(int Col, int Row) const;
  // Rows including the header. When the count shrinks to the current row or
  // below, the current row becomes the last row.
  void SetRowCount(int Rows);
  int RowCount() const;
  // The current (selected) row, 1 .. RowCount() - 1.
  int Row() const;
  // Makes R the current row: selects it whole and scrolls it into view.
  void SetRow(int R);
  int ColWidth(int Col) const;
  void SetColWidth(int Col, int Width);

  // "検索": steps to the next row below the current one whose block name
  // contains the search text; nothing happens when there is none.
  void Button1Click();
  // "閉じる(&C)": closes the window like Esc and the close box.
  void Button2Click();

  // The selected rows as tab-separated UTF-8 lines, in row order.
  QString SelectedRowsText() const;
  // Puts SelectedRowsText() on the clipboard (Ctrl+C in the table).
  void CopySelection();

 private:
  int CurrentRow = 1;  // kept while the model changes under the view
};
