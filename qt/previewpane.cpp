#include "qt/previewpane.h"

#include <QFontMetricsF>
#include <QLineF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QTransform>
#include <vector>

#include "qt/designfont.h"

namespace {

QColor ColorOf(uint32_t Rgb) {
  return QColor::fromRgb(static_cast<QRgb>(Rgb));
}

QPointF At(TVec2 P) {
  return {P.X, P.Y};
}

}  // namespace

TPreviewPane::TPreviewPane(QWidget* Parent) : QWidget(Parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(40, 40);
}

void TPreviewPane::ShowList(std::shared_ptr<const TDisplayList> List) {
  Shown = std::move(List);
  Text.clear();
  update();
}

void TPreviewPane::ShowMessage(const QString& Message) {
  Shown.reset();
  Text = Message;
  update();
}

void TPreviewPane::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  const QRectF area(rect());
  if (Shown) {
    PaintDisplayList(painter, *Shown, area);
    return;
  }
  painter.setPen(Qt::darkGray);
  painter.setFont(DesignFont());
  painter.drawText(area.adjusted(4, 4, -4, -4), Qt::AlignCenter | Qt::TextWordWrap, Text);
}

namespace {

// The Qt calls behind a preview; lines of one colour are drawn in one call.
class TQtPainter : public TPreviewPainter {
 public:
  TQtPainter(QPainter& Painter, const QRectF& Area) : Painter(Painter), Area(Area) {}
  ~TQtPainter() override { Flush(); }

  void Solid(const TVec2 (&Corners)[4], uint32_t Color) override {
    Flush();
    QPolygonF corners;
    for (const TVec2& c : Corners) corners << At(c);
    Painter.setPen(Qt::NoPen);
    Painter.setBrush(ColorOf(Color));
    Painter.drawPolygon(corners);
    Painter.setBrush(Qt::NoBrush);
  }
  void Line(TVec2 A, TVec2 B, uint32_t Color) override {
    if (Color != RunColor) Flush();
    RunColor = Color;
    Run.emplace_back(At(A), At(B));
  }
  void Polyline(const std::vector<TVec2>& Points, uint32_t Color) override {
    Flush();
    QPolygonF polyline(static_cast<qsizetype>(Points.size()));
    for (size_t i = 0; i < Points.size(); ++i) polyline[static_cast<qsizetype>(i)] = At(Points[i]);
    Painter.setPen(QPen(ColorOf(Color), 0));
    Painter.drawPolyline(polyline);
  }
  void Dot(TVec2 P, uint32_t Color) override {
    Flush();
    Painter.fillRect(QRectF(P.X - 1, P.Y - 1, 2.5, 2.5), ColorOf(Color));
  }
  double TextWidth(const std::string& Utf8) override {
    return Metrics.horizontalAdvance(QString::fromStdString(Utf8));
  }
  void Text(const std::string& Utf8, const TTextMap& M, uint32_t Color) override {
    Flush();
    const QTransform base = Painter.transform();
    Painter.setFont(Font);
    Painter.setPen(QPen(ColorOf(Color), 0));
    Painter.setTransform(QTransform(M.M11, M.M12, M.M21, M.M22, M.Dx, M.Dy) * base);
    Painter.drawText(QPointF(0, 0), QString::fromStdString(Utf8));
    Painter.setTransform(base);
  }
  void Note(const std::string& Utf8, TNote Kind) override {
    Flush();
    Painter.setFont(DesignFont());
    if (Kind == TNote::EmptyDrawing) {
      Painter.setPen(Qt::darkGray);
      Painter.drawText(Area, Qt::AlignCenter, QString::fromStdString(Utf8));
    } else {
      Painter.setPen(Qt::darkRed);
      Painter.drawText(Area.adjusted(4, 4, -4, -4), Qt::AlignLeft | Qt::AlignBottom,
                       QString::fromStdString(Utf8));
    }
  }

 private:
  void Flush() {
    if (Run.empty()) return;
    Painter.setPen(QPen(ColorOf(RunColor), 0));
    Painter.drawLines(Run.data(), static_cast<int>(Run.size()));
    Run.clear();
  }

  QPainter& Painter;
  QRectF Area;
  static QFont TextFont() {
    QFont font = DesignFont();
    font.setPixelSize(PreviewTextPixels);
    return font;
  }

  QFont Font = TextFont();
  QFontMetricsF Metrics{Font};
  std::vector<QLineF> Run;
  uint32_t RunColor = 0;
};

}  // namespace

void PaintDisplayList(QPainter& Painter, const TDisplayList& List, const QRectF& Area) {
  Painter.save();
  Painter.setClipRect(Area);
  Painter.setRenderHint(QPainter::Antialiasing, List.ShapeCount() < 20000);
  {
    TQtPainter painter(Painter, Area);
    PaintPreview(List, Area.left(), Area.top(), Area.width(), Area.height(), painter);
  }
  Painter.restore();
}
