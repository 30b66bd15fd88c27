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
#include "win32/thumbnailview.h"

namespace {

constexpr int SplitterWidth = 3;
// The column of the texts inside each block, when shown (96-DPI pixels).

// The preview's answer has arrived (posted by its worker thread).
constexpr UINT WmPreviewArrived = WM_APP + 1;

}  // namespace

TForm2::TForm2(HWND Owner) : Owner(Owner) {
  Handle = CreateWindowExW(0, ResultsClass, L"検索結果", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                           CW_USEDEFAULT, CW_USEDEFAULT, 100, 100, Owner, nullptr,
                           GetModuleHandleW(nullptr), this);
  Font = MakeFont(Handle);
  FilterLabel = MakeChild(L"STATIC", L"絞り込み(&L)：", SS_LEFT, Handle, 0, Font);
  FilterEdit =
      MakeChild(L"EDIT", L"", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, Handle, IdFilter, Font);
  SendMessageW(FilterEdit, EM_SETCUEBANNER, TRUE,
               reinterpret_cast<LPARAM>(L"ブロック名・ファイル名・図形内の文字"));
  PreviewButton = MakeChild(L"BUTTON", L"プレビュー", WS_TABSTOP | BS_AUTOCHECKBOX | BS_PUSHLIKE,
                            Handle, IdPreviewButton, Font);
  Button_SetCheck(PreviewButton, Results.PreviewSplit().Shown ? BST_CHECKED : BST_UNCHECKED);
  ThumbnailSlider = MakeChild(TRACKBAR_CLASSW, L"", TBS_HORZ | TBS_NOTICKS | WS_TABSTOP, Handle,
                              IdThumbnailSlider, Font);
  SendMessageW(ThumbnailSlider, TBM_SETRANGEMIN, FALSE, MinThumbnailSize);
  SendMessageW(ThumbnailSlider, TBM_SETRANGEMAX, FALSE, MaxThumbnailSize);
  ShowWindow(ThumbnailSlider, SW_HIDE);
  ThumbnailButton = MakeChild(L"BUTTON", L"サムネイル", WS_TABSTOP | BS_AUTOCHECKBOX | BS_PUSHLIKE,
                              Handle, IdThumbnailButton, Font);
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
  // One tool over the whole table; its text is asked for the cell under
  // the mouse, and is empty for a cell drawn whole.
  Tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX,
                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle, nullptr,
                        GetModuleHandleW(nullptr), nullptr);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = Handle;
  tool.uId = reinterpret_cast<UINT_PTR>(SG1);
  tool.lpszText = LPSTR_TEXTCALLBACKW;
  SendMessageW(Tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageW(Tip, TTM_SETMAXTIPWIDTH, 0, Scaled(Handle, 600));
  Thumbs = std::make_unique<TThumbnailView>(Handle, IdThumbnails, Results, Font);
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
  ThumbnailPlaceChanged();
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
  const int button = Scaled(Handle, 76);
  const int slider = Results.ThumbnailPlace().Shown ? Scaled(Handle, 100) : 0;
  MoveWindow(FilterEdit, Scaled(Handle, 90), Scaled(Handle, 2),
             std::max(w - Scaled(Handle, 102) - 2 * button - slider, 10), Scaled(Handle, 20), TRUE);
  MoveWindow(ThumbnailSlider, w - Scaled(Handle, 8) - 2 * button - slider, Scaled(Handle, 1),
             slider, Scaled(Handle, 22), TRUE);
  MoveWindow(ThumbnailButton, w - Scaled(Handle, 6) - 2 * button, Scaled(Handle, 1), button,
             Scaled(Handle, 22), TRUE);
  MoveWindow(PreviewButton, w - Scaled(Handle, 4) - button, Scaled(Handle, 1), button,
             Scaled(Handle, 22), TRUE);
  const int table = std::max(h - row - bottom - status, 10);
  const int preview = Scaled(Handle, Results.PreviewSplit().PaneWidth(LogicalWidth()));
  const int gap = Scaled(Handle, SplitterWidth + 1);
  MoveWindow(SG1, 0, row, std::max(w - preview - gap, 10), table, TRUE);
  MoveWindow(Thumbs->Handle, 0, row, std::max(w - preview - gap, 10), table, TRUE);
  MoveWindow(Preview->Handle, w - preview, row, preview, table, TRUE);
  FitColumns();
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
    const TSortOrder mark = Results.SortMark(ModelColumn(c));
    if (mark == TSortOrder::Ascending) item.fmt |= HDF_SORTUP;
    if (mark == TSortOrder::Descending) item.fmt |= HDF_SORTDOWN;
    Header_SetItem(header, c, &item);
  }
  ListView_SetItemCountEx(SG1, Results.ShownCount(), LVSICF_NOSCROLL);
  InvalidateRect(SG1, nullptr, FALSE);
  if (Thumbs) Thumbs->RowsChanged();
  FitColumns();  // a scroll bar may have come or gone
}

