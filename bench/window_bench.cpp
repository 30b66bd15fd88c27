// window_bench: the Qt main window under load (offscreen unless a display is
// asked for). Prints, side by side, the median of a few runs of:
//  - the window's search over 5,000 small generated files, from the click
//    to the results window shown, against the plain search of the same files
//    without a window (in-process) and quillon-cli -r (target: the window
//    within 1.5 times the plain search);
//  - adding 10,000 files with the folder button and deleting all of them
//    after Ctrl+A, each until the list is drawn (target 1 s each).
// The window searches without the saved index, like the plain search.
// Figures only; nothing is judged.
//
// usage: window_bench [--dir DIR]
#include <unistd.h>

#include <QApplication>
#include <QListWidget>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/benchkit.h"
#include "bench/windowkit.h"
#include "qt/mainwindow.h"
#include "qt/resultswindow.h"

#ifndef QUILLON_CLI_PATH
#define QUILLON_CLI_PATH "quillon-cli"
#endif

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::time_point From, Clock::time_point To) {
  return std::chrono::duration<double, std::milli>(To - From).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  fs::path dir = fs::temp_directory_path() / ("quillon-window-bench-" + std::to_string(getpid()));
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string(argv[i]) == "--dir") dir = argv[i + 1];
  }
  fs::remove_all(dir);
  const fs::path searched = dir / "search", added = dir / "add";
  const std::vector<std::string> paths = WriteSmallLibrary(searched, 5000);
  WriteSmallLibrary(added, 10000);

  TForm1 form;
  form.Form2 = new TForm2(&form);
  form.Model.LayoutFile = (dir / "quillon.dat").string();
  form.Model.IndexPath.clear();
  form.show();
  QApplication::processEvents();

  // Adding and deleting 10,000 entries, each until drawn.
  std::vector<double> adds, deletes;
  for (int rep = 0; rep < 3; ++rep) {
    auto t0 = Clock::now();
    form.Model.AddFolder(added.string());
    QApplication::processEvents();
    adds.push_back(Ms(t0, Clock::now()));
    form.ListBox1->setFocus();
    form.Model.SelectAll();
    t0 = Clock::now();
    form.Button2Click();
    QApplication::processEvents();
    deletes.push_back(Ms(t0, Clock::now()));
  }
  std::sort(adds.begin(), adds.end());
  std::sort(deletes.begin(), deletes.end());

  // The search: the window from the click to its results shown.
  form.Model.AddFolder(searched.string());
  QApplication::processEvents();
  Clock::time_point shownAt;
  QTimer closer;
  closer.setInterval(0);
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (!form.Form2->isVisible()) return;
    shownAt = Clock::now();
    form.Form2->reject();
  });
  closer.start();
  std::vector<double> window;
  for (int rep = 0; rep < 3; ++rep) {
    const auto t0 = Clock::now();
    form.Button3Click();
    window.push_back(Ms(t0, shownAt));
  }
  closer.stop();
  std::sort(window.begin(), window.end());
  size_t rows = 0;
  const double plain = MedianMs(3, [&] { rows = PlainSearch(paths); });
  const std::string cli =
      std::string(QUILLON_CLI_PATH) + " -r '" + searched.string() + "' > /dev/null";
  const double command = MedianMs(3, [&] {
    if (std::system(cli.c_str()) != 0) std::fprintf(stderr, "window_bench: quillon-cli failed\n");
  });

  std::printf("Qt window (%s), %ld cores\n", qPrintable(QGuiApplication::platformName()),
              sysconf(_SC_NPROCESSORS_ONLN));
  std::printf("search of 5,000 small files (%zu rows)\n", rows);
  std::printf("  window, click to results shown %8.1f ms  (%.2f x the plain search)\n", window[1],
              window[1] / plain);
  std::printf("  plain search, no window        %8.1f ms\n", plain);
  std::printf("  quillon-cli -r                 %8.1f ms\n", command);
  std::printf("10,000 entries (target 1,000 ms each)\n");
  std::printf("  added by the folder button     %8.1f ms\n", adds[1]);
  std::printf("  deleted after Ctrl+A           %8.1f ms\n", deletes[1]);
  form.Model.Delete();
  fs::remove_all(dir);
  return 0;
}
