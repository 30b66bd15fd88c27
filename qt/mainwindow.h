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

#include "app/layout.h"
#include "app/mainmodel.h"
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
class TProblemList;
class TJwsData;
class TJwwData;

class TForm1 : public QMainWindow, public TMainView {
  Q_OBJECT

 public:
  explicit TForm1(QWidget* Parent = nullptr);
  ~TForm1() override;

  // Every state and rule of the window.
  TMainModel Model{*this};

  // Components.
  QWidget* Panel3;
  QLabel* Label1;
  QWidget* Panel2;
  QListWidget* ListBox1;
  // Under the list: how many files it holds.
  QLabel* FileCountLabel;
  QSplitter* Splitter1;
  QWidget* Panel1;
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Button3;
  QPushButton* Button4;
  // "フォルダ(&F)" (Ctrl+D): adds the drawing and figure files of a folder.
  QPushButton* FolderButton;
  QStatusBar* StatusBar1;
  // Files done of files listed, shown only while a search runs.
  QProgressBar* ProgressBar1;
  // "中止" (Esc): stops the run after the current file; shown while it runs.
  QPushButton* StopButton;

  // The results window; created after this window, before it is shown.
  TForm2* Form2 = nullptr;

  std::unique_ptr<TJwwData> JwwReader;
  std::unique_ptr<TJwsData> JwsReader;

  // Paths named on the command line, added after the first showing.
  std::vector<std::string> InitialFiles;

  // The open-file dialog. Given the starting folder, it answers the chosen
  // files in the dialog's order, or nothing when the user cancels. Tests
  // replace it; by default it shows OpenDialog1.
  using TOpenDialog = std::function<std::optional<QStringList>(const QString& StartFolder)>;
  TOpenDialog OpenDialog1;
  // The folder dialog of FolderButton: the chosen folder, or nothing. Tests
  // replace it.
  using TFolderDialog = std::function<std::optional<QString>(const QString& StartFolder)>;
  TFolderDialog FolderDialog;
  // The screens' available areas, for placing restored windows. Tests
  // replace it with a fake screen set.
  std::function<std::vector<TRect>()> Screens;

  void FormShow();
  void FormClose();
  void Button1Click() { Model.AddFromDialog(); }
  void Button2Click() { Model.Delete(); }
  void Button3Click();
  void Button4Click();
  void FolderButtonClick() { Model.AddFromFolder(); }
  // Esc and "中止" while a search runs.
  void StopClick() { Model.Stop(); }
  void DropFiles(const std::vector<std::string>& Paths) { Model.Drop(Paths); }

  void LoadLayout();
  void SaveLayout();

  std::vector<std::string> ListPaths() const { return Model.ListPaths(); }
  int ListCount() const { return Model.Count(); }
  QString StatusText() const;
  bool SearchRunning() const { return Model.Running(); }
  // The width of the file list.
  int ListWidth() const;
  void SetListWidth(int Width);

  // Where the layout file lives for the executable at ExePath (see
  // LayoutFileFor; the user's folder is the configuration folder).
  static std::string DefaultLayoutFile(const std::string& ExePath);
  // The running executable's full path (native).
  static std::string ExePath();

  // TMainView.
  void ListChanged() override;
  void EntryChanged(int Index) override;
  void StateChanged() override;
  void ProcessMessages() override;
  std::optional<std::vector<std::string>> AskFiles(const std::string& StartFolder) override;
  std::optional<std::string> AskFolder(const std::string& StartFolder) override;
  void ShowResults() override;
  void CloseWindow() override;

  // The list of paths that could not be added (a click on the status bar);
  // modal. OnProblemList sees it before it shows (tests close it).
  void ShowRejected();
  std::function<void(TProblemList&)> OnProblemList;

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;
  void showEvent(QShowEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;
  void dragEnterEvent(QDragEnterEvent* Event) override;
  void dragMoveEvent(QDragMoveEvent* Event) override;
  void dropEvent(QDropEvent* Event) override;

 private:
  // The windows' layout now, and the windows moved to a layout.
  TWindowLayout WindowLayout() const;
  void ApplyWindowLayout(const TWindowLayout& Layout);
  // Moves both windows onto a screen that is there now.
  void PlaceWindows();
  void SelectionFromList();
  // The list's selection and current line set from the model in one step.
  void SelectionToList();
  void DrawEntry(int Index);

  bool Shown = false;
  bool Closed = false;
  bool Mirroring = false;  // the list is being set from the model
  bool ResultsMaximized = false;
  bool WorkCursor = false;  // the busy cursor of a batch change is shown
};
