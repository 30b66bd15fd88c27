#include "win32/resultswindow.h"

// windows.h comes first (resultswindow.h); these need it.
#include <commctrl.h>
#include <shellapi.h>

#include <windowsx.h>

#include <algorithm>

#include "app/layout.h"
#include "text/codec.h"
#include "text/widepath.h"
#include "win32/dispatch.h"
#include "win32/previewpane.h"
#include "win32/problemlist.h"

namespace {

constexpr int SplitterWidth = 3;
// The column of the texts inside each block, when shown (96-DPI pixels).
constexpr int TextsColWidth = 240;

// The preview's answer has arrived (posted by its worker thread).
constexpr UINT WmPreviewArrived = WM_APP + 1;

}  // namespace

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
               reinterpret_cast<LPARAM>(L"ブロック名・ファイル名・図形内の文字"));
  SG1 = MakeChild(WC_LISTVIEWW, L"",
                  WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS, Handle,
                  IdTable, Font);
  ListView_SetExtendedListViewStyle(
      SG1, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER | LVS_EX_HEADERDRAGDROP);
  for (int c = 0; c < ResultColCount; ++c) {
    const std::wstring header = W(Results.HeaderText(c));
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    col.pszText = const_cast<wchar_t*>(header.c_str());
    col.cx = Scaled(Handle, TWindowLayout().Columns[static_cast<size_t>(c)]);
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
  SetClient(Handle, ToDevicePixels(TWindowLayout().Results, DpiOf(Handle)));
  ColumnsChanged();
  CurrentChanged();
}

TForm2::~TForm2() {
  Results.StopPreview();  // no answer arrives after this
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

// The list view asks for the cells it draws; the header shows the sort.
void TForm2::RowsChanged() {
  HWND header = ListView_GetHeader(SG1);
  for (int c = 0; c < Header_GetItemCount(header); ++c) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    Header_GetItem(header, c, &item);
    item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    if (Results.SortMark(c) == TSortOrder::Ascending) item.fmt |= HDF_SORTUP;
    if (Results.SortMark(c) == TSortOrder::Descending) item.fmt |= HDF_SORTDOWN;
    Header_SetItem(header, c, &item);
  }
  ListView_SetItemCountEx(SG1, Results.ShownCount(), LVSICF_NOSCROLL);
  InvalidateRect(SG1, nullptr, FALSE);
}

