#include "win32/mainwindow.h"

// windows.h comes first (mainwindow.h); these need it.
#include <cderr.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>

#include "app/filelist.h"
#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
#include "text/paths.h"
#include "text/sjis.h"
#include "text/widepath.h"
#include "win32/dispatch.h"
#include "win32/previewpane.h"
#include "win32/problemlist.h"

namespace {

constexpr int LabelPanel = 20, CountLine = 16;

// Lets the folder dialog open at the folder it is given.
int CALLBACK BrowseStart(HWND Dialog, UINT Message, LPARAM, LPARAM Folder) {
  if (Message == BFFM_INITIALIZED && Folder) SendMessageW(Dialog, BFFM_SETSELECTIONW, TRUE, Folder);
  return 0;
}

}  // namespace

void RegisterForms(HINSTANCE Instance) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS |
                                           ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.hInstance = Instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  // The program's own icon (resource 1) in the title bar and the task bar;
  // the system's where the executable carries none (the test programs).
  const HICON icon = LoadIconW(Instance, MAKEINTRESOURCEW(1));
  wc.hIcon = icon ? icon : LoadIconW(nullptr, IDI_APPLICATION);
  wc.lpszClassName = MainClass;
  wc.lpfnWndProc = TForm1::Proc;
  RegisterClassExW(&wc);
  wc.lpszClassName = ResultsClass;
  wc.lpfnWndProc = TForm2::Proc;
  RegisterClassExW(&wc);
  RegisterPreviewPane(Instance);
}

