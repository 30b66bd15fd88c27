#include "qt/resultmodel.h"

#include "text/codec.h"

TResultModel::TResultModel(QObject* Parent) : QAbstractTableModel(Parent) {}

void TResultModel::SetCell(int Col, int Row, const std::string& Text) {
  if (Col < 0 || Col >= ColCount || Row < 0) return;
  if (Row == 0) {
    Header[static_cast<size_t>(Col)] = Text;
    emit headerDataChanged(Qt::Horizontal, Col, Col);
    return;
  }
  // The view (filter, order) is rebuilt by SetRowCount, which every fill
  // ends with; until then a changed cell is only redrawn.
  Table.SetCell(Col, Row, Text);
  const int at = Table.PositionOf(Row);
  if (at >= 0 && Col != BlockNameCol) {
    emit dataChanged(index(at, 0), index(at, ColCount - 1), {Qt::DisplayRole});
  } else if (at >= 0) {
    emit dataChanged(index(at, Col), index(at, Col), {Qt::DisplayRole});
  }
}

std::string TResultModel::Cell(int Col, int Row) const {
  if (Col < 0 || Col >= ColCount || Row < 0) return {};
  if (Row == 0) return Header[static_cast<size_t>(Col)];
  return Table.Cell(Col, Row);
}

void TResultModel::SetRowCount(int NewRows) {
  beginResetModel();
  Table.SetRowCount(NewRows);
  endResetModel();
}

void TResultModel::SetFilter(const QString& Text) {
  beginResetModel();
  Table.SetFilter(Text.toStdString());
  endResetModel();
}

void TResultModel::SetSort(int Col, TSortOrder Order) {
  beginResetModel();
  Table.SetSort(Col, Order);
  endResetModel();
}

QString TResultModel::DisplayText(int Col, int Row) const {
  const std::string text = Cell(Col, Row);
  if (Row >= 1 && Col == BlockNameCol) return QString::fromStdString(Cp932ToUtf8(text));
  return QString::fromStdString(text);
}

int TResultModel::rowCount(const QModelIndex& Parent) const {
  return Parent.isValid() ? 0 : Table.ShownCount();
}

int TResultModel::columnCount(const QModelIndex& Parent) const {
  return Parent.isValid() ? 0 : ColCount;
}

QVariant TResultModel::data(const QModelIndex& Index, int Role) const {
  if (!Index.isValid() || Index.row() >= Table.ShownCount()) return {};
  const int row = Table.ShownRow(Index.row());
  if (Role == Qt::DisplayRole) return DisplayText(Index.column(), row);
  // Paths are elided in the middle; the tooltip has the whole of them.
  if (Role == Qt::ToolTipRole && Index.column() != BlockNameCol) return DisplayText(PathCol, row);
  return {};
}

QVariant TResultModel::headerData(int Section, Qt::Orientation Orientation, int Role) const {
  if (Role != Qt::DisplayRole) return {};
  if (Orientation == Qt::Horizontal) return DisplayText(Section, 0);
  return Section + 1;
}

Qt::ItemFlags TResultModel::flags(const QModelIndex& Index) const {
  if (!Index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
