#include "app/resultsmodel.h"

#include <algorithm>

#include "app/blocktexts.h"
#include "text/codec.h"
#include "text/paths.h"

namespace {

enum : int { LoadingTimer = 1, NoteTimer = 2 };

const std::string NothingBelowText = "これより下に一致する行はありません";
const std::string NothingAboveText = "これより上に一致する行はありません";
const std::string SameHeader = "同じ図形";

// A row whose file gave no drawing for it.
constexpr size_t UnknownCount = static_cast<size_t>(-1);

#ifdef _WIN32
const char* const LineEnd = "\r\n";
#else
const char* const LineEnd = "\n";
#endif

}  // namespace

TResultsModel::TResultsModel(TResultsView& View) : View(View) {
  for (int c = 0; c < ResultColCount; ++c) Header[static_cast<size_t>(c)] = ResultHeader[c];
  Header[TextsCol] = BlockTextsHeader;
  Header[SameCol] = SameHeader;
  ColumnWidths.SetVisible(TextsCol, false);
  ColumnWidths.SetVisible(SameCol, false);
  Follower = std::make_unique<TPreviewFollower>([this](uint64_t Ticket, TPreview P) {
    {
      std::lock_guard<std::mutex> hold(ArrivedLock);
      Arrived.emplace(Ticket, std::move(P));
    }
    this->View.PreviewArrived();
  });
}

TResultsModel::~TResultsModel() {
  StopPreview();
}

void TResultsModel::StopPreview() {
  ThumbWorker.reset();
  Follower.reset();  // waits for the preview being built; no answer follows
}

void TResultsModel::SetCell(int Col, int Row, const std::string& Text) {
  if (Col < 0 || Col > TextsCol || Row < 0) return;
  if (Row == 0) {
    Header[static_cast<size_t>(Col)] = Text;
    View.RowsChanged();
    return;
  }
  // The view is rebuilt by SetRowCount, which every fill ends with.
  Results.SetCell(Col, Row, Text);
}

std::string TResultsModel::Cell(int Col, int Row) const {
  if (Col < 0 || Col > TextsCol || Row < 0) return {};
  if (Row == 0) return Header[static_cast<size_t>(Col)];
  return Results.Cell(Col, Row);
}

void TResultsModel::SetRowCount(int Rows) {
  // A new run: the same row may now list another file's definition.
  if (Follower) Follower->Forget();
  if (ThumbWorker) ThumbWorker->Cancel();
  ThumbCache.Clear();
  PrintsWanted = SameKnown = false;
  PrintFiles.clear();
  RowPrints.clear();
  SameCounts.clear();
  SameOnly.reset();
  Results.SetRowCount(Rows);
  if (SameShown) WantPrints();
  ViewChanged();
}

void TResultsModel::SetReport(const TRunSummary& Summary, std::vector<TProblemFile> Problems) {
  Results.SetReport(Summary, std::move(Problems));
  View.StatusChanged();
}

std::string TResultsModel::DisplayText(int Col, int Row) const {
  if (Col == SameCol) {
    if (Row == 0) return Header[SameCol];
    const std::optional<size_t> count = SameCount(Row);
    return count ? std::to_string(*count) : std::string();
  }
  const std::string text = Cell(Col, Row);
  if (Row >= 1 && Col == TextsCol) return BlockTextsUtf8(text);
  return Row >= 1 && Col == BlockNameCol ? Cp932ToUtf8(text) : text;
}

std::string TResultsModel::ShownText(int Position, int Col) const {
  if (Position < 0 || Position >= Results.ShownCount()) return {};
  return DisplayText(Col, Results.ShownRow(Position));
}

TSortOrder TResultsModel::SortMark(int Col) const {
  return Col == Results.SortColumn() ? Results.SortOrder() : TSortOrder::Search;
}

