#include "app/displaylist.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "jws/jwsunit.h"
#include "jww/blocktree.h"
#include "jww/jwwunit.h"
#include "jww/versions.h"
#include "text/codec.h"

const std::string EmptyDrawingText = "（図形なし）";
const std::string CutShortText = "一部のみ表示しています";

void TBox::Add(TVec2 P) {
  if (!std::isfinite(P.X) || !std::isfinite(P.Y)) return;
  if (Empty) {
    MinX = MaxX = P.X;
    MinY = MaxY = P.Y;
    Empty = false;
    return;
  }
  MinX = std::min(MinX, P.X);
  MaxX = std::max(MaxX, P.X);
  MinY = std::min(MinY, P.Y);
  MaxY = std::max(MaxY, P.Y);
}

uint32_t PenColorRgb(uint16_t PenColor) {
  static constexpr uint32_t Pens[10] = {0x000000, 0x00838F, 0x000000, 0x2E7D32, 0xB8860B,
                                        0xAD1457, 0x1565C0, 0x00897B, 0xC62828, 0x6D4C41};
  return PenColor < 10 ? Pens[PenColor] : 0x000000;
}

namespace {

// Where a definition's own coordinates land: (x, y) goes to
// (OX + M11 x + M12 y, OY + M21 x + M22 y).
struct TPlace {
  double OX = 0, OY = 0;
  double M11 = 1, M12 = 0, M21 = 0, M22 = 1;
  TVec2 Point(double X, double Y) const { return {OX + M11 * X + M12 * Y, OY + M21 * X + M22 * Y}; }
  TVec2 Vector(double X, double Y) const { return {M11 * X + M12 * Y, M21 * X + M22 * Y}; }
  // The placement of an insertion made inside a definition placed here.
  TPlace Then(const TEntJwwBlock& I) const {
    const jwbody::TLocalMatrix l = jwbody::LocalMatrix(I);
    TPlace p;
    const TVec2 o = Point(I.X, I.Y);
    p.OX = o.X;
    p.OY = o.Y;
    p.M11 = M11 * l.L11 + M12 * l.L21;
    p.M12 = M11 * l.L12 + M12 * l.L22;
    p.M21 = M21 * l.L11 + M22 * l.L21;
    p.M22 = M21 * l.L12 + M22 * l.L22;
    return p;
  }
};

double RealAt(const uint8_t* Geometry, size_t Offset) {
  double v;
  std::memcpy(&v, Geometry + Offset, sizeof v);
  return v;
}
uint32_t UIntAt(const uint8_t* Geometry, size_t Offset) {
  uint32_t v;
  std::memcpy(&v, Geometry + Offset, sizeof v);
  return v;
}

// The most each kind of shape adds to a drawing's markup: every number at
// its widest (the SVG writer writes at most 16 characters for one), each
// line or arc in a path of its own; a text adds its escaped characters.
constexpr size_t SolidBytes = 180;
constexpr size_t LineBytes = 100;
constexpr size_t ArcBytes = 240;
constexpr size_t PointBytes = 80;
constexpr size_t TextBytes = 240;

// Counts against a bound, shared by the drawing and the file.
struct TSpent {
  size_t Shapes = 0, Bytes = 0, Placements = 0;
};

// A text as it is drawn: UTF-8, cut, and the markup its characters take.
struct TShownText {
  std::string Utf8;
  size_t Bytes = 0;
};

// The first MaxDrawnTextChars characters of a CP932 text in UTF-8, "…"
// after them when the text goes on.
TShownText ShownText(const std::string& Cp932) {
  TShownText t;
  t.Utf8 = Cp932ToUtf8(Cp932);
  size_t chars = 0, at = 0;
  while (at < t.Utf8.size() && chars < MaxDrawnTextChars) {
    const auto c = static_cast<unsigned char>(t.Utf8[at]);
    at += c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    ++chars;
  }
  if (at < t.Utf8.size()) {
    t.Utf8.resize(at);
    t.Utf8 += "…";
  }
  t.Utf8.shrink_to_fit();
  // "&" is the longest escape ("&amp;", five bytes for one); a byte that
  // is not UTF-8 becomes three.
  t.Bytes = TextBytes + 5 * t.Utf8.size();
  return t;
}

class TFileDrawerBase {
 public:
  virtual ~TFileDrawerBase() = default;
  virtual TDisplayList Draw(int DefIndex, TDrawLimits Drawing) = 0;
  bool FileBoundReached = false;
};

template <class Moji>
class TDefinitionsDrawer : public TFileDrawerBase {
 public:
  TDefinitionsDrawer(const std::vector<TBlockDefOf<Moji>>& Defs, int32_t DefCount,
                     bool ExtendedDims, TDrawLimits File)
      : Defs(Defs),
        Count(std::min(Defs.size(), static_cast<size_t>(std::max(DefCount, 0)))),
        ExtendedDims(ExtendedDims),
        File(File),
        ByNumber(Defs, static_cast<int32_t>(Count)),
        Texts(Count),
        DimTexts(Count) {
    MarkDrawing();
  }

