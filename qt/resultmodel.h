// The table model behind the results grid SG1: Qt's face of the app/
// results model, asked for the cell it is about to draw (no row is copied).
//
// The grid's row 0 (the header texts) is the horizontal header; the model
// rows are the result rows the table shows, in the order it shows them
// (without filter or sort, result row r is model row r - 1).
#pragma once

#include <QAbstractTableModel>
#include <QString>

#include "app/resultsmodel.h"

class TResultModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // The three columns of the header row, then the texts inside each block
  // and the count of rows drawing the same (each hidden by the view unless
  // the user shows it).
  static constexpr int ColCount = SameCol + 1;

  TResultModel(TResultsModel& Source, QObject* Parent = nullptr);

  // The rows shown changed: the view asks again.
  void Reset();
  // The texts of the rows shown changed, not their number or order.
  void CellsChanged();
  // The text shown for a cell of result row Row (row 0: the header).
  QString DisplayText(int Col, int Row) const;
  // Result row of a model row, and back (-1 when hidden).
  int ResultRow(int ModelRow) const { return Source.Table().ShownRow(ModelRow); }
  int ModelRow(int ResultRow) const { return Source.Table().PositionOf(ResultRow); }
  TResultTable& Results() { return Source.Table(); }
  const TResultTable& Results() const { return Source.Table(); }

  int rowCount(const QModelIndex& Parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& Parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;
  QVariant headerData(int Section, Qt::Orientation Orientation,
                      int Role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& Index) const override;

 private:
  TResultsModel& Source;
};