void TForm2::CurrentChanged() {
  Drawing = true;
  const int at = Results.CurrentPosition();
  // Only the rows selected now are deselected: asking for every row walks a
  // million of them on some list views.
  for (int p = ListView_GetNextItem(SG1, -1, LVNI_SELECTED); p >= 0;
       p = ListView_GetNextItem(SG1, p, LVNI_SELECTED))
    ListView_SetItemState(SG1, p, 0, LVIS_SELECTED);
  if (at >= 0) {
    ListView_SetItemState(SG1, at, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(SG1, at, FALSE);
  }
  Drawing = false;
}

void TForm2::StatusChanged() {
  const std::wstring status = W(Results.StatusText());
  SendMessageW(StatusBar1, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(status.c_str()));
}

void TForm2::ShowPreview(const std::shared_ptr<const TDisplayList>& List) {
  Preview->ShowList(List);
}

void TForm2::ShowPreviewText(const std::string& Utf8) {
  Preview->ShowMessage(W(Utf8));
}

void TForm2::PreviewArrived() {
  PostMessageW(Handle, WmPreviewArrived, 0, 0);  // from the worker's thread
}

void TForm2::StartTimer(int Id, int Milliseconds) {
  SetTimer(Handle, static_cast<UINT_PTR>(Id), static_cast<UINT>(Milliseconds), nullptr);
}

void TForm2::OpenRowFile(TOpenAction Action, const std::string& Path) {
  const std::wstring path = W(Path);
  HINSTANCE done = nullptr;
  if (Action == TOpenAction::OpenWithProgram) {
    done = ShellExecuteW(Handle, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  } else {
    const std::wstring args = L"/select,\"" + path + L"\"";
    done = ShellExecuteW(Handle, nullptr, L"explorer.exe", args.c_str(), nullptr, SW_SHOWNORMAL);
  }
  // ShellExecute answers 32 or less when nothing could open the file.
  if (reinterpret_cast<INT_PTR>(done) <= 32) Results.OpenFailed(Action, Path);
}

void TForm2::CopyToClipboard(const std::string& Utf8) {
  CopyText(Handle, W(Utf8));
}

void TForm2::SetPreviewWidth(int Width) {
  PreviewSize = std::max(Width, 0);
  Layout();
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

int TForm2::DrawnRowCount() const {
  return ListView_GetItemCount(SG1);
}

std::wstring TForm2::DrawnText(int Position, int Col) const {
  return W(Results.ShownText(Position, Col));
}

int TForm2::ColWidth(int Col) const {
  return MulDiv(ListView_GetColumnWidth(SG1, Col), 96, static_cast<int>(GetDpiForWindow(Handle)));
}

void TForm2::SetColWidth(int Col, int Width) {
  ListView_SetColumnWidth(SG1, Col, Scaled(Handle, Width));
}

void TForm2::Button1Click() {
  Results.FindNext(TextOf(Edit1));
}

void TForm2::SetFilter(const std::wstring& Text) {
  Results.SetFilter(Utf8OfWide(Text));
}

std::vector<int> TForm2::SelectedPositions() const {
  std::vector<int> at;
  for (int p = ListView_GetNextItem(SG1, -1, LVNI_SELECTED); p >= 0;
       p = ListView_GetNextItem(SG1, p, LVNI_SELECTED))
    at.push_back(p);
  return at;
}

void TForm2::CopySelection() {
  Results.CopyRows(SelectedPositions());
}

void TForm2::ShowProblems() {
  if (Results.Problems().empty()) return;
  TProblemList list(Handle, L"読み込めなかったファイル", ListedProblems(Results.Problems()));
  list.ShowModal();
}

void TForm2::RowMenu(int Position, POINT At) {
  const std::vector<TRowMenuItem> items = Results.RowMenu(Position);
  if (items.empty()) return;
  HMENU menu = CreatePopupMenu();
  for (size_t i = 0; i < items.size(); ++i) {
    std::wstring caption = W(items[i].Caption);
    if (items[i].Action == TRowAction::CopyRows) caption += L"\tCtrl+C";
    AppendMenuW(menu, MF_STRING, i + 1, caption.c_str());
  }
  const int chosen =
      TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, At.x, At.y, 0, Handle, nullptr);
  DestroyMenu(menu);
  if (chosen > 0 && static_cast<size_t>(chosen) <= items.size())
    Results.RowMenuChosen(items[static_cast<size_t>(chosen) - 1].Action, SelectedPositions());
}

void TForm2::HeaderMenu(POINT At) {
  const THeaderMenuItem item = Results.HeaderMenu();
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING | (item.Checked ? MF_CHECKED : MF_UNCHECKED), 1,
              W(item.Caption).c_str());
  const int chosen =
      TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, At.x, At.y, 0, Handle, nullptr);
  DestroyMenu(menu);
  if (chosen == 1) Results.HeaderMenuChosen();
}

// A list view cannot hide a column: the texts column is added or removed.
void TForm2::ColumnsChanged() {
  const bool present = Header_GetItemCount(ListView_GetHeader(SG1)) > TextsCol;
  if (Results.TextsColumnShown() && !present) {
    const std::wstring header = W(Results.HeaderText(TextsCol));
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    col.pszText = const_cast<wchar_t*>(header.c_str());
    col.cx = Scaled(Handle, TextsColWidth);
    col.iSubItem = TextsCol;
    ListView_InsertColumn(SG1, TextsCol, &col);
  } else if (!Results.TextsColumnShown() && present) {
    ListView_DeleteColumn(SG1, TextsCol);
  }
  RowsChanged();
}