  TDisplayList Draw(int DefIndex, TDrawLimits Drawing) override {
    TDisplayList list;
    if (DefIndex < 0 || static_cast<size_t>(DefIndex) >= Count) return list;
    Out = &list;
    Limits = Drawing;
    Own = {};
    Stopped = false;
    DrawDefinition(static_cast<size_t>(DefIndex), TPlace{}, 0);
    Out = nullptr;
    return list;
  }

 private:
  const std::vector<TBlockDefOf<Moji>>& Defs;
  const size_t Count;
  const bool ExtendedDims;
  const TDrawLimits File;
  const jwbody::TDefinitionsByNumber ByNumber;
  // Per definition: whether it, or something it places, draws a shape.
  std::vector<bool> Draws;
  // Per definition, once drawn: its texts and its dimensions' texts shown.
  std::vector<std::vector<TShownText>> Texts, DimTexts;

  TSpent Spent;  // by every drawing of the file
  // The drawing being made.
  TDisplayList* Out = nullptr;
  TDrawLimits Limits;
  TSpent Own;
  bool Stopped = false;  // a bound on the whole drawing was reached

  int32_t Find(int32_t Number) const { return ByNumber.Find(Number); }

  static bool DrawsItself(const TBlockDefOf<Moji>& D) {
    return !D.Solids.empty() || !D.Lines.empty() || !D.Arcs.empty() || !D.Points.empty() ||
           !D.Texts.empty() || !D.Dimensions.empty();
  }

  // A definition draws something when it holds a shape or places one that
  // does: found backwards from the definitions that hold shapes, so that
  // every placement is looked at once whatever the nesting (and cycles).
  void MarkDrawing() {
    Draws.assign(Count, false);
    std::vector<std::vector<uint32_t>> placedIn(Count);
    std::vector<uint32_t> work;
    for (size_t i = 0; i < Count; ++i) {
      for (const TEntJwwBlock& b : Defs[i].BlockInserts) {
        const int32_t child = Find(b.BlockNumber);
        if (child >= 0) placedIn[static_cast<size_t>(child)].push_back(static_cast<uint32_t>(i));
      }
      if (DrawsItself(Defs[i])) {
        Draws[i] = true;
        work.push_back(static_cast<uint32_t>(i));
      }
    }
    while (!work.empty()) {
      const uint32_t d = work.back();
      work.pop_back();
      for (uint32_t parent : placedIn[d]) {
        if (Draws[parent]) continue;
        Draws[parent] = true;
        work.push_back(parent);
      }
    }
  }

  // False (and the drawing marked cut short) once N more shapes taking
  // Bytes more bytes may not be drawn.
  bool Room(size_t N, size_t Bytes) {
    if (!Stopped && Own.Shapes + N <= Limits.Shapes && Own.Bytes + Bytes <= Limits.Bytes) {
      if (Spent.Shapes + N <= File.Shapes && Spent.Bytes + Bytes <= File.Bytes) return true;
      FileBoundReached = true;
    }
    Out->CutShort = Stopped = true;
    return false;
  }
  void Took(size_t N, size_t Bytes) {
    Own.Shapes += N;
    Spent.Shapes += N;
    Own.Bytes += Bytes;
    Spent.Bytes += Bytes;
    Out->Bytes += Bytes;
  }
  bool RoomToPlace() {
    if (!Stopped && Own.Placements < Limits.Placements) {
      if (Spent.Placements < File.Placements) {
        ++Own.Placements;
        ++Spent.Placements;
        return true;
      }
      FileBoundReached = true;
    }
    Out->CutShort = Stopped = true;
    return false;
  }