int TForm2::LogicalWidth() const {
  RECT r{};
  GetClientRect(Handle, &r);
  return MulDiv(r.right, 96, DpiOf(Handle));
}

void TForm2::FitColumns() {
  RECT r{};
  GetClientRect(SG1, &r);
  Fitting = true;
  Results.Columns().Fit(MulDiv(r.right, 96, DpiOf(Handle)));
  const std::vector<int> cols = Results.ShownColumns();
  for (size_t i = 0; i < cols.size(); ++i) {
    const int index = static_cast<int>(i);
    const int width = Scaled(Handle, Results.Columns().Drawn(cols[i]));
    if (ListView_GetColumnWidth(SG1, index) != width) ListView_SetColumnWidth(SG1, index, width);
  }
  Fitting = false;
}

// A divider the user dragged (the list view does not tell every parent):
// the column drawn at another width than fitted takes it as the user's.
void TForm2::ColumnsDragged() {
  if (Fitting) return;
  bool changed = false;
  const std::vector<int> cols = Results.ShownColumns();
  for (size_t i = 0; i < cols.size(); ++i) {
    const int now = ListView_GetColumnWidth(SG1, static_cast<int>(i));
    if (now == Scaled(Handle, Results.Columns().Drawn(cols[i]))) continue;
    Results.Columns().Dragged(cols[i], MulDiv(now, 96, DpiOf(Handle)));
    changed = true;
  }
  if (changed) FitColumns();
}

int TForm2::DrawnColWidth(int Col) const {
  return MulDiv(ListView_GetColumnWidth(SG1, Col), 96, DpiOf(Handle));
}

int TForm2::PreviewWidth() const {
  return Results.PreviewSplit().PaneWidth(LogicalWidth());
}

void TForm2::PreviewPlaceChanged() {
  Button_SetCheck(PreviewButton, Results.PreviewSplit().Shown ? BST_CHECKED : BST_UNCHECKED);
  Layout();
}

std::wstring TForm2::CutCellText(int Position, int Col) const {
  if (Position < 0 || Position >= DrawnRowCount() || Col < 0 || Col >= ResultColCount) return {};
  const std::wstring text = DrawnText(Position, Col);
  RECT cell{};
  ListView_GetSubItemRect(SG1, Position, Col, LVIR_LABEL, &cell);
  HDC dc = GetDC(SG1);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(SG1, WM_GETFONT, 0, 0)));
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(SG1, dc);
  // The list view keeps a few pixels clear on either side of a cell's text.
  const bool cut = size.cx + Scaled(Handle, 12) > cell.right - cell.left;
  return cut ? text : std::wstring();
}

void TForm2::CurrentChanged() {
  Drawing = true;
  SelectOnly(SG1, Results.CurrentPosition());
  Drawing = false;
  if (Thumbs) Thumbs->ShowCurrent();
}

void TForm2::ThumbnailPlaceChanged() {
  const TThumbnailPlace& place = Results.ThumbnailPlace();
  Button_SetCheck(ThumbnailButton, place.Shown ? BST_CHECKED : BST_UNCHECKED);
  SendMessageW(ThumbnailSlider, TBM_SETPOS, TRUE, place.Size);
  Thumbs->SizeChanged();
  const bool focused = GetFocus() == SG1 || GetFocus() == Thumbs->Handle;
  ShowWindow(ThumbnailSlider, place.Shown ? SW_SHOW : SW_HIDE);
  ShowWindow(Thumbs->Handle, place.Shown ? SW_SHOW : SW_HIDE);
  ShowWindow(SG1, place.Shown ? SW_HIDE : SW_SHOW);
  Layout();
  if (focused) SetFocus(place.Shown ? Thumbs->Handle : SG1);
  CurrentChanged();
}

void TForm2::ThumbnailsArrived() {
  PostMessageW(Handle, WmThumbnailsArrived, 0, 0);  // from the worker's thread
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
  return W(Results.ShownText(Position, ModelColumn(Col)));
}

