// What a preview or a catalog drawing shows of one block definition: its
// lines, arcs, points, solids and texts in drawing coordinates (millimetres,
// y up), with the definitions it places drawn where their placements put
// them. Toolkit-free: the Qt and Win32 panes and the SVG writer draw the same
// list, fitted the same way.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jww/blocktree.h"
#include "jww/jwwtype.h"

class TJwwData;
class TJwsData;

struct TVec2 {
  double X = 0;
  double Y = 0;
};

// An axis-aligned box; empty until a point is added.
struct TBox {
  double MinX = 0, MinY = 0, MaxX = 0, MaxY = 0;
  bool Empty = true;
  void Add(TVec2 P);
  double Width() const { return Empty ? 0 : MaxX - MinX; }
  double Height() const { return Empty ? 0 : MaxY - MinY; }
};

// Colours are 0xRRGGBB. Style is the record's line type (pen style), which
// the panes draw solid but which tells two drawings apart.
struct TDrawnLine {
  TVec2 A, B;
  uint32_t Color;
  uint8_t Style = 0;
};
// An elliptic arc: the point at parameter t is Centre + U cos t + V sin t,
// for t from Start to Start + Sweep. A placement's transform maps an ellipse
// to an ellipse, so U and V carry radius, flattening, tilt and the transform.
struct TDrawnArc {
  TVec2 Centre, U, V;
  double Start, Sweep;
  uint32_t Color;
  uint8_t Style = 0;
};
struct TDrawnPoint {
  TVec2 P;
  uint32_t Color;
};
struct TDrawnSolid {  // a filled quadrilateral (a triangle repeats a corner)
  TVec2 Corner[4];
  uint32_t Color;
};
// A text from Origin (lower-left) along Advance (to the end of its baseline);
// Up runs from the baseline to the top of the characters (one character
// height). Text is UTF-8.
struct TDrawnText {
  TVec2 Origin, Advance, Up;
  std::string Text;
  uint32_t Color;
};

// At most this many shapes are drawn for one definition.
inline constexpr size_t MaxDrawnShapes = 1'000'000;
// At most this many bytes of markup (as the SVG writer would write them, an
// estimate) are drawn for one definition.
inline constexpr size_t MaxDrawnBytes = size_t{64} << 20;
// Placements nested deeper than this, or past this many in all, are not drawn
// (the bounds of the block insertion tree).
inline constexpr int MaxPlacementDepth = jwbody::MaxTreeLevel;
inline constexpr size_t MaxPlacements = jwbody::MaxTreeNodes;
// A drawn text keeps at most this many characters; a longer one ends in "…".
inline constexpr size_t MaxDrawnTextChars = 256;

struct TDisplayList {
  std::vector<TDrawnSolid> Solids;
  std::vector<TDrawnLine> Lines;
  std::vector<TDrawnArc> Arcs;
  std::vector<TDrawnPoint> Points;
  std::vector<TDrawnText> Texts;
  TBox Bounds;
  // The markup the shapes take, estimated from above.
  size_t Bytes = 0;
  // True when a bound stopped the drawing before everything was drawn.
  bool CutShort = false;

  size_t ShapeCount() const {
    return Solids.size() + Lines.size() + Arcs.size() + Points.size() + Texts.size();
  }
  bool EmptyDrawing() const { return ShapeCount() == 0; }
};

// The colour a pen colour number draws in on a white ground. Pens 1-9 are the
// drawing program's nine pens: 1 teal, 2 black, 3 green, 4 ochre, 5 magenta,
// 6 blue, 7 dark cyan, 8 red, 9 brown; any other number draws black.
uint32_t PenColorRgb(uint16_t PenColor);

// The bounds of one drawing, or of all the drawings of one file together
// (the fuzz targets use smaller ones). Only placements of definitions that
// draw something count.
struct TDrawLimits {
  size_t Shapes = MaxDrawnShapes;
  size_t Placements = MaxPlacements;
  int Depth = MaxPlacementDepth;
  size_t Bytes = MaxDrawnBytes;
};

