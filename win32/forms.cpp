#include "win32/forms.h"

// windows.h comes first (forms.h); these need it.
#include <cderr.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <windowsx.h>

#include <algorithm>

#include "app/filelist.h"
#include "app/layout.h"
#include "app/windowplace.h"
#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
#include "text/codec.h"
#include "text/paths.h"
#include "text/sjis.h"
#include "text/widepath.h"
#include "win32/dispatch.h"
#include "win32/previewpane.h"

namespace {

const wchar_t* const MainClass = L"QuillonForm1";
const wchar_t* const ResultsClass = L"QuillonForm2";

// Design sizes (96-DPI client areas), as the windows were laid out.
constexpr int MainLeft = 192, MainTop = 107, MainWidth = 280, MainHeight = 245;
constexpr int ResultsLeft = 222, ResultsTop = 129, ResultsWidth = 456, ResultsHeight = 293;
constexpr int DesignColWidths[ResultColCount] = {99, 206, 120};
constexpr int LabelPanel = 20, StatusHeight = 19, SplitterWidth = 3;

// The preview's answer has arrived (posted by its worker thread).
constexpr UINT WmPreviewArrived = WM_APP + 1;
// Shows "読み込み中…" when an answer takes long.
constexpr UINT_PTR LoadingTimer = 1;

enum : int {
  IdList = 101,
  IdAdd,
  IdDelete,
  IdSearch,
  IdExit,
  IdTable,
  IdFilter,
  IdFind,
  IdFindButton,
  IdClose,
  IdCopy,
  IdFolder,
  IdOpen,
  IdShowInFolder,
  IdCopyPath,
  IdStop,
};

void CopyText(HWND Owner, const std::wstring& Text) {
  if (Text.empty() || !OpenClipboard(Owner)) return;
  EmptyClipboard();
  const size_t bytes = (Text.size() + 1) * sizeof(wchar_t);
  if (HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    std::memcpy(GlobalLock(g), Text.c_str(), bytes);
    GlobalUnlock(g);
    if (!SetClipboardData(CF_UNICODETEXT, g)) GlobalFree(g);
  }
  CloseClipboard();
}

std::wstring W(const std::string& Utf8) {
  return WideOfUtf8(Utf8);
}

std::string TextOf(HWND Control) {
  const int n = GetWindowTextLengthW(Control);
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  GetWindowTextW(Control, text.data(), n + 1);
  text.resize(static_cast<size_t>(n));
  return Utf8OfWide(text);
}

HFONT MakeFont(HWND Window) {
  return CreateFontW(-Scaled(Window, 13), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_DONTCARE,
                     L"ＭＳ ゴシック");
}

HWND MakeChild(const wchar_t* Class, const wchar_t* Text, DWORD Style, HWND Parent, int Id,
               HFONT Font) {
  HWND h = CreateWindowExW(0, Class, Text, WS_CHILD | WS_VISIBLE | Style, 0, 0, 10, 10, Parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)),
                           GetModuleHandleW(nullptr), nullptr);
  SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(Font), TRUE);
  return h;
}

// A window moved onto a monitor of another density: it takes the rectangle
// the system suggests and a font made anew at the new size, handed to every
// child.
void ApplyDpiChange(HWND Window, HFONT& Font, LPARAM Suggested) {
  const RECT* r = reinterpret_cast<const RECT*>(Suggested);
  HFONT old = Font;
  Font = MakeFont(Window);
  EnumChildWindows(
      Window,
      [](HWND Child, LPARAM NewFont) -> BOOL {
        SendMessageW(Child, WM_SETFONT, static_cast<WPARAM>(NewFont), TRUE);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(Font));
  DeleteObject(old);
  SetWindowPos(Window, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

// The outer rectangle of a window whose client area is Client (screen
// coordinates).
RECT OuterOf(HWND Window, RECT Client) {
  const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(Window, GWL_STYLE));
  const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(Window, GWL_EXSTYLE));
  AdjustWindowRectEx(&Client, style, FALSE, exStyle);
  return Client;
}

// A client area in screen coordinates.
RECT ClientOnScreen(HWND Window) {
  RECT r{};
  GetClientRect(Window, &r);
  POINT origin{0, 0};
  ClientToScreen(Window, &origin);
  OffsetRect(&r, origin.x, origin.y);
  return r;
}

// The normal (not maximised) client area of a window, in screen coordinates.
RECT NormalClient(HWND Window) {
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  GetWindowPlacement(Window, &wp);
  if (!IsZoomed(Window)) return ClientOnScreen(Window);
  RECT outer = wp.rcNormalPosition;
  RECT frame{0, 0, 0, 0};
  const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(Window, GWL_STYLE)) & ~WS_MAXIMIZE;
  AdjustWindowRectEx(&frame, style, FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(Window, GWL_EXSTYLE)));
  return {outer.left - frame.left, outer.top - frame.top, outer.right - frame.right,
          outer.bottom - frame.bottom};
}

