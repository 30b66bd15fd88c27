// The results as a grid of thumbnails: the table's rows, in the table's
// order, each a drawing of its block with the name under it. It shares the
// table's model and selection, so the filter, the sort, find-next and the
// current row are the same in both views.
#pragma once

#include <QListView>
#include <QStyledItemDelegate>

#include "app/resultsmodel.h"

class TResultModel;

class TThumbnailView : public QListView {
  Q_OBJECT

 public:
  TThumbnailView(TResultsModel& Results, TResultModel& Model, QWidget* Parent = nullptr);

  TResultsModel& Results;
  // The model's thumbnail size changed: the cells are laid out again.
  void SizeChanged();

 protected:
  void wheelEvent(QWheelEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
  void paintEvent(QPaintEvent* Event) override;
  bool viewportEvent(QEvent* Event) override;
  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& Index,
                                                       const QEvent* Event) const override;

 private:
  void AskForVisible();
};

// Draws one cell: a frame, the drawing fitted to the square (an empty frame
// until it is drawn), the problem mark of its file, the name under it.
class TThumbnailDelegate : public QStyledItemDelegate {
 public:
  explicit TThumbnailDelegate(TThumbnailView& View) : QStyledItemDelegate(&View), View(View) {}
  void paint(QPainter* Painter, const QStyleOptionViewItem& Option,
             const QModelIndex& Index) const override;
  QSize sizeHint(const QStyleOptionViewItem& Option, const QModelIndex& Index) const override;

 private:
  TThumbnailView& View;
};
