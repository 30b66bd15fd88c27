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

template <class Moji>
class TDisplayBuilder {
 public:
  TDisplayBuilder(const std::vector<TBlockDefOf<Moji>>& Defs, int32_t DefCount, bool ExtendedDims,
                  TDrawLimits Limits, TDisplayList& Out)
      : Defs(Defs),
        ExtendedDims(ExtendedDims),
        Limits(Limits),
        Out(Out),
        ByNumber(Defs, DefCount) {}

  void Draw(size_t DefIndex) { DrawDefinition(Defs[DefIndex], TPlace{}, 0); }

 private:
  const std::vector<TBlockDefOf<Moji>>& Defs;
  const bool ExtendedDims;
  const TDrawLimits Limits;
  TDisplayList& Out;
  const jwbody::TDefinitionsByNumber ByNumber;
  size_t Placements = 0;
  bool Stopped = false;  // a bound on the whole drawing was reached

  const TBlockDefOf<Moji>* Find(int32_t Number) const {
    const int32_t at = ByNumber.Find(Number);
    return at >= 0 ? &Defs[static_cast<size_t>(at)] : nullptr;
  }

  // False (and the list marked cut short) once N more shapes may not be
  // drawn.
  bool Room(size_t N = 1) {
    if (!Stopped && Out.ShapeCount() + N <= Limits.Shapes) return true;
    Out.CutShort = Stopped = true;
    return false;
  }

  void DrawDefinition(const TBlockDefOf<Moji>& D, const TPlace& P, int Depth) {
    for (const TEntJwwSolid& s : D.Solids) {
      if (!Room()) return;
      AddSolid(s, P);
    }
    for (const TEntJwwSen& l : D.Lines) {
      if (!Room()) return;
      AddLine(l, P);
    }
    for (const TEntJwwEnko& a : D.Arcs) {
      if (!Room()) return;
      AddArc(a, P);
    }
    for (const TEntJwwTen& t : D.Points) {
      if (!Room()) return;
      AddPoint(t, P);
    }
    for (const Moji& m : D.Texts) {
      if (!Room()) return;
      AddText(m.Attr, m.Fixed, m.Text2, P);
    }
    for (const TDimensionOf<Moji>& d : D.Dimensions) {
      if (!Room(ExtendedDims ? 8 : 2)) return;
      AddDimension(d, P);
    }
    for (const TEntJwwBlock& b : D.BlockInserts) {
      // Too deep: this branch ends here, its siblings are still drawn.
      if (Depth >= Limits.Depth) {
        Out.CutShort = true;
        return;
      }
      if (Placements >= Limits.Placements) {
        Out.CutShort = Stopped = true;
        return;
      }
      ++Placements;
      if (const TBlockDefOf<Moji>* child = Find(b.BlockNumber))
        DrawDefinition(*child, P.Then(b), Depth + 1);
      if (Stopped) return;
    }
  }

  TVec2 Add(TVec2 P) {
    Out.Bounds.Add(P);
    return P;
  }

  void AddLine(const TEntJwwSen& L, const TPlace& P) {
    const uint8_t* g = L.Geometry;
    Out.Lines.push_back({Add(P.Point(RealAt(g, 0), RealAt(g, 8))),
                         Add(P.Point(RealAt(g, 16), RealAt(g, 24))), PenColorRgb(L.Attr.PenColor)});
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
    Out.Arcs.push_back(arc);
  }

  void AddPoint(const TEntJwwTen& T, const TPlace& P) {
    const uint8_t* g = T.Geometry;
    if (UIntAt(g, 16) == 1) return;  // a temporary point is not drawn
    Out.Points.push_back({Add(P.Point(RealAt(g, 0), RealAt(g, 8))), PenColorRgb(T.Attr.PenColor)});
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
    Out.Solids.push_back(solid);
  }

