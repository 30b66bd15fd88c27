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
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/layout.h"
#include "app/resultsmodel.h"
#include "win32/controls.h"

class TPreviewPane;
class TThumbnailView;

class TForm2 : public TResultsView {
 public:
  explicit TForm2(HWND Owner);
  ~TForm2() override;
  TForm2(const TForm2&) = delete;
  TForm2& operator=(const TForm2&) = delete;

  // Every state and rule of the window.
  TResultsModel Results{*this};

  HWND Handle = nullptr;
  HWND SG1 = nullptr;  // the results table: a virtual list view
  HWND FilterLabel = nullptr;
  HWND FilterEdit = nullptr;
  HWND PreviewButton = nullptr;  // shows or hides the preview (F6)
  HWND Label1 = nullptr;
  HWND Edit1 = nullptr;
  HWND Button1 = nullptr;
  HWND Button2 = nullptr;
  HWND StatusBar1 = nullptr;
  std::unique_ptr<TPreviewPane> Preview;   // beside the table
  std::unique_ptr<TThumbnailView> Thumbs;  // in place of the table (Ctrl+T)
  HWND ThumbnailButton = nullptr;
  HWND ThumbnailSlider = nullptr;  // the thumbnails' size, shown with them

  // The grid's operations, handed to the model (row 0: the header).
  void SetCell(int Col, int Row, const std::string& Text) { Results.SetCell(Col, Row, Text); }
  void SetRowCount(int Rows) { Results.SetRowCount(Rows); }
  // Shows the window and returns when the user (or a test) closes it; the
  // owner is disabled meanwhile.
  void ShowModal();
  void Close();
  bool Showing() const { return Modal; }
  // Whether the window is (or, before its first showing, opens) maximised.
  bool Maximized() const;
  void SetMaximized(bool Value) { StartMaximized = Value; }
  int ColWidth(int Col) const;
  void SetColWidth(int Col, int Width);
  // The list view's idea of the table: rows drawn and the text of a cell.
  int DrawnRowCount() const;
  // The text drawn in the list view's column Col (the shown columns in
  // order).
  std::wstring DrawnText(int Position, int Col) const;
  // The results' column drawn as the list view's column Index, or -1.
  int ModelColumn(int Index) const;
  void Button1Click();
  // Shift+F3: the previous match.
  void FindPreviousClick();
  // Ctrl+A in the table.
  void SelectAll();
  void SetFilter(const std::wstring& Text);
  void CopySelection();
  // The files of the last run that were not read completely, with reasons.
  void ShowProblems();
  void RowMenu(int Position, POINT At);
  // The preview pane's width as placed now (96-DPI pixels; 0 when hidden).
  int PreviewWidth() const;
  // The width column Col is drawn at now (96-DPI pixels).
  int DrawnColWidth(int Col) const;
  // The whole text of the cell at Position, Col when it is drawn cut (the
  // tooltip's), else empty.
  std::wstring CutCellText(int Position, int Col) const;
  // The header's menu (a right-click on the header): shows or hides the
  // column of the texts inside each block.
  void HeaderMenu(POINT At);
  bool TextsColumnShown() const { return Results.TextsColumnShown(); }
  void SetTextsColumnShown(bool Shown) { Results.SetTextsColumnShown(Shown); }
  bool SameColumnShown() const { return Results.SameColumnShown(); }
  void SetSameColumnShown(bool Shown) { Results.SetSameColumnShown(Shown); }
  // Called right after the window shows (tests close it from here).
  std::function<void(TForm2&)> OnShown;

  // TResultsView.
  void RowsChanged() override;
  void CurrentChanged() override;
  void StatusChanged() override;
  void ColumnsChanged() override;
  void CellsChanged() override;
  void ShowPreview(const std::shared_ptr<const TDisplayList>& List) override;
  void ShowPreviewText(const std::string& Utf8) override;
  void PreviewArrived() override;
  void StartTimer(int Id, int Milliseconds) override;
  void OpenRowFile(TOpenAction Action, const std::string& Path) override;
  void CopyToClipboard(const std::string& Utf8) override;
  void PreviewPlaceChanged() override;
  void ThumbnailPlaceChanged() override;
  void ThumbnailsArrived() override;

  static LRESULT CALLBACK Proc(HWND Window, UINT Message, WPARAM W, LPARAM L);
  LRESULT OnMessage(UINT Message, WPARAM W, LPARAM L);

 private:
  void Layout();
  bool ThumbnailKey(const MSG& Msg);
  // Draws the columns at the widths fitted to the table's width.
  void FitColumns();
  void ColumnsDragged();
  // The window's width in 96-DPI pixels.
  int LogicalWidth() const;
  std::vector<int> SelectedPositions() const;
  bool OnSplitter(int X) const;
  LRESULT DrawCell(NMLVCUSTOMDRAW& Draw);

  HWND Owner;
  HFONT Font = nullptr;
  bool Modal = false;
  bool ShownOnce = false;
  bool StartMaximized = false;
  bool Drawing = false;           // the list view is being set from the model
  mutable std::wstring CellText;  // what the list view was last handed
  mutable std::wstring TipText;   // what the tooltip was last handed
  bool Dragging = false;          // the splitter between table and preview
  bool Fitting = false;           // the columns are being set from the model
  HWND Tip = nullptr;             // the cut cells' tooltip
  POINT TipCell{-1, -1};          // the cell (row, column) it shows
};
