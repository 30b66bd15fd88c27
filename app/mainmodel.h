// The model of the main window (TForm1): the file list and its rules, the
// search run with its progress, stop and problem files, the status-bar text
// and the layout file. It holds every state the window shows and makes
// every decision; a view draws it and forwards the user's actions, and is
// called back through TMainView. No toolkit type crosses either way.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/filelist.h"
#include "app/index.h"
#include "app/layout.h"
#include "app/resulttable.h"
#include "app/search.h"

class TJwwData;
class TJwsData;

// What the main model asks of its view.
class TMainView {
 public:
  virtual ~TMainView() = default;
  // Entries were added or removed: draw the whole list again (entries,
  // marks, selection and current line from the model). A batch (a folder's
  // files, a deletion of many) is told once.
  virtual void ListChanged() = 0;
  // One entry's selection or mark changed.
  virtual void EntryChanged(int Index) = 0;
  // The status text, the busy state (buttons, drops, progress, stop, the
  // busy cursor while the list changes) or the progress changed.
  virtual void StateChanged() = 0;
  // Processes the window messages waiting in the queue, then returns.
  virtual void ProcessMessages() = 0;
  // The open-file dialog at StartFolder: the chosen files in the dialog's
  // order, or nothing when the user cancels.
  virtual std::optional<std::vector<std::string>> AskFiles(const std::string& StartFolder) = 0;
  // The folder dialog: the chosen folder, or nothing.
  virtual std::optional<std::string> AskFolder(const std::string& StartFolder) = 0;
  // Shows the results window modally; returns when it is closed.
  virtual void ShowResults() = 0;
  // Closes the window now (asked during a run, done once it has stopped).
  virtual void CloseWindow() = 0;
};

// One line of a problem list (files that could not be read, paths that
// could not be added): what, why, and whether it is an error rather than a
// warning.
struct TListedProblem {
  std::string Path;    // native
  std::string Reason;  // UTF-8
  bool Failed = true;
};
std::vector<TListedProblem> ListedProblems(const std::vector<TProblemFile>& Problems);
std::vector<TListedProblem> ListedProblems(const std::vector<TRejectedPath>& Refused);
// The list's copy: one "path TAB reason" line each, with the platform's
// line end.
std::string CopiedProblems(const std::vector<TListedProblem>& Lines);

// During a run the window is drawn at most this often: each file's steps
// still happen in order, their repaints are merged.
inline constexpr int RunDrawInterval = 33;  // milliseconds

// Where the search run's rows and report go: the results window's model.
class TResultSink {
 public:
  virtual ~TResultSink() = default;
  virtual void SetCell(int Col, int Row, const std::string& Text) = 0;
  virtual void SetRowCount(int Rows) = 0;
  virtual void SetReport(const TRunSummary& Summary, std::vector<TProblemFile> Problems) = 0;
  // The saved index the run went through (empty: none): the results keep
  // their drawings beside its entries.
  virtual void SetIndexPath(const std::string& Path) { (void)Path; }
};

class TMainModel : public TSearchWindow {
 public:
  explicit TMainModel(TMainView& View) : View(View) {}

  TResultSink* Results = nullptr;
  std::string ExeFolder;   // the executable's folder, with its delimiter
  std::string LastFolder;  // where the open-file dialog starts
  std::string LayoutFile;

  // --- The file list -------------------------------------------------------
  int Count() const { return static_cast<int>(Paths.size()); }
  const std::vector<std::string>& ListPaths() const { return Paths; }
  bool Selected(int Index) const;
  // The line the user last focused, or -1 when none was.
  int CurrentLine() const { return Current; }
  // How the entry's last reading went when it is marked, else null.
  const TFileOutcome* Mark(int Index) const;
  // The entry's tooltip: its path, and why it is marked.
  std::string EntryTip(int Index) const;

  // What the line under the list says: how many files it holds.
  std::string FileCountText() const;

