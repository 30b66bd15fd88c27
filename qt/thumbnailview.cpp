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

TThumbnailView::TThumbnailView(TResultModel& Model, QWidget* Parent)
    : QListView(Parent), Model(Model), Worker([this] {
        // From the worker's thread: taken and drawn on the window's.
        QMetaObject::invokeMethod(
            this,
            [this] {
              Cache.Add(Worker.Take());
              viewport()->update();
            },
            Qt::QueuedConnection);
      }) {
  setModel(&Model);
  setModelColumn(BlockNameCol);
  setViewMode(QListView::IconMode);
  setMovement(QListView::Static);
  setResizeMode(QListView::Adjust);
  setUniformItemSizes(true);
  setWrapping(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setItemDelegate(new TThumbnailDelegate(*this));
  setMouseTracking(true);
  LayOut();
}

void TThumbnailView::SetThumbnailSize(int Value) {
  const int size = ClampThumbnailSize(Value);
  if (size == Size) return;
  Size = size;
  LayOut();
  emit ThumbnailSizeChanged(Size);
}

void TThumbnailView::LayOut() {
  const int text = fontMetrics().height();
  setGridSize(QSize(Size + 2 * CellPadding + 4, Size + text + 3 * CellPadding + 4));
  doItemsLayout();
  viewport()->update();
}

void TThumbnailView::Forget() {
  Worker.Cancel();
  Cache.Clear();
  viewport()->update();
}

const std::string* TThumbnailView::ThumbnailOf(int Row) const {
  return Cache.ForRow(Model.Results(), Row);
}

void TThumbnailView::wheelEvent(QWheelEvent* Event) {
  if (Event->modifiers() & Qt::ControlModifier) {
    const int steps = Event->angleDelta().y() / 120;
    if (steps != 0) SetThumbnailSize(StepThumbnailSize(Size, steps));
    Event->accept();
    return;
  }
  QListView::wheelEvent(Event);
}

void TThumbnailView::keyPressEvent(QKeyEvent* Event) {
  if (Event->modifiers() & Qt::ControlModifier) {
    if (Event->key() == Qt::Key_Plus || Event->key() == Qt::Key_Equal) {
      SetThumbnailSize(StepThumbnailSize(Size, 1));
      return;
    }
    if (Event->key() == Qt::Key_Minus) {
      SetThumbnailSize(StepThumbnailSize(Size, -1));
      return;
    }
  }
  QListView::keyPressEvent(Event);
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
    QString tip = index.data().toString();
    if (const TProblemFile* problem = ProblemOfRow(Model.Results(), Model.ResultRow(index.row())))
      tip += "\n" + QString::fromStdString(DescribeOutcomeJa(problem->Outcome));
    QToolTip::showText(help->globalPos(), tip, viewport(), visualRect(index));
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
  if (Model.rowCount() == 0) return;
  const QRect area = viewport()->rect();
  const QModelIndex first = indexAt(area.topLeft() + QPoint(CellPadding, CellPadding));
  QModelIndex last = indexAt(area.bottomRight() - QPoint(CellPadding, CellPadding));
  const int from = first.isValid() ? first.row() : 0;
  int to = last.isValid() ? last.row() : Model.rowCount() - 1;
  // A partly shown last line of cells may start left of the corner.
  const int perLine = std::max(1, area.width() / std::max(1, gridSize().width()));
  to = std::min(Model.rowCount() - 1, std::max(to, from) + perLine);
  const std::vector<std::string> ask = Cache.ToAsk(Model.Results(), from, to);
  if (!ask.empty()) Worker.Want(ask);
}

void TThumbnailDelegate::paint(QPainter* Painter, const QStyleOptionViewItem& Option,
                               const QModelIndex& Index) const {
  const auto& model = *static_cast<const TResultModel*>(Index.model());
  const int row = model.ResultRow(Index.row());
  const TResultTable& table = model.Results();
  const int size = View.ThumbnailSize();
  const QRect cell = Option.rect.adjusted(2, 2, -2, -2);
  Painter->save();
  const bool selected = Option.state & QStyle::State_Selected;
  if (selected) Painter->fillRect(cell, Option.palette.highlight());
  const QRect square(cell.left() + (cell.width() - size) / 2, cell.top() + CellPadding, size, size);
  Painter->fillRect(square, Qt::white);
  Painter->setPen(QColor(0xC0, 0xC0, 0xC0));
  Painter->drawRect(square.adjusted(0, 0, -1, -1));
  if (const std::string* compact = View.ThumbnailOf(row)) {
    if (const std::optional<TDisplayList> list = ExpandThumbnail(*compact))
      PaintDisplayList(*Painter, *list, QRectF(square));
  }
  if (ProblemOfRow(table, row)) {
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
  return QSize(View.ThumbnailSize() + 2 * CellPadding,
               View.ThumbnailSize() + Option.fontMetrics.height() + 3 * CellPadding);
}
