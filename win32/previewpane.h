// The results window's preview on plain GDI: the current row's block
// definition fitted into the pane, drawn into a memory bitmap first so that
// it never flickers, or a line saying why there is nothing to draw.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "app/displaylist.h"
#include "app/preview.h"

class TPreviewPane {
 public:
  TPreviewPane(HWND Parent, HFONT Font);
  ~TPreviewPane();
  TPreviewPane(const TPreviewPane&) = delete;
  TPreviewPane& operator=(const TPreviewPane&) = delete;

  HWND Handle = nullptr;

  void ShowList(std::shared_ptr<const TDisplayList> List);
  void ShowMessage(const std::wstring& Text);
  const TDisplayList* List() const { return Shown.get(); }
  const std::wstring& Message() const { return Text; }

  static LRESULT CALLBACK Proc(HWND Window, UINT Message, WPARAM W, LPARAM L);
  LRESULT OnMessage(UINT Message, WPARAM W, LPARAM L);

 private:
  std::shared_ptr<const TDisplayList> Shown;
  std::wstring Text;
  HFONT Font;
};

// Registers the pane's window class.
void RegisterPreviewPane(HINSTANCE Instance);

// Draws List fitted into Area of Dc (what the pane draws; tests use it too).
void PaintDisplayList(HDC Dc, const TDisplayList& List, const RECT& Area, HFONT Font);