std::string TResultsModel::StatusText() const {
  std::vector<std::string> parts = Results.StatusParts();
  if (CurrentPosition() >= 0) {
    const std::string text = Results.MatchedText(Results.Current());
    if (!text.empty()) parts.push_back("図形内の文字「" + Cp932ToUtf8(text) + "」に一致");
  }
  if (SameOnly)
    parts.push_back(SameHeader + " " +
                    std::to_string(std::count(RowPrints.begin(), RowPrints.end(), SameOnly)) +
                    " 行");
  parts.push_back(Note);
  return JoinStatusParts(parts);
}

std::string TResultsModel::StatusTip() const {
  return StatusClickable() ? "クリックで読み込めなかったファイルの一覧" : std::string();
}

void TResultsModel::ViewChanged() {
  View.RowsChanged();
  View.CurrentChanged();
  FollowPreview();
  View.StatusChanged();
}

void TResultsModel::SetFilter(const std::string& Utf8) {
  // Emptying the box ends the same-drawing rows as well.
  const bool ended = Utf8.empty() && EndSameRows();
  if (Results.FilterText() == Utf8 && !ended) return;
  Results.SetFilter(Utf8);
  ViewChanged();
}

void TResultsModel::SetTextsColumnShown(bool Shown) {
  if (TextsShown == Shown) return;
  TextsShown = Shown;
  ColumnWidths.SetVisible(TextsCol, Shown);
  View.ColumnsChanged();
}

void TResultsModel::SetSameColumnShown(bool Shown) {
  if (SameShown == Shown) return;
  SameShown = Shown;
  ColumnWidths.SetVisible(SameCol, Shown);
  View.ColumnsChanged();
  if (Shown) WantPrints();
}

std::vector<int> TResultsModel::ShownColumns() const {
  std::vector<int> cols{FileNameCol, PathCol, BlockNameCol};
  if (TextsShown) cols.push_back(TextsCol);
  if (SameShown) cols.push_back(SameCol);
  return cols;
}

std::vector<THeaderMenuItem> TResultsModel::HeaderMenu() const {
  return {{"図形内の文字(&T)", TextsShown}, {"同じ図形(&S)", SameShown}};
}

void TResultsModel::HeaderMenuChosen(size_t Index) {
  if (Index == 0) SetTextsColumnShown(!TextsShown);
  if (Index == 1) SetSameColumnShown(!SameShown);
}

void TResultsModel::WantPrints() {
  if (PrintsWanted) return;
  PrintsWanted = true;
  // Every file of the run, in the order of its rows.
  PrintFiles.clear();
  PrintFilesRead = 0;
  for (int row = 1; row < Results.RowCount(); ++row) {
    const std::string& path = Results.Cell(PathCol, row);
    if (!path.empty() && (PrintFiles.empty() || PrintFiles.back() != path))
      PrintFiles.push_back(path);
  }
  const std::vector<std::string> ask = ThumbCache.ToAsk(PrintFiles);
  if (!ask.empty()) {
    if (!ThumbWorker)
      ThumbWorker = std::make_unique<TThumbnailWorker>([this] { View.ThumbnailsArrived(); });
    ThumbWorker->Want(ask);
  }
  CountSame();
}

