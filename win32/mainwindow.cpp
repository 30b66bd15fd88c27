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

constexpr int LabelPanel = 20, SplitterWidth = 3;

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
  ListBox1 = MakeChild(L"LISTBOX", L"",
                       WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_EXTENDEDSEL | LBS_NOTIFY |
                           LBS_NOINTEGRALHEIGHT | LBS_WANTKEYBOARDINPUT | LBS_OWNERDRAWFIXED |
                           LBS_HASSTRINGS,
                       Handle, IdList, Font);
  Button1 = MakeChild(L"BUTTON", L"追加(&A)", WS_TABSTOP, Handle, IdAdd, Font);
  Button2 = MakeChild(L"BUTTON", L"削除(&D)", WS_TABSTOP, Handle, IdDelete, Font);
  Button3 = MakeChild(L"BUTTON", L"検索(&S)", WS_TABSTOP, Handle, IdSearch, Font);
  Button4 = MakeChild(L"BUTTON", L"終了(&X)", WS_TABSTOP, Handle, IdExit, Font);
  FolderButton = MakeChild(L"BUTTON", L"フォルダ(&F)", WS_TABSTOP, Handle, IdFolder, Font);
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
  // However wide the list is set, the buttons stay in view.
  const int list = std::max(std::min(Scaled(Handle, ListWidth),
                                     static_cast<int>(r.right) - Scaled(Handle, SplitterWidth) -
                                         Scaled(Handle, ButtonPanelWidth)),
                            Scaled(Handle, MinListWidth));
  MoveWindow(Label1, Scaled(Handle, 8), Scaled(Handle, 4), Scaled(Handle, 200), Scaled(Handle, 16),
             TRUE);
  MoveWindow(ListBox1, 0, top, list, std::max(static_cast<int>(r.bottom) - top - status, 10), TRUE);
  const int x = list + Scaled(Handle, SplitterWidth + 8);
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
  layout.ListWidth = ListWidth;
  layout.Results = ToLogicalPixels(NormalClient(Form2->Handle), DpiOf(Form2->Handle));
  for (int c = 0; c < ResultColCount; ++c)
    layout.Columns[static_cast<size_t>(c)] = Form2->ColWidth(c);
  layout.MainMaximized = IsWindowVisible(Handle) ? IsZoomed(Handle) != 0 : StartMaximized;
  layout.ResultsMaximized = Form2->Maximized();
  layout.Preview = Form2->Results.PreviewSplit();
  layout.Thumbnails = Form2->Results.ThumbnailPlace();
  layout.TextsColumn = Form2->TextsColumnShown();
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
    ofn.lpstrFilter = L"JWW Files(*.jww)\0*.jww\0JWS Files(*.jws)\0*.jws\0JW Files(*.jw*)\0*.jw*\0";
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

std::optional<std::string> TForm1::AskFolder(const std::string&) {
  BROWSEINFOW bi{};
  bi.hwndOwner = Handle;
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
void TForm1::ListChanged() {
  const LRESULT top = SendMessageW(ListBox1, LB_GETTOPINDEX, 0, 0);  // kept in view
  SendMessageW(ListBox1, WM_SETREDRAW, FALSE, 0);
  SendMessageW(ListBox1, LB_RESETCONTENT, 0, 0);
  for (int i = 0; i < Model.Count(); ++i) {
    SendMessageW(ListBox1, LB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(W(Model.ListEntry(i)).c_str()));
    if (Model.Selected(i)) SendMessageW(ListBox1, LB_SETSEL, TRUE, i);
  }
  if (Model.CurrentLine() >= 0)
    SendMessageW(ListBox1, LB_SETCARETINDEX, static_cast<WPARAM>(Model.CurrentLine()), FALSE);
  SendMessageW(ListBox1, LB_SETTOPINDEX, static_cast<WPARAM>(std::max<LRESULT>(top, 0)), 0);
  SendMessageW(ListBox1, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(ListBox1, nullptr, TRUE);
}

void TForm1::EntryChanged(int Index) {
  SendMessageW(ListBox1, LB_SETSEL, Model.Selected(Index), Index);
  RECT r{};
  SendMessageW(ListBox1, LB_GETITEMRECT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&r));
  InvalidateRect(ListBox1, &r, TRUE);
}

void TForm1::StateChanged() {
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
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
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
  std::vector<int> selected;
  const int count = static_cast<int>(SendMessageW(ListBox1, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    if (SendMessageW(ListBox1, LB_GETSEL, static_cast<WPARAM>(i), 0) > 0) selected.push_back(i);
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
  const std::wstring path = W(Model.ListEntry(index));
  DrawTextW(Item.hDC, path.c_str(), static_cast<int>(path.size()), &text,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  if (Item.itemState & ODS_FOCUS) DrawFocusRect(Item.hDC, &Item.rcItem);
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
      return -1;
    default:
      break;
  }
  return DefWindowProcW(Handle, Message, Wp, Lp);
}
