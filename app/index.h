// The saved index: what reading each file gave (its outcome, its block
// names and the texts inside each block), kept in one SQLite file under the key of what the system
// says of the file without opening it. A search asks the index first and reads only the files whose
// key changed since they were recorded.
//
// The index is a cache and never makes a search wrong or fail: whatever goes
// wrong with it (missing, garbage, truncated, another schema, locked, read-only,
// full) turns it off for the rest of the run, Problem() says why once, and
// every file is read as if there were no index. A file that is not an index
// of ours is moved aside and a new one started.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "app/fingerprint.h"
#include "app/search.h"
#include "text/nativefile.h"

struct sqlite3;
struct sqlite3_stmt;

// Raised whenever a change could alter what the readers yield for a file:
// entries recorded by another reader version are stale.
inline constexpr int IndexReaderVersion = 1;
// The layout of the tables (PRAGMA user_version). An index of an earlier
// layout is emptied and made anew in this one; one of a later layout (a
// newer program's) is not ours to use.
inline constexpr int IndexSchemaVersion = 3;
// An entry recorded less than this after its file's last write may have
// missed a second write within the same tick of the file system's clock; it
// is not trusted (as version-control tools treat racily clean files).
inline constexpr int64_t RacyWindowNs = 2'000'000'000;
// How long a search waits for another program that is writing to the index.
inline constexpr int IndexBusyTimeoutMs = 5000;

// One definition's drawing as the index keeps it: the thumbnail's compact
// form and the drawing's fingerprint.
struct TKeptDrawing {
  std::string Compact;
  TFingerprint Print{};
  bool Draws = false;
};

// Where the index lives: $XDG_CACHE_HOME/quillon/index.sqlite3 (~/.cache
// when unset) on Linux, %LOCALAPPDATA%\Quillon\index.sqlite3 on Windows.
std::string DefaultIndexPath();

// The SQLite library's version, for --version.
std::string SqliteVersion();

// What Find answers for a file: its names and the texts inside each block, or
// its names alone (for a search whose filter and output never look at the
// texts, which then are left out of what is loaded: most of the index).
enum class TIndexAnswers { NamesAndTexts, NamesOnly };

class TBlockIndex {
 public:
  // Opens the index at Path, making it and its folder when missing. Another
  // program writing to it is waited for up to BusyTimeoutMs.
  explicit TBlockIndex(std::string Path, int BusyTimeoutMs = IndexBusyTimeoutMs,
                       TIndexAnswers Answers = TIndexAnswers::NamesAndTexts);
  ~TBlockIndex();  // writes what is pending, then closes
  TBlockIndex(const TBlockIndex&) = delete;
  TBlockIndex& operator=(const TBlockIndex&) = delete;

  bool Usable() const { return !Off.load(); }
  // What the calling thread learned of the folders it asked about while
  // searching through this index (one index object serves one search).
  TFolderStamps& FolderStamps();
  // Starts reading what the index holds on a thread of its own, so that a
  // search's first question does not wait for all of it (a search calls it
  // before it walks its folders). Without it, the first Find reads it.
  void LoadInBackground();
  // Why the index was turned off (UTF-8, English), empty while it works.
  std::string Problem() const;

  // The file's outcome and names (and texts, unless NamesOnly) when the index
  // holds Path under exactly Stamp, recorded by this reader version and not
  // racily. Thread-safe.
  bool Find(const std::string& Path, const TFileStamp& Stamp, TFileBlocks& Out);
  // Keeps what reading Path (seen as Stamp before it was opened) gave. The
  // write happens on the index's own thread, in large transactions.
  void Record(const std::string& Path, const TFileStamp& Stamp, const TFileBlocks& Blocks);
  // The drawings of the definitions of Path, in file order, with the names
  // they go with, when the index holds the file under exactly Stamp (as
  // Find) and its drawings were kept. Thread-safe.
  bool FindDrawings(const std::string& Path, const TFileStamp& Stamp,
                    std::vector<TKeptDrawing>& Drawings, std::vector<std::string>& Names);
  // Keeps the drawings read from Path (seen as Stamp before it was opened)
  // beside its entry, when the index holds the file under that stamp.
  void RecordDrawings(const std::string& Path, const TFileStamp& Stamp,
                      std::vector<TKeptDrawing> Drawings);
  // Waits until everything recorded so far is written.
  void Flush();
  // Forgets the files under Folder (a folder path) that are not in Kept.
  void ForgetOthersUnder(const std::string& Folder, const std::vector<std::string>& Kept);