void TResultsModel::CountSame() {
  if (!PrintsWanted || SameKnown) return;
  for (; PrintFilesRead < PrintFiles.size(); ++PrintFilesRead) {
    if (!ThumbCache.FileDone(PrintFiles[PrintFilesRead])) return;
  }
  // A file's definitions are consecutive rows, from position 0.
  const size_t rows = static_cast<size_t>(Results.RowCount() - 1);
  std::vector<TPrintedRow> printed(rows);
  RowPrints.assign(rows, std::nullopt);
  std::vector<bool> known(rows, false);
  int position = 0;
  for (size_t i = 0; i < rows; ++i) {
    const int row = static_cast<int>(i) + 1;
    const std::string& path = Results.Cell(PathCol, row);
    position = row > 1 && Results.Cell(PathCol, row - 1) == path ? position + 1 : 0;
    const TPrintedRow* print =
        ThumbCache.FindPrint(path, position, Results.Cell(BlockNameCol, row));
    if (!print) {
      printed[i].EmptyDrawing = true;
      continue;
    }
    printed[i] = *print;
    known[i] = true;
    if (!print->EmptyDrawing) RowPrints[i] = print->Print;
  }
  SameCounts = SameDrawingCounts(printed);
  for (size_t i = 0; i < rows; ++i) {
    if (!known[i]) SameCounts[i] = UnknownCount;
  }
  SameKnown = true;
  // Sorted by the counts, the rows move (unknown ones come first).
  std::vector<int64_t> numbers(rows, -1);
  for (size_t i = 0; i < rows; ++i) {
    if (SameCounts[i] != UnknownCount) numbers[i] = static_cast<int64_t>(SameCounts[i]);
  }
  Results.SetSortNumbers(std::move(numbers));
  if (Results.SortColumn() == SameCol && Results.SortOrder() != TSortOrder::Search)
    ViewChanged();
  else
    View.CellsChanged();
}

std::optional<size_t> TResultsModel::SameCount(int Row) const {
  if (!SameKnown || Row < 1 || static_cast<size_t>(Row) > SameCounts.size()) return std::nullopt;
  const size_t count = SameCounts[static_cast<size_t>(Row - 1)];
  if (count == UnknownCount) return std::nullopt;
  return count;
}

void TResultsModel::ToggleSameRows() {
  if (EndSameRows()) {
    ViewChanged();
    return;
  }
  const int row = Results.Current();
  const std::optional<size_t> count = CurrentPosition() >= 0 ? SameCount(row) : std::nullopt;
  if (!count || *count == 0 || !RowPrints[static_cast<size_t>(row - 1)]) return;
  SameOnly = RowPrints[static_cast<size_t>(row - 1)];
  std::vector<bool> keep(RowPrints.size());
  for (size_t i = 0; i < keep.size(); ++i) keep[i] = RowPrints[i] == SameOnly;
  Results.SetOnlyRows(std::move(keep));
  ViewChanged();
}

bool TResultsModel::EndSameRows() {
  if (!SameOnly) return false;
  SameOnly.reset();
  Results.SetOnlyRows({});
  return true;
}

void TResultsModel::HeaderClick(int Col) {
  if (Col < 0 || Col > SameCol) return;
  Results.SetSort(Col, NextSortOrder(Results.SortColumn(), Results.SortOrder(), Col));
  ViewChanged();
}

bool TResultsModel::FindNext(const std::string& Utf8) {
  return Find(Utf8, false);
}

bool TResultsModel::FindPrevious(const std::string& Utf8) {
  return Find(Utf8, true);
}

bool TResultsModel::Find(const std::string& Utf8, bool Upwards) {
  if (!(Upwards ? Results.FindPrevious(Utf8) : Results.FindNext(Utf8))) {
    Note = Upwards ? NothingAboveText : NothingBelowText;
    NoteHeld = true;
    View.StatusChanged();
    return false;
  }
  UserInput();
  View.CurrentChanged();
  FollowPreview();
  View.StatusChanged();
  return true;
}

void TResultsModel::SetCurrentPosition(int Position) {
  if (Position < 0 || Position >= Results.ShownCount()) return;
  Results.SetCurrent(Results.ShownRow(Position));
  FollowPreview();
  View.StatusChanged();  // it may name the text the row was kept for
}

void TResultsModel::SetCurrentRow(int Row) {
  Results.SetCurrent(Row);
  View.CurrentChanged();
  FollowPreview();
  View.StatusChanged();
}

std::string TResultsModel::CopiedText(std::vector<int> Positions) const {
  std::sort(Positions.begin(), Positions.end());
  Positions.erase(std::unique(Positions.begin(), Positions.end()), Positions.end());
  std::string out;
  for (int p : Positions) {
    if (p < 0 || p >= Results.ShownCount()) continue;
    for (int c : ShownColumns()) {
      if (c > 0) out += '\t';
      out += ShownText(p, c);
    }
    out += LineEnd;
  }
  return out;
}

