// The two windows on the plain Win32 API: TForm1, the file list that starts
// a search, and TForm2, the results table. Everything they decide comes from
// app/ (the search run, the result table, the file-list rules, the layout
// file, window placement); here it is only drawn and forwarded.
#pragma once

#include <windows.h>
// windows.h first; the common controls need it.
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/preview.h"
#include "app/resulttable.h"
#include "app/search.h"

class TJwwData;
class TJwsData;
class TPreviewPane;

// Sizes in this file are 96-DPI pixels, scaled to the window's DPI.
int Scaled(HWND Window, int Pixels);

class TForm2 {
 public:
  explicit TForm2(HWND Owner);
  ~TForm2();
  TForm2(const TForm2&) = delete;
  TForm2& operator=(const TForm2&) = delete;

  HWND Handle = nullptr;
  HWND SG1 = nullptr;  // the results table: a virtual list view
  HWND FilterLabel = nullptr;
  HWND FilterEdit = nullptr;
  HWND Label1 = nullptr;
  HWND Edit1 = nullptr;
  HWND Button1 = nullptr;
  HWND Button2 = nullptr;
  HWND StatusBar1 = nullptr;
  std::unique_ptr<TPreviewPane> Preview;  // beside the table
  TResultTable Results;

  void SetCell(int Col, int Row, const std::string& Text) { Results.SetCell(Col, Row, Text); }
  void SetRowCount(int Rows);
  void SetReport(const TRunSummary& Summary, std::vector<TProblemFile> Problems);
  // Shows the window and returns when the user (or a test) closes it; the
  // owner is disabled meanwhile.
  void ShowModal();
  void Close();
  bool Showing() const { return Modal; }
  int ColWidth(int Col) const;
  void SetColWidth(int Col, int Width);
  // The list view's idea of the table: rows drawn and the text of a cell.
  int DrawnRowCount() const;
  std::wstring DrawnText(int Position, int Col) const;
  void Button1Click();
  void SetFilter(const std::wstring& Text);
  void CopySelection();
  // The files of the last run that were not read completely, with reasons.
  void ShowProblems();
  void RowMenu(int Position, POINT At);
  // The preview pane's width (96-DPI pixels; 0 when the user closed it).
  int PreviewWidth() const { return PreviewSize; }
  void SetPreviewWidth(int Width);
  // Asks for the current row's drawing; the pane shows it once read.
  void UpdatePreview();
  // Called right after the window shows (tests close it from here).
  std::function<void(TForm2&)> OnShown;

  static LRESULT CALLBACK Proc(HWND Window, UINT Message, WPARAM W, LPARAM L);
  LRESULT Handle_(UINT Message, WPARAM W, LPARAM L);

 private:
  void Layout();
  void Refresh();
  void ShowCurrent();
  void ShowArrivedPreview();
  bool OnSplitter(int X) const;
  LRESULT DrawCell(NMLVCUSTOMDRAW& Draw);

  HWND Owner;
  HFONT Font = nullptr;
  bool Modal = false;
  mutable std::wstring CellText;  // what the list view was last handed
  std::unique_ptr<TPreviewFollower> PreviewFollower;
  std::mutex ArrivedLock;  // the worker hands its answer over here
  std::optional<std::pair<uint64_t, TPreview>> Arrived;
  int PreviewSize = 160;
  bool Dragging = false;
  int Dpi = 96;  // the density the column widths are sized for
  // The sort the header's arrow shows.
  std::pair<int, TSortOrder> ShownSort{
      -1, TSortOrder::Search};  // the splitter between table and preview
};

class TForm1 : public TSearchWindow {
 public:
  TForm1();
  ~TForm1() override;
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  HWND Handle = nullptr;
  HWND ListBox1 = nullptr;
  HWND Label1 = nullptr;
  HWND Button1 = nullptr, Button2 = nullptr, Button3 = nullptr, Button4 = nullptr;
  HWND Button5 = nullptr;  // adds a folder's drawing and figure files
  HWND StatusBar1 = nullptr;
  HWND ProgressBar1 = nullptr;
  HWND StopButton = nullptr;  // 中止: ends a run after the file being read
  std::unique_ptr<TForm2> Form2;
  std::unique_ptr<TJwwData> JwwReader;
  std::unique_ptr<TJwsData> JwsReader;
  std::string LayoutFile;  // chosen at start when empty
  std::string LastFolder;
  std::vector<std::string> InitialFiles;
  bool QuitOnClose = true;  // closing ends the program's message loop

  // Reads the layout, makes the readers, shows the window, adds InitialFiles.
  void FormShow(int ShowCommand);
  bool AddFile(const std::string& Path);
  void DropFiles(const std::vector<std::string>& Paths);
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button5Click();
  void AddFolder(const std::string& Folder);
  // Esc during a run: the run ends after the file being read.
  void StopClick();
  void Close();
  std::vector<std::string> ListPaths();
  bool Running() const { return Busy; }
  // The layout file beside the executable, or under %APPDATA%\Quillon when
  // that folder cannot be written.
  static std::string DefaultLayoutFile();

  // The search run's window layer.
  int ListCount() override;
  std::string ListEntry(int Index) override;
  void ClearSelection() override;
  void SetSelected(int Index, bool Selected) override;
  void SetStatusText(const std::string& Utf8) override;
  void ProcessMessages() override;
  void SetCell(int Col, int Row, const std::string& Text) override;
  void SetRowCount(int Rows) override;
  void ShowResults() override;
  void RunFinished(const TRunSummary& Summary) override;
  bool StopRequested() override { return StopAsked; }
  void FileDone(int Index, const TFileOutcome& Outcome) override;
  // How the entry's last reading went when it is marked, else null.
  const TFileOutcome* Mark(int Index) const;

  static LRESULT CALLBACK Proc(HWND Window, UINT Message, WPARAM W, LPARAM L);
  LRESULT Handle_(UINT Message, WPARAM W, LPARAM L);

 private:
  void Layout();
  void LoadLayout();
  void SaveLayout();
  void SetBusy(bool Value);
  void DrawEntry(const DRAWITEMSTRUCT& Item);

  std::vector<std::string> Paths;  // the list's entries, UTF-8
  std::vector<TProblemFile> Problems;
  std::vector<int> Marks;  // per entry: its place in Problems, or -1
  HFONT Font = nullptr;
  int ListWidth = 176;
  bool Busy = false;
  bool Closed = false;
  bool StopAsked = false;
};

// Registers the window classes and loads the common controls.
void RegisterForms(HINSTANCE Instance);
