// load_bench: how fast and how lean the readers are against simply reading
// the same bytes, and how quillon-cli scales with threads.
//
// It writes three workloads into a temporary folder with the test-file
// builder: (a) a line-heavy drawing, (b) a text- and dimension-heavy drawing
// (version 700), (c) many small figure files, (d) a drawing whose texts and
// dimensions all sit inside block definitions that place one another (the
// search lists each definition's texts). For each it prints the time to
// read() the file(s) into memory with the page cache warm, the time of
// LoadFromFile on the same bytes, their throughputs and ratio, and the peak
// resident memory of the loading process. For (c) it also times quillon-cli
// with one job against two and against all cores.
//
// Every measurement runs in a freshly forked child of this small parent, so
// one load's peak memory is not mixed with the generator's or another load's,
// and the best of several repetitions is kept. The figures are printed, never
// judged: the targets appear next to them for the reader of the output.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/search.h"
#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
#include "testkit/jwbuilder.h"
#include "text/codec.h"

#ifndef QUILLON_CLI_PATH
#define QUILLON_CLI_PATH "quillon-cli"
#endif

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct TOptions {
  double SizeMb = 100;   // (a) and (b)
  int Figures = 2000;    // (c)
  double FigureKb = 20;  // (c)
  int Reps = 3;
  std::string Dir;  // keep the files here instead of a temporary folder
  std::string Cli = QUILLON_CLI_PATH;
  std::string Only = "abcd";
};

[[noreturn]] void Fail(const std::string& What) {
  std::fprintf(stderr, "load_bench: %s\n", What.c_str());
  std::exit(1);
}

double Seconds(Clock::duration D) {
  return std::chrono::duration<double>(D).count();
}

// ---------------------------------------------------------------------------
// Generation

std::string Sjis(const char* Utf8) {
  return Utf8ToCp932(Utf8).value();
}

// Fills L with about Entities entities of the line-heavy mix: mostly lines,
// some arcs, points, solids, a few texts and block insertions.
void AddLineHeavy(jwb::EntityList& L, size_t Entities, int32_t Defs, std::mt19937& Rng) {
  for (size_t i = 0; i < Entities; ++i) {
    const unsigned r = Rng() % 1000;
    if (r < 880) {
      L.Line();
    } else if (r < 950) {
      L.Arc();
    } else if (r < 970) {
      L.Point(r % 2 ? 100 : 1);
    } else if (r < 985) {
      L.Solid(r % 2 ? 10 : 2);
    } else if (r < 995) {
      L.Text(Sjis("ＭＳ ゴシック"), Sjis("通り芯 X") + std::to_string(i % 40));
    } else if (Defs > 0) {
      L.Insert(static_cast<int32_t>(1 + Rng() % static_cast<unsigned>(Defs)), 1.0 * i, 2.0 * i);
    } else {
      L.Line();
    }
  }
}

// Fills L with about Entities entities of the text-and-dimension mix.
void AddTextHeavy(jwb::EntityList& L, size_t Entities, std::mt19937& Rng) {
  static const char* const rooms[] = {"事務室",       "会議室",  "ﾛｯｶｰ室",
                                      "廊下",         "EPS・PS", "倉庫",
                                      "多目的トイレ", "給湯室",  "エントランスホール"};
  for (size_t i = 0; i < Entities; ++i) {
    const unsigned r = Rng() % 100;
    if (r < 45) {
      std::string text = Sjis(rooms[Rng() % std::size(rooms)]);
      text += " " + std::to_string(Rng() % 1000) + Sjis("㎡ 天井高 CH=2600");
      L.Text(Sjis("ＭＳ ゴシック"), text);
    } else if (r < 85) {
      L.Dim(Sjis("ＭＳ ゴシック"), std::to_string(100 * (1 + Rng() % 90)));
    } else {
      L.Line();
    }
  }
}

void AddDefs(jwb::Drawing& D, int32_t Count, size_t EntitiesEach, std::mt19937& Rng,
             bool TextHeavy) {
  for (int32_t n = 1; n <= Count; ++n) {
    jwb::BlockDef& def = D.Def(n, Sjis("部品") + std::to_string(n) + "@@SFIGORGFLAG");
    if (TextHeavy) {
      AddTextHeavy(def, EntitiesEach, Rng);
    } else {
      AddLineHeavy(def, EntitiesEach, 0, Rng);
    }
    if (n % 4 != 1) def.Insert(n - 1);  // nested insertions, up to four levels deep
  }
}