// Moves a window so that its client area is Client, kept on a screen.
void SetClient(HWND Window, RECT Client) {
  RECT outer = OuterOf(Window, Client);
  std::vector<TRect> screens;
  EnumDisplayMonitors(
      nullptr, nullptr,
      [](HMONITOR Monitor, HDC, LPRECT, LPARAM Out) -> BOOL {
        MONITORINFO mi{};
        mi.cbSize = sizeof mi;
        GetMonitorInfoW(Monitor, &mi);
        const RECT& w = mi.rcWork;
        reinterpret_cast<std::vector<TRect>*>(Out)->push_back(
            {w.left, w.top, w.right - w.left, w.bottom - w.top});
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&screens));
  const TRect placed = PlaceOnScreens(
      {outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top}, screens);
  SetWindowPos(Window, nullptr, placed.Left, placed.Top, placed.Width, placed.Height,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

std::wstring ExeFileName() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

bool FolderWritable(const std::wstring& Folder) {
  const std::wstring probe =
      Folder + L"quillon-" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
  HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

}  // namespace

int Scaled(HWND Window, int Pixels) {
  const UINT dpi = Window ? GetDpiForWindow(Window) : 96;
  return MulDiv(Pixels, dpi ? static_cast<int>(dpi) : 96, 96);
}

void RegisterForms(HINSTANCE Instance) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS |
                                           ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.hInstance = Instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  wc.lpszClassName = MainClass;
  wc.lpfnWndProc = TForm1::Proc;
  RegisterClassExW(&wc);
  wc.lpszClassName = ResultsClass;
  wc.lpfnWndProc = TForm2::Proc;
  RegisterClassExW(&wc);
  RegisterPreviewPane(Instance);
}

// ---------------------------------------------------------------------------
// TForm2: the results window

TForm2::TForm2(HWND Owner) : Owner(Owner) {
  Handle = CreateWindowExW(0, ResultsClass, L"検索結果", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                           CW_USEDEFAULT, CW_USEDEFAULT, 100, 100, Owner, nullptr,
                           GetModuleHandleW(nullptr), this);
  Font = MakeFont(Handle);
  Dpi = static_cast<int>(GetDpiForWindow(Handle));
  FilterLabel = MakeChild(L"STATIC", L"絞り込み(&L)：", SS_LEFT, Handle, 0, Font);
  FilterEdit =
      MakeChild(L"EDIT", L"", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, Handle, IdFilter, Font);
  SendMessageW(FilterEdit, EM_SETCUEBANNER, TRUE,
               reinterpret_cast<LPARAM>(L"ブロック名・ファイル名"));
  SG1 = MakeChild(WC_LISTVIEWW, L"",
                  WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS, Handle,
                  IdTable, Font);
  ListView_SetExtendedListViewStyle(
      SG1, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER | LVS_EX_HEADERDRAGDROP);
  for (int c = 0; c < ResultColCount; ++c) {
    const std::wstring header = W(ResultHeader[c]);
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    col.pszText = const_cast<wchar_t*>(header.c_str());
    col.cx = Scaled(Handle, DesignColWidths[c]);
    col.iSubItem = c;
    ListView_InsertColumn(SG1, c, &col);
  }
  Label1 = MakeChild(L"STATIC", L"ブロック名：", SS_LEFT, Handle, 0, Font);
  Edit1 = MakeChild(L"EDIT", L"", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, Handle, IdFind, Font);
  Button1 =
      MakeChild(L"BUTTON", L"検索", WS_TABSTOP | BS_DEFPUSHBUTTON, Handle, IdFindButton, Font);
  Button2 = MakeChild(L"BUTTON", L"閉じる(&C)", WS_TABSTOP | BS_PUSHBUTTON, Handle, IdClose, Font);
  StatusBar1 = MakeChild(STATUSCLASSNAMEW, L"", 0, Handle, 0, Font);
  Preview = std::make_unique<TPreviewPane>(Handle, Font);
  PreviewFollower = std::make_unique<TPreviewFollower>([this](uint64_t Ticket, TPreview P) {
    {
      std::lock_guard<std::mutex> hold(ArrivedLock);
      Arrived.emplace(Ticket, std::move(P));
    }
    PostMessageW(Handle, WmPreviewArrived, 0, 0);
  });
  SetClient(Handle, {Scaled(Handle, ResultsLeft), Scaled(Handle, ResultsTop),
                     Scaled(Handle, ResultsLeft + ResultsWidth),
                     Scaled(Handle, ResultsTop + ResultsHeight)});
  Refresh();
}

TForm2::~TForm2() {
  PreviewFollower.reset();  // no answer arrives after this
  Preview.reset();
  if (Handle) DestroyWindow(Handle);
  if (Font) DeleteObject(Font);
}

LRESULT CALLBACK TForm2::Proc(HWND Window, UINT Message, WPARAM Wp, LPARAM Lp) {
  return Dispatch<TForm2>(Window, Message, Wp, Lp);
}

void TForm2::Layout() {
  RECT r{};
  GetClientRect(Handle, &r);
  const int w = r.right, h = r.bottom;
  const int row = Scaled(Handle, 24), bottom = Scaled(Handle, 23);
  SendMessageW(StatusBar1, WM_SIZE, 0, 0);
  RECT sb{};
  GetWindowRect(StatusBar1, &sb);
  const int status = sb.bottom - sb.top;
  MoveWindow(FilterLabel, Scaled(Handle, 4), Scaled(Handle, 5), Scaled(Handle, 84),
             Scaled(Handle, 16), TRUE);
  MoveWindow(FilterEdit, Scaled(Handle, 90), Scaled(Handle, 2),
             std::max(w - Scaled(Handle, 94), 10), Scaled(Handle, 20), TRUE);
  const int table = std::max(h - row - bottom - status, 10);
  const int preview = std::min(Scaled(Handle, PreviewSize), std::max(w - Scaled(Handle, 60), 0));
  const int gap = Scaled(Handle, SplitterWidth + 1);
  MoveWindow(SG1, 0, row, std::max(w - preview - gap, 10), table, TRUE);
  MoveWindow(Preview->Handle, w - preview, row, preview, table, TRUE);
  const int y = h - bottom - status;
  MoveWindow(Label1, Scaled(Handle, 4), y + Scaled(Handle, 4), Scaled(Handle, 80),
             Scaled(Handle, 16), TRUE);
  MoveWindow(Edit1, Scaled(Handle, 88), y + Scaled(Handle, 1), Scaled(Handle, 161),
             Scaled(Handle, 21), TRUE);
  MoveWindow(Button1, Scaled(Handle, 256), y, Scaled(Handle, 49), Scaled(Handle, 23), TRUE);
  MoveWindow(Button2, Scaled(Handle, 320), y, Scaled(Handle, 89), Scaled(Handle, 23), TRUE);
}

void TForm2::Refresh() {
  // The sort arrow on the sorted column's header, when the sort changed.
  HWND header = ListView_GetHeader(SG1);
  const std::pair<int, TSortOrder> sort{Results.SortColumn(), Results.SortOrder()};
  for (int c = 0; c < ResultColCount && sort != ShownSort; ++c) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    Header_GetItem(header, c, &item);
    item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    if (c == Results.SortColumn() && Results.SortOrder() == TSortOrder::Ascending)
      item.fmt |= HDF_SORTUP;
    if (c == Results.SortColumn() && Results.SortOrder() == TSortOrder::Descending)
      item.fmt |= HDF_SORTDOWN;
    Header_SetItem(header, c, &item);
  }
  ShownSort = sort;
  ListView_SetItemCountEx(SG1, Results.ShownCount(), LVSICF_NOSCROLL);
  InvalidateRect(SG1, nullptr, FALSE);
  const std::wstring status = W(Results.StatusText());
  SendMessageW(StatusBar1, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(status.c_str()));
  ShowCurrent();
}