  const std::vector<TShownText>& TextsOf(size_t DefIndex) {
    std::vector<TShownText>& texts = Texts[DefIndex];
    const TBlockDefOf<Moji>& D = Defs[DefIndex];
    if (texts.empty() && !D.Texts.empty()) {
      texts.reserve(D.Texts.size());
      for (const Moji& m : D.Texts) texts.push_back(ShownText(m.Text2));
    }
    return texts;
  }
  const std::vector<TShownText>& DimTextsOf(size_t DefIndex) {
    std::vector<TShownText>& texts = DimTexts[DefIndex];
    const TBlockDefOf<Moji>& D = Defs[DefIndex];
    if (texts.empty() && !D.Dimensions.empty()) {
      texts.reserve(D.Dimensions.size());
      for (const TDimensionOf<Moji>& d : D.Dimensions) texts.push_back(ShownText(d.DimText.Text2));
    }
    return texts;
  }

  void DrawDefinition(size_t DefIndex, const TPlace& P, int Depth) {
    const TBlockDefOf<Moji>& D = Defs[DefIndex];
    for (const TEntJwwSolid& s : D.Solids) {
      if (!Room(1, SolidBytes)) return;
      AddSolid(s, P);
    }
    for (const TEntJwwSen& l : D.Lines) {
      if (!Room(1, LineBytes)) return;
      AddLine(l, P);
    }
    for (const TEntJwwEnko& a : D.Arcs) {
      if (!Room(1, ArcBytes)) return;
      AddArc(a, P);
    }
    for (const TEntJwwTen& t : D.Points) {
      if (!Room(1, PointBytes)) return;
      AddPoint(t, P);
    }
    if (!D.Texts.empty()) {
      const std::vector<TShownText>& texts = TextsOf(DefIndex);
      for (size_t i = 0; i < D.Texts.size(); ++i) {
        if (!Room(1, texts[i].Bytes)) return;
        AddText(D.Texts[i].Attr, D.Texts[i].Fixed, texts[i], P);
      }
    }
    if (!D.Dimensions.empty()) {
      const std::vector<TShownText>& texts = DimTextsOf(DefIndex);
      for (size_t i = 0; i < D.Dimensions.size(); ++i) {
        const size_t shapes = ExtendedDims ? 8 : 2;
        const size_t bytes =
            texts[i].Bytes + (ExtendedDims ? 3 * LineBytes + 4 * PointBytes : LineBytes);
        if (!Room(shapes, bytes)) return;
        AddDimension(D.Dimensions[i], texts[i], P);
      }
    }
    for (const TEntJwwBlock& b : D.BlockInserts) {
      const int32_t child = Find(b.BlockNumber);
      if (child < 0 || !Draws[static_cast<size_t>(child)]) continue;
      // Too deep: this branch ends here, its siblings are still drawn.
      if (Depth >= Limits.Depth) {
        Out->CutShort = true;
        return;
      }
      if (!RoomToPlace()) return;
      DrawDefinition(static_cast<size_t>(child), P.Then(b), Depth + 1);
      if (Stopped) return;
    }
  }

  TVec2 Add(TVec2 P) {
    Out->Bounds.Add(P);
    return P;
  }

  void AddLine(const TEntJwwSen& L, const TPlace& P) {
    const uint8_t* g = L.Geometry;
    Out->Lines.push_back({Add(P.Point(RealAt(g, 0), RealAt(g, 8))),
                          Add(P.Point(RealAt(g, 16), RealAt(g, 24))), PenColorRgb(L.Attr.PenColor),
                          L.Attr.PenStyle});
    Took(1, LineBytes);
  }

  void AddArc(const TEntJwwEnko& A, const TPlace& P) {
    const uint8_t* g = A.Geometry;
    const double r = RealAt(g, 16), tilt = RealAt(g, 40), flat = RealAt(g, 48);
    const bool whole = UIntAt(g, 56) == 1;
    const double ct = std::cos(tilt), st = std::sin(tilt);
    TDrawnArc arc;
    arc.Centre = P.Point(RealAt(g, 0), RealAt(g, 8));
    arc.U = P.Vector(r * ct, r * st);
    arc.V = P.Vector(-r * flat * st, r * flat * ct);
    arc.Start = whole ? 0 : RealAt(g, 24);
    arc.Sweep = whole ? 2 * std::numbers::pi : RealAt(g, 32);
    arc.Color = PenColorRgb(A.Attr.PenColor);
    arc.Style = A.Attr.PenStyle;
    if (!std::isfinite(arc.Start) || !std::isfinite(arc.Sweep)) return;
    // Bounds of the whole ellipse, or of the arc's sampled points when it is
    // a part of one.
    if (std::abs(arc.Sweep) >= 2 * std::numbers::pi) {
      const double hx = std::hypot(arc.U.X, arc.V.X), hy = std::hypot(arc.U.Y, arc.V.Y);
      Add({arc.Centre.X - hx, arc.Centre.Y - hy});
      Add({arc.Centre.X + hx, arc.Centre.Y + hy});
    } else {
      constexpr int Steps = 16;
      for (int i = 0; i <= Steps; ++i) {
        const double t = arc.Start + arc.Sweep * i / Steps;
        Add({arc.Centre.X + arc.U.X * std::cos(t) + arc.V.X * std::sin(t),
             arc.Centre.Y + arc.U.Y * std::cos(t) + arc.V.Y * std::sin(t)});
      }
    }
    Out->Arcs.push_back(arc);
    Took(1, ArcBytes);
  }