// ---------------------------------------------------------------------------
TForm1::TForm1() {
  Handle = CreateWindowExW(WS_EX_ACCEPTFILES, MainClass, L"Quillon",
                           WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT, 100,
                           100, nullptr, nullptr, GetModuleHandleW(nullptr), this);
  Font = MakeFont(Handle);
  Label1 = MakeChild(L"STATIC", L"検索するJWファイル名", SS_LEFT, Handle, 0, Font);
  // A list without data of its own: it draws each entry from the model, so
  // that thousands of entries are added or deleted by a count.
  ListBox1 =
      MakeChild(L"LISTBOX", L"",
                WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_EXTENDEDSEL | LBS_NOTIFY |
                    LBS_NOINTEGRALHEIGHT | LBS_WANTKEYBOARDINPUT | LBS_OWNERDRAWFIXED | LBS_NODATA,
                Handle, IdList, Font);
  FileCount = MakeChild(L"STATIC", L"", SS_LEFT | SS_NOPREFIX, Handle, 0, Font);
  // Created in the order Tab visits them, which is the screen's, top down.
  Button1 = MakeChild(L"BUTTON", L"追加(&A)", WS_TABSTOP, Handle, IdAdd, Font);
  Button2 = MakeChild(L"BUTTON", L"削除(&D)", WS_TABSTOP, Handle, IdDelete, Font);
  FolderButton = MakeChild(L"BUTTON", L"フォルダ(&F)", WS_TABSTOP, Handle, IdFolder, Font);
  Button3 = MakeChild(L"BUTTON", L"検索(&S)", WS_TABSTOP, Handle, IdSearch, Font);
  Button4 = MakeChild(L"BUTTON", L"終了(&X)", WS_TABSTOP, Handle, IdExit, Font);
  ListTip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_SUBCLASS;
  tool.hwnd = ListBox1;
  tool.uId = 1;
  tool.lpszText = const_cast<wchar_t*>(L"");
  SendMessageW(ListTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageW(ListTip, TTM_SETMAXTIPWIDTH, 0, Scaled(Handle, 600));  // long paths wrap
  SetWindowSubclass(ListBox1, ListProc, 1, reinterpret_cast<DWORD_PTR>(this));
  // The bar never paints over 中止 and the progress bar beside its text.
  StatusBar1 = MakeChild(STATUSCLASSNAMEW, L"", WS_CLIPSIBLINGS | SBARS_TOOLTIPS, Handle, 0, Font);
  ProgressBar1 = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD, 0, 0, 10, 10, StatusBar1,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
  // 中止 sits on the status bar beside the progress bar while a run goes; a
  // child of the window (not of the bar) so that its click comes here.
  StopButton = MakeChild(L"BUTTON", L"中止", WS_TABSTOP, Handle, IdStop, Font);
  ShowWindow(StopButton, SW_HIDE);
  SetClient(Handle, ToDevicePixels(TWindowLayout().Main, DpiOf(Handle)));
  Form2 = std::make_unique<TForm2>(Handle);
  Model.Results = &Form2->Results;
  StateChanged();
}

TForm1::~TForm1() {
  Form2.reset();
  if (ListBox1) RemoveWindowSubclass(ListBox1, ListProc, 1);
  if (Handle) DestroyWindow(Handle);
  if (Font) DeleteObject(Font);
}

LRESULT CALLBACK TForm1::Proc(HWND Window, UINT Message, WPARAM Wp, LPARAM Lp) {
  return Dispatch<TForm1>(Window, Message, Wp, Lp);
}

void TForm1::Layout() {
  RECT r{};
  GetClientRect(Handle, &r);
  SendMessageW(StatusBar1, WM_SIZE, 0, 0);
  RECT sb{};
  GetWindowRect(StatusBar1, &sb);
  const int status = sb.bottom - sb.top;
  const int top = Scaled(Handle, LabelPanel);
  // The list takes the width the buttons leave: it widens with the window.
  const int dpi = DpiOf(Handle);
  ListWidth = MainListWidth(MulDiv(r.right, 96, dpi));
  const int list = Scaled(Handle, ListWidth);
  MoveWindow(Label1, Scaled(Handle, 8), Scaled(Handle, 4), Scaled(Handle, 200), Scaled(Handle, 16),
             TRUE);
  const int count = Scaled(Handle, CountLine);
  const int height = std::max(static_cast<int>(r.bottom) - top - status - count, 10);
  MoveWindow(ListBox1, 0, top, list, height, TRUE);
  MoveWindow(FileCount, Scaled(Handle, 4), top + height, list - Scaled(Handle, 4), count, TRUE);
  RECT inside{};
  GetClientRect(ListBox1, &inside);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = ListBox1;
  tool.uId = 1;
  tool.rect = inside;
  SendMessageW(ListTip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
  const int x = list + Scaled(Handle, MainSplitterWidth + 8);
  const int tops[] = {8, 40, 96, 144, 68};
  HWND buttons[] = {Button1, Button2, Button3, Button4, FolderButton};
  for (int i = 0; i < 5; ++i)
    MoveWindow(buttons[i], x, top + Scaled(Handle, tops[i]), Scaled(Handle, i == 4 ? 88 : 75),
               Scaled(Handle, 25), TRUE);
  RECT inner{};
  GetClientRect(StatusBar1, &inner);
  MoveWindow(ProgressBar1, inner.right - Scaled(Handle, 100), 2, Scaled(Handle, 80),
             inner.bottom - 4, TRUE);
  RECT bar{};
  GetWindowRect(StatusBar1, &bar);
  MapWindowPoints(nullptr, Handle, reinterpret_cast<POINT*>(&bar), 2);
  MoveWindow(StopButton, bar.right - Scaled(Handle, 100) - Scaled(Handle, 48), bar.top + 1,
             Scaled(Handle, 44), bar.bottom - bar.top - 2, TRUE);
  SetWindowPos(StopButton, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  // While a run goes the text ends where 中止 and the progress bar begin.
  int parts[] = {Model.StopVisible()
                     ? std::max(static_cast<int>(inner.right) - Scaled(Handle, 100 + 52), 1)
                     : -1,
                 -1};
  SendMessageW(StatusBar1, SB_SETPARTS, Model.StopVisible() ? 2 : 1,
               reinterpret_cast<LPARAM>(parts));
}

std::string TForm1::DefaultLayoutFile() {
  const std::string exe = Utf8OfWide(ExeFileName());
  if (FolderWritable(W(ExtractFolder(exe)))) return LayoutFileFor(exe, true, {});
  wchar_t* appData = nullptr;
  std::string folder;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &appData))) {
    folder = Utf8OfWide(appData) + "\\Quillon";
    CreateDirectoryW(W(folder).c_str(), nullptr);
  }
  CoTaskMemFree(appData);
  return LayoutFileFor(exe, false, folder);
}