void TResultsModel::CopyRows(const std::vector<int>& Positions) {
  const std::string text = CopiedText(Positions);
  if (text.empty()) return;
  View.CopyToClipboard(text);
  const auto lines = std::count(text.begin(), text.end(), '\n');
  SetNote(std::to_string(lines) + " 行をコピーしました");
}

std::string TResultsModel::CurrentPath() const {
  if (CurrentPosition() < 0) return {};
  return Results.Cell(PathCol, Results.Current());
}

void TResultsModel::CopyPath() {
  const std::string path = CurrentPath();
  if (path.empty()) return;
  View.CopyToClipboard(path);
  SetNote("パスをコピーしました");
}

void TResultsModel::Open(TOpenAction Action) {
  const std::string path = CurrentPath();
  if (!path.empty()) View.OpenRowFile(Action, path);
}

void TResultsModel::DoubleClick(int Position) {
  if (Position < 0 || Position >= Results.ShownCount()) return;
  SetCurrentPosition(Position);
  Open(DoubleClickAction());
}

std::vector<TRowMenuItem> TResultsModel::RowMenu(int Position) {
  if (Position < 0 || Position >= Results.ShownCount()) return {};
  WantPrints();
  std::vector<TRowMenuItem> items{
      {TRowAction::OpenWithProgram, "関連付けられたプログラムで開く(&O)"},
      {TRowAction::ShowInFolder, "フォルダーに表示(&F)"},
      {TRowAction::CopyPath, "パスをコピー(&P)"},
      {TRowAction::CopyRows, "行をコピー(&C)"}};
  const std::optional<size_t> same =
      CurrentPosition() >= 0 ? SameCount(Results.Current()) : std::nullopt;
  if (SameOnly || (same && *same > 0))
    items.push_back({TRowAction::SameDrawingRows, "同じ図形の行を表示(&S)"});
  return items;
}

void TResultsModel::RowMenuChosen(TRowAction Action, const std::vector<int>& Selected) {
  switch (Action) {
    case TRowAction::OpenWithProgram:
      Open(TOpenAction::OpenWithProgram);
      break;
    case TRowAction::ShowInFolder:
      Open(TOpenAction::ShowInFolder);
      break;
    case TRowAction::CopyPath:
      CopyPath();
      break;
    case TRowAction::CopyRows:
      CopyRows(Selected);
      break;
    case TRowAction::SameDrawingRows:
      ToggleSameRows();
      break;
  }
}

void TResultsModel::UserInput() {
  if (!NoteHeld) return;
  NoteHeld = false;
  Note.clear();
  View.StatusChanged();
}

bool TResultsModel::FilterEscape() {
  if (Results.FilterText().empty() && !SameOnly) return false;
  SetFilter({});
  return true;
}

void TResultsModel::OpenFailed(TOpenAction Action, const std::string& Path) {
  SetNote((Action == TOpenAction::OpenWithProgram ? "開けませんでした: "
                                                  : "フォルダーに表示できませんでした: ") +
          ExtractName(Path));
}

void TResultsModel::SetNote(const std::string& Utf8) {
  NoteHeld = false;
  Note = Utf8;
  View.StatusChanged();
  if (Note.empty()) return;
  ++NotesShowing;
  View.StartTimer(NoteTimer, NoteDuration);
}

void TResultsModel::SetShowing(bool Value) {
  Showing = Value;
  if (Showing) FollowPreview();
}

void TResultsModel::SetPreviewSplit(const TPreviewSplit& Value) {
  Split = Value;
  View.PreviewPlaceChanged();
  FollowPreview();
}

void TResultsModel::TogglePreview() {
  TPreviewSplit next = Split;
  next.Shown = !Split.Shown;
  SetPreviewSplit(next);
}

