// The results window's preview: the current row's block definition drawn
// fitted into the pane, or a line saying why there is nothing to draw.
#pragma once

#include <QString>
#include <QWidget>
#include <memory>

#include "app/displaylist.h"
#include "app/preview.h"

class QPainter;
class QRectF;

class TPreviewPane : public QWidget {
  Q_OBJECT

 public:
  explicit TPreviewPane(QWidget* Parent = nullptr);

  // Draws List (an empty definition shows "（図形なし）").
  void ShowList(std::shared_ptr<const TDisplayList> List);
  // Draws nothing but Text (a reason, "読み込み中…", or nothing at all).
  void ShowMessage(const QString& Text);
  const TDisplayList* List() const { return Shown.get(); }
  const QString& Message() const { return Text; }

 protected:
  void paintEvent(QPaintEvent* Event) override;

 private:
  std::shared_ptr<const TDisplayList> Shown;
  QString Text;
};

// Draws List fitted into Area; what the pane and the tests both use.
void PaintDisplayList(QPainter& Painter, const TDisplayList& List, const QRectF& Area);