// Bytes per entity of a mix, measured on a sample of it.
double BytesPerEntity(bool TextHeavy, bool Figure) {
  std::mt19937 rng(7);
  jwb::Drawing a(700), b(700);
  const size_t n = 20000;
  if (TextHeavy) {
    AddTextHeavy(b, n, rng);
  } else {
    AddLineHeavy(b, n, 0, rng);
  }
  const double sa = static_cast<double>((Figure ? a.JwsBytes() : a.JwwBytes()).size());
  const double sb = static_cast<double>((Figure ? b.JwsBytes() : b.JwwBytes()).size());
  return (sb - sa) / static_cast<double>(n);
}

void WriteDrawing(const std::string& Path, bool TextHeavy, double Mb, uint32_t Seed) {
  std::mt19937 rng(Seed);
  jwb::Drawing d(700);
  const int32_t defs = 200;
  const size_t perDef = 50;
  AddDefs(d, defs, perDef, rng, TextHeavy);
  const double perEntity = BytesPerEntity(TextHeavy, false);
  const double target = Mb * 1024 * 1024 - defs * perDef * perEntity;
  const size_t entities = static_cast<size_t>(std::max(1000.0, target / perEntity));
  if (TextHeavy) {
    AddTextHeavy(d, entities, rng);
  } else {
    AddLineHeavy(d, entities, defs, rng);
  }
  jwb::WriteFile(Path, d.JwwBytes());
}

// (d): definitions of 50 text-heavy entities each, nested as in AddDefs,
// filling the file; the drawing itself only places some of them.
void WriteDefinitionTexts(const std::string& Path, double Mb, uint32_t Seed) {
  std::mt19937 rng(Seed);
  jwb::Drawing d(700);
  const size_t perDef = 50;
  const double perDefBytes = static_cast<double>(perDef) * BytesPerEntity(true, false) + 40;
  const auto defs = static_cast<int32_t>(std::max(10.0, Mb * 1024 * 1024 / perDefBytes));
  AddDefs(d, defs, perDef, rng, true);
  for (int32_t n = 4; n <= defs; n += 4) d.Insert(n);
  jwb::WriteFile(Path, d.JwwBytes());
}

void WriteFigures(const std::string& Folder, int Count, double Kb) {
  std::mt19937 rng(11);
  const double perEntity = BytesPerEntity(false, true);
  const int32_t defs = 8;
  const size_t perDef = 12;
  const double budget = Kb * 1024 - 452 - defs * (perDef * perEntity + 60);
  const size_t entities = static_cast<size_t>(std::max(10.0, budget / perEntity));
  fs::create_directories(Folder);
  for (int i = 0; i < Count; ++i) {
    jwb::Drawing d(i % 5 == 0 ? 600 : 700);
    AddDefs(d, defs, perDef, rng, false);
    AddLineHeavy(d, entities, defs, rng);
    char name[32];
    std::snprintf(name, sizeof name, "fig%05d.jws", i);
    jwb::WriteFile((fs::path(Folder) / name).string(), d.JwsBytes());
  }
}

// Runs Fn in a forked child so that the parent stays small; fails when the
// child does.
void InChild(const std::function<void()>& Fn) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) Fail("fork failed");
  if (pid == 0) {
    try {
      Fn();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "load_bench: %s\n", e.what());
      _exit(1);
    }
    std::fflush(nullptr);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) Fail("a child process failed");
}

// ---------------------------------------------------------------------------
// Measurement

struct TSample {
  double Seconds = 0;
  double CopySeconds = 0;  // RawRead only: into a buffer already mapped
  double PeakMb = 0;       // peak resident memory of the measuring process
  int32_t Defs = 0;
  bool Ok = true;
};