void TForm2::ShowCurrent() {
  const int at = Results.PositionOf(Results.Current());
  // Only the rows selected now are deselected: asking for every row walks a
  // million of them on some list views.
  for (int p = ListView_GetNextItem(SG1, -1, LVNI_SELECTED); p >= 0;
       p = ListView_GetNextItem(SG1, p, LVNI_SELECTED))
    ListView_SetItemState(SG1, p, 0, LVIS_SELECTED);
  if (at >= 0) {
    ListView_SetItemState(SG1, at, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(SG1, at, FALSE);
  }
  UpdatePreview();
}

void TForm2::SetPreviewWidth(int Width) {
  PreviewSize = std::max(Width, 0);
  Layout();
}

void TForm2::UpdatePreview() {
  if (!Modal) return;
  switch (PreviewFollower->Follow(Results)) {
    case TPreviewFollower::TStep::Unchanged:
      return;
    case TPreviewFollower::TStep::Cleared:
      Preview->ShowMessage(L"");
      return;
    case TPreviewFollower::TStep::Asked:
      // A file kept from the last request answers at once; a new one may
      // take a moment, which the pane says rather than showing the last
      // drawing.
      SetTimer(Handle, LoadingTimer, 150, nullptr);
      return;
  }
}

void TForm2::ShowArrivedPreview() {
  std::optional<std::pair<uint64_t, TPreview>> answer;
  {
    std::lock_guard<std::mutex> hold(ArrivedLock);
    answer.swap(Arrived);
  }
  if (!answer || !PreviewFollower->Take(answer->first)) return;
  if (answer->second.List)
    Preview->ShowList(answer->second.List);
  else
    Preview->ShowMessage(W(answer->second.Problem));
}

bool TForm2::OnSplitter(int X) const {
  RECT table{}, pane{};
  GetWindowRect(SG1, &table);
  GetWindowRect(Preview->Handle, &pane);
  POINT a{table.right, 0}, b{pane.left, 0};
  ScreenToClient(Handle, &a);
  ScreenToClient(Handle, &b);
  return X >= a.x && X < std::max(b.x, a.x + 1);
}

// The path column elides the middle of a long path, keeping the file name.
LRESULT TForm2::DrawCell(NMLVCUSTOMDRAW& Draw) {
  switch (Draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
      return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
      if (Draw.iSubItem != PathCol) return CDRF_DODEFAULT;
      const int at = static_cast<int>(Draw.nmcd.dwItemSpec);
      RECT cell{};
      ListView_GetSubItemRect(SG1, at, PathCol, LVIR_LABEL, &cell);
      const bool selected = ListView_GetItemState(SG1, at, LVIS_SELECTED) & LVIS_SELECTED;
      const bool focused = GetFocus() == SG1;
      FillRect(
          Draw.nmcd.hdc, &cell,
          GetSysColorBrush(selected ? (focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE) : COLOR_WINDOW));
      SetTextColor(Draw.nmcd.hdc,
                   GetSysColor(selected && focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
      SetBkMode(Draw.nmcd.hdc, TRANSPARENT);
      std::wstring text = DrawnText(at, PathCol);
      InflateRect(&cell, -Scaled(Handle, 4), 0);
      DrawTextW(Draw.nmcd.hdc, text.data(), static_cast<int>(text.size()), &cell,
                DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_PATH_ELLIPSIS);
      return CDRF_SKIPDEFAULT;
    }
    default:
      return CDRF_DODEFAULT;
  }
}

void TForm2::SetRowCount(int Rows) {
  PreviewFollower->Forget();
  Results.SetRowCount(Rows);
  Refresh();
}

void TForm2::SetReport(const TRunSummary& Summary, std::vector<TProblemFile> Problems) {
  Results.SetReport(Summary, std::move(Problems));
  Refresh();
}

int TForm2::DrawnRowCount() const {
  return ListView_GetItemCount(SG1);
}

std::wstring TForm2::DrawnText(int Position, int Col) const {
  if (Position < 0 || Position >= Results.ShownCount()) return {};
  const std::string& cell = Results.Cell(Col, Results.ShownRow(Position));
  // Block names are CP932 as the file holds them; paths are UTF-8.
  return W(Col == BlockNameCol ? Cp932ToUtf8(cell) : cell);
}

int TForm2::ColWidth(int Col) const {
  return MulDiv(ListView_GetColumnWidth(SG1, Col), 96, static_cast<int>(GetDpiForWindow(Handle)));
}

void TForm2::SetColWidth(int Col, int Width) {
  ListView_SetColumnWidth(SG1, Col, Scaled(Handle, Width));
}

void TForm2::Button1Click() {
  if (Results.FindNext(TextOf(Edit1))) ShowCurrent();
}

void TForm2::SetFilter(const std::wstring& Text) {
  Results.SetFilter(Utf8OfWide(Text));
  Refresh();
}

void TForm2::CopySelection() {
  std::wstring text;
  for (int p = ListView_GetNextItem(SG1, -1, LVNI_SELECTED); p >= 0;
       p = ListView_GetNextItem(SG1, p, LVNI_SELECTED)) {
    for (int c = 0; c < ResultColCount; ++c) {
      if (c > 0) text += L'\t';
      text += DrawnText(p, c);
    }
    text += L"\r\n";
  }
  CopyText(Handle, text);
}

void TForm2::ShowProblems() {
  std::wstring text;
  for (const TProblemFile& p : Results.Problems())
    text += W(p.Path) + L"\r\n    " + W(DescribeOutcomeJa(p.Outcome)) + L"\r\n";
  if (text.empty()) return;
  MessageBoxW(Handle, text.c_str(), L"読み込めなかったファイル", MB_OK | MB_ICONWARNING);
}

void TForm2::RowMenu(int Position, POINT At) {
  if (Position < 0) return;
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, IdOpen, L"関連付けられたプログラムで開く(&O)");
  AppendMenuW(menu, MF_STRING, IdShowInFolder, L"フォルダーに表示(&F)");
  AppendMenuW(menu, MF_STRING, IdCopyPath, L"パスをコピー(&P)");
  AppendMenuW(menu, MF_STRING, IdCopy, L"行をコピー(&C)\tCtrl+C");
  const int chosen =
      TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, At.x, At.y, 0, Handle, nullptr);
  DestroyMenu(menu);
  const std::wstring path = W(Results.Cell(PathCol, Results.ShownRow(Position)));
  switch (chosen) {
    case IdOpen:
      ShellExecuteW(Handle, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
      break;
    case IdShowInFolder: {
      const std::wstring args = L"/select,\"" + path + L"\"";
      ShellExecuteW(Handle, nullptr, L"explorer.exe", args.c_str(), nullptr, SW_SHOWNORMAL);
      break;
    }
    case IdCopyPath:
      CopyText(Handle, path);
      break;
    case IdCopy:
      CopySelection();
      break;
    default:
      break;
  }
}

void TForm2::ShowModal() {
  if (Modal) return;
  Modal = true;
  EnableWindow(Owner, FALSE);
  ShowWindow(Handle, SW_SHOW);
  SetForegroundWindow(Handle);
  SetFocus(Edit1);
  UpdatePreview();
  if (OnShown) OnShown(*this);
  MSG msg;
  while (Modal && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_KEYDOWN && msg.wParam == 'C' && (GetKeyState(VK_CONTROL) & 0x8000) &&
        msg.hwnd == SG1) {
      CopySelection();
      continue;
    }
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_F3) {
      Button1Click();
      continue;
    }
    if (msg.message == WM_KEYDOWN && msg.wParam == 'F' && (GetKeyState(VK_CONTROL) & 0x8000)) {
      SetFocus(FilterEdit);
      SendMessageW(FilterEdit, EM_SETSEL, 0, -1);
      continue;
    }
    if (!IsDialogMessageW(Handle, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

void TForm2::Close() {
  if (!Modal) return;
  Modal = false;
  EnableWindow(Owner, TRUE);
  ShowWindow(Handle, SW_HIDE);
  SetForegroundWindow(Owner);
  PostMessageW(Owner, WM_NULL, 0, 0);  // wakes the modal loop to see it ended
}

LRESULT TForm2::Handle_(UINT Message, WPARAM Wp, LPARAM Lp) {
  switch (Message) {
    case WM_SIZE:
      Layout();
      return 0;
    case WmPreviewArrived:
      ShowArrivedPreview();
      return 0;
    case WM_DPICHANGED: {
      const int now = HIWORD(Wp);
      for (int c = 0; c < ResultColCount; ++c)
        ListView_SetColumnWidth(SG1, c, MulDiv(ListView_GetColumnWidth(SG1, c), now, Dpi));
      Dpi = now;
      ApplyDpiChange(Handle, Font, Lp);
      Layout();
      return 0;
    }
    case WM_TIMER:
      if (Wp == LoadingTimer) {
        KillTimer(Handle, LoadingTimer);
        if (PreviewFollower->Waiting()) Preview->ShowMessage(W(PreviewLoadingText));
        return 0;
      }
      break;
    case WM_SETCURSOR: {
      POINT at;
      GetCursorPos(&at);
      ScreenToClient(Handle, &at);
      if (reinterpret_cast<HWND>(Wp) == Handle && OnSplitter(at.x)) {
        SetCursor(LoadCursorW(nullptr, IDC_SIZEWE));
        return TRUE;
      }
      break;
    }
    case WM_LBUTTONDOWN:
      if (OnSplitter(GET_X_LPARAM(Lp))) {
        Dragging = true;
        SetCapture(Handle);
        return 0;
      }
      break;
    case WM_MOUSEMOVE:
      if (Dragging) {
        RECT r{};
        GetClientRect(Handle, &r);
        const int right = static_cast<int>(r.right) - GET_X_LPARAM(Lp);
        PreviewSize = std::max(MulDiv(right, 96, static_cast<int>(GetDpiForWindow(Handle))), 0);
        Layout();
        return 0;
      }
      break;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (Dragging) {
        Dragging = false;
        if (Message == WM_LBUTTONUP) ReleaseCapture();
        return 0;
      }
      break;
    case WM_CLOSE:
      Close();
      return 0;
    case WM_COMMAND:
      switch (LOWORD(Wp)) {
        case IdFindButton:
        case IDOK:
          Button1Click();
          return 0;
        case IdClose:
        case IDCANCEL:
          Close();
          return 0;
        case IdFilter:
          if (HIWORD(Wp) == EN_CHANGE) {
            const std::string text = TextOf(FilterEdit);
            SetFilter(WideOfUtf8(text));
          }
          return 0;
        default:
          break;
      }
      break;
    case WM_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(Lp);
      if (hdr->hwndFrom == SG1 && hdr->code == LVN_GETDISPINFOW) {
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(Lp);
        if (info->item.mask & LVIF_TEXT) {
          CellText = DrawnText(info->item.iItem, info->item.iSubItem);
          info->item.pszText = const_cast<wchar_t*>(CellText.c_str());
        }
        return 0;
      }
      if (hdr->hwndFrom == SG1 && hdr->code == LVN_COLUMNCLICK) {
        const int col = reinterpret_cast<NMLISTVIEW*>(Lp)->iSubItem;
        Results.SetSort(col, NextSortOrder(Results.SortColumn(), Results.SortOrder(), col));
        Refresh();
        return 0;
      }
      if (hdr->hwndFrom == SG1 && hdr->code == LVN_ITEMCHANGED) {
        auto* change = reinterpret_cast<NMLISTVIEW*>(Lp);
        if (change->iItem >= 0 && (change->uNewState & LVIS_FOCUSED)) {
          Results.SetCurrent(Results.ShownRow(change->iItem));
          UpdatePreview();
        }
        return 0;
      }
      if (hdr->hwndFrom == SG1 && hdr->code == NM_CUSTOMDRAW)
        return DrawCell(*reinterpret_cast<NMLVCUSTOMDRAW*>(Lp));
      if (hdr->hwndFrom == StatusBar1 && hdr->code == NM_CLICK) {
        ShowProblems();
        return 0;
      }
      if (hdr->hwndFrom == SG1 && hdr->code == NM_RCLICK) {
        POINT at;
        GetCursorPos(&at);
        RowMenu(reinterpret_cast<NMITEMACTIVATE*>(Lp)->iItem, at);
        return 0;
      }
      if (hdr->hwndFrom == SG1 && hdr->code == NM_DBLCLK) {
        const int at = reinterpret_cast<NMITEMACTIVATE*>(Lp)->iItem;
        if (at >= 0) {
          const std::wstring path = W(Results.Cell(PathCol, Results.ShownRow(at)));
          ShellExecuteW(Handle, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        }
        return 0;
      }
      break;
    }
    default:
      break;
  }
  return DefWindowProcW(Handle, Message, Wp, Lp);
}

// ---------------------------------------------------------------------------
// TForm1: the main window

TForm1::TForm1() {
  Handle = CreateWindowExW(WS_EX_ACCEPTFILES, MainClass, L"Quillon",
                           WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT, 100,
                           100, nullptr, nullptr, GetModuleHandleW(nullptr), this);
  Font = MakeFont(Handle);
  Label1 = MakeChild(L"STATIC", L"検索するJWファイル名", SS_LEFT, Handle, 0, Font);
  ListBox1 = MakeChild(L"LISTBOX", L"",
                       WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_EXTENDEDSEL | LBS_NOTIFY |
                           LBS_NOINTEGRALHEIGHT | LBS_WANTKEYBOARDINPUT | LBS_OWNERDRAWFIXED |
                           LBS_HASSTRINGS,
                       Handle, IdList, Font);
  Button1 = MakeChild(L"BUTTON", L"追加(&A)", WS_TABSTOP, Handle, IdAdd, Font);
  Button2 = MakeChild(L"BUTTON", L"削除(&D)", WS_TABSTOP, Handle, IdDelete, Font);
  Button3 = MakeChild(L"BUTTON", L"検索(&S)", WS_TABSTOP, Handle, IdSearch, Font);
  Button4 = MakeChild(L"BUTTON", L"終了(&X)", WS_TABSTOP, Handle, IdExit, Font);
  Button5 = MakeChild(L"BUTTON", L"フォルダ(&F)", WS_TABSTOP, Handle, IdFolder, Font);
  StatusBar1 = MakeChild(STATUSCLASSNAMEW, L"", 0, Handle, 0, Font);
  ProgressBar1 = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD, 0, 0, 10, 10, StatusBar1,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
  // 中止 sits on the status bar beside the progress bar while a run goes; a
  // child of the window (not of the bar) so that its click comes here.
  StopButton = MakeChild(L"BUTTON", L"中止", WS_TABSTOP, Handle, IdStop, Font);
  ShowWindow(StopButton, SW_HIDE);
  SetClient(Handle, {Scaled(Handle, MainLeft), Scaled(Handle, MainTop),
                     Scaled(Handle, MainLeft + MainWidth), Scaled(Handle, MainTop + MainHeight)});
  Form2 = std::make_unique<TForm2>(Handle);
  SetStatusText(IdlePrompt);
}

TForm1::~TForm1() {
  Form2.reset();
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
  const int list = Scaled(Handle, ListWidth);
  MoveWindow(Label1, Scaled(Handle, 8), Scaled(Handle, 4), Scaled(Handle, 200), Scaled(Handle, 16),
             TRUE);
  MoveWindow(ListBox1, 0, top, list, std::max(static_cast<int>(r.bottom) - top - status, 10), TRUE);
  const int x = list + Scaled(Handle, SplitterWidth + 8);
  const int tops[] = {8, 40, 96, 144, 68};
  HWND buttons[] = {Button1, Button2, Button3, Button4, Button5};
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
}

std::string TForm1::DefaultLayoutFile() {
  const std::string exe = Utf8OfWide(ExeFileName());
  const std::string beside = ReplaceExt(exe, ".dat");
  if (FolderWritable(W(ExtractFolder(exe)))) return beside;
  wchar_t* appData = nullptr;
  std::string folder;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &appData))) {
    folder = Utf8OfWide(appData) + "\\Quillon";
    CreateDirectoryW(W(folder).c_str(), nullptr);
  }
  CoTaskMemFree(appData);
  return folder.empty() ? beside : folder + "\\" + ExtractName(beside);
}