void TForm1::FormShow(int ShowCommand) {
  Model.ExeFolder = ExtractFolder(Utf8OfWide(ExeFileName()));
  if (Model.LayoutFile.empty()) Model.LayoutFile = DefaultLayoutFile();
  LoadLayout();
  ClearImageTable();
  JwwReader = std::make_unique<TJwwData>();
  JwsReader = std::make_unique<TJwsData>();
  // Closed maximised, it opens maximised over its kept normal place (unless
  // it is asked to open minimised).
  const bool minimised = ShowCommand == SW_SHOWMINIMIZED || ShowCommand == SW_MINIMIZE ||
                         ShowCommand == SW_SHOWMINNOACTIVE || ShowCommand == SW_FORCEMINIMIZE;
  if (StartMaximized && !minimised) {
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    GetWindowPlacement(Handle, &wp);
    wp.showCmd = SW_SHOWMAXIMIZED;
    SetWindowPlacement(Handle, &wp);
  } else {
    ShowWindow(Handle, ShowCommand);
  }
  Layout();
  Model.AddCommandLine(InitialFiles);
  ListChanged();  // the count under the list, also when it is empty
  SetFocus(ListBox1);
}

void TForm1::LoadLayout() {
  if (const std::optional<TWindowLayout> layout = Model.LoadLayout(WindowLayout()))
    ApplyWindowLayout(*layout);
}

// The file keeps logical pixels: positions and sizes alike are divided by
// the window's density.
TWindowLayout TForm1::WindowLayout() const {
  TWindowLayout layout;
  layout.Main = ToLogicalPixels(NormalClient(Handle), DpiOf(Handle));
  layout.ListWidth = MainListWidth(layout.Main.Width);
  layout.Results = ToLogicalPixels(NormalClient(Form2->Handle), DpiOf(Form2->Handle));
  for (int c = 0; c < ResultColCount; ++c)
    layout.Columns[static_cast<size_t>(c)] = Form2->ColWidth(c);
  layout.MainMaximized = IsWindowVisible(Handle) ? IsZoomed(Handle) != 0 : StartMaximized;
  layout.ResultsMaximized = Form2->Maximized();
  layout.Preview = Form2->Results.PreviewSplit();
  layout.Thumbnails = Form2->Results.ThumbnailPlace();
  layout.TextsColumn = Form2->TextsColumnShown();
  layout.SameColumn = Form2->SameColumnShown();
  return layout;
}

void TForm1::ApplyWindowLayout(const TWindowLayout& Layout) {
  SetClient(Handle, ToDevicePixels(Layout.Main, DpiOf(Handle)));
  ListWidth = Layout.ListWidth;
  SetClient(Form2->Handle, ToDevicePixels(Layout.Results, DpiOf(Form2->Handle)));
  for (int c = 0; c < ResultColCount; ++c)
    Form2->SetColWidth(c, Layout.Columns[static_cast<size_t>(c)]);
  Form2->SetMaximized(Layout.ResultsMaximized);
  Form2->Results.SetPreviewSplit(Layout.Preview);
  Form2->Results.SetThumbnailPlace(Layout.Thumbnails);
  Form2->SetTextsColumnShown(Layout.TextsColumn);
  Form2->SetSameColumnShown(Layout.SameColumn);
  StartMaximized = Layout.MainMaximized;
}

void TForm1::SaveLayout() {
  Model.SaveLayout(WindowLayout());
}

std::optional<std::vector<std::string>> TForm1::AskFiles(const std::string& StartFolder) {
  // The buffer grows until every chosen name fits.
  std::vector<wchar_t> buffer(32 * 1024, L'\0');
  const std::wstring folder = W(StartFolder);
  for (;;) {
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = Handle;
    const std::wstring filter = OpenFilter();
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (GetOpenFileNameW(&ofn)) break;
    if (CommDlgExtendedError() != FNERR_BUFFERTOOSMALL) return std::nullopt;
    const size_t need = *reinterpret_cast<const WORD*>(buffer.data());
    buffer.assign(std::max(buffer.size() * 2, need + 2), L'\0');
  }
  // One name: the whole path. Several: the folder, then each name.
  std::vector<std::wstring> parts;
  for (const wchar_t* p = buffer.data(); *p; p += parts.back().size() + 1) parts.emplace_back(p);
  std::vector<std::string> chosen;
  if (parts.size() == 1) {
    chosen.push_back(Utf8OfWide(parts[0]));
  } else if (parts.size() > 1) {
    std::wstring base = parts[0];
    if (base.back() != L'\\') base += L'\\';
    for (size_t i = 1; i < parts.size(); ++i) chosen.push_back(Utf8OfWide(base + parts[i]));
  }
  return chosen;
}