  void AddPoint(const TEntJwwTen& T, const TPlace& P) {
    const uint8_t* g = T.Geometry;
    if (UIntAt(g, 16) == 1) return;  // a temporary point is not drawn
    Out->Points.push_back({Add(P.Point(RealAt(g, 0), RealAt(g, 8))), PenColorRgb(T.Attr.PenColor)});
    Took(1, PointBytes);
  }

  void AddSolid(const TEntJwwSolid& S, const TPlace& P) {
    TDrawnSolid solid;
    for (size_t i = 0; i < 4; ++i)
      solid.Corner[i] = Add(P.Point(RealAt(S.Geometry, 16 * i), RealAt(S.Geometry, 16 * i + 8)));
    if (S.Attr.PenColor == 10) {
      const uint32_t bgr = S.SolidColor;
      solid.Color = ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
    } else {
      solid.Color = PenColorRgb(S.Attr.PenColor);
    }
    Out->Solids.push_back(solid);
    Took(1, SolidBytes);
  }

  void AddText(const EntityAttributes& Attr, const uint8_t* G, const TShownText& Text,
               const TPlace& P) {
    const double sx = RealAt(G, 0), sy = RealAt(G, 8), ex = RealAt(G, 16), ey = RealAt(G, 24);
    const double height = RealAt(G, 44);
    const double angle = RealAt(G, 60) * std::numbers::pi / 180;
    TDrawnText t;
    t.Origin = Add(P.Point(sx, sy));
    t.Advance = P.Vector(ex - sx, ey - sy);
    t.Up = P.Vector(-std::sin(angle) * height, std::cos(angle) * height);
    t.Text = Text.Utf8;
    t.Color = PenColorRgb(Attr.PenColor);
    Add({t.Origin.X + t.Advance.X, t.Origin.Y + t.Advance.Y});
    Add({t.Origin.X + t.Up.X, t.Origin.Y + t.Up.Y});
    Add({t.Origin.X + t.Advance.X + t.Up.X, t.Origin.Y + t.Advance.Y + t.Up.Y});
    Out->Texts.push_back(std::move(t));
    Took(1, Text.Bytes);
  }

  void AddDimension(const TDimensionOf<Moji>& D, const TShownText& Text, const TPlace& P) {
    AddLine(D.DimLine, P);
    AddText(D.DimText.Attr, D.DimText.Fixed, Text, P);
    if (!ExtendedDims) return;
    AddLine(D.ExtLine1, P);
    AddLine(D.ExtLine2, P);
    for (const TEntJwwTen& t : D.ExtPoints) AddPoint(t, P);
  }
};

template <class Reader>
std::unique_ptr<TFileDrawerBase> DrawerOf(const Reader& R, int32_t Version, TDrawLimits File) {
  using Moji = std::decay_t<decltype(R.BlockDefs[0].Texts[0])>;
  return std::make_unique<TDefinitionsDrawer<Moji>>(R.BlockDefs, R.BlockDefCount,
                                                    Version >= jwversion::ExtendedStyles, File);
}

}  // namespace

struct TFileDrawer::TImpl {
  std::unique_ptr<TFileDrawerBase> Drawer;
};

TFileDrawer::TFileDrawer(const TJwwData& Reader, TDrawLimits File)
    : Impl(new TImpl{DrawerOf(Reader, Reader.Header.Version, File)}) {}
TFileDrawer::TFileDrawer(const TJwsData& Reader, TDrawLimits File)
    : Impl(new TImpl{DrawerOf(Reader, Reader.Version, File)}) {}
TFileDrawer::~TFileDrawer() = default;

TDisplayList TFileDrawer::Draw(int DefIndex, TDrawLimits Drawing) {
  return Impl->Drawer->Draw(DefIndex, Drawing);
}
bool TFileDrawer::FileBoundReached() const {
  return Impl->Drawer->FileBoundReached;
}

