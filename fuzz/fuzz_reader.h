// The body of both fuzz targets: load the bytes the way the preview and the
// catalog load a file (entities and definitions, no tree), check the reader,
// take the block names the way the search run and the results window do,
// draw the first definitions through one drawer for the file, as the catalog
// does, within smaller bounds, and check their SVG markup; the names-only
// load of the search must agree with this load; then clear the reader.
// A broken check prints what broke and aborts, which the fuzzer records as
// a crash with the input that caused it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "app/catalog.h"
#include "app/search.h"
#include "jww/archive.h"
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

// SVG markup as the catalog writes it: every "<" opens one of its own
// elements, text between them holds no ">" and only the five escapes, and
// no number in a tag is nan or inf. Empty when it holds.
inline std::string SvgMarkupProblem(std::string_view Svg) {
  auto startsOne = [&](size_t At, std::initializer_list<std::string_view> Words) {
    for (std::string_view w : Words)
      if (Svg.substr(At, w.size()) == w) return true;
    return false;
  };
  for (size_t at = 0; at < Svg.size(); ++at) {
    if (Svg[at] == '<') {
      const size_t end = Svg.find('>', at);
      if (end == std::string_view::npos ||
          !startsOne(at, {"<?xml ", "<svg ", "</svg>", "<g ", "</g>", "<path ", "<polygon ",
                          "<circle ", "<text ", "</text>"}))
        return "an unknown or unclosed element at " + std::to_string(at);
      for (std::string_view bad : {"nan", "inf", "NaN", "Inf"})
        if (Svg.substr(at, end - at).find(bad) != std::string_view::npos)
          return "a " + std::string(bad) + " in a tag";
      at = end;
    } else if (Svg[at] == '>' ||
               (Svg[at] == '&' && !startsOne(at, {"&amp;", "&lt;", "&gt;", "&quot;", "&#39;"}))) {
      return "a raw " + std::string(1, Svg[at]) + " in text at " + std::to_string(at);
    }
  }
  return {};
}

template <class Reader>
int FuzzOneInput(const uint8_t* Data, size_t Size, const char* Path) {
  (void)Path;
  auto reader = std::make_unique<Reader>();
  bool result;
  {
    ByteSource src(std::span<const uint8_t>(Data, Size));
    result = reader->LoadDrawings(src);
  }
  Require(readercheck::CheckLoaded(*reader, result, Size, false), "after the load");

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

  // The first definitions drawn as the catalog draws a file, within its
  // bounds but for fewer placements (a hundred thousand placements take
  // seconds under the sanitizers).
  TDrawLimits drawing = CatalogDrawLimits, file = CatalogFileLimits(Size);
  drawing.Placements = file.Placements = 20000;
  TFileDrawer drawer(*reader, file);
  size_t shapes = 0, bytes = 0;
  for (int32_t i = 0; i < names; ++i) {
    const TDisplayList list = drawer.Draw(i, drawing);
    Require(list.ShapeCount() <= drawing.Shapes && list.Bytes <= drawing.Bytes,
            "a drawing past its bounds");
    shapes += list.ShapeCount();
    bytes += list.Bytes;
    const std::string svg = SvgDrawing(list, 240, 170, i % 2 == 0);
    Require(svg.size() <= list.Bytes + 1024, "markup beyond what the bounds counted");
    Require(SvgMarkupProblem(svg), "in a drawing's markup");
  }
  Require(shapes <= file.Shapes && bytes <= file.Bytes, "a file's drawings past its bounds");

  // The search's names-only load agrees with the drawings' load.
  Require(readercheck::CheckNamesOnlyAgrees(*reader, result, Data, Size), "reading names only");

  reader->Clear();
  Require(readercheck::CheckCleared(*reader), "after Clear");
  return 0;
}

}  // namespace fuzzreader
