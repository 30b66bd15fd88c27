// What both Win32 windows share: scaling by the window's density, the
// dialog font, child controls, the clipboard, window rectangles in logical
// and device pixels, and the executable's own path.
#pragma once

#include <windows.h>
// windows.h first; the common controls need it.
#include <commctrl.h>

#include <string>

#include "app/windowplace.h"

// Sizes here are 96-DPI pixels, scaled to the window's density.
int Scaled(HWND Window, int Pixels);
// The window's density (96 when it has none).
int DpiOf(HWND Window);

std::wstring W(const std::string& Utf8);
// A control's text, in UTF-8.
std::string TextOf(HWND Control);
// Puts Text on the clipboard (nothing when it is empty).
void CopyText(HWND Owner, const std::wstring& Text);

// The windows' font, "ＭＳ ゴシック" 13 pixels at the window's density.
HFONT MakeFont(HWND Window);
HWND MakeChild(const wchar_t* Class, const wchar_t* Text, DWORD Style, HWND Parent, int Id,
               HFONT Font);
// A window moved onto a monitor of another density: it takes the rectangle
// the system suggests and a font made anew at the new size, handed to every
// child.
void ApplyDpiChange(HWND Window, HFONT& Font, LPARAM Suggested);

// The normal (not maximised) client area of a window, in screen
// coordinates (device pixels).
TRect NormalClient(HWND Window);
// Moves a window so that its client area is Client (device pixels), kept on
// a screen and no larger than its work area.
void SetClient(HWND Window, const TRect& Client);
// Answers WM_GETMINMAXINFO: the window is never made smaller than a client
// area of Width x Height logical pixels.
void LimitTrackSize(HWND Window, LPARAM Info, int Width, int Height);

// Makes Row (or no row when negative) the one row selected and focused in a
// list view, and scrolls it into view. Only the rows selected before are
// deselected: asking for every row walks a million of them on some list
// views.
void SelectOnly(HWND List, int Row);

// The running executable's full path.
std::wstring ExeFileName();
// Whether a file can be created in Folder (with trailing "\").
bool FolderWritable(const std::wstring& Folder);

// Window classes and command identifiers of the two windows.
inline const wchar_t* const MainClass = L"QuillonForm1";
inline const wchar_t* const ResultsClass = L"QuillonForm2";

enum : int {
  IdList = 101,
  IdAdd,
  IdDelete,
  IdSearch,
  IdExit,
  IdTable,
  IdFilter,
  IdFind,
  IdFindButton,
  IdClose,
  IdCopy,
  IdFolder,
  IdOpen,
  IdShowInFolder,
  IdCopyPath,
  IdStop,
  IdPreviewButton,
  IdThumbnails,
  IdThumbnailButton,
  IdThumbnailSlider,
};