std::wstring TForm1::OpenFilter() {
  return W(WindowsFileFilter());
}

std::optional<std::string> TForm1::AskFolder(const std::string& StartFolder) {
  std::wstring start = W(StartFolder);
  // The dialog selects a folder given without its closing delimiter.
  if (start.size() > 3 && start.back() == L'\\') start.pop_back();
  BROWSEINFOW bi{};
  bi.hwndOwner = Handle;
  bi.lpfn = BrowseStart;
  bi.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
  bi.lpszTitle = L"追加するフォルダー";
  bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&bi);
  if (!chosen) return std::nullopt;
  std::wstring folder(32768, L'\0');
  std::optional<std::string> out;
  if (SHGetPathFromIDListEx(chosen, folder.data(), static_cast<DWORD>(folder.size()),
                            GPFIDL_DEFAULT)) {
    folder.resize(wcslen(folder.c_str()));
    out = Utf8OfWide(folder);
  }
  CoTaskMemFree(chosen);
  return out;
}

void TForm1::Button3Click() {
  if (JwwReader && JwsReader) Model.Search(*JwwReader, *JwsReader);
}

void TForm1::Close() {
  // During a run the run stops first; the model closes the window then.
  if (Closed || !Model.RequestClose()) return;
  Closed = true;
  ClearImageTable();
  JwwReader.reset();
  JwsReader.reset();
  SaveLayout();
  ShowWindow(Handle, SW_HIDE);
  if (QuitOnClose) PostQuitMessage(0);
}

// The list box is drawn from the model: its entries, selection and marks.
// It holds no data, only the count, so a batch of any size is a few
// messages; the selection is set by ranges.
void TForm1::ListChanged() {
  const LRESULT top = SendMessageW(ListBox1, LB_GETTOPINDEX, 0, 0);  // kept in view
  SendMessageW(ListBox1, WM_SETREDRAW, FALSE, 0);
  const int n = Model.Count();
  if (SendMessageW(ListBox1, LB_GETCOUNT, 0, 0) != n)
    SendMessageW(ListBox1, LB_SETCOUNT, static_cast<WPARAM>(n), 0);
  SendMessageW(ListBox1, LB_SETSEL, FALSE, -1);
  for (int i = 0; i < n;) {
    if (!Model.Selected(i)) {
      ++i;
      continue;
    }
    int last = i;
    while (last + 1 < n && Model.Selected(last + 1)) ++last;
    SendMessageW(ListBox1, LB_SELITEMRANGEEX, static_cast<WPARAM>(i), last);
    i = last + 1;
  }
  if (Model.CurrentLine() >= 0)
    SendMessageW(ListBox1, LB_SETCARETINDEX, static_cast<WPARAM>(Model.CurrentLine()), FALSE);
  SendMessageW(ListBox1, LB_SETTOPINDEX, static_cast<WPARAM>(std::max<LRESULT>(top, 0)), 0);
  SendMessageW(ListBox1, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(ListBox1, nullptr, TRUE);
  SetWindowTextW(FileCount, W(Model.FileCountText()).c_str());
  HotEntry = -1;  // the entry under the mouse may be another now
}

void TForm1::EntryChanged(int Index) {
  SendMessageW(ListBox1, LB_SETSEL, Model.Selected(Index), Index);
  RECT r{};
  SendMessageW(ListBox1, LB_GETITEMRECT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&r));
  InvalidateRect(ListBox1, &r, TRUE);
}

