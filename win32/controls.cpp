#include "win32/controls.h"

#include <cstring>
#include <vector>

#include "text/widepath.h"

namespace {

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

TRect RectOf(const RECT& R) {
  return {static_cast<int>(R.left), static_cast<int>(R.top), static_cast<int>(R.right - R.left),
          static_cast<int>(R.bottom - R.top)};
}

}  // namespace

int Scaled(HWND Window, int Pixels) {
  return MulDiv(Pixels, DpiOf(Window), 96);
}

int DpiOf(HWND Window) {
  const UINT dpi = Window ? GetDpiForWindow(Window) : 96;
  return dpi ? static_cast<int>(dpi) : 96;
}

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

// The normal (not maximised) client area of a window, in screen coordinates.
TRect NormalClient(HWND Window) {
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  GetWindowPlacement(Window, &wp);
  if (!IsZoomed(Window)) return RectOf(ClientOnScreen(Window));
  RECT outer = wp.rcNormalPosition;
  // The normal place counts from the work area's corner, not the screen's.
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  if (!(GetWindowLongPtrW(Window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) &&
      GetMonitorInfoW(MonitorFromWindow(Window, MONITOR_DEFAULTTONEAREST), &mi))
    OffsetRect(&outer, mi.rcWork.left - mi.rcMonitor.left, mi.rcWork.top - mi.rcMonitor.top);
  RECT frame{0, 0, 0, 0};
  const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(Window, GWL_STYLE)) & ~WS_MAXIMIZE;
  AdjustWindowRectEx(&frame, style, FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(Window, GWL_EXSTYLE)));
  return RectOf({outer.left - frame.left, outer.top - frame.top, outer.right - frame.right,
                 outer.bottom - frame.bottom});
}

// Moves a window so that its client area is Client, kept on a screen.
void SetClient(HWND Window, const TRect& Client) {
  RECT outer = OuterOf(Window, {Client.Left, Client.Top, static_cast<LONG>(Client.Right()),
                                static_cast<LONG>(Client.Bottom())});
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

void LimitTrackSize(HWND Window, LPARAM Info, int Width, int Height) {
  RECT least{0, 0, Scaled(Window, Width), Scaled(Window, Height)};
  least = OuterOf(Window, least);
  auto* mm = reinterpret_cast<MINMAXINFO*>(Info);
  mm->ptMinTrackSize.x = least.right - least.left;
  mm->ptMinTrackSize.y = least.bottom - least.top;
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

void SelectOnly(HWND List, int Row) {
  for (int p = ListView_GetNextItem(List, -1, LVNI_SELECTED); p >= 0;
       p = ListView_GetNextItem(List, p, LVNI_SELECTED))
    ListView_SetItemState(List, p, 0, LVIS_SELECTED);
  if (Row >= 0) {
    ListView_SetItemState(List, Row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(List, Row, FALSE);
  }
}
