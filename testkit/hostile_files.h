// Generators of hostile drawing files, each the small form of an input that
// once cost far too much time or memory. Scale sets the size; the tests use
// small scales, the hostile-file benchmark the sizes that were measured.
#pragma once

#include <cstdint>
#include <cstring>
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

// Every generator at a given scale, named, for the benchmark and the tests.
inline std::vector<std::pair<std::string, jwb::Bytes>> All(int32_t Scale) {
  return {{"colliding-numbers.jww", CollidingNumbers(1000 * Scale)},
          {"zeros-announcing-definitions.jww",
           ZerosAnnouncingDefinitions(size_t{1} << (16 + Scale), 3587233)},
          {"zeros-announcing-entities.jww",
           ZerosAnnouncingEntities(size_t{1} << (16 + Scale), 0x7FFFFFFF)},
          {"self-placing.jww", SelfPlacing()}};
}

}  // namespace hostile