void TForm1::StateChanged() {
  if (!Model.Running()) LastPump = 0;  // a run's first step looks at the queue
  // Busy while a batch of entries is added or deleted.
  if (Model.Working() != WorkCursor) {
    WorkCursor = Model.Working();
    POINT at{};
    GetCursorPos(&at);
    if (WindowFromPoint(at) == Handle || IsChild(Handle, WindowFromPoint(at)))
      SetCursor(LoadCursorW(nullptr, WorkCursor ? IDC_WAIT : IDC_ARROW));
  }
  const bool stopShown = IsWindowVisible(StopButton) != 0;
  for (HWND b : {Button1, Button2, Button3, Button4, FolderButton})
    EnableWindow(b, Model.ButtonsEnabled());
  // A disabled button keeps no focus: Esc must reach the window.
  HWND focus = GetFocus();
  if (Model.Running() && GetActiveWindow() == Handle && (!focus || !IsWindowEnabled(focus)))
    SetFocus(ListBox1);
  SendMessageW(ProgressBar1, PBM_SETRANGE32, 0, static_cast<LPARAM>(Model.ProgressTotal()));
  SendMessageW(ProgressBar1, PBM_SETPOS, static_cast<WPARAM>(Model.ProgressDone()), 0);
  ShowWindow(ProgressBar1, Model.ProgressVisible() ? SW_SHOW : SW_HIDE);
  EnableWindow(StopButton, Model.StopEnabled());
  ShowWindow(StopButton, Model.StopVisible() ? SW_SHOW : SW_HIDE);
  if (stopShown != Model.StopVisible()) Layout();
  SendMessageW(StatusBar1, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(W(Model.StatusText()).c_str()));
  SendMessageW(StatusBar1, SB_SETTIPTEXTW, 0,
               reinterpret_cast<LPARAM>(W(Model.StatusTip()).c_str()));
}

void TForm1::CloseWindow() {
  Close();
}

void TForm1::ShowRejected() {
  if (Model.Rejected().empty()) return;
  TProblemList list(Handle, L"追加できなかったもの", ListedProblems(Model.Rejected()));
  list.ShowModal();
}

