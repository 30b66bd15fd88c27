// What the window-run benchmarks share (bench/window_bench for the Qt window,
// bench/win32_bench for the Win32 one): a generated library of small drawing
// and figure files, and the plain search over it without a window.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "app/search.h"
#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
#include "testkit/jwbuilder.h"
#include "text/widepath.h"

// Writes Count small files under Dir, 100 a folder, alternately drawings and
// figures of three definitions each (a few hundred bytes). Answers their
// paths in the order the folder button lists them.
inline std::vector<std::string> WriteSmallLibrary(const std::filesystem::path& Dir, int Count) {
  std::vector<jwb::Bytes> kinds;
  for (int k = 0; k < 8; ++k) {
    jwb::Drawing d(700);
    for (int i = 1; i <= 3; ++i)
      d.Def(i, "PART" + std::to_string(k) + "-" + std::to_string(i)).Line();
    kinds.push_back(k % 2 ? d.JwsBytes() : d.JwwBytes());
  }
  std::vector<std::string> paths;
  for (int i = 0; i < Count; ++i) {
    char folder[16], name[32];
    std::snprintf(folder, sizeof folder, "f%04d", i / 100);
    std::snprintf(name, sizeof name, "part%06d.%s", i, i % 2 ? "jws" : "jww");
    const std::filesystem::path at = Dir / folder;
    if (i % 100 == 0) std::filesystem::create_directories(at);
    const std::string path = Utf8OfPath((at / name).make_preferred());
    jwb::WriteFile(path, kinds[static_cast<size_t>(i) % kinds.size()]);
    paths.push_back(path);
  }
  return paths;
}

// The search run without a window: the list is Paths, the rows are kept,
// nothing is drawn (what quillon-cli's search costs, in-process).
class TPlainRun : public TSearchWindow {
 public:
  explicit TPlainRun(std::vector<std::string> Paths) : Paths(std::move(Paths)) {}
  std::vector<std::array<std::string, 3>> Rows;
  int ListCount() override { return static_cast<int>(Paths.size()); }
  std::string ListEntry(int Index) override { return Paths[static_cast<size_t>(Index)]; }
  void ClearSelection() override {}
  void SetSelected(int, bool) override {}
  void SetStatusText(const std::string&) override {}
  void ProcessMessages() override {}
  void SetCell(int Col, int Row, const std::string& Text) override {
    if (Row >= static_cast<int>(Rows.size()) + 1) Rows.resize(static_cast<size_t>(Row));
    Rows[static_cast<size_t>(Row - 1)][static_cast<size_t>(Col)] = Text;
  }
  void SetRowCount(int Count) override { Rows.resize(static_cast<size_t>(std::max(Count - 1, 0))); }
  void ShowResults() override {}

 private:
  std::vector<std::string> Paths;
};

// One plain run over Paths; answers the rows found.
inline size_t PlainSearch(const std::vector<std::string>& Paths) {
  TPlainRun run(Paths);
  TJwwData jww;
  TJwsData jws;
  RunBlockSearch(run, jww, jws);
  return run.Rows.size();
}