void TForm1::FormShow(int ShowCommand) {
  if (LayoutFile.empty()) LayoutFile = DefaultLayoutFile();
  LoadLayout();
  ClearImageTable();
  JwwReader = std::make_unique<TJwwData>();
  JwsReader = std::make_unique<TJwsData>();
  ShowWindow(Handle, ShowCommand);
  Layout();
  DropFiles(InitialFiles);
}

void TForm1::LoadLayout() {
  LastFolder = ExtractFolder(Utf8OfWide(ExeFileName()));
  if (!IsExistingFile(LayoutFile)) return;
  const std::vector<std::string> lines = ReadLayoutLines(LayoutFile);
  auto number = [&](int Line, int Default) {
    return static_cast<size_t>(Line) <= lines.size()
               ? static_cast<int>(LayoutNumber(Line, lines[static_cast<size_t>(Line - 1)]))
               : Default;
  };
  const RECT main = ClientOnScreen(Handle);
  const int left = number(LayoutMainLeft, main.left), top = number(LayoutMainTop, main.top);
  SetClient(Handle, {left, top, left + Scaled(Handle, number(LayoutMainWidth, MainWidth)),
                     top + Scaled(Handle, number(LayoutMainHeight, MainHeight))});
  ListWidth = number(LayoutListWidth, ListWidth);
  const RECT results = ClientOnScreen(Form2->Handle);
  const int rl = number(LayoutResultLeft, results.left), rt = number(LayoutResultTop, results.top);
  SetClient(Form2->Handle, {rl, rt, rl + Scaled(Handle, number(LayoutResultWidth, ResultsWidth)),
                            rt + Scaled(Handle, number(LayoutResultHeight, ResultsHeight))});
  for (int c = 0; c < ResultColCount; ++c)
    Form2->SetColWidth(c, number(LayoutColumn0 + c, DesignColWidths[c]));
  if (lines.size() >= static_cast<size_t>(LayoutLastFolder))
    LastFolder = lines[LayoutLastFolder - 1];
  const auto extras = ReadLayoutExtras(LayoutFile);
  if (LayoutExtra(extras, LayoutResultMaximized) == "1") ShowWindow(Form2->Handle, SW_MAXIMIZE);
  const std::string preview = LayoutExtra(extras, LayoutPreviewWidth);
  if (!preview.empty()) Form2->SetPreviewWidth(std::max(TextToInt(preview), 0));
  if (LayoutExtra(extras, LayoutMainMaximized) == "1")
    SetWindowLongPtrW(Handle, GWL_STYLE, GetWindowLongPtrW(Handle, GWL_STYLE) | WS_MAXIMIZE);
}

