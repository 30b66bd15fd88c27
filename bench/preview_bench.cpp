// preview_bench: the block drawing's costs. Prints, side by side:
//  - a definition of 10,000 entities (lines, arcs, texts, solids): building
//    its display list from the loaded file (target 20 ms) and drawing it into
//    a 800 x 600 pane (target 50 ms);
//  - a generated parts library (figure files of a dozen small definitions
//    each): quillon-cli's plain TSV search against its HTML catalog of the
//    same files (target: the catalog within 3 times the search), and its
//    duplicate report;
//  - fingerprints: of the 10,000-entity definition against drawing it from
//    the same display list (target: at most 1.5 times the drawing), and the
//    duplicate groups of 160,000 fingerprinted rows
//    (target 1 s).
// Figures are the median of several runs; nothing is judged.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/catalog.h"
#include "app/displaylist.h"
#include "app/fingerprint.h"
#include "app/thumbnail.h"
#include "bench/benchkit.h"
#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
#include "qt/previewpane.h"
#include "testkit/jwbuilder.h"

#ifndef QUILLON_CLI_PATH
#define QUILLON_CLI_PATH "quillon-cli"
#endif

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

void WriteFile(const fs::path& Path, const jwb::Bytes& Bytes) {
  std::ofstream(Path, std::ios::binary)
      .write(reinterpret_cast<const char*>(Bytes.data()),
             static_cast<std::streamsize>(Bytes.size()));
}

double RunCliMs(const std::string& Args) {
  return MedianMs(3, [&] {
    const std::string command = std::string(QUILLON_CLI_PATH) + " " + Args + " > /dev/null";
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
  });
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  double build = 0;
  const TDisplayList list = TenThousandEntities(build);
  QImage image(800, 600, QImage::Format_RGB32);
  const double draw = MedianMs(11, [&] {
    image.fill(Qt::white);
    QPainter painter(&image);
    PaintDisplayList(painter, list, QRectF(0, 0, 800, 600));
  });
  std::printf("10,000-entity definition (%zu shapes)\n", list.ShapeCount());
  std::printf("  display list built   %8.2f ms   (target 20 ms)\n", build);
  std::printf("  drawn 800 x 600      %8.2f ms   (target 50 ms)\n", draw);
  TFingerprint print;
  const double fingerprint = MedianMs(9, [&] { print = FingerprintOf(list); });
  std::printf("  fingerprinted        %8.2f ms   (%.2f x the drawing; target 1.5)\n", fingerprint,
              fingerprint / draw);

  std::string compact;
  const double compacting = MedianMs(9, [&] { compact = CompactThumbnail(list); });
  std::printf("  thumbnail kept       %8.2f ms   (%zu bytes; at most %zu)\n", compacting,
              compact.size(), MaxThumbnailBytes);

  // 160,000 rows: 40,000 names four times each, every two names one
  // drawing, a tenth of the names over a second drawing.
  std::vector<TPrintedRow> rows;
  for (uint64_t i = 0; i < 160'000; ++i) {
    const uint64_t name = i % 40'000;
    const uint64_t drawing = i / 40'000 == 3 && name % 10 == 0 ? 1'000'000 + name : name / 2;
    rows.push_back({"NAME-" + std::to_string(name), {drawing, drawing * 7}, false});
  }
  size_t groups = 0;
  const double report = MedianMs(3, [&] { groups = FindDuplicates(rows).size(); });
  std::printf("  duplicate groups of 160,000 rows %8.1f ms (%zu groups; target 1,000 ms)\n", report,
              groups);

  // A parts library.
  const fs::path dir = fs::temp_directory_path() / "quillon-preview-bench";
  fs::remove_all(dir);
  fs::create_directories(dir);
  constexpr int Files = 300, DefsPerFile = 12;
  for (int f = 0; f < Files; ++f) {
    jwb::Drawing fig(700);
    FillDefinition(fig, 20, static_cast<unsigned>(f));
    for (int k = 0; k < DefsPerFile; ++k)
      FillDefinition(fig.Def(k + 1, "P" + std::to_string(f) + "-" + std::to_string(k)), 40,
                     static_cast<unsigned>(f * 100 + k));
    WriteFile(dir / ("part" + std::to_string(f) + ".jws"), fig.JwsBytes());
  }
  const std::string files = "-r " + dir.string();
  {
    size_t bytes = 0, defs = 0;
    TJwwData jww;
    TJwsData jws;
    for (int f = 0; f < Files; ++f) {
      ReadFileDrawings((dir / ("part" + std::to_string(f) + ".jws")).string(), jww, jws,
                       [](const std::string&) { return true; },
                       [&](int, const std::string&, const TDisplayList& List) {
                         bytes += CompactThumbnail(List).size();
                         ++defs;
                       });
    }
    std::printf(
        "parts library thumbnails kept: %.0f bytes a definition on average (target 2,048)\n",
        defs ? static_cast<double>(bytes) / defs : 0.0);
  }
  std::printf("parts library: %d figure files, %d definitions of 40 entities\n", Files,
              Files * DefsPerFile);
  for (const char* jobs : {"-j1", "-j2"}) {
    const double tsv = RunCliMs(std::string(jobs) + " " + files);
    const double html = RunCliMs(std::string(jobs) + " --format html " + files);
    const double duplicates = RunCliMs(std::string(jobs) + " --duplicates " + files);
    std::printf(
        "  %s  TSV search %8.1f ms   HTML catalog %8.1f ms   ratio %.2f   (target <= 3)"
        "   duplicates %8.1f ms\n",
        jobs, tsv, html, html / tsv, duplicates);
  }
  if (!std::getenv("QUILLON_BENCH_KEEP")) fs::remove_all(dir);
  return 0;
}