TDisplayList BuildDisplayList(const TJwwData& Reader, int DefIndex, TDrawLimits Limits) {
  return TFileDrawer(Reader, Limits).Draw(DefIndex, Limits);
}
TDisplayList BuildDisplayList(const TJwsData& Reader, int DefIndex, TDrawLimits Limits) {
  return TFileDrawer(Reader, Limits).Draw(DefIndex, Limits);
}

TViewFit FitToPane(const TBox& Box, double Width, double Height, double Margin) {
  TViewFit fit;
  const double w = std::max(Width - 2 * Margin, 1.0), h = std::max(Height - 2 * Margin, 1.0);
  if (Box.Empty) {
    fit.OffsetX = Width / 2;
    fit.OffsetY = Height / 2;
    return fit;
  }
  const double bw = Box.Width(), bh = Box.Height();
  if (bw > 0 && bh > 0)
    fit.Scale = std::min(w / bw, h / bh);
  else if (bw > 0)
    fit.Scale = w / bw;
  else if (bh > 0)
    fit.Scale = h / bh;
  if (!std::isfinite(fit.Scale) || fit.Scale <= 0) fit.Scale = 1;
  const double cx = (Box.MinX + Box.MaxX) / 2, cy = (Box.MinY + Box.MaxY) / 2;
  fit.OffsetX = Width / 2 - fit.Scale * cx;
  fit.OffsetY = Height / 2 + fit.Scale * cy;
  return fit;
}

TArcFlattener::TArcFlattener(const TViewFit& Fit, double Width, double Height) : Fit(Fit) {
  // A chord of angle a strays r (1 - cos(a / 2)) from the circle: the chords
  // a circle whose radius is the pane's diagonal needs.
  const double radius = std::hypot(std::max(Width, 1.0), std::max(Height, 1.0));
  MaxChords = std::ceil(2 * std::numbers::pi / (2 * std::acos(1 - Tolerance / radius)));
  if (!std::isfinite(MaxChords) || MaxChords < 8) MaxChords = 8;
}

void TArcFlattener::Flatten(const TDrawnArc& Arc, std::vector<TVec2>& Out) {
  const double radius =
      Fit.Scale * std::max(std::hypot(Arc.U.X, Arc.U.Y), std::hypot(Arc.V.X, Arc.V.Y));
  const double sweep = std::clamp(Arc.Sweep, -2 * std::numbers::pi, 2 * std::numbers::pi);
  double most = std::max(1.0, std::ceil(MaxChords * std::abs(sweep) / (2 * std::numbers::pi)));
  if (Spent >= MaxPaneArcPoints) most = std::min(most, 8.0);
  double wanted = 1;
  if (std::isfinite(radius) && radius > Tolerance) {
    const double step = 2 * std::acos(1 - Tolerance / radius);
    wanted = step > 0 ? std::ceil(std::abs(sweep) / step) : most;
  }
  if (!std::isfinite(wanted)) wanted = most;
  const int steps = static_cast<int>(std::clamp(wanted, 1.0, most));
  for (int i = 0; i <= steps; ++i) {
    const double t = Arc.Start + sweep * i / steps;
    const double c = std::cos(t), s = std::sin(t);
    Out.push_back(Fit.Map(
        {Arc.Centre.X + Arc.U.X * c + Arc.V.X * s, Arc.Centre.Y + Arc.U.Y * c + Arc.V.Y * s}));
  }
  Spent += static_cast<size_t>(steps) + 1;
}

TTextFrame TextFrameOf(const TDrawnText& Text, const TViewFit& Fit) {
  TTextFrame f;
  f.Origin = Fit.Map(Text.Origin);
  const TVec2 advance = Fit.MapVector(Text.Advance);
  const TVec2 up = Fit.MapVector(Text.Up);
  f.PixelHeight = std::hypot(up.X, up.Y);
  const double length = std::hypot(advance.X, advance.Y);
  // Glyphs run along the baseline, one unit being the characters' height;
  // "down" in the font is the opposite of Up.
  if (length > 0 && f.PixelHeight > 0) {
    f.XAxis = {advance.X / length * f.PixelHeight, advance.Y / length * f.PixelHeight};
    f.Length = length / f.PixelHeight;
  } else {
    f.XAxis = {up.Y, -up.X};  // Up turned a right angle clockwise on screen
  }
  f.YAxis = {-up.X, -up.Y};
  return f;
}
