// index_bench: what the saved index saves. Two generated libraries on the
// local disk, page cache warm: 20,000 figure files of about 8 KB and 3,000 of
// about 60 KB. For each, side by side: the plain search, the first search into
// an empty index, the second search (nothing changed) with the number of
// files it opened, the search after 1 % of the files changed, and walking and
// stat-ing the same files. Searches run as quillon-cli -r -j2 runs them (its
// output without the texts inside the blocks).
//
// usage: index_bench [--small N] [--large N] [--reps N] [--dir DIR]
//        index_bench [--large N] --make-library DIR   (writes the 60 KB library only)
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/index.h"
#include "app/ordered.h"
#include "bench/benchkit.h"
#include "cli/clicore.h"
#include "jws/jwsunit.h"
#include "text/codec.h"
#include "text/nativefile.h"

namespace fs = std::filesystem;

namespace {

struct TReaders {
  TJwwData Jww;
  TJwsData Jws;
};

// A figure file of Definitions definitions of Entities mixed entities each.
jwb::Bytes Figure(int Definitions, int Entities, unsigned Seed) {
  jwb::Drawing d(700);
  for (int i = 1; i <= Definitions; ++i) {
    FillDefinition(d.Def(i, *Utf8ToCp932("部品") + std::to_string(Seed) + "-" + std::to_string(i)),
                   Entities, Seed * 31 + static_cast<unsigned>(i));
  }
  return d.JwsBytes();
}

// Writes Count files into Dir, 100 a folder, their write times an hour ago
// (outside the index's racy window). Answers the files' paths.
std::vector<std::string> MakeLibrary(const fs::path& Dir, int Count, int Definitions,
                                     int Entities) {
  std::vector<jwb::Bytes> kinds;
  for (unsigned k = 0; k < 16; ++k) kinds.push_back(Figure(Definitions, Entities, k));
  const auto past = fs::file_time_type::clock::now() - std::chrono::hours(1);
  std::vector<std::string> paths;
  for (int i = 0; i < Count; ++i) {
    const fs::path folder = Dir / ("棚" + std::to_string(i / 100));
    if (i % 100 == 0) fs::create_directories(folder);
    const fs::path file = folder / ("部品" + std::to_string(i) + ".jws");
    jwb::WriteFile(file.string(), kinds[static_cast<size_t>(i) % kinds.size()]);
    fs::last_write_time(file, past);
    paths.push_back(file.string());
  }
  return paths;
}

// One search over Folder as quillon-cli -r -j2 makes it, through Index when
// not null. Answers the rows.
size_t Search(const std::string& Folder, TBlockIndex* Index) {
  if (Index) Index->LoadInBackground();
  const std::vector<qcli::TInput> inputs = qcli::CollectInputs({Folder}, true);
  const qcli::TBlockFilter filter;
  size_t rows = 0;
  RunOrdered<qcli::TFileResult>(
      inputs.size(), 2, 32, [] { return std::make_unique<TReaders>(); },
      [&](size_t i, std::unique_ptr<TReaders>& r) {
        return qcli::ReadInput(inputs[i], filter, r->Jww, r->Jws, qcli::TDrawingUse::None, false,
                               {}, Index);
      },
      [&](size_t, qcli::TFileResult&& result) {
        rows += result.Rows.size();
        return true;
      },
      [] {});
  if (Index) {
    std::vector<std::string> kept;
    for (const qcli::TInput& input : inputs) kept.push_back(input.FullPath);
    Index->ForgetOthersUnder(qcli::FullPathOf(Folder), kept);
  }
  return rows;
}

void Row(const char* What, double Ms, double PlainMs) {
  std::printf("  %-44s %9.1f ms  %6.1f %% of plain\n", What, Ms, 100 * Ms / PlainMs);
}

void Measure(const char* Name, const fs::path& Dir, int Count, int Definitions, int Entities,
             int Reps) {
  const std::vector<std::string> files = MakeLibrary(Dir, Count, Definitions, Entities);
  sync();  // the library's own writes are not timed with the searches
  const std::string folder = Dir.string();
  const std::string indexPath =
      (Dir.parent_path() / (Dir.filename().string() + ".sqlite3")).string();
  auto dropIndex = [&] {
    for (const char* tail : {"", "-wal", "-shm"}) fs::remove(indexPath + tail);
  };
  uintmax_t bytes = 0;
  for (const std::string& f : files) bytes += fs::file_size(f);
  size_t rows = Search(folder, nullptr);  // warms the page cache
  std::printf("%s: %d files, %.0f KB each on average, %zu block rows\n", Name, Count,
              static_cast<double>(bytes) / Count / 1024, rows);

  const double plain = MedianMs(Reps, [&] { rows = Search(folder, nullptr); });
  const double walk = MedianMs(Reps, [&] {
    TFileStamp stamp;
    for (const qcli::TInput& input : qcli::CollectInputs({folder}, true))
      StampOfFile(input.Path, stamp);
  });
  const double first = MedianMs(Reps, [&] {
    dropIndex();
    TBlockIndex index(indexPath, IndexBusyTimeoutMs, TIndexAnswers::NamesOnly);
    Search(folder, &index);
  });
  uint64_t opened = 0;
  const double second = MedianMs(Reps, [&] {
    TBlockIndex index(indexPath, IndexBusyTimeoutMs, TIndexAnswers::NamesOnly);
    const uint64_t before = FileOpenCount();
    Search(folder, &index);
    opened = FileOpenCount() - before;
  });
  // Each run changes another 1 % of the files (new bytes of the same kind);
  // only the search is timed, and the plain read of just the changed files
  // beside it for the target.
  size_t next = 0;
  const size_t changed = std::max<size_t>(1, files.size() / 100);
  std::vector<double> afterChanges, changedPlains;
  for (int r = 0; r < Reps; ++r) {
    std::vector<std::string> touched;
    for (size_t k = 0; k < changed; ++k, next += 97) {
      const std::string& f = files[next % files.size()];
      jwb::WriteFile(f, Figure(Definitions, Entities, static_cast<unsigned>(next)));
      touched.push_back(f);
    }
    sync();
    afterChanges.push_back(MedianMs(1, [&] {
      TBlockIndex index(indexPath, IndexBusyTimeoutMs, TIndexAnswers::NamesOnly);
      Search(folder, &index);
    }));
    TJwwData jww;
    TJwsData jws;
    changedPlains.push_back(MedianMs(1, [&] {
      for (const std::string& f : touched) ReadFileBlocks(f, jww, jws);
    }));
  }
  std::sort(afterChanges.begin(), afterChanges.end());
  std::sort(changedPlains.begin(), changedPlains.end());
  const double afterChange = afterChanges[afterChanges.size() / 2];
  const double changedPlain = changedPlains[changedPlains.size() / 2];
  Row("plain search", plain, plain);
  Row("first search into an empty index", first, plain);
  Row("second search, nothing changed", second, plain);
  Row("after 1 % of the files changed", afterChange, plain);
  Row("walking and stat-ing the files", walk, plain);
  std::printf("  second search / walk and stat: %.2f x (target <= 3)\n", second / walk);
  std::printf(
      "  1 %% changed: %.1f ms against (nothing changed + plain of the changed %.1f ms) "
      "x 1.5 = %.1f ms\n",
      afterChange, changedPlain, (second + changedPlain) * 1.5);
  std::printf("  drawing files opened by the second search: %llu\n",
              static_cast<unsigned long long>(opened));
  std::printf("  index size: %.0f bytes per block row\n\n",
              static_cast<double>(fs::file_size(indexPath)) / static_cast<double>(rows));
}

}  // namespace

int main(int argc, char** argv) {
  int small = 20000, large = 3000, reps = 3;
  std::string dirOption, libraryOption;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--make-library") libraryOption = argv[i + 1];
    if (a == "--small") small = std::stoi(argv[i + 1]);
    if (a == "--large") large = std::stoi(argv[i + 1]);
    if (a == "--reps") reps = std::max(1, std::stoi(argv[i + 1]));
    if (a == "--dir") dirOption = argv[i + 1];
  }
  if (!libraryOption.empty()) {
    // Only the library of --large 60 KB files, for a search by another program (index_wine.sh).
    MakeLibrary(libraryOption, large, 10, 95);
    sync();
    return 0;
  }
  const fs::path dir = dirOption.empty() ? fs::temp_directory_path() /
                                               ("quillon-index-bench-" + std::to_string(getpid()))
                                         : fs::path(dirOption);
  fs::remove_all(dir);
  fs::create_directories(dir);
  Measure("8 KB figure files", dir / "small", small, 4, 24, reps);
  Measure("60 KB figure files", dir / "large", large, 10, 95, reps);
  fs::remove_all(dir);
  return 0;
}