void TResultsModel::PreviewDragged(int32_t Width, int32_t Total) {
  const bool wasShown = Split.Shown;
  Split.Dragged(Width, Total);
  if (Split.Shown && !wasShown) FollowPreview();
}

// A hidden pane asks for nothing; shown again, it asks for the current row.
void TResultsModel::FollowPreview() {
  if (!Showing || !Split.Shown || !Follower) return;
  switch (Follower->Follow(Results)) {
    case TPreviewFollower::TStep::Unchanged:
      return;
    case TPreviewFollower::TStep::Cleared:
      View.ShowPreviewText({});
      return;
    case TPreviewFollower::TStep::Asked:
      // A file kept from the last request answers at once; a new one may
      // take a moment, which the pane says rather than showing the last
      // drawing.
      View.StartTimer(LoadingTimer, PreviewLoadingDelay);
      return;
  }
}

void TResultsModel::TakePreview() {
  std::optional<std::pair<uint64_t, TPreview>> answer;
  {
    std::lock_guard<std::mutex> hold(ArrivedLock);
    answer.swap(Arrived);
  }
  if (!answer || !Follower || !Follower->Take(answer->first)) return;
  if (answer->second.List)
    View.ShowPreview(answer->second.List);
  else
    View.ShowPreviewText(answer->second.Problem);
}

void TResultsModel::Timer(int Id) {
  if (Id == LoadingTimer) {
    if (Follower && Follower->Waiting()) View.ShowPreviewText(PreviewLoadingText);
  } else if (Id == NoteTimer && NotesShowing > 0 && --NotesShowing == 0 && !NoteHeld) {
    // The note of the last timer started goes.
    Note.clear();
    View.StatusChanged();
  }
}

void TResultsModel::SetIndexPath(const std::string& Path) {
  if (Path == IndexPath) return;
  IndexPath = Path;
  ThumbWorker.reset();  // made again with the index when next wanted
}

void TResultsModel::SetThumbnailPlace(const TThumbnailPlace& Value) {
  Thumbs = {Value.Shown, ClampThumbnailSize(Value.Size)};
  View.ThumbnailPlaceChanged();
}

void TResultsModel::ToggleThumbnails() {
  Thumbs.Shown = !Thumbs.Shown;
  View.ThumbnailPlaceChanged();
}

void TResultsModel::SetThumbnailSize(int32_t Size) {
  const int32_t size = ClampThumbnailSize(Size);
  if (size == Thumbs.Size) return;
  Thumbs.Size = size;
  View.ThumbnailPlaceChanged();
}

const std::string* TResultsModel::ThumbnailAt(int Position) const {
  if (Position < 0 || Position >= Results.ShownCount()) return nullptr;
  return ThumbCache.ForRow(Results, Results.ShownRow(Position));
}

const TProblemFile* TResultsModel::ProblemAt(int Position) const {
  if (Position < 0 || Position >= Results.ShownCount()) return nullptr;
  return ProblemOfRow(Results, Results.ShownRow(Position));
}

std::string TResultsModel::ThumbnailTip(int Position) const {
  if (Position < 0 || Position >= Results.ShownCount()) return {};
  std::string tip = ShownText(Position, BlockNameCol);
  if (const TProblemFile* problem = ProblemAt(Position))
    tip += "\n" + DescribeOutcomeJa(problem->Outcome);
  return tip;
}

void TResultsModel::ThumbnailsOnScreen(int First, int Last) {
  const std::vector<std::string> ask = ThumbCache.ToAsk(Results, First, Last);
  if (ask.empty()) return;
  if (!ThumbWorker)
    ThumbWorker = std::make_unique<TThumbnailWorker>([this] { View.ThumbnailsArrived(); });
  ThumbWorker->Want(ask);
}

void TResultsModel::TakeThumbnails() {
  if (!ThumbWorker) return;
  ThumbCache.Add(ThumbWorker->Take());
  CountSame();
}
