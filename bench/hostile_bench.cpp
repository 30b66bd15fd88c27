// hostile_bench: each hostile input at the size it was reported at, listed
// by quillon-cli -j1, with its wall time and peak memory beside the targets
// (at most 1 s; at most 3 x its size + 64 MB). Prints figures, judges
// nothing.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "testkit/hostile_files.h"

#ifndef QUILLON_CLI_PATH
#define QUILLON_CLI_PATH "quillon-cli"
#endif

namespace fs = std::filesystem;

int main() {
  const fs::path dir = fs::temp_directory_path() / ("quillon-hostile-" + std::to_string(getpid()));
  fs::create_directories(dir);
  // Made one at a time and written out before the child starts, so that the
  // child's peak memory is its own.
  const std::vector<std::pair<std::string, std::function<jwb::Bytes()>>> inputs = {
      {"colliding numbers, 1,000 definitions", [] { return hostile::CollidingNumbers(1000); }},
      {"colliding numbers, 10,000 definitions", [] { return hostile::CollidingNumbers(10000); }},
      {"zeros announcing definitions, 64 MB",
       [] { return hostile::ZerosAnnouncingDefinitions(size_t{64} << 20, 3587233); }},
      {"zeros announcing definitions, 256 MB",
       [] { return hostile::ZerosAnnouncingDefinitions(size_t{256} << 20, 0x7FFFFFFF); }},
      {"zeros announcing entities, 256 MB",
       [] { return hostile::ZerosAnnouncingEntities(size_t{256} << 20, 0x7FFFFFFF); }},
      {"a definition placing itself twice", [] { return hostile::SelfPlacing(); }},
  };
  std::printf("quillon-cli -j1 over each hostile input (targets: <= 1 s, <= 3 x size + 64 MB)\n");
  std::printf("%-42s %10s %8s %9s %9s %6s\n", "input", "bytes", "s", "peak MB", "limit MB", "rows");
  int n = 0;
  for (const auto& [name, make] : inputs) {
    const fs::path file = dir / ("hostile-" + std::to_string(n++) + ".jww");
    size_t size = 0;
    {
      const jwb::Bytes bytes = make();
      size = bytes.size();
      jwb::WriteFile(file.string(), bytes);
    }
    std::fflush(stdout);
    const fs::path out = dir / "rows.tsv";
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
      if (!freopen(out.c_str(), "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(126);
      execl(QUILLON_CLI_PATH, QUILLON_CLI_PATH, "-j1", file.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    struct rusage ru {};
    wait4(pid, &status, 0, &ru);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    size_t rows = 0;
    if (FILE* f = std::fopen(out.c_str(), "r")) {
      for (int c; (c = std::fgetc(f)) != EOF;) rows += c == '\n';
      std::fclose(f);
    }
    const double mb = static_cast<double>(size) / 1048576.0;
    std::printf("%-42s %10zu %8.3f %9.1f %9.1f %6zu\n", name.c_str(), size, s,
                static_cast<double>(ru.ru_maxrss) / 1024.0, 3 * mb + 64, rows);
    fs::remove(file);
  }
  fs::remove_all(dir);
  return 0;
}