double ResidentMb() {
  FILE* f = std::fopen("/proc/self/statm", "r");
  long pages = 0, resident = 0;
  if (f) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

// Runs Work in a fresh child and returns its time, defs and peak memory.
TSample Measure(const std::function<TSample()>& Work) {
  int fds[2];
  if (pipe(fds) != 0) Fail("pipe failed");
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) Fail("fork failed");
  if (pid == 0) {
    close(fds[0]);
    TSample s;
    try {
      TSample w = Work();
      s.Seconds = w.Seconds;
      s.CopySeconds = w.CopySeconds;
      s.Defs = w.Defs;
      s.Ok = w.Ok;
    } catch (const std::exception&) {
      s.Ok = false;
    }
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    s.PeakMb = static_cast<double>(ru.ru_maxrss) / 1024.0;
    if (write(fds[1], &s, sizeof s) != static_cast<ssize_t>(sizeof s)) _exit(1);
    _exit(0);
  }
  close(fds[1]);
  TSample s;
  const bool got = read(fds[0], &s, sizeof s) == static_cast<ssize_t>(sizeof s);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!got) Fail("a measuring child failed");
  return s;
}

// The best time (and the largest peak) of Reps runs.
TSample Best(int Reps, const std::function<TSample()>& Work) {
  TSample best;
  best.Seconds = 1e300;
  for (int r = 0; r < Reps; ++r) {
    TSample s = Measure(Work);
    best.Ok = best.Ok && s.Ok;
    best.Defs = s.Defs;
    best.PeakMb = std::max(best.PeakMb, s.PeakMb);
    best.Seconds = std::min(best.Seconds, s.Seconds);
    best.CopySeconds = r == 0 ? s.CopySeconds : std::min(best.CopySeconds, s.CopySeconds);
  }
  return best;
}

// Reads whole files the plain way, in the parent, so that the page cache is
// warm for every measurement.
void WarmPageCache(const std::vector<std::string>& Paths) {
  std::vector<char> chunk(1 << 20);
  for (const auto& p : Paths) {
    const int fd = open(p.c_str(), O_RDONLY);
    if (fd < 0) Fail("cannot open " + p);
    while (read(fd, chunk.data(), chunk.size()) > 0) {
    }
    close(fd);
  }
}

// read() of each whole file into a buffer: Seconds into a newly allocated
// buffer (what getting a file into memory costs a program), CopySeconds
// again into the same, already mapped buffer (the kernel's copy alone).
TSample RawRead(const std::vector<std::string>& Paths) {
  auto readAll = [&](std::vector<char>* Reuse) {
    for (const auto& p : Paths) {
      const int fd = open(p.c_str(), O_RDONLY);
      if (fd < 0) throw std::runtime_error("cannot open " + p);
      struct stat st {};
      fstat(fd, &st);
      std::unique_ptr<char[]> fresh;
      char* buffer;
      if (Reuse) {
        if (Reuse->size() < static_cast<size_t>(st.st_size)) Reuse->resize(st.st_size);
        buffer = Reuse->data();
      } else {
        fresh.reset(new char[static_cast<size_t>(st.st_size)]);
        buffer = fresh.get();
      }
      size_t got = 0;
      for (ssize_t n; (n = read(fd, buffer + got, static_cast<size_t>(st.st_size) - got)) > 0;)
        got += static_cast<size_t>(n);
      close(fd);
    }
  };
  TSample s;
  auto t0 = Clock::now();
  readAll(nullptr);
  s.Seconds = Seconds(Clock::now() - t0);
  std::vector<char> reuse;
  readAll(&reuse);
  t0 = Clock::now();
  readAll(&reuse);
  s.CopySeconds = Seconds(Clock::now() - t0);
  return s;
}

// Reads the files through one 1 MB buffer: the least any reader of every
// byte can do.
TSample ChunkRead(const std::vector<std::string>& Paths) {
  std::vector<char> chunk(1 << 20);
  TSample s;
  const auto t0 = Clock::now();
  for (const auto& p : Paths) {
    const int fd = open(p.c_str(), O_RDONLY);
    if (fd < 0) throw std::runtime_error("cannot open " + p);
    while (read(fd, chunk.data(), chunk.size()) > 0) {
    }
    close(fd);
  }
  s.Seconds = Seconds(Clock::now() - t0);
  return s;
}