  // The user's selection and current line (-1: none), as the list shows it.
  void SetSelection(const std::vector<int>& SelectedLines, int CurrentLine);
  // Ctrl+A: every entry selected; the current line stays (the first entry
  // when there was none).
  void SelectAll();
  // "追加(&A)": asks for files and adds those the list takes; the dialog's
  // folder becomes the one to start at next time.
  void AddFromDialog();
  // "フォルダ(&F)": asks for a folder and adds its drawing and figure files.
  void AddFromFolder();
  void AddFolder(const std::string& Folder);
  // Dropped files, added by the same rules.
  void Drop(const std::vector<std::string>& Paths);
  // Paths named on the command line: made absolute by the one path rule,
  // then added like dropped files.
  void AddCommandLine(const std::vector<std::string>& Args);
  // The dropped or named paths the list did not take, and the folders that
  // could not be read, with their reasons, until the list next changes. The
  // status bar counts them; a click on it lists them.
  const std::vector<TRejectedPath>& Rejected() const { return Refused; }
  bool StatusClickable() const { return !Busy && !Refused.empty(); }
  std::string StatusTip() const;
  // "削除(&D)": with entries and a current line, deletes every selected
  // entry; otherwise nothing.
  void Delete();

  // --- The search run ------------------------------------------------------
  // "検索(&S)": runs the search over the list (nothing while one runs),
  // through the saved index at IndexPath (none when it is empty).
  void Search(TJwwData& Jww, TJwsData& Jws);
  std::string IndexPath = DefaultIndexPath();
  // Esc and "中止": the run ends after the file being read.
  void Stop();
  bool Running() const { return Busy; }
  // Whether the list is being changed (a batch of files added or deleted):
  // the busy cursor shows.
  bool Working() const { return Changing; }
  // Whether the window may close now (not in the middle of a run).
  bool CanClose() const { return !Busy; }
  // The user closes the window: true when it may close now; during a run
  // the run is stopped after the file being read, and the window is closed
  // (CloseWindow) once it has, without showing the results.
  bool RequestClose();
  // The add, delete, search, folder and exit buttons, and drops.
  bool ButtonsEnabled() const { return !Busy; }
  bool StopVisible() const { return Busy && ProgressShown; }
  bool StopEnabled() const { return !StopAsked; }
  bool ProgressVisible() const { return Busy && ProgressShown; }
  int ProgressDone() const { return Done; }
  int ProgressTotal() const { return Total; }
  // The status bar's text (UTF-8).
  std::string StatusText() const;

  // --- The layout file -----------------------------------------------------
  // Reads the layout file onto Now (the windows as they are); the layout to
  // apply, or nothing when there is no file. LastFolder follows the file,
  // or is the executable's folder without one.
  std::optional<TWindowLayout> LoadLayout(const TWindowLayout& Now);
  // Writes Now, with LastFolder, to the layout file.
  void SaveLayout(TWindowLayout Now);

  std::string ListEntry(int Index) const;

  // Milliseconds on a steady clock; tests replace it.
  std::function<int64_t()> Clock;

  // --- TSearchWindow -------------------------------------------------------
  int ListCount() override { return Count(); }
  std::string ListEntry(int Index) override;
  void ClearSelection() override;
  void SetSelected(int Index, bool Selected) override;
  void SetStatusText(const std::string& Utf8) override;
  void ProcessMessages() override;
  void SetCell(int Col, int Row, const std::string& Text) override;
  void SetRowCount(int Rows) override;
  void ShowResults() override;
  void FileDone(int Index, const TFileOutcome& Outcome) override;
  bool StopRequested() override { return StopAsked; }
  void RunFinished(const TRunSummary& Summary) override;

 private:
  // Appends the paths the list takes; true when any was.
  bool AddAll(const std::vector<std::string>& Candidates);
  // Appends Found (paths already known to be taken) as one batch.
  void Append(std::vector<std::string> Found);
  // Marks the list as changing (the busy cursor) while it lives.
  class TChanging;
  // Adds the paths the list takes and keeps the others with their reasons.
  void AddOrRefuse(const std::vector<std::string>& Candidates);
  void SetBusy(bool Value);
  // During a run: the state changes since the last drawing are drawn when
  // RunDrawInterval has passed (or Now is set).
  void DrawRun(bool Now);
  int64_t Milliseconds() const;

  TMainView& View;
  std::vector<std::string> Paths;  // native
  std::vector<char> Chosen;        // per entry: selected
  std::vector<int> Marks;          // per entry: its place in Problems, or -1
  std::vector<TProblemFile> Problems;
  int Current = -1;
  bool Busy = false;
  bool StopAsked = false;
  bool CloseAsked = false;
  bool Changing = false;
  bool ProgressShown = false;
  std::vector<TRejectedPath> Refused;
  std::set<int> Undrawn;  // entries changed during a run, not drawn yet
  bool StateUndrawn = false;
  int64_t LastDrawn = 0;
  int Done = 0, Total = 0;
  std::string RunText = IdlePrompt;
};
