#include "win32/problemlist.h"

// windows.h comes first (problemlist.h); the common controls need it.
#include <commctrl.h>

#include <algorithm>

#include "win32/controls.h"
#include "win32/dispatch.h"

namespace {

const wchar_t* const ProblemClass = L"QuillonProblemList";
enum : int { IdProblemCopy = 1, IdProblemList = 2 };

void RegisterOnce() {
  static bool done = false;
  if (done) return;
  done = true;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = ProblemClass;
  wc.lpfnWndProc = TProblemList::Proc;
  RegisterClassExW(&wc);
}

}  // namespace

std::function<void(TProblemList&)> TProblemList::OnShown;

TProblemList::TProblemList(HWND Owner, const std::wstring& Title, std::vector<TListedProblem> Shown)
    : Owner(Owner), Lines(std::move(Shown)) {
  RegisterOnce();
  Handle = CreateWindowExW(WS_EX_DLGMODALFRAME, ProblemClass, Title.c_str(),
                           WS_OVERLAPPEDWINDOW & ~WS_MINIMIZEBOX, CW_USEDEFAULT, CW_USEDEFAULT, 100,
                           100, Owner, nullptr, GetModuleHandleW(nullptr), this);
  Font = MakeFont(Handle);
  List = MakeChild(WC_LISTVIEWW, L"", WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS,
                   Handle, IdProblemList, Font);
  ListView_SetExtendedListViewStyle(List, LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
  const wchar_t* headers[] = {L"ファイル", L"理由"};
  const int widths[] = {360, 260};
  for (int c = 0; c < 2; ++c) {
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    col.pszText = const_cast<wchar_t*>(headers[c]);
    col.cx = Scaled(Handle, widths[c]);
    col.iSubItem = c;
    ListView_InsertColumn(List, c, &col);
  }
  for (size_t i = 0; i < Lines.size(); ++i) {
    std::wstring path = W(Lines[i].Path), reason = W(Lines[i].Reason);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(i);
    item.pszText = path.data();
    ListView_InsertItem(List, &item);
    ListView_SetItemText(List, static_cast<int>(i), 1, reason.data());
  }
  CopyButton = MakeChild(L"BUTTON", L"コピー(&C)", WS_TABSTOP, Handle, IdProblemCopy, Font);
  CloseButton =
      MakeChild(L"BUTTON", L"閉じる", WS_TABSTOP | BS_DEFPUSHBUTTON, Handle, IDCANCEL, Font);
  // A fixed, moderate size whatever the number of lines: the list scrolls.
  RECT owner{};
  GetWindowRect(Owner, &owner);
  SetClient(Handle, {owner.left + Scaled(Handle, 24), owner.top + Scaled(Handle, 24),
                     Scaled(Handle, 660), Scaled(Handle, 320)});
  Layout();
}

TProblemList::~TProblemList() {
  if (Handle) DestroyWindow(Handle);
  if (Font) DeleteObject(Font);
}

LRESULT CALLBACK TProblemList::Proc(HWND Window, UINT Message, WPARAM Wp, LPARAM Lp) {
  return Dispatch<TProblemList>(Window, Message, Wp, Lp);
}

void TProblemList::Layout() {
  RECT r{};
  GetClientRect(Handle, &r);
  const int gap = Scaled(Handle, 8), bw = Scaled(Handle, 90), bh = Scaled(Handle, 25);
  MoveWindow(List, gap, gap, std::max(static_cast<int>(r.right) - 2 * gap, 10),
             std::max(static_cast<int>(r.bottom) - 3 * gap - bh, 10), TRUE);
  MoveWindow(CloseButton, r.right - gap - bw, r.bottom - gap - bh, bw, bh, TRUE);
  MoveWindow(CopyButton, r.right - 2 * (gap + bw), r.bottom - gap - bh, bw, bh, TRUE);
}

void TProblemList::CopyAll() {
  CopyText(Handle, W(CopiedProblems(Lines)));
}

void TProblemList::ShowModal() {
  EnableWindow(Owner, FALSE);
  ShowWindow(Handle, SW_SHOW);
  SetFocus(List);
  if (OnShown) OnShown(*this);
  MSG msg;
  while (!Done && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(Handle, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  EnableWindow(Owner, TRUE);
  ShowWindow(Handle, SW_HIDE);
  SetForegroundWindow(Owner);
}

LRESULT TProblemList::OnMessage(UINT Message, WPARAM Wp, LPARAM Lp) {
  switch (Message) {
    case WM_SIZE:
      Layout();
      return 0;
    case WM_GETMINMAXINFO:
      LimitTrackSize(Handle, Lp, 240, 120);
      return 0;
    case WM_CLOSE:
      Done = true;
      return 0;
    case WM_COMMAND:
      if (LOWORD(Wp) == IDCANCEL) {
        Done = true;
        return 0;
      }
      if (LOWORD(Wp) == IdProblemCopy) {
        CopyAll();
        return 0;
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(Handle, Message, Wp, Lp);
}