void TForm1::SaveLayout() {
  TLayoutValues values;
  const RECT m = NormalClient(Handle);
  const RECT r = NormalClient(Form2->Handle);
  auto unscaled = [&](LONG V) { return MulDiv(V, 96, static_cast<int>(GetDpiForWindow(Handle))); };
  values.Numbers = {static_cast<int32_t>(m.left),
                    static_cast<int32_t>(m.top),
                    unscaled(m.right - m.left),
                    unscaled(m.bottom - m.top),
                    ListWidth,
                    static_cast<int32_t>(r.left),
                    static_cast<int32_t>(r.top),
                    unscaled(r.right - r.left),
                    unscaled(r.bottom - r.top),
                    Form2->ColWidth(0),
                    Form2->ColWidth(1),
                    Form2->ColWidth(2)};
  values.LastFolder = LastFolder;
  values.Extras = {{std::string(LayoutMainMaximized), IsZoomed(Handle) ? "1" : "0"},
                   {std::string(LayoutResultMaximized), IsZoomed(Form2->Handle) ? "1" : "0"},
                   {std::string(LayoutPreviewWidth), std::to_string(Form2->PreviewWidth())}};
  WriteLayoutFile(LayoutFile, FormatLayout(values));
}

bool TForm1::AddFile(const std::string& Path) {
  if (!AcceptsFile(Path)) return false;
  Paths.push_back(Path);
  Marks.push_back(-1);
  SendMessageW(ListBox1, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(Path).c_str()));
  return true;
}

