// TForm1 on the Win32 API: the file list that starts a search, its buttons,
// dropping of files and the layout file.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/layout.h"
#include "app/mainmodel.h"
#include "win32/controls.h"
#include "win32/resultswindow.h"

class TJwwData;
class TJwsData;

class TForm1 : public TMainView {
 public:
  TForm1();
  ~TForm1() override;
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  // Every state and rule of the window.
  TMainModel Model{*this};

  HWND Handle = nullptr;
  HWND ListBox1 = nullptr;
  HWND FileCount = nullptr;  // under the list: how many files it holds
  HWND ListTip = nullptr;    // the tooltip of the entry under the mouse
  HWND Label1 = nullptr;
  HWND Button1 = nullptr, Button2 = nullptr, Button3 = nullptr, Button4 = nullptr;
  HWND FolderButton = nullptr;  // adds a folder's drawing and figure files
  HWND StatusBar1 = nullptr;
  HWND ProgressBar1 = nullptr;
  HWND StopButton = nullptr;  // 中止: ends a run after the file being read
  std::unique_ptr<TForm2> Form2;
  std::unique_ptr<TJwwData> JwwReader;
  std::unique_ptr<TJwsData> JwsReader;
  // Paths named on the command line, added after the first showing.
  std::vector<std::string> InitialFiles;
  bool QuitOnClose = true;  // closing ends the program's message loop

  // Reads the layout, makes the readers, shows the window, adds InitialFiles.
  void FormShow(int ShowCommand);
  void DropFiles(const std::vector<std::string>& Paths) { Model.Drop(Paths); }
  void Button1Click() { Model.AddFromDialog(); }
  void Button2Click() { Model.Delete(); }
  void Button3Click();
  void FolderButtonClick() { Model.AddFromFolder(); }
  // Esc during a run: the run ends after the file being read.
  void StopClick() { Model.Stop(); }
  void Close();
  std::vector<std::string> ListPaths() const { return Model.ListPaths(); }
  bool Running() const { return Model.Running(); }
  const TFileOutcome* Mark(int Index) const { return Model.Mark(Index); }
  // The layout file beside the executable, or under %APPDATA%\Quillon when
  // that folder cannot be written.
  static std::string DefaultLayoutFile();

  // TMainView.
  void ListChanged() override;
  void EntryChanged(int Index) override;
  void StateChanged() override;
  void ProcessMessages() override;
  std::optional<std::vector<std::string>> AskFiles(const std::string& StartFolder) override;
  std::optional<std::string> AskFolder(const std::string& StartFolder) override;
  void ShowResults() override;
  void CloseWindow() override;
  // The paths that could not be added (a click on the status bar); modal.
  void ShowRejected();

  // The filter string the open-file dialog is given.
  static std::wstring OpenFilter();

  static LRESULT CALLBACK Proc(HWND Window, UINT Message, WPARAM W, LPARAM L);
  LRESULT OnMessage(UINT Message, WPARAM W, LPARAM L);

 private:
  void Layout();
  void LoadLayout();
  // The windows' layout now (logical pixels), and the windows moved to one.
  TWindowLayout WindowLayout() const;
  void ApplyWindowLayout(const TWindowLayout& Layout);
  void SaveLayout();
  void SelectionFromList();
  void DrawEntry(const DRAWITEMSTRUCT& Item);
  // The mouse over the list: the tooltip says the entry under it.
  void ListHover(LPARAM Point);
  static LRESULT CALLBACK ListProc(HWND List, UINT Message, WPARAM W, LPARAM L, UINT_PTR Id,
                                   DWORD_PTR Self);

  HFONT Font = nullptr;
  int ListWidth = TWindowLayout().ListWidth;
  bool Closed = false;
  bool StartMaximized = false;  // the layout file says it was closed maximised
  bool WorkCursor = false;      // the busy cursor of a batch change is shown
  int HotEntry = -1;            // the entry the tooltip speaks of
  // During a run the queue is looked at no more often than this.
  static constexpr ULONGLONG PumpInterval = 10;  // milliseconds
  ULONGLONG LastPump = 0;                        // 0: look at the next call
  std::wstring TipText;
};

// Registers the window classes and loads the common controls.
void RegisterForms(HINSTANCE Instance);
