#include "qt/resultmodel.h"

TResultModel::TResultModel(TResultsModel& Source, QObject* Parent)
    : QAbstractTableModel(Parent), Source(Source) {}

void TResultModel::Reset() {
  beginResetModel();
  endResetModel();
  emit headerDataChanged(Qt::Horizontal, 0, ColCount - 1);
}

void TResultModel::CellsChanged() {
  if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, ColCount - 1));
}

QString TResultModel::DisplayText(int Col, int Row) const {
  return QString::fromStdString(Source.DisplayText(Col, Row));
}

int TResultModel::rowCount(const QModelIndex& Parent) const {
  return Parent.isValid() ? 0 : Source.ShownCount();
}

int TResultModel::columnCount(const QModelIndex& Parent) const {
  return Parent.isValid() ? 0 : ColCount;
}

QVariant TResultModel::data(const QModelIndex& Index, int Role) const {
  if (!Index.isValid() || Index.row() >= Source.ShownCount()) return {};
  // Paths are elided in the middle; the tooltip has the whole of them.
  if (Role == Qt::DisplayRole)
    return QString::fromStdString(Source.ShownText(Index.row(), Index.column()));
  if (Role == Qt::TextAlignmentRole && Index.column() == SameCol)
    return QVariant(Qt::AlignRight | Qt::AlignVCenter);
  if (Role == Qt::ToolTipRole && Index.column() != BlockNameCol && Index.column() != SameCol)
    return QString::fromStdString(
        Source.ShownText(Index.row(), Index.column() == TextsCol ? TextsCol : PathCol));
  return {};
}

QVariant TResultModel::headerData(int Section, Qt::Orientation Orientation, int Role) const {
  if (Role != Qt::DisplayRole) return {};
  if (Orientation == Qt::Horizontal)
    return Section >= 0 && Section < ColCount ? QString::fromStdString(Source.HeaderText(Section))
                                              : QVariant();
  return Section + 1;
}

Qt::ItemFlags TResultModel::flags(const QModelIndex& Index) const {
  if (!Index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
