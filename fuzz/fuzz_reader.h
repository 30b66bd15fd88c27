// The body of both fuzz targets: load the bytes the way a file is loaded,
// check the reader, build the block tree once more, take the block names the
// way the search run and the results window do, draw the first definitions,
// then clear the reader; and
// the names-only load of the search must agree with the full load.
// A broken check prints what broke and aborts, which the fuzzer records as
// a crash with the input that caused it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/catalog.h"
#include "app/search.h"
#include "testkit/reader_checks.h"
#include "text/codec.h"
#include "text/sjis.h"

namespace fuzzreader {

inline void Require(const std::string& Problem, const char* Stage) {
  if (Problem.empty()) return;
  std::fprintf(stderr, "reader check failed %s: %s\n", Stage, Problem.c_str());
  std::abort();
}

inline void Require(bool Ok, const char* What) {
  if (!Ok) Require(std::string(What), "while taking the names");
}

// A digest of everything BuildBlockTree writes (word-wise: the tree may
// hold a million nodes).
template <class Reader>
uint64_t TreeDigest(const Reader& R) {
  uint64_t h = 1469598103934665603ull;
  auto mix = [&h](uint64_t v) { h = (h ^ v) * 1099511628211ull + (h >> 29); };
  auto bits = [](double d) {
    uint64_t v;
    std::memcpy(&v, &d, sizeof v);
    return v;
  };
  mix(static_cast<uint64_t>(R.BlockTreeCount));
  mix(static_cast<uint64_t>(R.UsedBlockDefCount));
  for (const TEntJwwBlockTree& n : R.BlockTree) {
    uint64_t attr[2] = {};
    std::memcpy(attr, &n.Attr, sizeof n.Attr);
    mix(attr[0]);
    mix(attr[1]);
    mix(static_cast<uint64_t>(static_cast<uint32_t>(n.Level)) << 32 |
        static_cast<uint32_t>(n.Parent));
    mix(static_cast<uint64_t>(static_cast<uint32_t>(n.BlockNumber)) << 32 |
        static_cast<uint32_t>(n.DefIndex));
    for (double d : {n.OriginX, n.OriginY, n.M11, n.M12, n.M21, n.M22}) mix(bits(d));
    mix(std::hash<std::string_view>{}(n.Name));
  }
  for (const auto& d : R.BlockDefs) {
    mix(static_cast<uint64_t>(d.Used) << 32 | static_cast<uint32_t>(d.Serial));
  }
  return h;
}

template <class Reader>
int FuzzOneInput(const uint8_t* Data, size_t Size, const char* Path) {
  auto reader = std::make_unique<Reader>();
  const bool result = reader->LoadFromMemory(Data, Size, Path);
  Require(readercheck::CheckLoaded(*reader, result, Size), "after the load");

  // Building the tree again gives the same tree. A tree near its node bound
  // is not built twice: under the sanitizers one such build already takes
  // a good part of the time limit.
  if (reader->BlockTreeCount <= 100000) {
    const uint64_t tree = TreeDigest(*reader);
    reader->BuildBlockTree();
    Require(TreeDigest(*reader) == tree, "building the tree again changed it");
  }

  // The names as the search run lists them and as the results window shows
  // and searches them (a few per input are enough to cover the text paths).
  const int32_t names = reader->BlockDefCount < 16 ? reader->BlockDefCount : 16;
  for (int32_t i = 0; i < names; ++i) {
    const std::string& name = reader->BlockDefs[static_cast<size_t>(i)].Name;
    const std::string listed = CutAtMarker(name);
    Require(name.compare(0, listed.size(), listed) == 0, "the listed name is not a prefix");
    Require(IsUtf8(Cp932ToUtf8(listed)), "the shown name is not UTF-8");
    (void)NormalizeForSearch(listed);
  }

  // The first definitions drawn, as the preview and the catalog draw them,
  // within smaller bounds (a drawing at the real ones takes seconds under
  // the sanitizers).
  const TDrawLimits limits{20000, 20000, MaxPlacementDepth};
  for (int32_t i = 0; i < names && i < 4; ++i) {
    const TDisplayList list = BuildDisplayList(*reader, i, limits);
    Require(list.ShapeCount() <= limits.Shapes, "a drawing past the shape bound");
    (void)SvgDrawing(list, 240, 170, true);
  }

  // The search's names-only load agrees with the full load.
  Require(readercheck::CheckNamesOnlyAgrees(*reader, result, Data, Size), "reading names only");

  reader->Clear();
  Require(readercheck::CheckCleared(*reader), "after Clear");
  return 0;
}

}  // namespace fuzzreader