// LoadFromFile over the files, or with NamesOnly the search's LoadBlockNames.
template <class Reader, bool NamesOnly = false>
TSample Load(const std::vector<std::string>& Paths) {
  Reader reader;
  TSample s;
  const auto t0 = Clock::now();
  for (const auto& p : Paths) {
    const bool loaded = NamesOnly ? reader.LoadBlockNames(p) : reader.LoadFromFile(p);
    s.Ok = loaded && reader.AbsorbedFailures == 0 && s.Ok;
    s.Defs += reader.BlockDefCount;
    reader.Clear();
  }
  s.Seconds = Seconds(Clock::now() - t0);
  return s;
}

// The search's own read of each file (ReadFileBlocks): the names-only load,
// the names cut before the marker and the texts inside each block listed.
TSample SearchRead(const std::vector<std::string>& Paths) {
  TJwwData jww;
  TJwsData jws;
  TSample s;
  const auto t0 = Clock::now();
  for (const auto& p : Paths) {
    const TFileBlocks blocks = ReadFileBlocks(p, jww, jws);
    s.Ok = !blocks.Outcome.Failed() && blocks.Outcome.SkippedRecords == 0 && s.Ok;
    s.Defs += static_cast<int32_t>(blocks.Names.size());
  }
  s.Seconds = Seconds(Clock::now() - t0);
  return s;
}

// The window's search run over Paths with a window that shows nothing.
class TNullWindow : public TSearchWindow {
 public:
  explicit TNullWindow(const std::vector<std::string>& Paths) : Paths(Paths) {}
  int ListCount() override { return static_cast<int>(Paths.size()); }
  std::string ListEntry(int Index) override { return Paths[static_cast<size_t>(Index)]; }
  void ClearSelection() override {}
  void SetSelected(int, bool) override {}
  void SetStatusText(const std::string&) override {}
  void ProcessMessages() override {}
  void SetCell(int, int, const std::string&) override {}
  void SetRowCount(int) override {}
  void ShowResults() override {}

 private:
  const std::vector<std::string>& Paths;
};

double RunWindow(const std::vector<std::string>& Paths, unsigned Jobs) {
  TNullWindow window(Paths);
  TJwwData jww;
  TJwsData jws;
  const auto t0 = Clock::now();
  RunBlockSearch(window, jww, jws, Jobs);
  return Seconds(Clock::now() - t0);
}

