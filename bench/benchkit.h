// What the drawing benchmarks share: a median timer and a definition of
// mixed entities.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "app/displaylist.h"
#include "jww/jwwunit.h"
#include "testkit/jwbuilder.h"

// The median wall time of Runs runs of Work, in milliseconds.
inline double MedianMs(int Runs, const std::function<void()>& Work) {
  std::vector<double> ms;
  for (int i = 0; i < Runs; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    Work();
    ms.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

// Entities added to L: a fifth arcs, 15 % texts, 5 % solids, the rest lines,
// scattered over a 1,000 mm square.

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

// The display list of a definition of 10,000 mixed entities, and in BuildMs
// the median time to build it from the loaded drawing.
inline TDisplayList TenThousandEntities(double& BuildMs) {
  jwb::Drawing d(700);
  FillDefinition(d.Def(1, "BIG"), 10000, 7);
  const jwb::Bytes bytes = d.JwwBytes();
  TJwwData reader;
  reader.LoadFromMemory(bytes.data(), bytes.size());
  TDisplayList list;
  BuildMs = MedianMs(9, [&] { list = BuildDisplayList(reader, 0); });
  return list;
}