// The drawings of one loaded file. What every drawing needs is made once
// per file: the lookup of definitions by number, which definitions draw
// anything at all (placements of the others are skipped), and each
// definition's texts, converted and cut to MaxDrawnTextChars the first time
// it is drawn. All drawings made by one drawer share the file's bounds;
// each also stays within the bounds it is asked with. The reader must keep
// the file, unchanged, while the drawer is used.
class TFileDrawer {
 public:
  explicit TFileDrawer(const TJwwData& Reader, TDrawLimits File = {});
  explicit TFileDrawer(const TJwsData& Reader, TDrawLimits File = {});
  ~TFileDrawer();
  TFileDrawer(const TFileDrawer&) = delete;
  TFileDrawer& operator=(const TFileDrawer&) = delete;

  // The display list of definition DefIndex (0-based in BlockDefs); an
  // out-of-range index gives an empty list. A drawing that the file's bounds
  // left no room for, or that its own bounds stopped, is marked cut short.
  TDisplayList Draw(int DefIndex, TDrawLimits Drawing = {});
  // True once some bound of the file stopped a drawing.
  bool FileBoundReached() const;

  struct TImpl;

 private:
  std::unique_ptr<TImpl> Impl;
};

// The display list of definition DefIndex of a loaded reader, a file of its
// own (one drawer, one drawing). Out-of-range indexes give an empty list.
TDisplayList BuildDisplayList(const TJwwData& Reader, int DefIndex, TDrawLimits Limits = {});
TDisplayList BuildDisplayList(const TJwsData& Reader, int DefIndex, TDrawLimits Limits = {});

// The placement of a drawing in a pane: a model point (x, y) is drawn at
// (OffsetX + Scale * x, OffsetY - Scale * y) in pane pixels, y down.
struct TViewFit {
  double Scale = 1;
  double OffsetX = 0;
  double OffsetY = 0;
  TVec2 Map(TVec2 P) const { return {OffsetX + Scale * P.X, OffsetY - Scale * P.Y}; }
  TVec2 MapVector(TVec2 V) const { return {Scale * V.X, -Scale * V.Y}; }
};
// Fits Box centred into a Width x Height pane with Margin pixels on each
// side; a box without extent is centred at scale 1.
TViewFit FitToPane(const TBox& Box, double Width, double Height, double Margin);

// At most this many points are spent on the arcs of one pane as their size
// asks; past them every arc is drawn with at most 8 chords.
inline constexpr size_t MaxPaneArcPoints = 200'000;

// Flattens the arcs of one drawing for a Width x Height pane.
class TArcFlattener {
 public:
  TArcFlattener(const TViewFit& Fit, double Width, double Height);
  // The arc as a polyline in pane pixels, appended to Out: fine enough that
  // no chord strays more than a quarter pixel from the curve, but never more
  // chords than a circle as large as the pane needs (a larger arc is mostly
  // off the pane), and at most 8 once the pane has spent its points.
  void Flatten(const TDrawnArc& Arc, std::vector<TVec2>& Out);
  size_t PointsSpent() const { return Spent; }

 private:
  static constexpr double Tolerance = 0.25;  // pixels
  TViewFit Fit;
  double MaxChords;  // of a whole circle
  size_t Spent = 0;
};

// A text's frame in pane pixels, for drawing it with a font of pixel size 1:
// a glyph point (u, v) of the text set at the origin (v down, baseline at
// v = 0) lands at Origin + u * XAxis + v * YAxis, and the text should be
// stretched to Length units along its baseline.
struct TTextFrame {
  TVec2 Origin, XAxis, YAxis;
  double Length = 0;       // in font units; 0 when the text has no baseline
  double PixelHeight = 0;  // the characters' height in pixels
};
TTextFrame TextFrameOf(const TDrawnText& Text, const TViewFit& Fit);

// The text shown in place of an empty definition.
extern const std::string EmptyDrawingText;  // "（図形なし）"
// The note on a drawing that a bound cut short.
extern const std::string CutShortText;  // "一部のみ表示しています"