 private:
  struct TPending {
    std::string Path;
    TFileStamp Stamp;
    int64_t RecordedNs;
    TFileBlocks Blocks;
  };
  void Open();
  void TurnOff(const std::string& Why, bool Corrupt);
  void WriteLoop();
  void WriteBatch(std::vector<TPending>& Batch);
  struct TPendingDrawings {
    std::string Path;
    TFileStamp Stamp;
    std::vector<TKeptDrawing> Drawings;
  };
  void WriteDrawings(std::vector<TPendingDrawings>& Batch);
  // Runs Work in one write transaction; an index error in it rolls the
  // transaction back and turns the index off.
  void WriteInTransaction(const std::function<void()>& Work);
  // The writer thread's statements, prepared once for the index's life.
  sqlite3_stmt* Kept(const char* Sql);
  std::unordered_map<const char*, sqlite3_stmt*> WriterStatements;

  const std::string Path;
  const int BusyTimeoutMs;
  const TIndexAnswers Answers;
  std::mutex StampsLock;
  std::unordered_map<std::thread::id, std::unique_ptr<TFolderStamps>> Stamps;
  std::atomic<bool> Off{false};
  bool MoveAside = false;
  mutable std::mutex ProblemLock;
  std::string Problem_;

  // Each connection is used by one thread at a time: the reading one under
  // ReadLock, the writing one under WriterUse.
  std::mutex ReadLock;
  sqlite3* Reader = nullptr;
  std::mutex WriterUse;
  sqlite3* Writer = nullptr;
  // What the index held at the first question, by path.
  struct TEntry {
    int64_t Id = 0;
    TFileStamp Stamp;
    int64_t ReaderVersion = 0;
    int64_t RecordedNs = 0;
    TFileOutcome Outcome;
    // Each definition's name and texts, each as its length (4 bytes) and
    // its bytes, at [PackedAt, PackedEnd) of Store.
    size_t PackedAt = 0, PackedEnd = 0;
    size_t Definitions = 0;
  };
  bool AnswersTexts() const { return Answers == TIndexAnswers::NamesAndTexts; }
  void LoadEntries();
  void EnsureLoaded();  // with ReadLock held
  bool Loaded = false;
  // Not changed once loaded.
  std::unordered_map<std::string, TEntry> Entries;
  std::string Store;
  std::thread LoaderThread;
  sqlite3_stmt* DrawingsQuery = nullptr;

  // Files written in one transaction, and how long the first of them waits.
  static constexpr size_t BatchFiles = 128;
  static constexpr std::chrono::milliseconds BatchDelay{200};
  std::mutex QueueLock;
  std::condition_variable QueueChanged;
  std::vector<TPending> Queue;
  std::vector<TPendingDrawings> DrawingQueue;
  bool Writing = false;
  bool Stopping = false;
  int Flushing = 0;  // threads waiting in Flush
  std::thread WriterThread;
};

// Reads the file at Path through Index (which may be null), where the file
// is kept under Key (its full path): answered from the index when it holds
// the file unchanged (FromIndex set), otherwise read and recorded.
TFileBlocks ReadFileBlocksIndexed(TBlockIndex* Index, const std::string& Path,
                                  const std::string& Key, TJwwData& JwwReader, TJwsData& JwsReader);
