// The block search run: walks the file list, has the drawing or figure
// reader read each file, writes one result row per block definition and
// shows the results window. GUI-free: the window layer is reached through
// TSearchWindow only, so tests drive the run with a recording fake.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/outcome.h"

class TJwwData;
class TJwsData;
class TBlockIndex;

// Marker that ends the listed part of a block name, found case-blind.
inline constexpr std::string_view BlockNameMarker = "@@SFIGORGFLAG";

// Status texts, in UTF-8 (the window layer shows them as they are).
extern const std::string IdlePrompt;
// "ファイル【" + Path + "】検索中"; Path is a native path (UTF-8 on Linux).
std::string ReadingStatusText(const std::string& Path);

// Header row texts of the results table, in UTF-8, and of the column of
// the texts drawn inside each block.
extern const std::string ResultHeader[3];
extern const std::string BlockTextsHeader;
// The column of those texts, after the three of the header row.
inline constexpr int TextsCol = 3;

// Chooses the reader by the upper-cased extension alone.
TFileKind KindOfPath(std::string_view Path);

// A block name (CP932) cut before the marker, which is found case-blind and
// only where it starts on a character boundary.
std::string CutAtMarker(std::string_view Name);

// What a run did, for the results window's status bar.
struct TRunSummary {
  int32_t Rows = 0;            // rows written
  int32_t Files = 0;           // files read (or tried)
  int32_t Failed = 0;          // files not read completely
  int32_t Warnings = 0;        // files read with damaged records skipped
  bool Stopped = false;        // the user stopped the run before its last file
  int32_t FromIndex = 0;       // files answered by the saved index, not read
  std::string IndexProblem{};  // why the saved index was not (fully) used
};

// The operations of the window layer that the run uses, and nothing else.
// List entries and the first two result columns are native paths; the block
// name column is CP932 bytes as the file holds them.
class TSearchWindow {
 public:
  virtual ~TSearchWindow() = default;
  virtual int ListCount() = 0;
  virtual std::string ListEntry(int Index) = 0;
  virtual void ClearSelection() = 0;
  virtual void SetSelected(int Index, bool Selected) = 0;
  virtual void SetStatusText(const std::string& Utf8) = 0;
  virtual void ProcessMessages() = 0;
  // Column 0..3, row >= 1 (row 0 is the header). Column 3 holds the texts
  // drawn inside the block (CP932, see app/blocktexts.h).
  virtual void SetCell(int Col, int Row, const std::string& Text) = 0;
  // Rows including the header row.
  virtual void SetRowCount(int Rows) = 0;
  // Shows the results window modally; returns when the user closes it.
  virtual void ShowResults() = 0;
  // How reading list entry Index went; called once per file read, after
  // its rows are written and before it is deselected.
  virtual void FileDone(int Index, const TFileOutcome& Outcome) {
    (void)Index;
    (void)Outcome;
  }
  // Asked between files: true ends the run before the next file; the rows
  // read so far are shown as usual.
  virtual bool StopRequested() { return false; }
  // Called once, right before ShowResults.
  virtual void RunFinished(const TRunSummary& Summary) { (void)Summary; }
};

// The whole run, as the search button starts it. Files are read ahead on
// Jobs worker threads (0: DefaultReadAhead(); 1: every file on the calling
// thread with the window's readers), but every call on Window comes from the
// calling thread in list order, exactly as if each file were read in turn.
// With Index, files it holds unchanged are answered from it and the others
// are recorded into it.
void RunBlockSearch(TSearchWindow& Window, TJwwData& JwwReader, TJwsData& JwsReader,
                    unsigned Jobs = 0, TBlockIndex* Index = nullptr);

// How many files the window's run reads at once: the cores, at most 8.
unsigned DefaultReadAhead();

// Loads Path's entities and definitions (no tree) into Reader when its
// signature matches, and says how reading went. The reader keeps what was
// read; the preview and the catalog draw from it.
TFileOutcome LoadWhole(TJwwData& Reader, const std::string& Path);
TFileOutcome LoadWhole(TJwsData& Reader, const std::string& Path);

struct TFileBlocks {
  TFileOutcome Outcome;
  std::vector<std::string> Names;    // CP932, cut before the marker, file order
  bool FromIndex = false;            // answered by the saved index, not read
  std::vector<std::string> Texts{};  // each name's texts (app/blocktexts.h)
};
// Reads one file with the reader its extension chooses, takes the block
// names and the texts inside each block and clears the reader again.
TFileBlocks ReadFileBlocks(const std::string& Path, TJwwData& JwwReader, TJwsData& JwsReader);