  void AddText(const EntityAttributes& Attr, const uint8_t* G, const std::string& Text,
               const TPlace& P) {
    const double sx = RealAt(G, 0), sy = RealAt(G, 8), ex = RealAt(G, 16), ey = RealAt(G, 24);
    const double height = RealAt(G, 44);
    const double angle = RealAt(G, 60) * std::numbers::pi / 180;
    TDrawnText t;
    t.Origin = Add(P.Point(sx, sy));
    t.Advance = P.Vector(ex - sx, ey - sy);
    t.Up = P.Vector(-std::sin(angle) * height, std::cos(angle) * height);
    t.Text = Cp932ToUtf8(Text);
    t.Color = PenColorRgb(Attr.PenColor);
    Add({t.Origin.X + t.Advance.X, t.Origin.Y + t.Advance.Y});
    Add({t.Origin.X + t.Up.X, t.Origin.Y + t.Up.Y});
    Add({t.Origin.X + t.Advance.X + t.Up.X, t.Origin.Y + t.Advance.Y + t.Up.Y});
    Out.Texts.push_back(std::move(t));
  }

  void AddDimension(const TDimensionOf<Moji>& D, const TPlace& P) {
    AddLine(D.DimLine, P);
    AddText(D.DimText.Attr, D.DimText.Fixed, D.DimText.Text2, P);
    if (!ExtendedDims) return;
    AddLine(D.ExtLine1, P);
    AddLine(D.ExtLine2, P);
    for (const TEntJwwTen& t : D.ExtPoints) AddPoint(t, P);
  }
};

template <class Reader>
TDisplayList BuildOf(const Reader& R, int DefIndex, int32_t Version, TDrawLimits Limits) {
  TDisplayList list;
  const size_t count =
      std::min(R.BlockDefs.size(), static_cast<size_t>(std::max(R.BlockDefCount, 0)));
  if (DefIndex < 0 || static_cast<size_t>(DefIndex) >= count) return list;
  using Moji = std::decay_t<decltype(R.BlockDefs[0].Texts[0])>;
  TDisplayBuilder<Moji> builder(R.BlockDefs, R.BlockDefCount, Version >= jwversion::ExtendedStyles,
                                Limits, list);
  builder.Draw(static_cast<size_t>(DefIndex));
  return list;
}

}  // namespace

TDisplayList BuildDisplayList(const TJwwData& Reader, int DefIndex, TDrawLimits Limits) {
  return BuildOf(Reader, DefIndex, Reader.Header.Version, Limits);
}
TDisplayList BuildDisplayList(const TJwsData& Reader, int DefIndex, TDrawLimits Limits) {
  return BuildOf(Reader, DefIndex, Reader.Version, Limits);
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

void FlattenArc(const TDrawnArc& Arc, const TViewFit& Fit, std::vector<TVec2>& Out) {
  const double radius =
      Fit.Scale * std::max(std::hypot(Arc.U.X, Arc.U.Y), std::hypot(Arc.V.X, Arc.V.Y));
  const double sweep = std::clamp(Arc.Sweep, -2 * std::numbers::pi, 2 * std::numbers::pi);
  // A chord of angle a strays r (1 - cos(a / 2)) from the circle.
  constexpr double Tolerance = 0.25;
  double wanted = 1;
  if (std::isfinite(radius) && radius > Tolerance) {
    const double step = 2 * std::acos(1 - Tolerance / radius);
    if (step > 0) wanted = std::ceil(std::abs(sweep) / step);
  }
  // At most 720 chords: a huge radius (or a step too small to compute)
  // gets that many rather than an overflowing count.
  const int steps = std::isfinite(wanted) ? static_cast<int>(std::clamp(wanted, 1.0, 720.0)) : 720;
  for (int i = 0; i <= steps; ++i) {
    const double t = Arc.Start + sweep * i / steps;
    const double c = std::cos(t), s = std::sin(t);
    Out.push_back(Fit.Map(
        {Arc.Centre.X + Arc.U.X * c + Arc.V.X * s, Arc.Centre.Y + Arc.U.Y * c + Arc.V.Y * s}));
  }
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
