// The Win32 windows under Wine, driven by window messages: a search run
// fills the results list view with the rows the readers give, a dropped
// long Japanese path is added, the layout file brings the windows back
// where they were, problem files are marked, a run stops on Esc, more rows
// than a grid could hold are kept, and the preview draws the current row.
#include <gtest/gtest.h>
#include <windows.h>

#include <shlobj.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/search.h"
#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
#include "testkit/jwbuilder.h"
#include "text/codec.h"
#include "text/widepath.h"
#include "win32/controls.h"
#include "win32/mainwindow.h"
#include "win32/previewpane.h"
#include "win32/problemlist.h"
#include "win32/resultswindow.h"
#include "win32/thumbnailview.h"

namespace fs = std::filesystem;

namespace {

class Win32Forms : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterForms(GetModuleHandleW(nullptr));
    Dir = fs::temp_directory_path() /
          PathOfUtf8("quillon-win32-図面-" + std::to_string(GetCurrentProcessId()));
    fs::create_directories(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }

  std::string Write(const std::u8string& Name, const std::vector<std::string>& Defs) {
    jwb::Drawing d(700);
    int32_t n = 1;
    for (const std::string& def : Defs) d.Def(n++, def).Line();
    const std::string path = Utf8OfPath(Dir / Name);
    jwb::WriteFile(path, d.JwwBytes());
    return path;
  }

  // Sends a drop of Paths as Explorer does.
  static void Drop(HWND Window, const std::vector<std::string>& Paths) {
    std::wstring names;
    for (const std::string& p : Paths) names += WideOfUtf8(p) + L'\0';
    names += L'\0';
    const size_t bytes = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    auto* df = static_cast<DROPFILES*>(GlobalLock(g));
    df->pFiles = sizeof(DROPFILES);
    df->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(df) + sizeof(DROPFILES), names.data(),
                names.size() * sizeof(wchar_t));
    GlobalUnlock(g);
    SendMessageW(Window, WM_DROPFILES, reinterpret_cast<WPARAM>(g), 0);
  }

  static void Click(HWND Window, HWND Button) {
    SendMessageW(Window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(Button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(Button));
  }

  fs::path Dir;
};

