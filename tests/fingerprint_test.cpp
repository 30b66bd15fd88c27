// Fingerprints of drawings: blind to where a drawing lies and to the order
// and direction of its records, sensitive to anything larger than the
// tolerance, to colour and to text; and the duplicate groups built on them.
#include "app/fingerprint.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>

namespace {

using ::testing::ElementsAre;

TDisplayList Finish(TDisplayList L) {
  L.Bounds = {};
  for (const TDrawnLine& l : L.Lines) {
    L.Bounds.Add(l.A);
    L.Bounds.Add(l.B);
  }
  for (const TDrawnArc& a : L.Arcs) {
    // As exact whichever axes describe the arc.
    const double rx = std::round(std::hypot(a.U.X, a.V.X) * 1e6) / 1e6;
    const double ry = std::round(std::hypot(a.U.Y, a.V.Y) * 1e6) / 1e6;
    L.Bounds.Add({a.Centre.X - rx, a.Centre.Y - ry});
    L.Bounds.Add({a.Centre.X + rx, a.Centre.Y + ry});
  }
  for (const TDrawnSolid& s : L.Solids)
    for (const TVec2& c : s.Corner) L.Bounds.Add(c);
  for (const TDrawnText& t : L.Texts) L.Bounds.Add(t.Origin);
  return L;
}

// A door: a frame, a leaf swing (a quarter arc), a solid and a label.
TDisplayList Door(double Dx = 0, double Dy = 0) {
  TDisplayList L;
  L.Lines = {{{Dx, Dy}, {Dx + 800, Dy}, 0},
             {{Dx + 800, Dy}, {Dx + 800, Dy + 40}, 0},
             {{Dx, Dy}, {Dx, Dy + 800}, 0xFF0000}};
  L.Arcs = {{{Dx, Dy}, {800, 0}, {0, 800}, 0, std::numbers::pi / 2, 0}};
  L.Solids = {{{{Dx, Dy}, {Dx + 40, Dy}, {Dx + 40, Dy + 40}, {Dx, Dy + 40}}, 0x808080}};
  L.Texts = {{{Dx + 101, Dy + 99}, {200, 0}, {0, 50}, "W800", 0}};
  return Finish(L);
}

TEST(Fingerprint, SameDrawingAndDifferentDrawings) {
  const TFingerprint door = FingerprintOf(Door());
  struct TCase {
    const char* What;
    std::function<void(TDisplayList&)> Change;
    bool Same;
  };
  const TCase cases[] = {
      {"moved", [](TDisplayList& L) { L = Door(12345.678, -98.7); }, true},
      {"records shuffled",
       [](TDisplayList& L) {
         std::reverse(L.Lines.begin(), L.Lines.end());
         std::rotate(L.Lines.begin(), L.Lines.begin() + 1, L.Lines.end());
       },
       true},
      {"a line drawn the other way", [](TDisplayList& L) { std::swap(L.Lines[0].A, L.Lines[0].B); },
       true},
      {"a solid from another corner, the other way round",
       [](TDisplayList& L) {
         auto& c = L.Solids[0].Corner;
         std::swap(c[0], c[2]);  // from the third corner back: 2, 1, 0, 3
       },
       true},
      {"the arc by other conjugate axes, swept backwards",
       [](TDisplayList& L) {
         const double a = 0.3;
         TDrawnArc& arc = L.Arcs[0];
         const TVec2 u = arc.U, v = arc.V;
         arc.U = {u.X * std::cos(a) + v.X * std::sin(a), u.Y * std::cos(a) + v.Y * std::sin(a)};
         arc.V = {-u.X * std::sin(a) + v.X * std::cos(a), -u.Y * std::sin(a) + v.Y * std::cos(a)};
         arc.Start = std::numbers::pi / 2 - a;
         arc.Sweep = -std::numbers::pi / 2;
       },
       true},
      {"a corner moved within the tolerance", [](TDisplayList& L) { L.Lines[1].B.Y += 0.01; },
       true},
      {"a corner moved past the tolerance", [](TDisplayList& L) { L.Lines[1].B.Y += 5; }, false},
      {"another colour", [](TDisplayList& L) { L.Lines[2].Color = 0x00FF00; }, false},
      {"another line type", [](TDisplayList& L) { L.Lines[0].Style = 2; }, false},
      {"another text", [](TDisplayList& L) { L.Texts[0].Text = "W900"; }, false},
      {"the other quarter of the circle",
       [](TDisplayList& L) { L.Arcs[0].Start = std::numbers::pi / 2; }, false},
      {"scaled",
       [](TDisplayList& L) {
         for (TDrawnLine& l : L.Lines) l.A.X *= 1.5, l.A.Y *= 1.5, l.B.X *= 1.5, l.B.Y *= 1.5;
         for (TDrawnArc& a : L.Arcs) a.U.X *= 1.5, a.V.Y *= 1.5;
         for (TDrawnSolid& s : L.Solids)
           for (TVec2& c : s.Corner) c.X *= 1.5, c.Y *= 1.5;
         for (TDrawnText& t : L.Texts) {
           t.Origin.X *= 1.5, t.Origin.Y *= 1.5, t.Advance.X *= 1.5, t.Up.Y *= 1.5;
         }
       },
       false},
      {"a shape fewer", [](TDisplayList& L) { L.Solids.clear(); }, false},
  };
  for (const TCase& c : cases) {
    TDisplayList changed = Door();
    c.Change(changed);
    changed = Finish(changed);
    EXPECT_EQ(FingerprintOf(changed) == door, c.Same) << c.What;
  }
  EXPECT_EQ(door.Hex().size(), 32u);
}

TEST(Duplicates, GroupsByDrawingThenByName) {
  const TFingerprint a{1, 1}, b{2, 2}, c{3, 3};
  const std::vector<TPrintedRow> rows = {
      {"DOOR", a, false},     // 0: same drawing as 2 under another name
      {"WC", b, false},       // 1: same name as 3, another drawing
      {"ドア800", a, false},  // 2
      {"WC", c, false},       // 3
      {"WC", b, false},       // 4: same drawing and name as 1
      {"EMPTY", {}, true},    // 5: draws nothing
      {"NONE", {}, true},     // 6: draws nothing either: not the same drawing
      {"SOLO", {9, 9}, false},
  };
  const std::vector<TDuplicateGroup> groups = FindDuplicates(rows);
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[0].Kind, TDuplicateKind::SameDrawing);
  EXPECT_THAT(groups[0].Members, ElementsAre(0, 2));
  EXPECT_EQ(groups[1].Kind, TDuplicateKind::SameName);
  EXPECT_THAT(groups[1].Members, ElementsAre(1, 3, 4));
  EXPECT_THAT(SameDrawingCounts(rows), ElementsAre(1, 1, 1, 0, 1, 0, 0, 0));
}

}  // namespace
