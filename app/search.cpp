#include "app/search.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <thread>

#include "app/blocktexts.h"
#include "app/index.h"
#include "app/ordered.h"

#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
#include "text/paths.h"
#include "text/sjis.h"

const std::string IdlePrompt =
    "[追加]又はドラッグ＆ドロップで JWW/JWSファイルを指示し、[検索]をクリックして下さい";

const std::string ResultHeader[3] = {"ファイル名", "フルパスファイル名", "定義ブロック名"};
const std::string BlockTextsHeader = "図形内の文字";

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

// Loads Path into Reader when its signature matches, with every entity (no
// tree) or only the block names; every record is read and checked as a full
// load does either way. Returns how reading went.
template <class Reader>
TFileOutcome LoadChecked(Reader& R, TFileKind Kind, const std::string& Path, bool Whole) {
  TFileOutcome outcome;
  outcome.FileKind = Kind;
  // One open serves the signature check and the load.
  std::optional<ByteSource> src;
  bool signature = false;
  try {
    src.emplace(Path);
    signature = src->StartsWith(Reader::SignatureText);
  } catch (const EOpenError& e) {
    return OutcomeOfOpenError(Kind, e.Error);
  } catch (const EReadError&) {
    signature = false;
  }
  if (!signature) {
    outcome.Kind = TOutcomeKind::WrongSignature;
    return outcome;
  }
  if (Whole ? R.LoadDrawings(*src) : R.LoadBlockNames(*src)) {
    outcome.SkippedRecords = R.AbsorbedFailures;
    outcome.Kind = R.AbsorbedFailures > 0 ? TOutcomeKind::Skipped : TOutcomeKind::Complete;
  } else {
    outcome = OutcomeOfFailedLoad(Kind, R.LastError, R.AbsorbedFailures);
  }
  return outcome;
}

// Reads Path's block names, hands each (cut before the marker) with its
// texts to Take until Take answers false, then clears the reader.
template <class Reader, class Take>
TFileOutcome ReadNames(Reader& R, TFileKind Kind, const std::string& Path, Take&& TakeName) {
  const TFileOutcome outcome = LoadChecked(R, Kind, Path, false);
  std::vector<std::string> texts = BlockTextsOf(R.BlockDefs, R.BlockDefCount, true);
  for (int32_t k = 0; k < R.BlockDefCount && static_cast<size_t>(k) < texts.size(); ++k) {
    if (!TakeName(CutAtMarker(R.BlockDefs[static_cast<size_t>(k)].Name),
                  std::move(texts[static_cast<size_t>(k)])))
      break;
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

TFileOutcome LoadWhole(TJwwData& Reader, const std::string& Path) {
  return LoadChecked(Reader, TFileKind::Jww, Path, true);
}
TFileOutcome LoadWhole(TJwsData& Reader, const std::string& Path) {
  return LoadChecked(Reader, TFileKind::Jws, Path, true);
}

namespace {

// A list entry the run reads, with its place in the list.
struct TListedFile {
  int Index;
  std::string Path;
};

// The readers one worker uses: the window's own when the run reads on the
// calling thread, a pair of its own otherwise.
struct TRunReaders {
  std::unique_ptr<TJwwData> OwnJww;
  std::unique_ptr<TJwsData> OwnJws;
  TJwwData* Jww = nullptr;
  TJwsData* Jws = nullptr;
};

}  // namespace

unsigned DefaultReadAhead() {
  const unsigned cores = std::thread::hardware_concurrency();
  return std::clamp(cores, 1u, 8u);
}

void RunBlockSearch(TSearchWindow& Window, TJwwData& JwwReader, TJwsData& JwsReader, unsigned Jobs,
                    TBlockIndex* Index) {
  if (Window.ListCount() <= 0) return;
  Window.ClearSelection();
  // The list cannot change while the run goes (the window refuses edits
  // then), so the files to read are known up front and can be read ahead.
  std::vector<TListedFile> files;
  const int count = Window.ListCount();
  for (int i = 0; i < count; ++i) {
    std::string path = Window.ListEntry(i);
    if (KindOfPath(path) != TFileKind::None) files.push_back({i, std::move(path)});
  }
  if (Jobs == 0) Jobs = DefaultReadAhead();
  const bool onThisThread = Jobs <= 1 || files.size() <= 1;

  TRunSummary summary;
  int32_t& rows = summary.Rows;
  // What the window shows while file K is read (or awaited).
  auto begin = [&](size_t K) {
    ++summary.Files;
    Window.SetSelected(files[K].Index, true);
    Window.SetStatusText(ReadingStatusText(files[K].Path));
    Window.ProcessMessages();
  };
  if (!files.empty()) begin(0);
  RunOrdered<TFileBlocks>(
      files.size(), Jobs, static_cast<size_t>(Jobs) * 4,
      [&] {
        TRunReaders r;
        if (onThisThread) {
          r.Jww = &JwwReader;
          r.Jws = &JwsReader;
        } else {
          r.OwnJww = std::make_unique<TJwwData>();
          r.OwnJws = std::make_unique<TJwsData>();
          r.Jww = r.OwnJww.get();
          r.Jws = r.OwnJws.get();
        }
        return r;
      },
      [&](size_t K, TRunReaders& R) {
        return ReadFileBlocksIndexed(Index, files[K].Path, files[K].Path, *R.Jww, *R.Jws);
      },
      [&](size_t K, TFileBlocks&& Blocks) {
        const TListedFile& file = files[K];
        const std::string fileName = ExtractName(file.Path);
        for (size_t n = 0; n < Blocks.Names.size(); ++n) {
          ++rows;
          Window.SetCell(0, rows, fileName);
          Window.SetCell(1, rows, file.Path);
          Window.SetCell(2, rows, Blocks.Names[n]);
          Window.SetCell(TextsCol, rows, n < Blocks.Texts.size() ? Blocks.Texts[n] : std::string());
        }
        if (Blocks.FromIndex) ++summary.FromIndex;
        if (Blocks.Outcome.Failed()) {
          ++summary.Failed;
        } else if (Blocks.Outcome.Noteworthy()) {
          ++summary.Warnings;
        }
        Window.FileDone(file.Index, Blocks.Outcome);
        Window.SetSelected(file.Index, false);
        Window.ProcessMessages();
        if (K + 1 == files.size()) return true;
        if (Window.StopRequested()) {
          summary.Stopped = true;
          return false;
        }
        begin(K + 1);
        return true;
      },
      [] {});
  if (Index) {
    Index->Flush();
    summary.IndexProblem = Index->Problem();
  }
  Window.SetStatusText(IdlePrompt);
  if (rows == 0) {
    Window.SetRowCount(2);
    for (int c = 0; c <= TextsCol; ++c) Window.SetCell(c, 1, std::string());
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
  result.Outcome =
      ReadNamesOf(kind, Path, JwwReader, JwsReader, [&](std::string Name, std::string Texts) {
        result.Names.push_back(std::move(Name));
        result.Texts.push_back(std::move(Texts));
        return true;
      });
  return result;
}
