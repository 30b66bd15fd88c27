// The results as a grid of thumbnails on Windows: the list view in icon mode
// over the same rows as the table, without data of its own, each cell drawn
// with GDI (a frame, the block's drawing, the problem mark of its file, the
// name elided in the middle). The results window forwards its notifications
// and the worker's message.
#pragma once

#include <windows.h>
// windows.h first; the common controls need it.
#include <commctrl.h>

#include <string>

#include "app/resultsmodel.h"

// Posted to the owner when thumbnails wait to be taken (from the worker's
// thread); the owner has the model take them and redraws the view.
inline constexpr UINT WmThumbnailsArrived = WM_APP + 2;

class TThumbnailView {
 public:
  TThumbnailView(HWND Owner, int Id, TResultsModel& Results, HFONT Font);
  ~TThumbnailView();
  TThumbnailView(const TThumbnailView&) = delete;
  TThumbnailView& operator=(const TThumbnailView&) = delete;

  HWND Handle = nullptr;

  // The rows shown changed (count, order): drawn anew.
  void RowsChanged();
  // The model's current row, shown focused and in view.
  void ShowCurrent();
  // The model's thumbnail size changed: the cells are laid out again.
  void SizeChanged();
  void SetFont(HFONT Value) { Font = Value; }

  // A notification from the list view (WM_NOTIFY to the owner); answers
  // true with Result set when it was the view's.
  bool OnNotify(const NMHDR& Header, LRESULT& Result);

 private:
  LRESULT DrawCell(NMLVCUSTOMDRAW& Draw);
  void AskForVisible();

  HWND Owner;
  TResultsModel& Results;
  HFONT Font;
  HIMAGELIST Images = nullptr;
  bool Setting = false;  // the view is being set from the model
  std::wstring CellText;
};