void TForm2::ShowModal() {
  if (Modal) return;
  Modal = true;
  EnableWindow(Owner, FALSE);
  // A hidden window keeps its maximised state from one showing to the next.
  ShowWindow(Handle, !ShownOnce && StartMaximized ? SW_SHOWMAXIMIZED : SW_SHOW);
  ShownOnce = true;
  SetForegroundWindow(Handle);
  SetFocus(Edit1);
  Results.SetShowing(true);
  if (OnShown) OnShown(*this);
  MSG msg;
  while (Modal && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN ||
        msg.message == WM_LBUTTONDOWN || msg.message == WM_RBUTTONDOWN)
      Results.UserInput();
    // Esc in the filter box clears a filter first; with none it closes.
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE && msg.hwnd == FilterEdit &&
        Results.FilterEscape()) {
      SetWindowTextW(FilterEdit, L"");
      continue;
    }
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

bool TForm2::Maximized() const {
  return ShownOnce ? IsZoomed(Handle) != 0 : StartMaximized;
}

void TForm2::Close() {
  if (!Modal) return;
  Modal = false;
  Results.SetShowing(false);
  EnableWindow(Owner, TRUE);
  ShowWindow(Handle, SW_HIDE);
  SetForegroundWindow(Owner);
  PostMessageW(Owner, WM_NULL, 0, 0);  // wakes the modal loop to see it ended
}

LRESULT TForm2::OnMessage(UINT Message, WPARAM Wp, LPARAM Lp) {
  switch (Message) {
    case WM_SIZE:
      Layout();
      return 0;
    case WmPreviewArrived:
      Results.TakePreview();
      return 0;
    case WM_GETMINMAXINFO:
      LimitTrackSize(Handle, Lp, MinResultsWidth, MinResultsHeight);
      return 0;
    case WM_DPICHANGED: {
      const int now = HIWORD(Wp);
      for (int c = 0; c < Results.ShownColumnCount(); ++c)
        ListView_SetColumnWidth(SG1, c, MulDiv(ListView_GetColumnWidth(SG1, c), now, Dpi));
      Dpi = now;
      ApplyDpiChange(Handle, Font, Lp);
      Layout();
      return 0;
    }
    case WM_TIMER:
      KillTimer(Handle, Wp);
      Results.Timer(static_cast<int>(Wp));
      return 0;
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
        Results.HeaderClick(reinterpret_cast<NMLISTVIEW*>(Lp)->iSubItem);
        return 0;
      }
      if (hdr->hwndFrom == SG1 && hdr->code == LVN_ITEMCHANGED) {
        auto* change = reinterpret_cast<NMLISTVIEW*>(Lp);
        if (!Drawing && change->iItem >= 0 && (change->uNewState & LVIS_FOCUSED))
          Results.SetCurrentPosition(change->iItem);
        return 0;
      }
      if (hdr->hwndFrom == SG1 && hdr->code == NM_CUSTOMDRAW)
        return DrawCell(*reinterpret_cast<NMLVCUSTOMDRAW*>(Lp));
      if (hdr->hwndFrom == StatusBar1 && hdr->code == NM_CLICK) {
        ShowProblems();
        return 0;
      }
      if (hdr->hwndFrom == ListView_GetHeader(SG1) && hdr->code == NM_RCLICK) {
        POINT at;
        GetCursorPos(&at);
        HeaderMenu(at);
        return TRUE;
      }
      if (hdr->hwndFrom == SG1 && hdr->code == NM_RCLICK) {
        POINT at;
        GetCursorPos(&at);
        RowMenu(reinterpret_cast<NMITEMACTIVATE*>(Lp)->iItem, at);
        return 0;
      }
      if (hdr->hwndFrom == SG1 && hdr->code == NM_DBLCLK) {
        Results.DoubleClick(reinterpret_cast<NMITEMACTIVATE*>(Lp)->iItem);
        return 0;
      }
      break;
    }
    default:
      break;
  }
  return DefWindowProcW(Handle, Message, Wp, Lp);
}
