// thumbnail_bench: the Qt results window's thumbnail view over 40,000 rows
// (4,000 generated figure files of 10 definitions). Prints:
//  - nothing in the saved index: from Ctrl+T to the first screen drawn
//    (target 1 s) and the longest the window's event loop went unanswered
//    meanwhile (target 100 ms);
//  - every drawing in the index: from Ctrl+T to the first screen drawn
//    (target 200 ms) and a page down drawn (target 50 ms);
//  - the thumbnails' memory, per row drawn and for 40,000 rows (target 64 MB).
// Figures only; nothing is judged.
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/catalog.h"
#include "app/index.h"
#include "app/thumbnail.h"
#include "bench/benchkit.h"
#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
#include "qt/resultswindow.h"
#include "qt/thumbnailview.h"
#include "text/nativefile.h"

namespace fs = std::filesystem;

namespace {

constexpr int Files = 4000, DefsPerFile = 10;

// Every cell on screen has its drawing.
bool ScreenDrawn(TForm2& Form) {
  QListView* view = Form.Thumbs;
  const QRect area = view->viewport()->rect();
  const QModelIndex first = view->indexAt(area.topLeft() + QPoint(6, 6));
  QModelIndex last = view->indexAt(area.bottomRight() - QPoint(6, 6));
  if (!first.isValid()) return false;
  const int to = last.isValid() ? last.row() : view->model()->rowCount() - 1;
  for (int p = first.row(); p <= to; ++p) {
    if (!view->visualRect(view->model()->index(p, 2)).intersects(area)) continue;
    if (!Form.Results.ThumbnailAt(p)) return false;
  }
  return true;
}

// Milliseconds until Done, the window's events handled meanwhile; Gap gets
// the longest the event loop went without a turn.
double WaitMs(const std::function<bool()>& Done, double* Gap = nullptr) {
  QElapsedTimer clock, turn;
  clock.start();
  turn.start();
  double longest = 0;
  while (!Done() && clock.elapsed() < 60000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    longest = std::max(longest, static_cast<double>(turn.nsecsElapsed()) / 1e6);
    turn.restart();
  }
  if (Gap) *Gap = longest;
  return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

void Fill(TForm2& Form, const std::vector<std::string>& Paths) {
  int row = 0;
  for (const std::string& p : Paths) {
    for (int k = 0; k < DefsPerFile; ++k) {
      ++row;
      Form.SetCell(0, row, fs::path(p).filename().string());
      Form.SetCell(1, row, p);
      Form.SetCell(2, row, "P" + std::to_string(row));
    }
  }
  Form.SetRowCount(row + 1);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const fs::path dir =
      fs::temp_directory_path() / ("quillon-thumbnail-bench-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "files");
  std::vector<std::string> paths;
  int row = 0;
  for (int f = 0; f < Files; ++f) {
    jwb::Drawing fig(700);
    for (int k = 0; k < DefsPerFile; ++k)
      FillDefinition(fig.Def(k + 1, "P" + std::to_string(++row)), 30,
                     static_cast<unsigned>(f * 100 + k));
    const fs::path p = dir / "files" / ("part" + std::to_string(f) + ".jws");
    jwb::WriteFile(p.string(), fig.JwsBytes());
    // Written well before it is looked at, as a library is.
    fs::last_write_time(p, fs::file_time_type::clock::now() - std::chrono::minutes(5));
    paths.push_back(p.string());
  }
  const std::string indexPath = (dir / "index.sqlite3").string();
  {
    TBlockIndex index(indexPath);
    TJwwData jww;
    TJwsData jws;
    for (const std::string& p : paths) ReadFileBlocksIndexed(&index, p, p, jww, jws);
  }
  std::printf("thumbnail view, %d rows (%d figure files of %d definitions)\n", Files * DefsPerFile,
              Files, DefsPerFile);

  // The results window over the rows, switched to the thumbnails.
  auto OpenThumbnails = [&](TForm2& form) {
    form.Results.SetIndexPath(indexPath);
    Fill(form, paths);
    form.resize(1000, 700);
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) std::fprintf(stderr, "window not shown\n");
    QTest::keyClick(form.SG1, Qt::Key_T, Qt::ControlModifier);
  };
  double gap = 0;
  {
    TForm2 form;
    OpenThumbnails(form);
    const double first = WaitMs([&] { return ScreenDrawn(form); }, &gap);
    std::printf(
        "  nothing kept: first screen %8.1f ms (target 1,000)   longest unanswered %6.1f ms "
        "(target 100)\n",
        first, gap);
    form.Results.StopPreview();  // the drawings made are written to the index
  }
  // Every drawing kept, as after the library was once browsed.
  {
    TBlockIndex index(indexPath);
    TJwwData jww;
    TJwsData jws;
    for (const std::string& p : paths) {
      TFileStamp stamp;
      if (!StampOfFile(p, stamp)) continue;
      std::vector<TKeptDrawing> kept;
      ReadFileDrawings(
          p, jww, jws, [](const std::string&) { return true; },
          [&](int, const std::string&, const TDisplayList& List) {
            kept.push_back({CompactThumbnail(List), FingerprintOf(List), !List.EmptyDrawing()});
          });
      index.RecordDrawings(p, stamp, std::move(kept));
    }
  }
  {
    TForm2 form;
    OpenThumbnails(form);
    const double first = WaitMs([&] { return ScreenDrawn(form); });
    form.Thumbs->setFocus();
    QElapsedTimer clock;
    clock.start();
    QTest::keyClick(form.Thumbs, Qt::Key_PageDown);
    WaitMs([&] { return ScreenDrawn(form); });
    const double page = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    std::printf(
        "  all kept:     first screen %8.1f ms (target 200)     page down %8.1f ms (target "
        "50)\n",
        first, page);
    // Every file drawn, for the memory they take.
    form.Results.ThumbnailsOnScreen(0, Files * DefsPerFile - 1);
    WaitMs([&] { return form.Results.Thumbnails().FileDone(paths.back()); });
    std::printf("  memory: %.0f bytes a row, %.1f MB for %d rows (target 64 MB)\n",
                static_cast<double>(form.Results.Thumbnails().Bytes()) / (Files * DefsPerFile),
                static_cast<double>(form.Results.Thumbnails().Bytes()) / (1 << 20),
                Files * DefsPerFile);
    form.Results.StopPreview();
  }
  fs::remove_all(dir);
  return 0;
}