TEST_F(Win32Forms, SearchFillsTheListViewWithTheReadersRows) {
  const std::string a = Write(u8"ドア.jww", {"D-1", "\x8C\xCB\x8A\xD6"});  // 玄関
  std::u8string longName;
  for (int i = 0; i < 100; ++i) longName += u8"長";
  longName += u8".jww";
  const std::string b = Write(longName, {"B"});
  TForm1 form;
  form.QuitOnClose = false;
  form.Model.LayoutFile = Utf8OfPath(Dir / "layout.dat");
  form.FormShow(SW_SHOWNOACTIVATE);
  Drop(form.Handle, {a, b, Utf8OfPath(Dir)});  // the folder is skipped
  ASSERT_EQ(form.ListPaths(), (std::vector<std::string>{a, b}));

  std::vector<std::wstring> shown;
  form.Form2->OnShown = [&](TForm2& f) {
    for (int p = 0; p < f.DrawnRowCount(); ++p) shown.push_back(f.DrawnText(p, 2));
    f.Close();
  };
  Click(form.Handle, form.Button3);
  std::vector<std::wstring> expected;
  TJwwData jww;
  TJwsData jws;
  for (const std::string& path : {a, b}) {
    for (const std::string& name : ReadFileBlocks(path, jww, jws).Names)
      expected.push_back(WideOfUtf8(Cp932ToUtf8(name)));
  }
  EXPECT_EQ(shown, expected);
  EXPECT_EQ(form.Form2->DrawnText(0, 1), WideOfUtf8(a));

  // The filter narrows what the list view draws; a header click sorts it
  // and puts the arrow on that column.
  form.Form2->SetFilter(L"d-1");
  EXPECT_EQ(form.Form2->DrawnRowCount(), 1);
  form.Form2->SetFilter(L"");
  NMLISTVIEW click{};
  click.hdr = {form.Form2->SG1, static_cast<UINT_PTR>(GetDlgCtrlID(form.Form2->SG1)),
               static_cast<UINT>(LVN_COLUMNCLICK)};
  click.iSubItem = 2;
  SendMessageW(form.Form2->Handle, WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
  EXPECT_EQ(form.Form2->DrawnText(0, 2), L"B");
  HDITEMW header{};
  header.mask = HDI_FORMAT;
  Header_GetItem(ListView_GetHeader(form.Form2->SG1), 2, &header);
  EXPECT_TRUE(header.fmt & HDF_SORTUP);
  form.Close();
}

// The list's selection reaches the model only as the user makes it: a
// selection the list box holds without a caret the user placed deletes
// nothing; once the user has selected, the delete button deletes it.
TEST_F(Win32Forms, DeleteTakesTheUsersSelectionAndNeedsACurrentLine) {
  const std::string a = Write(u8"a.jww", {"A"}), b = Write(u8"b.jww", {"B"});
  TForm1 form;
  form.QuitOnClose = false;
  form.Model.LayoutFile = Utf8OfPath(Dir / "layout.dat");
  form.FormShow(SW_SHOWNOACTIVATE);
  form.DropFiles({a, b});
  SendMessageW(form.ListBox1, LB_SETSEL, TRUE, 0);
  Click(form.Handle, form.Button2);
  EXPECT_EQ(form.ListPaths().size(), 2u);
  SendMessageW(form.Handle, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(form.ListBox1), LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(form.ListBox1));
  Click(form.Handle, form.Button2);
  EXPECT_EQ(form.ListPaths(), std::vector<std::string>{b});
  form.Close();
}

// The list starts with focus, counts its files, selects all on Ctrl+A, says
// the entry under the mouse as a tooltip and widens with the window; the
// open-file dialog offers the three JW choices.
TEST_F(Win32Forms, TheListSaysWhichFileIsWhich) {
  const std::string a = Write(u8"a.jww", {"A"}), b = Write(u8"図面 b.jww", {"B"});
  TForm1 form;
  form.QuitOnClose = false;
  form.Model.LayoutFile = Utf8OfPath(Dir / "layout.dat");
  form.FormShow(SW_SHOWNOACTIVATE);
  EXPECT_EQ(GetFocus(), form.ListBox1);
  EXPECT_EQ(TextOf(form.FileCount), "0 ファイル");
  Drop(form.Handle, {a, b});
  EXPECT_EQ(TextOf(form.FileCount), "2 ファイル");

  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  SendMessageW(form.ListBox1, WM_KEYDOWN, 'A', 0);
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
  EXPECT_EQ(SendMessageW(form.ListBox1, LB_GETSELCOUNT, 0, 0), 2);
  EXPECT_TRUE(form.Model.Selected(0) && form.Model.Selected(1));

  RECT item{};
  SendMessageW(form.ListBox1, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
  SendMessageW(form.ListBox1, WM_MOUSEMOVE, 0, MAKELPARAM(item.left + 4, item.top + 2));
  std::wstring tip(1024, L'\0');
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = form.ListBox1;
  tool.uId = 1;
  tool.lpszText = tip.data();
  SendMessageW(form.ListTip, TTM_GETTEXTW, tip.size(), reinterpret_cast<LPARAM>(&tool));
  EXPECT_EQ(std::wstring(tip.c_str()), WideOfUtf8(b));

  RECT list{}, button{};
  GetWindowRect(form.ListBox1, &list);
  GetWindowRect(form.Button1, &button);
  const TRect client = NormalClient(form.Handle);
  SetClient(form.Handle, {client.Left, client.Top, client.Width + 100, client.Height});
  RECT wider{}, moved{};
  GetWindowRect(form.ListBox1, &wider);
  GetWindowRect(form.Button1, &moved);
  EXPECT_EQ(wider.right - wider.left, list.right - list.left + 100);
  EXPECT_EQ(moved.left - moved.right, button.left - button.right);  // the same width
  EXPECT_EQ(moved.left, button.left + 100);

  const wchar_t filter[] =
      L"JW 図面・図形ファイル (*.jww;*.jws)\0*.jww;*.jws\0JW 図面ファイル (*.jww)\0*.jww\0"
      L"JW 図形ファイル (*.jws)\0*.jws\0";
  EXPECT_EQ(TForm1::OpenFilter(), std::wstring(filter, sizeof filter / sizeof *filter));
  form.Close();
}

TEST_F(Win32Forms, RunsMarkProblemsStopOnEscAndKeepEveryRow) {
  constexpr int Many = 33000;  // more than a string grid's 32,766 rows
  jwb::Drawing big(700);
  for (int i = 1; i <= Many; ++i) big.Def(i, "R" + std::to_string(i));
  const std::string many = Utf8OfPath(Dir / "many.jww");
  jwb::WriteFile(many, big.JwwBytes());
  const std::string bad = Utf8OfPath(Dir / "bad.jww");
  jwb::WriteFile(bad, jwb::Bytes{'x'});
  const std::string a = Write(u8"a.jww", {"A"});

  TForm1 form;
  form.QuitOnClose = false;
  form.Model.LayoutFile = Utf8OfPath(Dir / "layout.dat");
  form.FormShow(SW_SHOWNOACTIVATE);
  form.DropFiles({many, bad, a});
  int rows = 0;
  form.Form2->OnShown = [&](TForm2& f) {
    rows = f.DrawnRowCount();
    f.Close();
  };
  Click(form.Handle, form.Button3);
  EXPECT_EQ(rows, Many + 1);
  EXPECT_EQ(form.Mark(0), nullptr);
  ASSERT_NE(form.Mark(1), nullptr);
  EXPECT_EQ(form.Mark(1)->Kind, TOutcomeKind::WrongSignature);

  // Esc, or a click on 中止, waiting when the run starts: it ends after the
  // first file.
  PostMessageW(form.ListBox1, WM_KEYDOWN, VK_ESCAPE, 0);
  Click(form.Handle, form.Button3);
  EXPECT_EQ(rows, Many);
  rows = 0;
  PostMessageW(form.Handle, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(form.StopButton), BN_CLICKED),
               reinterpret_cast<LPARAM>(form.StopButton));
  Click(form.Handle, form.Button3);
  EXPECT_EQ(rows, Many);
  // With nothing focused Esc comes as a system key.
  rows = 0;
  PostMessageW(form.Handle, WM_SYSKEYDOWN, VK_ESCAPE, 0);
  Click(form.Handle, form.Button3);
  EXPECT_EQ(rows, Many);
  // Closing during a run stops it, then closes without the results.
  rows = -1;
  PostMessageW(form.Handle, WM_CLOSE, 0, 0);
  Click(form.Handle, form.Button3);
  EXPECT_EQ(rows, -1);
  EXPECT_FALSE(IsWindowVisible(form.Handle));
  EXPECT_FALSE(form.JwwReader);
}

TEST_F(Win32Forms, PreviewDrawsTheCurrentRow) {
  jwb::Drawing d(700);
  jwb::ByteWriter line;
  line.F64(0).F64(0).F64(20).F64(10);
  d.Def(1, "BOX").Line().body = line.Take();
  const std::string path = Utf8OfPath(Dir / "box.jww");
  jwb::WriteFile(path, d.JwwBytes());

  TForm1 form;
  form.QuitOnClose = false;
  form.Model.LayoutFile = Utf8OfPath(Dir / "layout.dat");
  form.FormShow(SW_SHOWNOACTIVATE);
  form.DropFiles({path});
  const TDisplayList* shown = nullptr;
  form.Form2->OnShown = [&](TForm2& f) {
    // Until the drawing arrives (a loaded machine may take its time), each
    // wait ended by the next message.
    const ULONGLONG until = GetTickCount64() + 30000;
    while (!f.Preview->List() && GetTickCount64() < until) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    shown = f.Preview->List();
    f.Close();
  };
  Click(form.Handle, form.Button3);
  ASSERT_NE(shown, nullptr);
  ASSERT_EQ(shown->Lines.size(), 1u);

  // Drawn into a bitmap: dark pixels on the diagonal of the fitted box only.
  constexpr int Width = 200, Height = 120;
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), Width, -Height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  const RECT area{0, 0, Width, Height};
  FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  PaintDisplayList(dc, *shown, area, static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
  GdiFlush();
  const TViewFit fit = FitToPane(shown->Bounds, Width, Height, PreviewMargin);
  const TVec2 low = fit.Map({0, 0}), high = fit.Map({20, 10});
  int inside = 0, outside = 0;
  const auto* pixel = static_cast<const uint32_t*>(bits);
  for (int y = 0; y < Height; ++y) {
    for (int x = 0; x < Width; ++x) {
      if ((pixel[y * Width + x] & 0xFFFFFF) == 0xFFFFFF) continue;
      const bool in = x >= low.X - 2 && x <= high.X + 2 && y >= high.Y - 2 && y <= low.Y + 2;
      ++(in ? inside : outside);
    }
  }
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  EXPECT_GT(inside, 50);
  EXPECT_EQ(outside, 0);
  form.Close();
}

// scripts/test-windows runs this as an unprivileged user from a read-only
// copy of the program; anywhere else the folder is writable and the case
// has nothing to show.
TEST_F(Win32Forms, LayoutGoesToAppDataWhenTheProgramsFolderIsReadOnly) {
  std::wstring exe(32768, L'\0');
  exe.resize(GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size())));
  const std::wstring probe = exe + L".probe";
  HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    GTEST_SKIP() << "the program's folder is writable";
  }
  wchar_t* appData = nullptr;
  ASSERT_TRUE(SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &appData)));
  const std::string expected = Utf8OfWide(appData) + "\\Quillon\\" +
                               Utf8OfPath(fs::path(exe).filename().replace_extension(".dat"));
  CoTaskMemFree(appData);
  EXPECT_EQ(TForm1::DefaultLayoutFile(), expected);
  fs::remove(PathOfUtf8(expected));
  {
    TForm1 form;
    form.QuitOnClose = false;
    form.FormShow(SW_SHOWNOACTIVATE);
    SetWindowPos(form.Handle, nullptr, 210, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    form.Close();
  }
  EXPECT_TRUE(fs::exists(PathOfUtf8(expected)));
  TForm1 again;
  again.QuitOnClose = false;
  again.FormShow(SW_SHOWNOACTIVATE);
  RECT back{};
  GetWindowRect(again.Handle, &back);
  EXPECT_EQ(back.left, 210);
  again.Close();
  fs::remove(PathOfUtf8(expected));
}

