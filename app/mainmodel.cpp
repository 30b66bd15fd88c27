#include "app/mainmodel.h"

#include <algorithm>
#include <chrono>

#include "app/filelist.h"
#include "text/paths.h"

namespace {

#ifdef _WIN32
constexpr char FolderDelimiter = '\\';
#else
constexpr char FolderDelimiter = '/';
#endif

// Shown from the stop request until the run ends.
const std::string StoppingText = "中止します…";

bool InRange(int Index, size_t Size) {
  return Index >= 0 && static_cast<size_t>(Index) < Size;
}

}  // namespace

std::vector<TListedProblem> ListedProblems(const std::vector<TProblemFile>& Problems) {
  std::vector<TListedProblem> out;
  for (const TProblemFile& p : Problems)
    out.push_back({p.Path, DescribeOutcomeJa(p.Outcome), p.Outcome.Failed()});
  return out;
}

std::vector<TListedProblem> ListedProblems(const std::vector<TRejectedPath>& Refused) {
  std::vector<TListedProblem> out;
  for (const TRejectedPath& r : Refused) out.push_back({r.Path, r.Reason, true});
  return out;
}

std::string CopiedProblems(const std::vector<TListedProblem>& Lines) {
#ifdef _WIN32
  const char* const lineEnd = "\r\n";
#else
  const char* const lineEnd = "\n";
#endif
  std::string out;
  for (const TListedProblem& l : Lines) out += l.Path + "\t" + l.Reason + lineEnd;
  return out;
}

// The list changes in one batch while it lives: the view shows the busy
// cursor from its start to its end.
class TMainModel::TChanging {
 public:
  explicit TChanging(TMainModel& Model) : Model(Model), Outer(Model.Changing) {
    if (Outer) return;
    Model.Changing = true;
    Model.View.StateChanged();
  }
  ~TChanging() {
    if (Outer) return;
    Model.Changing = false;
    Model.View.StateChanged();
  }
  TChanging(const TChanging&) = delete;
  TChanging& operator=(const TChanging&) = delete;

 private:
  TMainModel& Model;
  bool Outer;
};

std::string TMainModel::FileCountText() const {
  return std::to_string(Count()) + " ファイル";
}

bool TMainModel::Selected(int Index) const {
  return InRange(Index, Chosen.size()) && Chosen[static_cast<size_t>(Index)];
}

const TFileOutcome* TMainModel::Mark(int Index) const {
  if (!InRange(Index, Marks.size())) return nullptr;
  const int at = Marks[static_cast<size_t>(Index)];
  return at >= 0 ? &Problems[static_cast<size_t>(at)].Outcome : nullptr;
}

std::string TMainModel::EntryTip(int Index) const {
  const std::string path = ListEntry(Index);
  const TFileOutcome* mark = Mark(Index);
  return mark ? path + "\n" + DescribeOutcomeJa(*mark) : path;
}

std::string TMainModel::ListEntry(int Index) const {
  return InRange(Index, Paths.size()) ? Paths[static_cast<size_t>(Index)] : std::string();
}

std::string TMainModel::ListEntry(int Index) {
  return static_cast<const TMainModel&>(*this).ListEntry(Index);
}

void TMainModel::SetSelection(const std::vector<int>& SelectedLines, int CurrentLine) {
  std::fill(Chosen.begin(), Chosen.end(), 0);
  for (int i : SelectedLines) {
    if (InRange(i, Chosen.size())) Chosen[static_cast<size_t>(i)] = 1;
  }
  Current = InRange(CurrentLine, Paths.size()) ? CurrentLine : -1;
  View.StateChanged();  // a marked entry selected alone says why
}

void TMainModel::SelectAll() {
  if (Paths.empty()) return;
  std::fill(Chosen.begin(), Chosen.end(), 1);
  if (Current < 0) Current = 0;
  View.ListChanged();
  View.StateChanged();
}

