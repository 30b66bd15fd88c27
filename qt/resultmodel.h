// The table model behind the results grid SG1: a view of the app/ result
// table, asked for the cell it is about to draw (no row is copied).
//
// The grid's row 0 (the header texts) is the horizontal header; the model
// rows are the result rows the table shows, in the order it shows them
// (without filter or sort, result row r is model row r - 1). Cells of the
// result rows hold bytes as the search run writes them: columns 0 and 1
// native paths (UTF-8 on Linux), column 2 the block name in CP932 as the
// file holds it. They are converted for display only.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <array>
#include <string>

#include "app/resulttable.h"

class TResultModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr int ColCount = ResultColCount;
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
  int RowCount() const { return Table.RowCount(); }
  // The text shown for a cell of result row Row (row 0: the header).
  QString DisplayText(int Col, int Row) const;

  // The view: filter and sort; each resets the model.
  void SetFilter(const QString& Text);
  void SetSort(int Col, TSortOrder Order);
  // Result row of a model row, and back (-1 when hidden).
  int ResultRow(int ModelRow) const { return Table.ShownRow(ModelRow); }
  int ModelRow(int ResultRow) const { return Table.PositionOf(ResultRow); }
  TResultTable& Results() { return Table; }
  const TResultTable& Results() const { return Table; }

  int rowCount(const QModelIndex& Parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& Parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;
  QVariant headerData(int Section, Qt::Orientation Orientation,
                      int Role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& Index) const override;

 private:
  std::array<std::string, ColCount> Header;
  TResultTable Table;
};