TEST_F(Win32Forms, LayoutBringsTheWindowsBackWhereTheyWere) {
  const std::string layout = Utf8OfPath(Dir / "layout.dat");
  RECT moved{};
  {
    TForm1 form;
    form.QuitOnClose = false;
    form.Model.LayoutFile = layout;
    form.FormShow(SW_SHOWNOACTIVATE);
    SetWindowPos(form.Handle, nullptr, 260, 180, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    GetWindowRect(form.Handle, &moved);
    form.Form2->SetColWidth(1, 150);
    form.Close();
  }
  TForm1 again;
  again.QuitOnClose = false;
  again.Model.LayoutFile = layout;
  again.FormShow(SW_SHOWNOACTIVATE);
  RECT back{};
  GetWindowRect(again.Handle, &back);
  EXPECT_EQ(back.left, moved.left);
  EXPECT_EQ(back.top, moved.top);
  EXPECT_EQ(again.Form2->ColWidth(1), 150);
  again.Close();
}

}  // namespace

namespace {

// Closed maximised, the window opens maximised with its normal size kept;
// an empty layout file gives the design sizes, never a title bar; neither
// window can be shrunk below its usable size.
TEST_F(Win32Forms, MaximisedStateAndSoundSizesComeBack) {
  const std::string layout = Utf8OfPath(Dir / "layout.dat");
  TRect normal;
  {
    TForm1 form;
    form.QuitOnClose = false;
    form.Model.LayoutFile = layout;
    form.FormShow(SW_SHOWNORMAL);
    SetWindowPos(form.Handle, nullptr, 120, 90, 500, 400, SWP_NOZORDER);
    normal = NormalClient(form.Handle);
    ShowWindow(form.Handle, SW_MAXIMIZE);
    form.Close();
  }
  {
    TForm1 again;
    again.QuitOnClose = false;
    again.Model.LayoutFile = layout;
    again.FormShow(SW_SHOWNORMAL);
    EXPECT_TRUE(IsZoomed(again.Handle));
    EXPECT_EQ(NormalClient(again.Handle), normal);
    ShowWindow(again.Handle, SW_RESTORE);
    EXPECT_EQ(NormalClient(again.Handle), normal);
    again.Close();
  }
  std::FILE* f = _wfopen(WideOfUtf8(layout).c_str(), L"wb");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  TForm1 empty;
  empty.QuitOnClose = false;
  empty.Model.LayoutFile = layout;
  empty.FormShow(SW_SHOWNOACTIVATE);
  const int dpi = DpiOf(empty.Handle);
  EXPECT_EQ(NormalClient(empty.Handle).Width, ToDevicePixels(TWindowLayout().Main.Width, dpi));
  EXPECT_EQ(NormalClient(empty.Form2->Handle).Height,
            ToDevicePixels(TWindowLayout().Results.Height, dpi));
  SetWindowPos(empty.Handle, nullptr, 0, 0, 20, 20, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_GE(NormalClient(empty.Handle).Width, ToDevicePixels(MinMainWidth, dpi));
  EXPECT_GE(NormalClient(empty.Handle).Height, ToDevicePixels(MinMainHeight, dpi));
  empty.Close();
}

// The block name fills the list view and a drag keeps the user's width; a
// cut cell's tooltip; Shift+F3, Ctrl+A and F6 through the modal loop.
TEST_F(Win32Forms, FittedColumnsAndTheResultsKeys) {
  TForm1 form;
  form.QuitOnClose = false;
  form.Model.LayoutFile = Utf8OfPath(Dir / "layout.dat");
  form.FormShow(SW_SHOWNOACTIVATE);
  TForm2& results = *form.Form2;
  const char* names[] = {"ab", "x", "AB"};
  for (int r = 1; r <= 3; ++r) {
    results.SetCell(0, r, "f.jww");
    results.SetCell(1, r, "C:\\" + std::string(200, 'p') + "\\f.jww");
    results.SetCell(2, r, names[r - 1]);
  }
  results.SetRowCount(4);
  const auto drawnEnd = [&] {
    int end = 0;
    for (int c = 0; c < ResultColCount; ++c) end += ListView_GetColumnWidth(results.SG1, c);
    RECT r{};
    GetClientRect(results.SG1, &r);
    return end - r.right;
  };
  BYTE keys[256]{};
  results.OnShown = [&](TForm2& f) {
    EXPECT_EQ(drawnEnd(), 0);
    EXPECT_GE(f.DrawnColWidth(2), 120);
    EXPECT_LT(f.DrawnColWidth(1), 206);
    SetWindowPos(f.Handle, nullptr, 0, 0, 1000, 400, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(drawnEnd(), 0);
    EXPECT_EQ(f.DrawnColWidth(1), 206);
    HDITEMW drag{};  // the header's item, as a drag sets it
    drag.mask = HDI_WIDTH;
    drag.cxy = Scaled(f.Handle, 300);
    Header_SetItem(ListView_GetHeader(f.SG1), 1, &drag);
    PostMessageW(ListView_GetHeader(f.SG1), WM_LBUTTONUP, 0, 0);
    EXPECT_NE(f.CutCellText(0, 1), L"");
    EXPECT_EQ(f.CutCellText(0, 2), L"");
    SetWindowTextW(f.Edit1, L"ab");
    f.Results.SetCurrentRow(3);
    keys[VK_SHIFT] = keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    PostMessageW(f.Edit1, WM_KEYDOWN, VK_F3, 0);
    PostMessageW(f.SG1, WM_KEYDOWN, 'A', 0);
    PostMessageW(f.SG1, WM_KEYDOWN, VK_F6, 0);
    PostMessageW(f.Handle, WM_CLOSE, 0, 0);
  };
  results.ShowModal();
  keys[VK_SHIFT] = keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
  EXPECT_EQ(results.ColWidth(1), 300);
  EXPECT_EQ(results.Results.Table().Current(), 1);
  EXPECT_EQ(ListView_GetSelectedCount(results.SG1), 3u);
  EXPECT_EQ(results.PreviewWidth(), 0);
  form.Close();
}

}  // namespace

namespace {

std::wstring StatusOf(HWND Bar) {
  wchar_t text[512] = {};
  SendMessageW(Bar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
  return text;
}

void ClickStatus(HWND Window, HWND Bar) {
  NMMOUSE click{};
  click.hdr = {Bar, static_cast<UINT_PTR>(GetDlgCtrlID(Bar)), static_cast<UINT>(NM_CLICK)};
  SendMessageW(Window, WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
}

// Runs Step once the messages posted before it have been handled: a timer
// fires only when the queue holds nothing else.
std::function<void()> AfterQueued;
void RunAfterQueued(std::function<void()> Step) {
  AfterQueued = std::move(Step);
  SetTimer(nullptr, 0, 0, [](HWND, UINT, UINT_PTR Id, DWORD) {
    KillTimer(nullptr, Id);
    std::function<void()> step = std::move(AfterQueued);
    step();
  });
}

// Nothing is refused or fails without a word: refused paths are counted in
// the status bar and listed on a click, a file read in part is listed from
// the results' status bar, Esc in a filter box with text clears it and
// keeps the window, and find-next past the last match says so.
TEST_F(Win32Forms, RefusalsProblemsAndTheLastMatchAreSaid) {
  const std::string a = Write(u8"a.jww", {"AX", "BX"});
  const std::string bad = Utf8OfPath(Dir / "bad.jww");
  jwb::WriteFile(bad, jwb::Bytes{'x'});
  TForm1 form;
  form.QuitOnClose = false;
  form.Model.LayoutFile = Utf8OfPath(Dir / "layout.dat");
  form.FormShow(SW_SHOWNOACTIVATE);
  Drop(form.Handle, {a, bad, Utf8OfPath(Dir / "missing.jww"), Utf8OfPath(Dir)});
  EXPECT_EQ(form.ListPaths(), (std::vector<std::string>{a, bad}));
  EXPECT_EQ(StatusOf(form.StatusBar1), L"2 件を追加できませんでした");
  std::vector<int> listed;
  TProblemList::OnShown = [&](TProblemList& list) {
    listed.push_back(ListView_GetItemCount(list.List));
    list.Close();
  };
  ClickStatus(form.Handle, form.StatusBar1);
  EXPECT_EQ(listed, std::vector<int>{2});

  std::string filterAfterEsc;
  std::wstring note;
  bool showingAfterEsc = false;
  form.Form2->OnShown = [&](TForm2& f) {
    ClickStatus(f.Handle, f.StatusBar1);  // the file read in part
    SetWindowTextW(f.FilterEdit, L"x");
    PostMessageW(f.FilterEdit, WM_KEYDOWN, VK_ESCAPE, 0);
    RunAfterQueued([&] {
      filterAfterEsc = TextOf(f.FilterEdit);
      showingAfterEsc = f.Showing();
      SetWindowTextW(f.Edit1, L"bx");
      f.Button1Click();
      f.Button1Click();
      note = StatusOf(f.StatusBar1);
      f.Close();
    });
  };
  Click(form.Handle, form.Button3);
  TProblemList::OnShown = nullptr;
  EXPECT_EQ(listed, (std::vector<int>{2, 1}));
  EXPECT_EQ(filterAfterEsc, "");
  EXPECT_TRUE(showingAfterEsc);
  EXPECT_NE(note.find(L"これより下に一致する行はありません"), std::wstring::npos)
      << Utf8OfWide(note);
  form.Close();
}

}  // namespace

namespace {

// The thumbnail view shows the table's rows, follows the current row both
// ways, and draws each block once its file is read.
TEST_F(Win32Forms, ThumbnailsFollowTheTable) {
  const std::string a = Write(u8"a.jww", {"A", "B", "C"});
  TForm1 form;
  form.QuitOnClose = false;
  form.Model.LayoutFile = Utf8OfPath(Dir / "layout.dat");
  form.FormShow(SW_SHOWNOACTIVATE);
  form.DropFiles({a});
  int items = 0, focused = -1;
  bool drawn = false, tableHidden = false;
  int columns = 0;
  std::wstring same;
  form.Form2->OnShown = [&](TForm2& f) {
    f.Results.ToggleThumbnails();
    tableHidden = !IsWindowVisible(f.SG1) && IsWindowVisible(f.Thumbs->Handle);
    items = ListView_GetItemCount(f.Thumbs->Handle);
    f.Results.SetCurrentRow(3);
    focused = ListView_GetNextItem(f.Thumbs->Handle, -1, LVNI_FOCUSED);
    // Until the drawings arrive, each wait ended by the next message.
    const ULONGLONG until = GetTickCount64() + 30000;
    while (!f.Results.ThumbnailAt(0) && GetTickCount64() < until) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    drawn = f.Results.ThumbnailAt(0) && f.Results.ThumbnailAt(2);
    // The files are read: the same-drawing column counts at once, drawn
    // after the texts column.
    f.Results.HeaderMenuChosen(1);
    f.Results.HeaderMenuChosen(0);
    columns = Header_GetItemCount(ListView_GetHeader(f.SG1));
    same = f.DrawnText(0, 4);
    f.Results.ToggleThumbnails();
    f.Close();
  };
  Click(form.Handle, form.Button3);
  EXPECT_TRUE(tableHidden);
  EXPECT_EQ(items, 3);
  EXPECT_EQ(focused, 2);
  EXPECT_TRUE(drawn);
  EXPECT_EQ(columns, 5);
  EXPECT_EQ(same, L"2");  // A, B and C draw the same line
  form.Close();
}

}  // namespace
