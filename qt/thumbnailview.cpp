#include "qt/thumbnailview.h"

#include <QApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QToolTip>
#include <QWheelEvent>

#include "qt/previewpane.h"
#include "qt/resultmodel.h"

namespace {

constexpr int CellPadding = 4;

}  // namespace

TThumbnailView::TThumbnailView(TResultsModel& Results, TResultModel& Model, QWidget* Parent)
    : QListView(Parent), Results(Results) {
  setModel(&Model);
  setModelColumn(BlockNameCol);
  setViewMode(QListView::IconMode);
  setMovement(QListView::Static);
  setResizeMode(QListView::Adjust);
  setUniformItemSizes(true);
  setWrapping(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setItemDelegate(new TThumbnailDelegate(*this));
  SizeChanged();
}

void TThumbnailView::SizeChanged() {
  const int size = Results.ThumbnailPlace().Size;
  const int text = fontMetrics().height();
  setGridSize(QSize(size + 2 * CellPadding + 4, size + text + 3 * CellPadding + 4));
  doItemsLayout();
  viewport()->update();
}

void TThumbnailView::wheelEvent(QWheelEvent* Event) {
  if (Event->modifiers() & Qt::ControlModifier) {
    const int steps = Event->angleDelta().y() / 120;
    if (steps != 0)
      Results.SetThumbnailSize(StepThumbnailSize(Results.ThumbnailPlace().Size, steps));
    Event->accept();
    return;
  }
  QListView::wheelEvent(Event);
}

void TThumbnailView::keyPressEvent(QKeyEvent* Event) {
  if (Event->modifiers() & Qt::ControlModifier) {
    if (Event->key() == Qt::Key_Plus || Event->key() == Qt::Key_Equal) {
      Results.SetThumbnailSize(StepThumbnailSize(Results.ThumbnailPlace().Size, 1));
      return;
    }
    if (Event->key() == Qt::Key_Minus) {
      Results.SetThumbnailSize(StepThumbnailSize(Results.ThumbnailPlace().Size, -1));
      return;
    }
  }
  if (Event->key() == Qt::Key_Return || Event->key() == Qt::Key_Enter) {
    Results.DoubleClick(currentIndex().isValid() ? currentIndex().row() : -1);
    return;
  }
  QListView::keyPressEvent(Event);
}

// A cell chosen chooses its row, as in the table.
QItemSelectionModel::SelectionFlags TThumbnailView::selectionCommand(const QModelIndex& Index,
                                                                     const QEvent* Event) const {
  return QListView::selectionCommand(Index, Event) | QItemSelectionModel::Rows;
}

// The whole name, and the file's problem, of the cell under the pointer.
bool TThumbnailView::viewportEvent(QEvent* Event) {
  if (Event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(Event);
    const QModelIndex index = indexAt(help->pos());
    if (!index.isValid()) {
      QToolTip::hideText();
      return true;
    }
    QToolTip::showText(help->globalPos(), QString::fromStdString(Results.ThumbnailTip(index.row())),
                       viewport(), visualRect(index));
    return true;
  }
  return QListView::viewportEvent(Event);
}

void TThumbnailView::paintEvent(QPaintEvent* Event) {
  QListView::paintEvent(Event);
  AskForVisible();
}

// The files of the cells on screen are read first.
void TThumbnailView::AskForVisible() {
  const int count = model()->rowCount();
  if (count == 0) return;
  const QRect area = viewport()->rect();
  const QModelIndex first = indexAt(area.topLeft() + QPoint(CellPadding, CellPadding));
  const QModelIndex last = indexAt(area.bottomRight() - QPoint(CellPadding, CellPadding));
  const int from = first.isValid() ? first.row() : 0;
  // A partly shown last line of cells may end left of the corner.
  const int perLine = std::max(1, area.width() / std::max(1, gridSize().width()));
  const int to = std::min(count - 1, (last.isValid() ? last.row() : count - 1) + perLine);
  Results.ThumbnailsOnScreen(from, std::max(from, to));
}

void TThumbnailDelegate::paint(QPainter* Painter, const QStyleOptionViewItem& Option,
                               const QModelIndex& Index) const {
  const int position = Index.row();
  const int size = View.Results.ThumbnailPlace().Size;
  const QRect cell = Option.rect.adjusted(2, 2, -2, -2);
  Painter->save();
  const bool selected = Option.state & QStyle::State_Selected;
  if (selected) Painter->fillRect(cell, Option.palette.highlight());
  const QRect square(cell.left() + (cell.width() - size) / 2, cell.top() + CellPadding, size, size);
  Painter->fillRect(square, Qt::white);
  Painter->setPen(QColor(0xC0, 0xC0, 0xC0));
  Painter->drawRect(square.adjusted(0, 0, -1, -1));
  if (const std::string* compact = View.Results.ThumbnailAt(position)) {
    if (const std::optional<TDisplayList> list = ExpandThumbnail(*compact))
      PaintDisplayList(*Painter, *list, QRectF(square));
  }
  if (View.Results.ProblemAt(position)) {
    const QIcon mark = View.style()->standardIcon(QStyle::SP_MessageBoxWarning);
    mark.paint(Painter, QRect(square.left() + 2, square.top() + 2, 16, 16));
  }
  const QRect text(cell.left() + CellPadding, square.bottom() + CellPadding,
                   cell.width() - 2 * CellPadding, Option.fontMetrics.height());
  Painter->setPen(Option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
  Painter->drawText(
      text, Qt::AlignHCenter | Qt::AlignVCenter,
      Option.fontMetrics.elidedText(Index.data().toString(), Qt::ElideMiddle, text.width()));
  if (Option.state & QStyle::State_HasFocus) {
    Painter->setPen(QPen(Option.palette.color(QPalette::Highlight), 1, Qt::DotLine));
    Painter->drawRect(cell.adjusted(0, 0, -1, -1));
  }
  Painter->restore();
}

QSize TThumbnailDelegate::sizeHint(const QStyleOptionViewItem& Option, const QModelIndex&) const {
  const int size = View.Results.ThumbnailPlace().Size;
  return QSize(size + 2 * CellPadding, size + Option.fontMetrics.height() + 3 * CellPadding);
}
