// TForm1: the main window. The list of drawing and figure files to search,
// the buttons that add and delete files, start the search and end the
// program, dropping of files, and the window-layout file.
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/resulttable.h"
#include "app/search.h"
#include "app/windowplace.h"

class QCloseEvent;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QShowEvent;
class QSplitter;
class QStatusBar;
class QWidget;
class TForm2;
class TJwsData;
class TJwwData;

class TForm1 : public QMainWindow, public TSearchWindow {
  Q_OBJECT

 public:
  explicit TForm1(QWidget* Parent = nullptr);
  ~TForm1() override;

  // Components.
  QWidget* Panel3;
  QLabel* Label1;
  QWidget* Panel2;
  QListWidget* ListBox1;
  QSplitter* Splitter1;
  QWidget* Panel1;
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Button3;
  QPushButton* Button4;
  // "フォルダ(&F)" (Ctrl+D): adds the drawing and figure files of a folder.
  QPushButton* Button5;
  QStatusBar* StatusBar1;
  // Files done of files listed, shown only while a search runs.
  QProgressBar* ProgressBar1;
  // "中止" (Esc): stops the run after the current file; shown while it runs.
  QPushButton* StopButton;

  // The results window; created after this window, before it is shown.
  TForm2* Form2 = nullptr;

  std::string ExeFolder;   // the executable's folder, with trailing "/"
  std::string LastFolder;  // where the open-file dialog starts
  std::unique_ptr<TJwwData> JwwReader;
  std::unique_ptr<TJwsData> JwsReader;

  // The layout file; when empty at the first showing it is found beside the
  // executable (or in the user's configuration folder, see
  // DefaultLayoutFile).
  std::string LayoutFile;
  // Files to add after the first showing (the command line), by the rules
  // for dropped files.
  std::vector<std::string> InitialFiles;

  // The open-file dialog. Given the starting folder, it answers the chosen
  // files in the dialog's order, or nothing when the user cancels. Tests
  // replace it; by default it shows OpenDialog1.
  using TOpenDialog = std::function<std::optional<QStringList>(const QString& StartFolder)>;
  TOpenDialog OpenDialog1;
  // The folder dialog of Button5: the chosen folder, or nothing. Tests
  // replace it.
  using TFolderDialog = std::function<std::optional<QString>(const QString& StartFolder)>;
  TFolderDialog FolderDialog;
  // The screens' available areas, for placing restored windows. Tests
  // replace it with a fake screen set.
  std::function<std::vector<TRect>()> Screens;

  void FormShow();
  void FormClose();
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();
  void Button5Click();
  // Esc and "中止" while a search runs.
  void StopClick();
  // Adds dropped files (native paths) by the acceptance rules.
  void DropFiles(const std::vector<std::string>& Paths);

  void LoadLayout(const std::string& Path);
  void SaveLayout(const std::string& Path);

  // The list's paths, in order.
  std::vector<std::string> ListPaths() const;
  QString StatusText() const;
  // True from the search button until the run returns.
  bool SearchRunning() const { return Running; }
  // The width of the file list.
  int ListWidth() const;
  void SetListWidth(int Width);

  // Where the layout file lives for the executable at ExePath: beside it,
  // with ".dat", when its folder is writable; else the same file name in the
  // user's configuration folder.
  static std::string DefaultLayoutFile(const std::string& ExePath);
  // The running executable's full path (native).
  static std::string ExePath();

  // TSearchWindow: what the search run needs from the window layer.
  int ListCount() override;
  std::string ListEntry(int Index) override;
  void ClearSelection() override;
  void SetSelected(int Index, bool Selected) override;
  void SetStatusText(const std::string& Utf8) override;
  void ProcessMessages() override;
  void SetCell(int Col, int Row, const std::string& Text) override;
  void SetRowCount(int Rows) override;
  void ShowResults() override;
  void FileDone(int Index, const TFileOutcome& Outcome) override;
  bool StopRequested() override;
  void RunFinished(const TRunSummary& Summary) override;

 protected:
  void showEvent(QShowEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;
  void dragEnterEvent(QDragEnterEvent* Event) override;
  void dragMoveEvent(QDragMoveEvent* Event) override;
  void dropEvent(QDropEvent* Event) override;

 private:
  // Appends Path when it has a drawing or figure file's extension and names
  // an existing file.
  bool AddFile(const std::string& Path);
  void ApplyLayoutLine(int Line, const std::string& Text);
  void SetBusy(bool Busy);
  // Moves both windows onto a screen that is there now.
  void PlaceWindows();
  // Clears the marks a run left on the list's entries.
  void ClearMarks();

  bool Shown = false;
  bool Closed = false;
  bool Running = false;
  bool StopAsked = false;
  bool ResultsMaximized = false;
  std::vector<TProblemFile> Problems;  // of the running search
};
