#include "qt/resultmodel.h"

#include "text/codec.h"

TResultModel::TResultModel(QObject* Parent) : QAbstractTableModel(Parent) {
  Cells.resize(static_cast<size_t>(Rows - 1));
}

void TResultModel::SetCell(int Col, int Row, const std::string& Text) {
  if (Col < 0 || Col >= ColCount || Row < 0) return;
  if (Row == 0) {
    Header[static_cast<size_t>(Col)] = Text;
    emit headerDataChanged(Qt::Horizontal, Col, Col);
    return;
  }
  if (static_cast<size_t>(Row) > Cells.size()) Cells.resize(static_cast<size_t>(Row));
  Cells[static_cast<size_t>(Row - 1)][static_cast<size_t>(Col)] = Text;
  if (Row < Rows) {
    const QModelIndex at = index(Row - 1, Col);
    emit dataChanged(at, at, {Qt::DisplayRole});
  }
}

std::string TResultModel::Cell(int Col, int Row) const {
  if (Col < 0 || Col >= ColCount || Row < 0) return {};
  if (Row == 0) return Header[static_cast<size_t>(Col)];
  if (static_cast<size_t>(Row) > Cells.size()) return {};
  return Cells[static_cast<size_t>(Row - 1)][static_cast<size_t>(Col)];
}

void TResultModel::SetRowCount(int NewRows) {
  if (NewRows < MinRowCount) NewRows = MinRowCount;
  if (NewRows == Rows) return;
  if (NewRows > Rows) {
    beginInsertRows(QModelIndex(), Rows - 1, NewRows - 2);
    Rows = NewRows;
    if (Cells.size() < static_cast<size_t>(Rows - 1)) Cells.resize(static_cast<size_t>(Rows - 1));
    endInsertRows();
  } else {
    beginRemoveRows(QModelIndex(), NewRows - 1, Rows - 2);
    Rows = NewRows;
    Cells.resize(static_cast<size_t>(Rows - 1));
    endRemoveRows();
  }
}

QString TResultModel::DisplayText(int Col, int Row) const {
  const std::string text = Cell(Col, Row);
  if (Row >= 1 && Col == 2) return QString::fromStdString(Cp932ToUtf8(text));
  return QString::fromStdString(text);
}

int TResultModel::rowCount(const QModelIndex& Parent) const {
  return Parent.isValid() ? 0 : Rows - 1;
}

int TResultModel::columnCount(const QModelIndex& Parent) const {
  return Parent.isValid() ? 0 : ColCount;
}

QVariant TResultModel::data(const QModelIndex& Index, int Role) const {
  if (!Index.isValid() || Role != Qt::DisplayRole) return {};
  return DisplayText(Index.column(), Index.row() + 1);
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