// The list view's columns are the shown ones in order, each column's
// subitem its index.
int TForm2::ModelColumn(int Index) const {
  const std::vector<int> cols = Results.ShownColumns();
  return Index >= 0 && static_cast<size_t>(Index) < cols.size() ? cols[static_cast<size_t>(Index)]
                                                                : -1;
}

// The user's width: the one the layout file keeps.
int TForm2::ColWidth(int Col) const {
  return Results.Columns().UserWidth(Col);
}

void TForm2::SetColWidth(int Col, int Width) {
  Results.Columns().SetUserWidth(Col, Width);
  FitColumns();
}

void TForm2::Button1Click() {
  Results.FindNext(TextOf(Edit1));
}

void TForm2::FindPreviousClick() {
  Results.FindPrevious(TextOf(Edit1));
}

void TForm2::SelectAll() {
  ListView_SetItemState(SG1, -1, LVIS_SELECTED, LVIS_SELECTED);
}

void TForm2::SetFilter(const std::wstring& Text) {
  Results.SetFilter(Utf8OfWide(Text));
}

std::vector<int> TForm2::SelectedPositions() const {
  // The rows chosen in the view shown.
  const HWND view = Results.ThumbnailPlace().Shown ? Thumbs->Handle : SG1;
  std::vector<int> at;
  for (int p = ListView_GetNextItem(view, -1, LVNI_SELECTED); p >= 0;
       p = ListView_GetNextItem(view, p, LVNI_SELECTED))
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
  const std::vector<THeaderMenuItem> items = Results.HeaderMenu();
  HMENU menu = CreatePopupMenu();
  for (size_t i = 0; i < items.size(); ++i)
    AppendMenuW(menu, MF_STRING | (items[i].Checked ? MF_CHECKED : MF_UNCHECKED), i + 1,
                W(items[i].Caption).c_str());
  const int chosen =
      TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, At.x, At.y, 0, Handle, nullptr);
  DestroyMenu(menu);
  if (chosen > 0) Results.HeaderMenuChosen(static_cast<size_t>(chosen) - 1);
}

// A list view cannot hide a column: the optional columns after the first
// three are removed and those shown added again, in order.
void TForm2::ColumnsChanged() {
  while (Header_GetItemCount(ListView_GetHeader(SG1)) > ResultColCount)
    ListView_DeleteColumn(SG1, Header_GetItemCount(ListView_GetHeader(SG1)) - 1);
  const std::vector<int> cols = Results.ShownColumns();
  for (size_t i = ResultColCount; i < cols.size(); ++i) {
    const std::wstring header = W(Results.HeaderText(cols[i]));
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
    col.fmt = cols[i] == SameCol ? LVCFMT_RIGHT : LVCFMT_LEFT;
    col.pszText = const_cast<wchar_t*>(header.c_str());
    col.cx = Scaled(Handle, Results.Columns().UserWidth(cols[i]));
    col.iSubItem = static_cast<int>(i);
    ListView_InsertColumn(SG1, static_cast<int>(i), &col);
  }
  RowsChanged();
}

void TForm2::CellsChanged() {
  InvalidateRect(SG1, nullptr, FALSE);
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
    const bool rows = msg.hwnd == SG1 || msg.hwnd == Thumbs->Handle;
    const bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    if (msg.message == WM_KEYDOWN && msg.wParam == 'C' && control && rows) {
      CopySelection();
      continue;
    }
    if (msg.message == WM_KEYDOWN && msg.wParam == 'T' && control) {
      Results.ToggleThumbnails();
      continue;
    }
    if (msg.hwnd == Thumbs->Handle && ThumbnailKey(msg)) continue;
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_F3) {
      if (GetKeyState(VK_SHIFT) & 0x8000)
        FindPreviousClick();
      else
        Button1Click();
      continue;
    }
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_F6) {
      Results.TogglePreview();
      continue;
    }
    if (msg.message == WM_KEYDOWN && msg.wParam == 'A' && control && rows) {
      SelectAll();
      continue;
    }
    // The tooltip follows the cell under the mouse.
    if (msg.message == WM_MOUSEMOVE && msg.hwnd == SG1) {
      LVHITTESTINFO hit{};
      hit.pt = {GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
      ListView_SubItemHitTest(SG1, &hit);
      if (hit.iItem != TipCell.x || hit.iSubItem != TipCell.y) {
        TipCell = {hit.iItem, hit.iSubItem};
        // Off and on again: the tip goes, and asks for the new cell's text.
        SendMessageW(Tip, TTM_ACTIVATE, FALSE, 0);
        SendMessageW(Tip, TTM_ACTIVATE, TRUE, 0);
      }
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
    const bool header = msg.hwnd == ListView_GetHeader(SG1);
    if (header && msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) ColumnsDragged();
  }
}

