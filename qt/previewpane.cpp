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

// Font size at which texts are laid out before their frame scales them.
constexpr int TextPixels = 64;
// Texts smaller than this on screen are drawn as their baseline.
constexpr double LegibleHeight = 4;

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

void PaintDisplayList(QPainter& Painter, const TDisplayList& List, const QRectF& Area) {
  Painter.save();
  Painter.setClipRect(Area);
  Painter.setRenderHint(QPainter::Antialiasing, List.ShapeCount() < 20000);
  if (List.EmptyDrawing()) {
    Painter.setPen(Qt::darkGray);
    Painter.setFont(DesignFont());
    Painter.drawText(Area, Qt::AlignCenter, QString::fromStdString(EmptyDrawingText));
    Painter.restore();
    return;
  }
  TViewFit fit = FitToPane(List.Bounds, Area.width(), Area.height(), PreviewMargin);
  fit.OffsetX += Area.left();
  fit.OffsetY += Area.top();

  Painter.setPen(Qt::NoPen);
  for (const TDrawnSolid& s : List.Solids) {
    QPolygonF corners;
    for (const TVec2& c : s.Corner) corners << At(fit.Map(c));
    Painter.setBrush(ColorOf(s.Color));
    Painter.drawPolygon(corners);
  }
  Painter.setBrush(Qt::NoBrush);

  // Lines in runs of one colour, one call a run.
  std::vector<QLineF> run;
  uint32_t runColor = 0;
  auto flush = [&] {
    if (run.empty()) return;
    Painter.setPen(QPen(ColorOf(runColor), 0));
    Painter.drawLines(run.data(), static_cast<int>(run.size()));
    run.clear();
  };
  for (const TDrawnLine& l : List.Lines) {
    if (l.Color != runColor) flush();
    runColor = l.Color;
    run.emplace_back(At(fit.Map(l.A)), At(fit.Map(l.B)));
  }
  flush();

  std::vector<TVec2> points;
  QPolygonF polyline;
  TArcFlattener arcs(fit, Area.width(), Area.height());
  for (const TDrawnArc& a : List.Arcs) {
    points.clear();
    arcs.Flatten(a, points);
    polyline.resize(static_cast<qsizetype>(points.size()));
    for (size_t i = 0; i < points.size(); ++i) polyline[static_cast<qsizetype>(i)] = At(points[i]);
    Painter.setPen(QPen(ColorOf(a.Color), 0));
    Painter.drawPolyline(polyline);
  }

  Painter.setPen(Qt::NoPen);
  for (const TDrawnPoint& p : List.Points) {
    const TVec2 at = fit.Map(p.P);
    Painter.fillRect(QRectF(at.X - 1, at.Y - 1, 2.5, 2.5), ColorOf(p.Color));
  }

  QFont font = DesignFont();
  font.setPixelSize(TextPixels);
  const QFontMetricsF metrics(font);
  Painter.setFont(font);
  const QTransform base = Painter.transform();
  for (const TDrawnText& t : List.Texts) {
    const TTextFrame f = TextFrameOf(t, fit);
    if (t.Text.empty() || !(f.PixelHeight > 0)) continue;
    Painter.setPen(QPen(ColorOf(t.Color), 0));
    if (f.PixelHeight < LegibleHeight) {
      const TVec2 end = fit.Map({t.Origin.X + t.Advance.X, t.Origin.Y + t.Advance.Y});
      Painter.drawLine(At(f.Origin), At(end));
      continue;
    }
    const QString text = QString::fromStdString(t.Text);
    // Stretch the laid-out text to its baseline when it has one.
    const double natural = metrics.horizontalAdvance(text) / TextPixels;
    const double stretch = f.Length > 0 && natural > 0 ? f.Length / natural : 1.0;
    const QTransform frame(f.XAxis.X * stretch / TextPixels, f.XAxis.Y * stretch / TextPixels,
                           f.YAxis.X / TextPixels, f.YAxis.Y / TextPixels, f.Origin.X, f.Origin.Y);
    Painter.setTransform(frame * base);
    Painter.drawText(QPointF(0, 0), text);
    Painter.setTransform(base);
  }

  if (List.CutShort) {
    Painter.setPen(Qt::darkRed);
    Painter.setFont(DesignFont());
    Painter.drawText(Area.adjusted(4, 4, -4, -4), Qt::AlignLeft | Qt::AlignBottom,
                     QString::fromStdString(CutShortText));
  }
  Painter.restore();
}