void TForm1::DropFiles(const std::vector<std::string>& List) {
  if (Busy) return;
  for (const std::string& path : List) AddFile(path);
}

std::vector<std::string> TForm1::ListPaths() {
  return Paths;
}

void TForm1::Button1Click() {
  if (Busy) return;
  // The buffer grows until every chosen name fits.
  std::vector<wchar_t> buffer(32 * 1024, L'\0');
  const std::wstring folder = W(LastFolder);
  for (;;) {
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = Handle;
    ofn.lpstrFilter = L"JWW Files(*.jww)\0*.jww\0JWS Files(*.jws)\0*.jws\0JW Files(*.jw*)\0*.jw*\0";
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (GetOpenFileNameW(&ofn)) break;
    if (CommDlgExtendedError() != FNERR_BUFFERTOOSMALL) return;
    const size_t need = *reinterpret_cast<const WORD*>(buffer.data());
    buffer.assign(std::max(buffer.size() * 2, need + 2), L'\0');
  }
  // One name: the whole path. Several: the folder, then each name.
  std::vector<std::wstring> parts;
  for (const wchar_t* p = buffer.data(); *p; p += parts.back().size() + 1) parts.emplace_back(p);
  if (parts.empty()) return;
  std::vector<std::string> chosen;
  if (parts.size() == 1) {
    chosen.push_back(Utf8OfWide(parts[0]));
  } else {
    std::wstring base = parts[0];
    if (base.back() != L'\\') base += L'\\';
    for (size_t i = 1; i < parts.size(); ++i) chosen.push_back(Utf8OfWide(base + parts[i]));
  }
  LastFolder = ExtractFolder(chosen.front());
  for (const std::string& path : chosen) AddFile(path);
}

