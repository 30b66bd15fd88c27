// The list of problem files or refused paths: a resizable window with the
// paths and their reasons, a copy button and a close button, shown modally
// over its owner.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/mainmodel.h"

class TProblemList {
 public:
  TProblemList(HWND Owner, const std::wstring& Title, std::vector<TListedProblem> Lines);
  ~TProblemList();
  TProblemList(const TProblemList&) = delete;
  TProblemList& operator=(const TProblemList&) = delete;

  HWND Handle = nullptr;
  HWND List = nullptr;  // a list view: path, reason
  HWND CopyButton = nullptr;
  HWND CloseButton = nullptr;
  // Returns when the user closes it (Esc, 閉じる, the close box).
  void ShowModal();
  void Close() { Done = true; }
  // Puts every line on the clipboard.
  void CopyAll();
  // Called once the window is shown, before its loop (tests close it).
  static std::function<void(TProblemList&)> OnShown;

  LRESULT OnMessage(UINT Message, WPARAM W, LPARAM L);
  static LRESULT CALLBACK Proc(HWND Window, UINT Message, WPARAM W, LPARAM L);

 private:
  void Layout();
  HWND Owner;
  HFONT Font = nullptr;
  std::vector<TListedProblem> Lines;
  bool Done = false;
};
