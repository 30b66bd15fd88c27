// Generators of hostile drawing files, each the small form of an input that
// once cost far too much time or memory. Scale sets the size; the tests use
// small scales, the hostile-file benchmark the sizes that were measured.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "testkit/jwbuilder.h"

namespace hostile {

// Defs definitions whose numbers all share a hash bucket (multiples of a
// large power of two), the last one placing itself twice, placed once from
// the drawing: a tree at its node bound whose every node looks a number up.
inline jwb::Bytes CollidingNumbers(int32_t Defs) {
  jwb::Drawing d(700);
  const int32_t step = 1 << 20;
  for (int32_t i = 1; i <= Defs; ++i) d.Def(i * step, "N" + std::to_string(i)).Line();
  auto& self = d.Def(0, "SELF");
  self.Insert(0);
  self.Insert(0);
  d.Insert(0);
  return d.JwwBytes();
}

// A drawing cut at its definition count (or its entity count), which announces
// Count records in the 32-bit form, followed by zeros up to Size bytes.
inline jwb::Bytes ZerosAfterACount(size_t Size, int32_t Count, bool Definitions) {
  jwb::Drawing d(700);
  jwb::Bytes b = d.JwwBytes();
  b.resize(Definitions ? d.LastLayout().defCount : d.LastLayout().list.count);
  b.push_back(0xFF);
  b.push_back(0xFF);
  uint8_t count[4];
  std::memcpy(count, &Count, 4);
  b.insert(b.end(), count, count + 4);
  if (b.size() < Size) b.resize(Size, 0);
  return b;
}

// A drawing whose definition count announces Count definitions, followed by
// zeros up to Size bytes: every zero definition would read as an empty one.
inline jwb::Bytes ZerosAnnouncingDefinitions(size_t Size, int32_t Count) {
  return ZerosAfterACount(Size, Count, true);
}

// A drawing whose list announces Count entities followed by zeros up to
// Size bytes: the entity arrays must not be sized by the count.
inline jwb::Bytes ZerosAnnouncingEntities(size_t Size, int32_t Count) {
  return ZerosAfterACount(Size, Count, false);
}

// One small definition placing itself twice: the tree grows to its node
// bound from a file of a few hundred bytes.
inline jwb::Bytes SelfPlacing() {
  jwb::Drawing d(700);
  auto& self = d.Def(7, "LOOP");
  self.Insert(7);
  self.Insert(7);
  d.Insert(7);
  return d.JwwBytes();
}

// Little-endian doubles, as an entity's geometry.
inline jwb::Bytes Geometry(std::initializer_list<double> Values, uint32_t Flag = 0) {
  jwb::ByteWriter w;
  for (double v : Values) w.F64(v);
  w.U32(Flag);
  return w.Take();
}

// One definition holding a text of TextBytes "&" characters, placed Inner
// times by a second definition that a third places Outer times: a page that
// copied the text at every placement (five bytes for each "&") would be
// thousands of times the file.
inline jwb::Bytes PlacedTexts(size_t TextBytes, int Inner, int Outer, bool Figure = false) {
  jwb::Drawing d(700);
  jwb::Entity& text = d.Def(1, "TEXT").Text("font", std::string(TextBytes, '&'));
  jwb::ByteWriter g;  // a baseline 100 long, characters 3 high
  for (double v : {0.0, 0.0, 100.0, 0.0}) g.F64(v);
  g.U32(0);
  for (double v : {3.0, 3.0, 0.0, 0.0}) g.F64(v);
  text.body = g.Take();
  auto& inner = d.Def(2, "INNER");
  for (int i = 0; i < Inner; ++i) inner.Insert(1, 0, 10.0 * i);
  auto& outer = d.Def(3, "OUTER");
  for (int i = 0; i < Outer; ++i) outer.Insert(2, 200.0 * i, 0);
  return Figure ? d.JwsBytes() : d.JwwBytes();
}

// Count definitions, numbered in shuffled order, each with a line, every
// other one placing the next by number: a catalog that made a lookup of all
// the definitions for each drawing would take time quadratic in Count.
inline jwb::Bytes ShuffledDefinitions(int32_t Count) {
  jwb::Drawing d(700);
  std::vector<int32_t> numbers(static_cast<size_t>(Count));
  for (int32_t i = 0; i < Count; ++i) numbers[static_cast<size_t>(i)] = i + 1;
  uint32_t seed = 12345;
  for (size_t i = numbers.size(); i > 1; --i) {
    seed = seed * 1664525u + 1013904223u;
    std::swap(numbers[i - 1], numbers[seed % i]);
  }
  for (int32_t n : numbers) {
    auto& def = d.Def(n, "D" + std::to_string(n));
    def.Line().body = Geometry({0, 0, 1, 1});
    if (n % 2 == 1 && n < Count) def.Insert(n + 1, 2, 0);
  }
  return d.JwwBytes();
}

// An empty definition placed Fan times by a second that a third places Fan
// times, and Defs definitions that each place the third: every drawing walks
// Fan x Fan placements that draw nothing.
inline jwb::Bytes EmptyPlacementWalks(int32_t Defs, int Fan) {
  jwb::Drawing d(700);
  d.Def(1, "EMPTY");
  auto& middle = d.Def(2, "MIDDLE");
  for (int i = 0; i < Fan; ++i) middle.Insert(1, i, 0);
  auto& top = d.Def(3, "TOP");
  for (int i = 0; i < Fan; ++i) top.Insert(2, 0, i);
  for (int32_t i = 0; i < Defs; ++i) d.Def(4 + i, "W" + std::to_string(i)).Insert(3);
  return d.JwwBytes();
}

// A definition of Arcs whole circles of growing radius, placed Times times
// by a second: a drawing of Arcs x Times arcs, from a small file.
inline jwb::Bytes PlacedArcs(int Arcs, int Times) {
  jwb::Drawing d(700);
  auto& arcs = d.Def(1, "ARCS");
  for (int i = 0; i < Arcs; ++i) arcs.Arc().body = Geometry({0, 0, 1000.0 + i, 0, 0, 0, 1}, 1);
  auto& placed = d.Def(2, "PLACED");
  for (int i = 0; i < Times; ++i) placed.Insert(1, i, 0);
  return d.JwwBytes();
}

// Every generator at a given scale, named, for the benchmark and the tests.
inline std::vector<std::pair<std::string, jwb::Bytes>> All(int32_t Scale) {
  return {{"colliding-numbers.jww", CollidingNumbers(1000 * Scale)},
          {"zeros-announcing-definitions.jww",
           ZerosAnnouncingDefinitions(size_t{1} << (16 + Scale), 3587233)},
          {"zeros-announcing-entities.jww",
           ZerosAnnouncingEntities(size_t{1} << (16 + Scale), 0x7FFFFFFF)},
          {"self-placing.jww", SelfPlacing()},
          {"placed-texts.jws", PlacedTexts(size_t{1} << (8 + Scale), 10 * Scale, 8 * Scale, true)},
          {"shuffled-definitions.jww", ShuffledDefinitions(200 * Scale)},
          {"empty-placement-walks.jww", EmptyPlacementWalks(20 * Scale, 30 * Scale)},
          {"placed-arcs.jww", PlacedArcs(100 * Scale, 100 * Scale)}};
}

}  // namespace hostile