void TForm1::Button2Click() {
  if (Busy) return;
  for (int i = static_cast<int>(Paths.size()) - 1; i >= 0; --i) {
    if (SendMessageW(ListBox1, LB_GETSEL, static_cast<WPARAM>(i), 0) > 0) {
      SendMessageW(ListBox1, LB_DELETESTRING, static_cast<WPARAM>(i), 0);
      Paths.erase(Paths.begin() + i);
      Marks.erase(Marks.begin() + i);
    }
  }
}

void TForm1::SetBusy(bool Value) {
  Busy = Value;
  StopAsked = false;
  for (HWND b : {Button1, Button2, Button3, Button4, Button5}) EnableWindow(b, !Value);
  SendMessageW(ProgressBar1, PBM_SETRANGE32, 0, static_cast<LPARAM>(Paths.size()));
  SendMessageW(ProgressBar1, PBM_SETPOS, 0, 0);
  ShowWindow(ProgressBar1, Value && !Paths.empty() ? SW_SHOW : SW_HIDE);
  EnableWindow(StopButton, TRUE);
  ShowWindow(StopButton, Value && !Paths.empty() ? SW_SHOW : SW_HIDE);
}

void TForm1::Button3Click() {
  if (Busy || !JwwReader || !JwsReader) return;
  Problems.clear();
  Marks.assign(Paths.size(), -1);
  InvalidateRect(ListBox1, nullptr, TRUE);
  SetBusy(true);
  RunBlockSearch(*this, *JwwReader, *JwsReader);
  SetBusy(false);
}

void TForm1::AddFolder(const std::string& Folder) {
  if (Busy || Folder.empty()) return;
  for (const std::string& path : FilesOfFolder(Folder)) AddFile(path);
  LastFolder = Folder.back() == '\\' ? Folder : Folder + "\\";
}

