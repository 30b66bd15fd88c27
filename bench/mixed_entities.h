// Entities for the drawing benchmarks: a fifth arcs, 15 % texts, 5 % solids,
// the rest lines, scattered over a 1,000 mm square.
#pragma once

#include <string>

#include "testkit/jwbuilder.h"

inline void FillDefinition(jwb::EntityList& L, int Entities, unsigned Seed) {
  auto next = [&] {
    Seed = Seed * 1103515245u + 12345u;
    return static_cast<double>((Seed >> 8) % 10000) / 10;
  };
  for (int i = 0; i < Entities; ++i) {
    jwb::ByteWriter w;
    switch (i % 20) {
      case 0:
      case 1:
      case 2:
      case 3:  // arcs: a fifth
        w.F64(next()).F64(next()).F64(next() / 10 + 1).F64(0).F64(3).F64(0.3).F64(0.7).U32(0);
        L.Arc().body = w.Take();
        break;
      case 4:
      case 5:
      case 6: {  // texts: 15 %
        const double x = next(), y = next();
        w.F64(x).F64(y).F64(x + 12).F64(y).U32(0).F64(2).F64(3).F64(0).F64(i % 90);
        L.Text("font", "\x90\x7d\x96\xca" + std::to_string(i)).body = w.Take();
        break;
      }
      case 7: {  // solids: 5 %
        const double x = next(), y = next();
        w.F64(x).F64(y).F64(x + 5).F64(y).F64(x + 5).F64(y + 5).F64(x).F64(y + 5);
        L.Solid(3).body = w.Take();
        break;
      }
      default:
        w.F64(next()).F64(next()).F64(next()).F64(next());
        L.Line().body = w.Take();
    }
  }
}
