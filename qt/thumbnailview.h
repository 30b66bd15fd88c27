// The results as a grid of thumbnails: the table's rows, in the table's
// order, each a drawing of its block with the name under it. It shares the
// table's model and selection, so the filter, the sort, find-next and the
// current row are the same in both views.
#pragma once

#include <QListView>
#include <QStyledItemDelegate>

#include "app/thumbnail.h"

class TResultModel;

class TThumbnailView : public QListView {
  Q_OBJECT

 public:
  explicit TThumbnailView(TResultModel& Model, QWidget* Parent = nullptr);

  // The side of a thumbnail, logical pixels (MinThumbnailSize to
  // MaxThumbnailSize).
  int ThumbnailSize() const { return Size; }
  void SetThumbnailSize(int Size);
  // A new run: the thumbnails drawn so far may show other definitions now.
  void Forget();
  // The thumbnail of result row Row, or null while it is not drawn.
  const std::string* ThumbnailOf(int Row) const;
  const TThumbnailCache& Thumbnails() const { return Cache; }

 signals:
  void ThumbnailSizeChanged(int Size);

 protected:
  void wheelEvent(QWheelEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
  void paintEvent(QPaintEvent* Event) override;
  bool viewportEvent(QEvent* Event) override;

 private:
  void AskForVisible();
  void LayOut();

  TResultModel& Model;
  TThumbnailCache Cache;
  TThumbnailWorker Worker;
  int Size = DefaultThumbnailSize;
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
