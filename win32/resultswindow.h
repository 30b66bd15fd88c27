// TForm2 on the Win32 API: the modal results window, a virtual list view
// over the app/ result table, the filter and find-next boxes, the preview
// pane and the status bar.
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

#include "app/mainmodel.h"
#include "app/preview.h"
#include "app/resulttable.h"
#include "win32/controls.h"

class TPreviewPane;

class TForm2 : public TResultSink {
 public:
  explicit TForm2(HWND Owner);
  ~TForm2() override;
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

  void SetCell(int Col, int Row, const std::string& Text) override {
    Results.SetCell(Col, Row, Text);
  }
  void SetRowCount(int Rows) override;
  void SetReport(const TRunSummary& Summary, std::vector<TProblemFile> Problems) override;
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
  LRESULT OnMessage(UINT Message, WPARAM W, LPARAM L);

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
