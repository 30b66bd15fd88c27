// hostile_bench: each hostile input at the size it was reported at, with its
// wall time and peak memory beside the targets (at most 1 s; at most 3 x its
// size + 64 MB), listed by quillon-cli -j1 and, for the inputs that draw,
// drawn into the HTML page (at -j1 and -j4), into SVG files and by the
// preview's drawing step (the file read, the definition drawn within the
// catalog's bounds, its arcs flattened for an 800 x 600 pane), with the
// output's size per MB of input (target: at most 20). Beside the SVG files,
// the time to make as many empty files. Prints figures, judges nothing.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/displaylist.h"
#include "app/preview.h"
#include "app/search.h"
#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
#include "testkit/hostile_files.h"

#ifndef QUILLON_CLI_PATH
#define QUILLON_CLI_PATH "quillon-cli"
#endif

namespace fs = std::filesystem;

namespace {

struct TInputFile {
  std::string Name;
  std::function<jwb::Bytes()> Make;
  bool Draws;  // measured in the drawing modes too
  std::string Extension = ".jww";
};

// The preview's drawing step, in the child: what the worker thread and the
// pane's paint do with the last definition of the file.
int PreviewChild(const std::string& Path) {
  TJwwData jww;
  TJwsData jws;
  const TFileBlocks blocks = ReadFileBlocks(Path, jww, jws);
  if (blocks.Names.empty()) return 1;
  TPreviewSource source;
  const TPreview p =
      source.Build(Path, static_cast<int>(blocks.Names.size()) - 1, blocks.Names.back());
  if (!p.List) return 1;
  const TViewFit fit = FitToPane(p.List->Bounds, 800, 600, 8);
  TArcFlattener arcs(fit, 800, 600);
  std::vector<TVec2> points;
  for (const TDrawnArc& a : p.List->Arcs) {
    points.clear();
    arcs.Flatten(a, points);
  }
  std::printf("%zu\n", p.List->ShapeCount());
  return 0;
}

struct TMeasure {
  double Seconds = 0;
  double PeakMb = 0;
};

// Runs Child in a process of its own, its stdout into Out.
TMeasure Measure(const fs::path& Out, const std::function<void()>& Child) {
  std::fflush(stdout);
  const auto t0 = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (!freopen(Out.c_str(), "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(126);
    Child();
    _exit(127);
  }
  int status = 0;
  struct rusage ru {};
  wait4(pid, &status, 0, &ru);
  return {std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(),
          static_cast<double>(ru.ru_maxrss) / 1024.0};
}

uintmax_t SizeOf(const fs::path& P) {
  std::error_code ec;
  if (fs::is_directory(P, ec)) {
    uintmax_t total = 0;
    for (const auto& e : fs::directory_iterator(P)) total += e.file_size();
    return total;
  }
  const uintmax_t n = fs::file_size(P, ec);
  return ec ? 0 : n;
}

}  // namespace

int main() {
  const fs::path dir = fs::temp_directory_path() / ("quillon-hostile-" + std::to_string(getpid()));
  fs::create_directories(dir);
  // Made one at a time and written out before the child starts, so that the
  // child's peak memory is its own.
  const std::vector<TInputFile> inputs = {
      {"colliding numbers, 1,000 definitions", [] { return hostile::CollidingNumbers(1000); },
       false},
      {"colliding numbers, 10,000 definitions", [] { return hostile::CollidingNumbers(10000); },
       false},
      {"zeros announcing definitions, 64 MB",
       [] { return hostile::ZerosAnnouncingDefinitions(size_t{64} << 20, 3587233); }, false},
      {"zeros announcing definitions, 256 MB",
       [] { return hostile::ZerosAnnouncingDefinitions(size_t{256} << 20, 0x7FFFFFFF); }, false},
      {"zeros announcing entities, 256 MB",
       [] { return hostile::ZerosAnnouncingEntities(size_t{256} << 20, 0x7FFFFFFF); }, false},
      {"a definition placing itself twice", [] { return hostile::SelfPlacing(); }, true},
      {"64 KB text placed 250 x 200 times (.jws)",
       [] { return hostile::PlacedTexts(65534, 250, 200, true); }, true, ".jws"},
      {"64 KB text placed 250 x 200 times (.jww)",
       [] { return hostile::PlacedTexts(65534, 250, 200); }, true},
      {"20,000 shuffled definitions", [] { return hostile::ShuffledDefinitions(20000); }, true},
      {"40,000 shuffled definitions", [] { return hostile::ShuffledDefinitions(40000); }, true},
      {"definitions walking 100,000 empty placements",
       [] { return hostile::EmptyPlacementWalks(12000, 316); }, true},
      {"1,000 arcs placed 1,000 times", [] { return hostile::PlacedArcs(1000, 1000); }, true},
  };
  std::printf(
      "each hostile input (targets: <= 1 s, <= 3 x size + 64 MB, output <= 20 MB per MB)\n");
  std::printf("%-44s %-8s %10s %8s %9s %9s %10s %8s\n", "input", "mode", "bytes", "s", "peak MB",
              "limit MB", "out bytes", "out/in");
  int n = 0;
  for (const TInputFile& input : inputs) {
    const fs::path file = dir / ("hostile-" + std::to_string(n++) + input.Extension);
    // Made in a process of its own: a child's peak memory counts the pages
    // it shares with this process, which therefore never holds an input.
    if (const pid_t maker = fork(); maker == 0) {
      jwb::WriteFile(file.string(), input.Make());
      _exit(0);
    } else {
      waitpid(maker, nullptr, 0);
    }
    const size_t size = static_cast<size_t>(SizeOf(file));
    const double mb = static_cast<double>(size) / 1048576.0;
    const fs::path out = dir / "out.txt";
    const fs::path svgs = dir / "svgs";
    auto row = [&](const char* Mode, const TMeasure& M, const fs::path& Output) {
      const uintmax_t OutBytes = Output.empty() ? 0 : SizeOf(Output);
      std::printf("%-44s %-8s %10zu %8.3f %9.1f %9.1f %10ju %8.1f\n", input.Name.c_str(), Mode,
                  size, M.Seconds, M.PeakMb, 3 * mb + 64, OutBytes,
                  static_cast<double>(OutBytes) / 1048576.0 / mb);
    };
    auto cli = [&](std::vector<std::string> Args) {
      return [Args, &file] {
        std::vector<char*> argv{const_cast<char*>(QUILLON_CLI_PATH)};
        for (const std::string& a : Args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(const_cast<char*>(file.c_str()));
        argv.push_back(nullptr);
        execv(QUILLON_CLI_PATH, argv.data());
      };
    };
    row("tsv", Measure(out, cli({"-j1"})), out);
    if (input.Draws) {
      row("html -j1", Measure(out, cli({"-j1", "--format", "html"})), out);
      row("html -j4", Measure(out, cli({"-j4", "--format", "html"})), out);
      fs::remove_all(svgs);
      row("svg", Measure(out, cli({"-j1", "--format", "svg", "--output-dir", svgs.string()})),
          svgs);
      // Beside it, making the same files (names and sizes) with plain
      // system calls: what the file system costs whatever the program does.
      std::vector<std::pair<std::string, size_t>> files;  // in the order written
      if (std::FILE* f = std::fopen(out.c_str(), "r")) {
        char line[4096];
        while (std::fgets(line, sizeof line, f)) {
          std::string path(line);
          if (!path.empty() && path.back() == '\n') path.pop_back();
          files.emplace_back(fs::path(path).filename().string(), SizeOf(path));
        }
        std::fclose(f);
      }
      fs::remove_all(svgs);
      fs::create_directories(svgs);
      row("creates",
          Measure(out,
                  [&] {
                    const std::string filler(1 << 20, 'x');
                    for (const auto& [name, bytes] : files) {
                      const std::string path = (svgs / name).string();
                      const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
                      if (fd < 0) continue;
                      for (size_t at = 0; at < bytes;) {
                        const ssize_t n =
                            write(fd, filler.data(), std::min(filler.size(), bytes - at));
                        if (n <= 0) break;
                        at += static_cast<size_t>(n);
                      }
                      close(fd);
                    }
                    _exit(0);
                  }),
          svgs);
      fs::remove_all(svgs);
      row("preview", Measure(out, [&] { _exit(PreviewChild(file.string())); }), {});
    }
    fs::remove(file);
  }
  fs::remove_all(dir);
  return 0;
}