void TForm1::Button5Click() {
  if (Busy) return;
  BROWSEINFOW bi{};
  bi.hwndOwner = Handle;
  bi.lpszTitle = L"追加するフォルダー";
  bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&bi);
  if (!chosen) return;
  std::wstring folder(32768, L'\0');
  if (SHGetPathFromIDListEx(chosen, folder.data(), static_cast<DWORD>(folder.size()),
                            GPFIDL_DEFAULT)) {
    folder.resize(wcslen(folder.c_str()));
    AddFolder(Utf8OfWide(folder));
  }
  CoTaskMemFree(chosen);
}

void TForm1::StopClick() {
  if (!Busy) return;
  StopAsked = true;
  EnableWindow(StopButton, FALSE);
  SetStatusText("中止します…");
}

void TForm1::Close() {
  if (Busy || Closed) return;
  Closed = true;
  ClearImageTable();
  JwwReader.reset();
  JwsReader.reset();
  SaveLayout();
  ShowWindow(Handle, SW_HIDE);
  if (QuitOnClose) PostQuitMessage(0);
}

int TForm1::ListCount() {
  return static_cast<int>(Paths.size());
}

std::string TForm1::ListEntry(int Index) {
  return Index >= 0 && static_cast<size_t>(Index) < Paths.size() ? Paths[static_cast<size_t>(Index)]
                                                                 : std::string();
}

void TForm1::ClearSelection() {
  SendMessageW(ListBox1, LB_SETSEL, FALSE, -1);
}

void TForm1::SetSelected(int Index, bool Selected) {
  SendMessageW(ListBox1, LB_SETSEL, Selected, Index);
  SendMessageW(ProgressBar1, PBM_SETPOS, static_cast<WPARAM>(Selected ? Index : Index + 1), 0);
}

void TForm1::SetStatusText(const std::string& Utf8) {
  SendMessageW(StatusBar1, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(W(Utf8).c_str()));
}

void TForm1::ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
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

void TForm1::SetCell(int Col, int Row, const std::string& Text) {
  Form2->SetCell(Col, Row, Text);
}

void TForm1::SetRowCount(int Rows) {
  Form2->SetRowCount(Rows);
}

void TForm1::FileDone(int Index, const TFileOutcome& Outcome) {
  if (!Outcome.Noteworthy()) return;
  Problems.push_back({ListEntry(Index), Outcome});
  if (Index >= 0 && static_cast<size_t>(Index) < Marks.size()) {
    Marks[static_cast<size_t>(Index)] = static_cast<int>(Problems.size() - 1);
    RECT r{};
    SendMessageW(ListBox1, LB_GETITEMRECT, static_cast<WPARAM>(Index),
                 reinterpret_cast<LPARAM>(&r));
    InvalidateRect(ListBox1, &r, TRUE);
  }
}

const TFileOutcome* TForm1::Mark(int Index) const {
  if (Index < 0 || static_cast<size_t>(Index) >= Marks.size()) return nullptr;
  const int at = Marks[static_cast<size_t>(Index)];
  return at >= 0 ? &Problems[static_cast<size_t>(at)].Outcome : nullptr;
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
  if (const TFileOutcome* mark = Mark(index)) {
    const int size = Scaled(Handle, 16);
    HICON icon = LoadIconW(nullptr, mark->Failed() ? IDI_ERROR : IDI_WARNING);
    DrawIconEx(Item.hDC, text.left, text.top + (text.bottom - text.top - size) / 2, icon, size,
               size, 0, nullptr, DI_NORMAL);
    text.left += size + Scaled(Handle, 3);
  }
  const std::wstring path = W(ListEntry(index));
  DrawTextW(Item.hDC, path.c_str(), static_cast<int>(path.size()), &text,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  if (Item.itemState & ODS_FOCUS) DrawFocusRect(Item.hDC, &Item.rcItem);
}

void TForm1::RunFinished(const TRunSummary& Summary) {
  Form2->SetReport(Summary, Problems);
}

void TForm1::ShowResults() {
  ShowWindow(ProgressBar1, SW_HIDE);
  ShowWindow(StopButton, SW_HIDE);
  Form2->ShowModal();
}

LRESULT TForm1::Handle_(UINT Message, WPARAM Wp, LPARAM Lp) {
  switch (Message) {
    case WM_SIZE:
      Layout();
      return 0;
    case WM_DPICHANGED:
      ApplyDpiChange(Handle, Font, Lp);
      Layout();
      return 0;
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
      // A marked entry, selected alone, says why in the status bar.
      if (LOWORD(Wp) == IdList && HIWORD(Wp) == LBN_SELCHANGE && !Busy) {
        const int caret = static_cast<int>(SendMessageW(ListBox1, LB_GETCARETINDEX, 0, 0));
        const TFileOutcome* mark =
            SendMessageW(ListBox1, LB_GETSELCOUNT, 0, 0) == 1 ? Mark(caret) : nullptr;
        SetStatusText(mark ? ExtractName(ListEntry(caret)) + ": " + DescribeOutcomeJa(*mark)
                           : IdlePrompt);
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
          Button5Click();
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
      return -1;
    default:
      break;
  }
  return DefWindowProcW(Handle, Message, Wp, Lp);
}