// Keys of the thumbnail view: Enter opens as a double-click does, Ctrl+wheel
// and Ctrl+plus/minus size the thumbnails.
bool TForm2::ThumbnailKey(const MSG& Msg) {
  const int size = Results.ThumbnailPlace().Size;
  const bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
  if (Msg.message == WM_KEYDOWN && Msg.wParam == VK_RETURN) {
    Results.DoubleClick(Results.CurrentPosition());
    return true;
  }
  if (Msg.message == WM_MOUSEWHEEL && (GET_KEYSTATE_WPARAM(Msg.wParam) & MK_CONTROL)) {
    Results.SetThumbnailSize(
        StepThumbnailSize(size, GET_WHEEL_DELTA_WPARAM(Msg.wParam) / WHEEL_DELTA));
    return true;
  }
  if (Msg.message == WM_KEYDOWN && control) {
    if (Msg.wParam == VK_OEM_PLUS || Msg.wParam == VK_ADD) {
      Results.SetThumbnailSize(StepThumbnailSize(size, 1));
      return true;
    }
    if (Msg.wParam == VK_OEM_MINUS || Msg.wParam == VK_SUBTRACT) {
      Results.SetThumbnailSize(StepThumbnailSize(size, -1));
      return true;
    }
  }
  return false;
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
    case WmThumbnailsArrived:
      Results.TakeThumbnails();
      InvalidateRect(Thumbs->Handle, nullptr, FALSE);
      return 0;
    case WM_HSCROLL:
      if (reinterpret_cast<HWND>(Lp) == ThumbnailSlider)
        Results.SetThumbnailSize(
            static_cast<int32_t>(SendMessageW(ThumbnailSlider, TBM_GETPOS, 0, 0)));
      return 0;
    case WM_GETMINMAXINFO:
      LimitTrackSize(Handle, Lp, MinResultsWidth, MinResultsHeight);
      return 0;
    case WM_DPICHANGED:
      // The columns are fitted again at the new density.
      ApplyDpiChange(Handle, Font, Lp);
      Layout();
      return 0;
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
        const bool shown = Results.PreviewSplit().Shown;
        Results.PreviewDragged(MulDiv(right, 96, DpiOf(Handle)), LogicalWidth());
        if (shown != Results.PreviewSplit().Shown)
          Button_SetCheck(PreviewButton,
                          Results.PreviewSplit().Shown ? BST_CHECKED : BST_UNCHECKED);
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
        case IdPreviewButton:
          if (HIWORD(Wp) == BN_CLICKED) Results.TogglePreview();
          return 0;
        case IdThumbnailButton:
          if (HIWORD(Wp) == BN_CLICKED) Results.ToggleThumbnails();
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
      LRESULT answer = 0;
      if (Thumbs && Thumbs->OnNotify(*hdr, answer)) return answer;
      const bool rows = hdr->hwndFrom == SG1 || (Thumbs && hdr->hwndFrom == Thumbs->Handle);
      if (hdr->hwndFrom == SG1 && hdr->code == LVN_GETDISPINFOW) {
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(Lp);
        if (info->item.mask & LVIF_TEXT) {
          CellText = DrawnText(info->item.iItem, info->item.iSubItem);
          info->item.pszText = const_cast<wchar_t*>(CellText.c_str());
        }
        return 0;
      }
      if (hdr->hwndFrom == ListView_GetHeader(SG1) &&
          (hdr->code == HDN_ITEMCHANGEDW || hdr->code == HDN_ENDTRACKW)) {
        ColumnsDragged();
        return 0;
      }
      if (hdr->hwndFrom == Tip && hdr->code == TTN_GETDISPINFOW) {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(Lp);
        TipText = CutCellText(TipCell.x, TipCell.y);
        info->lpszText = const_cast<wchar_t*>(TipText.c_str());
        return 0;
      }
      if (hdr->hwndFrom == SG1 && hdr->code == LVN_COLUMNCLICK) {
        Results.HeaderClick(ModelColumn(reinterpret_cast<NMLISTVIEW*>(Lp)->iSubItem));
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
      if (rows && hdr->code == NM_RCLICK) {
        POINT at;
        GetCursorPos(&at);
        RowMenu(reinterpret_cast<NMITEMACTIVATE*>(Lp)->iItem, at);
        return 0;
      }
      if (rows && hdr->code == NM_DBLCLK) {
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
