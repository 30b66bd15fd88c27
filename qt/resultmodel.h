// The table model behind the results grid SG1.
//
// The grid's row 0 (the header texts) is the horizontal header; result row r
// is model row r - 1. The row count counts the header row, as the grid's
// does. Cells of the result rows hold bytes as the search run writes them:
// columns 0 and 1 native paths (UTF-8 on Linux), column 2 the block name in
// CP932 as the file holds it. They are converted for display only.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <array>
#include <string>
#include <vector>

class TResultModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr int ColCount = 3;
  // A grid with one fixed row always has at least one more.
  static constexpr int MinRowCount = 2;

  explicit TResultModel(QObject* Parent = nullptr);

  // Row 0 sets a header text (UTF-8); rows >= 1 set a result cell. Rows
  // beyond the row count may be written; they show once the row count
  // includes them.
  void SetCell(int Col, int Row, const std::string& Text);
  std::string Cell(int Col, int Row) const;
  // Rows including the header row; below 2 counts as 2. Rows cut off by a
  // smaller count are dropped.
  void SetRowCount(int Rows);
  int RowCount() const { return Rows; }
  // The text shown for a cell (row 0: the header).
  QString DisplayText(int Col, int Row) const;

  int rowCount(const QModelIndex& Parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& Parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;
  QVariant headerData(int Section, Qt::Orientation Orientation,
                      int Role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& Index) const override;

 private:
  using TRow = std::array<std::string, ColCount>;
  std::array<std::string, ColCount> Header;
  std::vector<TRow> Cells;  // Cells[r - 1] is result row r
  int Rows = MinRowCount;
};