void TForm1::ProcessMessages() {
  // An empty look at the queue costs the system a round trip (under Wine a
  // third of a run of small files went on it): the queue is looked at every
  // few milliseconds, which still answers Esc and repaints at once to the
  // eye. The first call of a run always looks.
  const ULONGLONG now = GetTickCount64();
  if (Model.Running() && now - LastPump < PumpInterval && LastPump != 0) return;
  LastPump = Model.Running() ? now : 0;
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) {
    // Esc whatever has focus; with none (or Alt held) it comes as a system
    // key.
    if ((msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) && msg.wParam == VK_ESCAPE) {
      StopClick();
      continue;
    }
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void TForm1::ShowResults() {
  Form2->ShowModal();
}

// The user's selection and caret, handed to the model.
void TForm1::SelectionFromList() {
  const LRESULT count = SendMessageW(ListBox1, LB_GETSELCOUNT, 0, 0);
  std::vector<int> selected(static_cast<size_t>(std::max<LRESULT>(count, 0)));
  if (!selected.empty()) {
    const LRESULT got = SendMessageW(ListBox1, LB_GETSELITEMS, selected.size(),
                                     reinterpret_cast<LPARAM>(selected.data()));
    selected.resize(static_cast<size_t>(std::max<LRESULT>(got, 0)));
  }
  Model.SetSelection(selected, static_cast<int>(SendMessageW(ListBox1, LB_GETCARETINDEX, 0, 0)));
}

// An entry with the mark of its last reading: an error icon when its rows may
// be missing, a warning when damaged records were skipped.
void TForm1::DrawEntry(const DRAWITEMSTRUCT& Item) {
  if (Item.itemID == static_cast<UINT>(-1)) return;
  const int index = static_cast<int>(Item.itemID);
  const bool selected = Item.itemState & ODS_SELECTED;
  FillRect(Item.hDC, &Item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  SetTextColor(Item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  SetBkMode(Item.hDC, TRANSPARENT);
  RECT text = Item.rcItem;
  text.left += Scaled(Handle, 2);
  if (const TFileOutcome* mark = Model.Mark(index)) {
    const int size = Scaled(Handle, 16);
    HICON icon = LoadIconW(nullptr, mark->Failed() ? IDI_ERROR : IDI_WARNING);
    DrawIconEx(Item.hDC, text.left, text.top + (text.bottom - text.top - size) / 2, icon, size,
               size, 0, nullptr, DI_NORMAL);
    text.left += size + Scaled(Handle, 3);
  }
  // A long path loses its middle: the file name stays in view.
  const std::wstring path = W(Model.ListEntry(index));
  text.right -= Scaled(Handle, 2);
  DrawTextW(Item.hDC, path.c_str(), static_cast<int>(path.size()), &text,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_PATH_ELLIPSIS);
  if (Item.itemState & ODS_FOCUS) DrawFocusRect(Item.hDC, &Item.rcItem);
}

void TForm1::ListHover(LPARAM Point) {
  const LRESULT hit = SendMessageW(ListBox1, LB_ITEMFROMPOINT, 0, Point);
  const int entry = HIWORD(hit) ? -1 : static_cast<int>(LOWORD(hit));
  if (entry == HotEntry) return;
  HotEntry = entry;
  TipText = entry < 0 ? std::wstring() : W(Model.EntryTip(entry));
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = ListBox1;
  tool.uId = 1;
  tool.lpszText = TipText.data();
  SendMessageW(ListTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  if (entry < 0) SendMessageW(ListTip, TTM_POP, 0, 0);
}

LRESULT CALLBACK TForm1::ListProc(HWND List, UINT Message, WPARAM Wp, LPARAM Lp, UINT_PTR,
                                  DWORD_PTR Self) {
  if (Message == WM_MOUSEMOVE) reinterpret_cast<TForm1*>(Self)->ListHover(Lp);
  return DefSubclassProc(List, Message, Wp, Lp);
}

LRESULT TForm1::OnMessage(UINT Message, WPARAM Wp, LPARAM Lp) {
  switch (Message) {
    case WM_SIZE:
      Layout();
      return 0;
    case WM_DPICHANGED:
      ApplyDpiChange(Handle, Font, Lp);
      Layout();
      return 0;
    case WM_GETMINMAXINFO:
      LimitTrackSize(Handle, Lp, MinMainWidth, MinMainHeight);
      return 0;
    case WM_SETCURSOR:
      // Busy while a run goes, though Esc and 中止 still answer.
      if (Model.Running() && LOWORD(Lp) == HTCLIENT && reinterpret_cast<HWND>(Wp) != StopButton) {
        SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
        return TRUE;
      }
      if (Model.Working()) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_NOTIFY:
      if (reinterpret_cast<NMHDR*>(Lp)->hwndFrom == StatusBar1 &&
          reinterpret_cast<NMHDR*>(Lp)->code == NM_CLICK && Model.StatusClickable()) {
        ShowRejected();
        return 0;
      }
      break;
    case WM_CLOSE:
      Close();
      return 0;
    case WM_DROPFILES: {
      auto drop = reinterpret_cast<HDROP>(Wp);
      std::vector<std::string> dropped;
      const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
      for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring name(length + 1, L'\0');
        DragQueryFileW(drop, i, name.data(), length + 1);
        name.resize(length);
        dropped.push_back(Utf8OfWide(name));
      }
      DragFinish(drop);
      DropFiles(dropped);
      return 0;
    }
    case WM_MEASUREITEM:
      reinterpret_cast<MEASUREITEMSTRUCT*>(Lp)->itemHeight = static_cast<UINT>(Scaled(Handle, 18));
      return TRUE;
    case WM_DRAWITEM:
      if (Wp == IdList) {
        DrawEntry(*reinterpret_cast<DRAWITEMSTRUCT*>(Lp));
        return TRUE;
      }
      break;
    case WM_COMMAND:
      if (LOWORD(Wp) == IdList && HIWORD(Wp) == LBN_SELCHANGE) {
        SelectionFromList();
        return 0;
      }
      switch (LOWORD(Wp)) {
        case IdAdd:
          Button1Click();
          return 0;
        case IdDelete:
          Button2Click();
          return 0;
        case IdSearch:
          Button3Click();
          return 0;
        case IdExit:
          Close();
          return 0;
        case IdFolder:
          FolderButtonClick();
          return 0;
        case IdStop:
          StopClick();
          return 0;
        default:
          break;
      }
      break;
    case WM_VKEYTOITEM:
      if (LOWORD(Wp) == VK_DELETE) {
        Button2Click();
        return -2;
      }
      if (LOWORD(Wp) == 'A' && GetKeyState(VK_CONTROL) < 0) {
        Model.SelectAll();
        return -2;
      }
      return -1;
    default:
      break;
  }
  return DefWindowProcW(Handle, Message, Wp, Lp);
}
