#include "app/search.h"

#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
#include "text/paths.h"
#include "text/sjis.h"

const std::string IdlePrompt =
    "[追加]又はドラッグ＆ドロップで JWW/JWSファイルを指示し、[検索]をクリックして下さい";

const std::string ResultHeader[3] = {"ファイル名", "フルパスファイル名", "定義ブロック名"};

std::string ReadingStatusText(const std::string& Path) {
  return "ファイル【" + Path + "】検索中";
}

TFileKind KindOfPath(std::string_view Path) {
  std::string ext = UpperCaseText(ExtractExt(Path));
  if (ext == ".JWW") return TFileKind::Jww;
  if (ext == ".JWS") return TFileKind::Jws;
  return TFileKind::None;
}

std::string CutAtMarker(std::string_view Name) {
  int p = TextPos(BlockNameMarker, UpperCaseText(Name));
  if (p > 0) return std::string(Name.substr(0, static_cast<size_t>(p - 1)));
  return std::string(Name);
}

namespace {

// Loads Path into Reader when its signature matches, hands each block name
// (cut before the marker) to Take until Take answers false, then clears the
// reader. Returns how reading went.
template <class Reader, class Take>
TFileOutcome ReadNames(Reader& R, TFileKind Kind, const std::string& Path, Take&& TakeName) {
  TFileOutcome outcome;
  outcome.FileKind = Kind;
  TOpenError openError;
  if (!R.CheckSignature(Path, &openError)) {
    if (openError.Status != TOpenStatus::Ok) return OutcomeOfOpenError(Kind, openError);
    outcome.Kind = TOutcomeKind::WrongSignature;
    return outcome;
  }
  if (R.LoadFromFile(Path)) {
    outcome.SkippedRecords = R.AbsorbedFailures;
    outcome.Kind = R.AbsorbedFailures > 0 ? TOutcomeKind::Skipped : TOutcomeKind::Complete;
  } else {
    outcome = OutcomeOfFailedLoad(Kind, R.LastError, R.AbsorbedFailures);
  }
  for (int32_t k = 0; k < R.BlockDefCount; ++k) {
    if (!TakeName(CutAtMarker(R.BlockDefs[static_cast<size_t>(k)].Name))) break;
  }
  R.Clear();
  return outcome;
}

template <class Take>
TFileOutcome ReadNamesOf(TFileKind Kind, const std::string& Path, TJwwData& Jww, TJwsData& Jws,
                         Take&& TakeName) {
  return Kind == TFileKind::Jww ? ReadNames(Jww, Kind, Path, TakeName)
                                : ReadNames(Jws, Kind, Path, TakeName);
}

}  // namespace

void RunBlockSearch(TSearchWindow& Window, TJwwData& JwwReader, TJwsData& JwsReader) {
  if (Window.ListCount() <= 0) return;
  Window.ClearSelection();
  TRunSummary summary;
  int32_t& rows = summary.Rows;
  const int count = Window.ListCount();
  for (int i = 0; i < count; ++i) {
    const std::string path = Window.ListEntry(i);
    const TFileKind kind = KindOfPath(path);
    if (kind == TFileKind::None) continue;
    if (summary.Files > 0 && Window.StopRequested()) {
      summary.Stopped = true;
      break;
    }
    ++summary.Files;
    Window.SetSelected(i, true);
    Window.SetStatusText(ReadingStatusText(path));
    Window.ProcessMessages();
    const std::string fileName = ExtractName(path);
    const TFileOutcome outcome =
        ReadNamesOf(kind, path, JwwReader, JwsReader, [&](const std::string& name) {
          ++rows;
          Window.SetCell(0, rows, fileName);
          Window.SetCell(1, rows, path);
          Window.SetCell(2, rows, name);
          return true;
        });
    if (outcome.Failed()) {
      ++summary.Failed;
    } else if (outcome.Noteworthy()) {
      ++summary.Warnings;
    }
    Window.FileDone(i, outcome);
    Window.SetSelected(i, false);
    Window.ProcessMessages();
  }
  Window.SetStatusText(IdlePrompt);
  if (rows == 0) {
    Window.SetRowCount(2);
    for (int c = 0; c < 3; ++c) Window.SetCell(c, 1, std::string());
  } else {
    Window.SetRowCount(rows + 1);
  }
  Window.RunFinished(summary);
  Window.ShowResults();
}

TFileBlocks ReadFileBlocks(const std::string& Path, TJwwData& JwwReader, TJwsData& JwsReader) {
  TFileBlocks result;
  const TFileKind kind = KindOfPath(Path);
  if (kind == TFileKind::None) {
    // Not read; but a missing or unopenable file is said as such.
    TOpenError error;
    TNativeFile::Open(Path, error);
    if (error.Status != TOpenStatus::Ok) {
      result.Outcome = OutcomeOfOpenError(kind, error);
    } else {
      result.Outcome.Kind = TOutcomeKind::NotDrawing;
    }
    return result;
  }
  result.Outcome = ReadNamesOf(kind, Path, JwwReader, JwsReader, [&](const std::string& name) {
    result.Names.push_back(name);
    return true;
  });
  return result;
}