double RunCli(const std::string& Cli, unsigned Jobs, const std::string& Folder) {
  const std::string jobs = "-j" + std::to_string(Jobs);
  std::fflush(nullptr);
  const auto t0 = Clock::now();
  const pid_t pid = fork();
  if (pid < 0) Fail("fork failed");
  if (pid == 0) {
    const int devnull = open("/dev/null", O_WRONLY);
    if (devnull >= 0) dup2(devnull, STDOUT_FILENO);
    execl(Cli.c_str(), Cli.c_str(), jobs.c_str(), "-r", Folder.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  const double t = Seconds(Clock::now() - t0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) Fail("quillon-cli failed: " + Cli);
  return t;
}

void PrintHeader() {
  std::printf("%-34s %7s %8s %9s %8s %9s %6s %8s %9s %7s %7s %7s\n", "workload", "MB", "read s",
              "read MB/s", "load s", "load MB/s", "ratio", "copy s", "copy MB/s", "ratio2",
              "peak MB", "limit");
}

void PrintRow(const char* Name, double Mb, const TSample& Read, const TSample& Load) {
  std::printf("%-34s %7.1f %8.4f %9.0f %8.4f %9.0f %6.3f %8.4f %9.0f %7.3f %7.1f %7.1f%s\n", Name,
              Mb, Read.Seconds, Mb / Read.Seconds, Load.Seconds, Mb / Load.Seconds,
              Read.Seconds / Load.Seconds, Read.CopySeconds, Mb / Read.CopySeconds,
              Read.CopySeconds / Load.Seconds, Load.PeakMb, 3 * Mb + 64,
              Load.Ok ? "" : "  (load failed!)");
}

template <class Rows>
void PrintNames(const Rows& R) {
  if (R.empty()) return;
  std::printf(
      "\nThe search's names-only load (LoadBlockNames) against reading the bytes through a 1 MB\n"
      "buffer (chunk); times = names s / chunk s (target <= 3, aim 2); peak target <= 64 MB;\n"
      "search s = the search's whole read of the file(s) (ReadFileBlocks: names and texts).\n"
      "%-34s %7s %8s %8s %7s %7s %9s\n",
      "workload", "MB", "chunk s", "names s", "times", "peak MB", "search s");
  for (const auto& r : R) {
    std::printf("%-34s %7.1f %8.4f %8.4f %7.2f %7.1f %9.4f%s\n", r.Name.c_str(), r.Mb,
                r.Chunk.Seconds, r.Names.Seconds, r.Names.Seconds / r.Chunk.Seconds, r.Names.PeakMb,
                r.Search.Seconds, r.Names.Ok && r.Search.Ok ? "" : "  (load failed!)");
  }
}

double TotalMb(const std::vector<std::string>& Paths) {
  double bytes = 0;
  for (const auto& p : Paths) bytes += static_cast<double>(fs::file_size(p));
  return bytes / 1048576.0;
}

void Usage() {
  std::printf(
      "usage: load_bench [--size MB] [--figures N] [--figure-kb KB] [--reps N] [--only abc]\n"
      "                  [--dir FOLDER] [--cli PATH]\n"
      "  --size MB      size of the drawings (a), (b) and (d) (default 100)\n"
      "  --figures N    number of figure files in (c) (default 2000)\n"
      "  --figure-kb KB size of each figure file (default 20)\n"
      "  --reps N       repetitions; the best is shown (default 3)\n"
      "  --only LETTERS workloads to run, of a, b, c, d (default abcd)\n"
      "  --dir FOLDER   write the files here and keep them (default: a temporary folder)\n"
      "  --cli PATH     quillon-cli to time on (c)\n"
      "Quick run: load_bench --size 10 --figures 200 --reps 1\n");
}

}  // namespace

int main(int argc, char** argv) {
  TOptions o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) Fail("missing value after " + a);
      return argv[++i];
    };
    try {
      if (a == "--size") {
        o.SizeMb = std::stod(value());
      } else if (a == "--figures") {
        o.Figures = std::stoi(value());
      } else if (a == "--figure-kb") {
        o.FigureKb = std::stod(value());
      } else if (a == "--reps") {
        o.Reps = std::max(1, std::stoi(value()));
      } else if (a == "--only") {
        o.Only = value();
      } else if (a == "--dir") {
        o.Dir = value();
      } else if (a == "--cli") {
        o.Cli = value();
      } else if (a == "-h" || a == "--help") {
        Usage();
        return 0;
      } else {
        Usage();
        return 2;
      }
    } catch (const std::logic_error&) {
      Fail("bad value for " + a);
    }
  }
  const bool keep = !o.Dir.empty();
  const fs::path dir =
      keep ? fs::path(o.Dir)
           : fs::temp_directory_path() / ("quillon-load-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string lines = (dir / "a-lines.jww").string();
  const std::string texts = (dir / "b-texts-dims.jww").string();
  const std::string figures = (dir / "c-figures").string();
  const std::string defTexts = (dir / "d-definition-texts.jww").string();
  auto want = [&](char c) { return o.Only.find(c) != std::string::npos; };

  std::printf("Writing the workloads into %s ...\n", dir.c_str());
  const auto g0 = Clock::now();
  if (want('a') && !fs::exists(lines)) InChild([&] { WriteDrawing(lines, false, o.SizeMb, 1); });
  if (want('b') && !fs::exists(texts)) InChild([&] { WriteDrawing(texts, true, o.SizeMb, 2); });
  if (want('c') && !fs::exists(figures))
    InChild([&] { WriteFigures(figures, o.Figures, o.FigureKb); });
  if (want('d') && !fs::exists(defTexts))
    InChild([&] { WriteDefinitionTexts(defTexts, o.SizeMb, 3); });
  std::printf("  done in %.1f s\n\n", Seconds(Clock::now() - g0));

  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  std::printf(
      "Best of %d, page cache warm, %u cores.\n"
      "read  = read() into a newly allocated buffer; ratio  = load MB/s / read MB/s\n"
      "        (target >= 0.333, aim 0.5)\n"
      "copy  = read() again into the same, already mapped buffer; ratio2 = load MB/s / copy MB/s\n"
      "peak  = peak resident memory of the loading process (%.1f MB before the load);\n"
      "limit = 3 x file size + 64 MB\n\n",
      o.Reps, cores, ResidentMb());
  struct TNamesRow {
    std::string Name;
    double Mb;
    TSample Chunk, Names, Search;
  };
  std::vector<TNamesRow> namesRows;
  auto namesOnly = [&](const char* Name, const std::vector<std::string>& P, bool Figures) {
    namesRows.push_back(
        {Name, TotalMb(P), Best(o.Reps, [&] { return ChunkRead(P); }),
         Best(o.Reps, [&] { return Figures ? Load<TJwsData, true>(P) : Load<TJwwData, true>(P); }),
         Best(o.Reps, [&] { return SearchRead(P); })});
  };
  PrintHeader();
  if (want('a')) {
    const std::vector<std::string> p{lines};
    WarmPageCache(p);
    const TSample read = Best(o.Reps, [&] { return RawRead(p); });
    const TSample load = Best(o.Reps, [&] { return Load<TJwwData>(p); });
    PrintRow("(a) lines, drawing v700", TotalMb(p), read, load);
    namesOnly("(a) lines, drawing v700", p, false);
  }
  if (want('b')) {
    const std::vector<std::string> p{texts};
    WarmPageCache(p);
    const TSample read = Best(o.Reps, [&] { return RawRead(p); });
    const TSample load = Best(o.Reps, [&] { return Load<TJwwData>(p); });
    PrintRow("(b) texts+dimensions, drawing v700", TotalMb(p), read, load);
    namesOnly("(b) texts+dimensions, drawing v700", p, false);
  }
  if (want('d')) {
    const std::vector<std::string> p{defTexts};
    WarmPageCache(p);
    const TSample read = Best(o.Reps, [&] { return RawRead(p); });
    const TSample load = Best(o.Reps, [&] { return Load<TJwwData>(p); });
    PrintRow("(d) texts in nested definitions", TotalMb(p), read, load);
    namesOnly("(d) texts in nested definitions", p, false);
  }
  if (want('c')) {
    std::vector<std::string> p;
    for (const auto& e : fs::directory_iterator(figures)) p.push_back(e.path().string());
    std::sort(p.begin(), p.end());
    WarmPageCache(p);
    const TSample read = Best(o.Reps, [&] { return RawRead(p); });
    const TSample load = Best(o.Reps, [&] { return Load<TJwsData>(p); });
    char name[64];
    std::snprintf(name, sizeof name, "(c) %zu figure files", p.size());
    PrintRow(name, TotalMb(p), read, load);
    namesOnly(name, p, true);
    std::printf("    (c) limit applies per file: largest file %.3f MB\n",
                static_cast<double>(fs::file_size(p.back())) / 1048576.0);

    PrintNames(namesRows);
    namesRows.clear();
    std::printf("\nquillon-cli -r over (c), wall time, best of %d:\n", o.Reps);
    std::vector<unsigned> jobs{1, 2};
    if (cores > 2) jobs.push_back(cores);
    double one = 0;
    for (unsigned j : jobs) {
      double best = 1e300;
      for (int r = 0; r < o.Reps; ++r) best = std::min(best, RunCli(o.Cli, j, figures));
      if (j == 1) one = best;
      std::printf("  -j%-3u %8.3f s   speed-up %.2fx%s\n", j, best, one / best,
                  j == 2 ? "   (target >= 1.8x)" : "");
    }
    std::printf("\nthe window's search run over (c), null window, best of %d:\n", o.Reps);
    for (unsigned j : jobs) {
      double best = 1e300;
      for (int r = 0; r < o.Reps; ++r) best = std::min(best, RunWindow(p, j));
      std::printf("  %u reader%s %8.3f s   speed-up %.2fx\n", j, j == 1 ? " " : "s", best,
                  one / best);
    }
  }
  PrintNames(namesRows);
  if (!keep) fs::remove_all(dir);
  return 0;
}
