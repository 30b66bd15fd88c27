// win32_bench: the Windows program's windows under load, run under Wine (or
// on Windows). Prints, each the median of several runs:
//  - a results table of 1,000,000 rows: the run's last step (the row count
//    set, the list view told), opening the window on it, scrolling by a page
//    and far, selecting a row far down (target 100 ms each);
//  - one filter keystroke over 100,000 rows, redrawn (target 50 ms);
//  - a 10,000-entity definition drawn by the preview into 800 x 600
//    (target 50 ms);
//  - the main window's search over 5,000 small generated files, from the
//    click to the results window shown, against the plain search of the
//    same files without a window (target 1.5 x), both without the saved
//    index;
//  - adding 10,000 files with the folder button and deleting all of them
//    after Ctrl+A, each until the list is drawn (target 1 s each).
// Figures only; nothing is judged. With --window only the main window's.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench/benchkit.h"
#include "bench/windowkit.h"
#include "jww/jwwunit.h"
#include "win32/mainwindow.h"
#include "win32/previewpane.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point From, Clock::time_point To) {
  return std::chrono::duration<double, std::milli>(To - From).count();
}

double Median(std::vector<double> Ms) {
  std::sort(Ms.begin(), Ms.end());
  return Ms[Ms.size() / 2];
}

void Fill(TForm2& Form, int Rows) {
  static const char* const Names[] = {"\x83\x68\x83\x41", "\x91\x8b", "WC", "DOOR", "A-1"};
  for (int r = 1; r <= Rows; ++r) {
    const std::string file = "file" + std::to_string((r - 1) / 40) + ".jww";
    Form.SetCell(0, r, file);
    Form.SetCell(1, r, "C:\\drawings\\site" + std::to_string(r / 4000) + "\\" + file);
    Form.SetCell(2, r, std::string(Names[r % 5]) + std::to_string(r));
  }
}

// Lets the window and its children paint what has become invalid.
void Drawn(HWND Window) {
  RedrawWindow(Window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

}  // namespace

int main(int argc, char** argv) {
  RegisterForms(GetModuleHandleW(nullptr));
  // "--window": only the main window's figures.
  const bool windowOnly = argc > 1 && std::string(argv[1]) == "--window";
  if (!windowOnly) {
    TForm2 form(nullptr);
    Fill(form, 1'000'000);
    // The run's last step, then the window shown with the rows.
    const double count = MedianMs(1, [&] { form.SetRowCount(1'000'001); });
    const double open = MedianMs(1, [&] {
      ShowWindow(form.Handle, SW_SHOWNOACTIVATE);
      Drawn(form.Handle);
    });
    const double page = MedianMs(5, [&] {
      SendMessageW(form.SG1, WM_VSCROLL, SB_PAGEDOWN, 0);
      Drawn(form.SG1);
    });
    int distant = 0;
    const double jump = MedianMs(5, [&] {
      distant += 150'000;
      ListView_EnsureVisible(form.SG1, distant, FALSE);
      Drawn(form.SG1);
    });
    int pick = 0;
    const double select = MedianMs(5, [&] {
      pick += 190'000;
      ListView_SetItemState(form.SG1, pick, LVIS_SELECTED | LVIS_FOCUSED,
                            LVIS_SELECTED | LVIS_FOCUSED);
      ListView_EnsureVisible(form.SG1, pick, FALSE);
      Drawn(form.SG1);
    });
    std::printf("results table of 1,000,000 rows (target 100 ms each)\n");
    std::printf("  row count set (run)    %8.1f ms\n", count);
    std::printf("  window shown and drawn %8.1f ms\n", open);
    std::printf("  a page down            %8.1f ms\n", page);
    std::printf("  150,000 rows further   %8.1f ms\n", jump);
    std::printf("  a row far down chosen  %8.1f ms\n", select);
  }
  if (!windowOnly) {
    TForm2 form(nullptr);
    ShowWindow(form.Handle, SW_SHOWNOACTIVATE);
    Fill(form, 100'000);
    form.SetRowCount(100'001);
    const wchar_t* const keys[] = {L"d", L"do", L"doo", L"door", L"doo", L"do", L"d", L""};
    const double key = MedianMs(8, [&, i = 0]() mutable {
      form.SetFilter(keys[i++ % 8]);
      Drawn(form.Handle);
    });
    std::printf("filter keystroke over 100,000 rows, redrawn %8.1f ms   (target 50 ms)\n", key);
  }
  if (!windowOnly) {
    double build = 0;
    const TDisplayList list = TenThousandEntities(build);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 800, -600, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const RECT area{0, 0, 800, 600};
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    const double draw = MedianMs(7, [&] {
      FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
      PaintDisplayList(dc, list, area, font);
      GdiFlush();
    });
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    std::printf(
        "10,000-entity definition: display list %6.1f ms (target 20), drawn %6.1f ms "
        "(target 50)\n",
        build, draw);
  }
  {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() /
                         ("quillon-window-bench-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(dir);
    const std::vector<std::string> paths = WriteSmallLibrary(dir / "search", 5000);
    WriteSmallLibrary(dir / "add", 10000);
    TForm1 form;
    form.QuitOnClose = false;
    form.Model.LayoutFile = Utf8OfPath(dir / "layout.dat");
    form.Model.IndexPath.clear();
    form.FormShow(SW_SHOWNOACTIVATE);
    std::vector<double> adds, deletes;
    for (int rep = 0; rep < 3; ++rep) {
      auto t0 = Clock::now();
      form.Model.AddFolder(Utf8OfPath(dir / "add"));
      Drawn(form.Handle);
      adds.push_back(Ms(t0, Clock::now()));
      if (form.Model.Count() != 10000) std::fprintf(stderr, "win32_bench: not all added\n");
      form.Model.SelectAll();
      t0 = Clock::now();
      form.Button2Click();
      Drawn(form.Handle);
      deletes.push_back(Ms(t0, Clock::now()));
    }
    form.Model.AddFolder(Utf8OfPath(dir / "search"));
    Drawn(form.Handle);
    Clock::time_point shownAt;
    form.Form2->OnShown = [&](TForm2& Results) {
      shownAt = Clock::now();
      Results.Close();
    };
    std::vector<double> window;
    for (int rep = 0; rep < 3; ++rep) {
      const auto t0 = Clock::now();
      form.Button3Click();
      window.push_back(Ms(t0, shownAt));
    }
    size_t rows = 0;
    const double plain = MedianMs(3, [&] { rows = PlainSearch(paths); });
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    std::printf("main window, %lu cores\n", info.dwNumberOfProcessors);
    std::printf("search of 5,000 small files (%zu rows)\n", rows);
    std::printf("  window, click to results shown %8.1f ms  (%.2f x the plain search)\n",
                Median(window), Median(window) / plain);
    std::printf("  plain search, no window        %8.1f ms\n", plain);
    std::printf("10,000 entries (target 1,000 ms each)\n");
    std::printf("  added by the folder button     %8.1f ms\n", Median(adds));
    std::printf("  deleted after Ctrl+A           %8.1f ms\n", Median(deletes));
    form.Close();
    fs::remove_all(dir);
  }
  return 0;
}