int64_t TMainModel::Milliseconds() const {
  if (Clock) return Clock();
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool TMainModel::AddAll(const std::vector<std::string>& Candidates) {
  TChanging changing(*this);
  std::vector<std::string> taken;
  for (const std::string& path : Candidates) {
    if (AcceptsFile(path)) taken.push_back(path);
  }
  const bool added = !taken.empty();
  Append(std::move(taken));
  return added;
}

void TMainModel::Append(std::vector<std::string> Found) {
  if (Found.empty()) return;
  TChanging changing(*this);
  Paths.reserve(Paths.size() + Found.size());
  for (std::string& path : Found) Paths.push_back(std::move(path));
  Chosen.resize(Paths.size(), 0);
  Marks.resize(Paths.size(), -1);
  View.ListChanged();
}

void TMainModel::AddOrRefuse(const std::vector<std::string>& Candidates) {
  TChanging changing(*this);
  Refused.clear();
  std::vector<std::string> taken;
  for (const std::string& path : Candidates) {
    std::string reason = RejectionOf(path);
    if (reason.empty())
      taken.push_back(path);
    else
      Refused.push_back({path, std::move(reason)});
  }
  Append(std::move(taken));
  View.StateChanged();
}

std::string TMainModel::StatusTip() const {
  return StatusClickable() ? "クリックで追加できなかったものの一覧" : std::string();
}

void TMainModel::AddFromDialog() {
  if (Busy) return;
  const std::optional<std::vector<std::string>> chosen = View.AskFiles(LastFolder);
  if (!chosen || chosen->empty()) return;
  LastFolder = ExtractFolder(chosen->front());
  Refused.clear();
  AddAll(*chosen);
  View.StateChanged();
}

void TMainModel::AddFromFolder() {
  if (Busy) return;
  const std::optional<std::string> folder = View.AskFolder(LastFolder);
  if (folder) AddFolder(*folder);
}

void TMainModel::AddFolder(const std::string& Folder) {
  if (Busy || Folder.empty()) return;
  TChanging changing(*this);
  Refused.clear();
  std::vector<std::string> found;
  for (TFoundFile& f : FindDrawingFiles(Folder)) {
    if (f.Problem.empty())
      found.push_back(std::move(f.Path));
    else
      Refused.push_back({std::move(f.Path), std::move(f.Problem)});
  }
  // The walk took only existing drawing and figure files.
  Append(std::move(found));
  View.StateChanged();
  LastFolder = Folder.back() == FolderDelimiter ? Folder : Folder + FolderDelimiter;
}

void TMainModel::Drop(const std::vector<std::string>& Dropped) {
  if (Busy) return;
  AddOrRefuse(Dropped);
}

void TMainModel::AddCommandLine(const std::vector<std::string>& Args) {
  std::vector<std::string> paths;
  for (const std::string& arg : Args) {
    if (!arg.empty()) paths.push_back(FullPathOf(arg));
  }
  if (!paths.empty()) Drop(paths);
}

void TMainModel::Delete() {
  if (Busy || Paths.empty() || Current < 0) return;
  if (std::find(Chosen.begin(), Chosen.end(), 1) == Chosen.end()) return;
  TChanging changing(*this);
  // The entries kept move up in one pass, in their order: a deletion of
  // thousands costs no more than one of a few.
  size_t kept = 0;
  for (size_t i = 0; i < Paths.size(); ++i) {
    if (Chosen[i]) continue;
    if (kept != i) {
      Paths[kept] = std::move(Paths[i]);
      Marks[kept] = Marks[i];
    }
    ++kept;
  }
  Paths.resize(kept);
  Marks.resize(kept);
  Chosen.assign(kept, 0);
  Current = std::min(Current, Count() - 1);
  View.ListChanged();
}

void TMainModel::SetBusy(bool Value) {
  Busy = Value;
  StopAsked = false;
  ProgressShown = Value && !Paths.empty();
  Done = 0;
  Total = Count();
  Undrawn.clear();
  StateUndrawn = false;
  // The first file of a run is always drawn.
  LastDrawn = Milliseconds() - RunDrawInterval;
  View.StateChanged();
}

void TMainModel::Search(TJwwData& Jww, TJwsData& Jws) {
  if (Busy) return;
  // The marks of the last run go, and so does the note of refused paths.
  Problems.clear();
  Refused.clear();
  Marks.assign(Paths.size(), -1);
  View.ListChanged();
  SetBusy(true);
  // Opened for each run, so that it answers with what the last run wrote.
  std::unique_ptr<TBlockIndex> index;
  if (!IndexPath.empty()) {
    index = std::make_unique<TBlockIndex>(IndexPath);
    index->LoadInBackground();
  }
  if (Results) Results->SetIndexPath(IndexPath);
  RunBlockSearch(*this, Jww, Jws, 0, index.get());
  // What the run's last steps changed is drawn with the idle state.
  DrawRun(true);
  SetBusy(false);
  if (CloseAsked) {
    CloseAsked = false;
    View.CloseWindow();
  }
}

bool TMainModel::RequestClose() {
  if (!Busy) return true;
  CloseAsked = true;
  Stop();
  return false;
}

void TMainModel::DrawRun(bool Now) {
  if (!Now && Milliseconds() - LastDrawn < RunDrawInterval) return;
  for (int i : Undrawn) View.EntryChanged(i);
  Undrawn.clear();
  if (StateUndrawn) View.StateChanged();
  StateUndrawn = false;
  LastDrawn = Milliseconds();
}

void TMainModel::ProcessMessages() {
  DrawRun(false);
  View.ProcessMessages();
}

void TMainModel::Stop() {
  if (!Busy || StopAsked) return;
  StopAsked = true;
  RunText = StoppingText;
  // Said at once: the user waits for it.
  StateUndrawn = true;
  DrawRun(true);
}

std::string TMainModel::StatusText() const {
  if (!Busy && !Refused.empty())
    return std::to_string(Refused.size()) + " 件を追加できませんでした";
  if (!Busy) {
    // A marked entry, selected alone, says why.
    int only = -1, selected = 0;
    for (size_t i = 0; i < Chosen.size(); ++i) {
      if (Chosen[i] && ++selected == 1) only = static_cast<int>(i);
    }
    if (selected == 1) {
      if (const TFileOutcome* mark = Mark(only))
        return ExtractName(ListEntry(only)) + ": " + DescribeOutcomeJa(*mark);
    }
  }
  return RunText;
}

std::optional<TWindowLayout> TMainModel::LoadLayout(const TWindowLayout& Now) {
  LastFolder = ExeFolder;
  TWindowLayout layout = Now;
  layout.LastFolder = LastFolder;
  if (!ReadWindowLayout(LayoutFile, layout)) return std::nullopt;
  LastFolder = layout.LastFolder;
  return layout;
}

void TMainModel::SaveLayout(TWindowLayout Now) {
  Now.LastFolder = LastFolder;
  WriteWindowLayout(LayoutFile, Now);
}

void TMainModel::ClearSelection() {
  std::fill(Chosen.begin(), Chosen.end(), 0);
  View.ListChanged();
}

void TMainModel::SetSelected(int Index, bool Value) {
  if (!InRange(Index, Chosen.size())) return;
  Chosen[static_cast<size_t>(Index)] = Value ? 1 : 0;
  Done = Value ? Index : Index + 1;
  if (Busy) {
    Undrawn.insert(Index);
    StateUndrawn = true;
    return;
  }
  View.EntryChanged(Index);
  View.StateChanged();
}

void TMainModel::SetStatusText(const std::string& Utf8) {
  RunText = Utf8;
  if (Busy) {
    StateUndrawn = true;
    return;
  }
  View.StateChanged();
}

void TMainModel::SetCell(int Col, int Row, const std::string& Text) {
  if (Results) Results->SetCell(Col, Row, Text);
}

void TMainModel::SetRowCount(int Rows) {
  if (Results) Results->SetRowCount(Rows);
}

void TMainModel::ShowResults() {
  // Closing was asked: the window goes without the results.
  if (CloseAsked) return;
  DrawRun(true);
  ProgressShown = false;
  View.StateChanged();
  View.ShowResults();
}

void TMainModel::FileDone(int Index, const TFileOutcome& Outcome) {
  if (!Outcome.Noteworthy()) return;
  Problems.push_back({ListEntry(Index), Outcome});
  if (InRange(Index, Marks.size())) {
    Marks[static_cast<size_t>(Index)] = static_cast<int>(Problems.size() - 1);
    if (Busy)
      Undrawn.insert(Index);
    else
      View.EntryChanged(Index);
  }
}

void TMainModel::RunFinished(const TRunSummary& Summary) {
  if (Results) Results->SetReport(Summary, Problems);
}
