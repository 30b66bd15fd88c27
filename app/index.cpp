#include "app/index.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <unordered_set>

#include "text/codec.h"
#include "text/widepath.h"

namespace fs = std::filesystem;

namespace {

// The tables, as README documents them.
constexpr const char* Schema = R"sql(
CREATE TABLE files (
  id INTEGER PRIMARY KEY,
  path TEXT NOT NULL UNIQUE,
  size INTEGER NOT NULL,
  modified_ns INTEGER NOT NULL,
  changed_ns INTEGER NOT NULL,
  device INTEGER NOT NULL,
  file_id INTEGER NOT NULL,
  reader_version INTEGER NOT NULL,
  recorded_ns INTEGER NOT NULL,
  outcome INTEGER NOT NULL,
  file_kind INTEGER NOT NULL,
  skipped_records INTEGER NOT NULL,
  stop_offset INTEGER NOT NULL,
  stop_part INTEGER NOT NULL,
  stop_index INTEGER NOT NULL,
  stop_count INTEGER NOT NULL,
  stop_inner INTEGER NOT NULL,
  stop_inner_count INTEGER NOT NULL,
  stop_message TEXT NOT NULL
);
CREATE TABLE blocks (
  file INTEGER NOT NULL,
  position INTEGER NOT NULL,
  name BLOB NOT NULL,
  name_utf8 TEXT NOT NULL,
  texts BLOB NOT NULL,
  PRIMARY KEY (file, position)
) WITHOUT ROWID;
CREATE TABLE drawings (
  file INTEGER NOT NULL,
  position INTEGER NOT NULL,
  compact BLOB NOT NULL,
  print BLOB NOT NULL,
  draws INTEGER NOT NULL,
  PRIMARY KEY (file, position)
) WITHOUT ROWID;
)sql";

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// A prepared statement, finalised when it goes.
class TStatement {
 public:
  TStatement(sqlite3* Db, const char* Sql) { Code = sqlite3_prepare_v2(Db, Sql, -1, &S, nullptr); }
  ~TStatement() { sqlite3_finalize(S); }
  TStatement(const TStatement&) = delete;
  TStatement& operator=(const TStatement&) = delete;
  bool Ok() const { return Code == SQLITE_OK; }
  int PrepareCode() const { return Code; }
  sqlite3_stmt* operator*() const { return S; }

 private:
  sqlite3_stmt* S = nullptr;
  int Code;
};

// An index error: the code and SQLite's words for it.
struct EIndex {
  int Code;
  std::string What;
};

[[noreturn]] void Raise(sqlite3* Db, int Code) {
  throw EIndex{
      Code, std::string(sqlite3_errstr(Code)) + (Db ? std::string(": ") + sqlite3_errmsg(Db) : "")};
}

void Exec(sqlite3* Db, const char* Sql) {
  const int code = sqlite3_exec(Db, Sql, nullptr, nullptr, nullptr);
  if (code != SQLITE_OK) Raise(Db, code);
}

int64_t QueryInt(sqlite3* Db, const char* Sql) {
  TStatement s(Db, Sql);
  if (!s.Ok()) Raise(Db, s.PrepareCode());
  const int code = sqlite3_step(*s);
  if (code == SQLITE_ROW) return sqlite3_column_int64(*s, 0);
  if (code != SQLITE_DONE) Raise(Db, code);
  return 0;
}

void Bind(sqlite3_stmt* S, int Index, int64_t Value) {
  sqlite3_bind_int64(S, Index, Value);
}
void Bind(sqlite3_stmt* S, int Index, const std::string& Text) {
  sqlite3_bind_text(S, Index, Text.data(), static_cast<int>(Text.size()), SQLITE_STATIC);
}

void BindBlob(sqlite3_stmt* S, int Index, const std::string& Bytes) {
  sqlite3_bind_blob(S, Index, Bytes.data(), static_cast<int>(Bytes.size()), SQLITE_STATIC);
}
std::string ColumnBytes(sqlite3_stmt* S, int Col) {
  const auto* bytes = static_cast<const char*>(sqlite3_column_blob(S, Col));
  return std::string(bytes ? bytes : "", static_cast<size_t>(sqlite3_column_bytes(S, Col)));
}

bool Corruption(int Code) {
  return (Code & 0xFF) == SQLITE_CORRUPT || (Code & 0xFF) == SQLITE_NOTADB;
}

sqlite3* OpenConnection(const std::string& Path, int BusyTimeoutMs) {
  sqlite3* db = nullptr;
  const int code = sqlite3_open_v2(
      Path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (code != SQLITE_OK) {
    EIndex e{code, std::string(sqlite3_errstr(code)) +
                       (db ? std::string(": ") + sqlite3_errmsg(db) : "")};
    sqlite3_close(db);
    throw e;
  }
  sqlite3_busy_timeout(db, BusyTimeoutMs);
  return db;
}

// Whether the outcome is what the file's bytes say, so that the same bytes
// give it again: never an open refused or a fault of the disk or network.
bool Recordable(const TFileOutcome& Outcome) {
  switch (Outcome.Kind) {
    case TOutcomeKind::Complete:
    case TOutcomeKind::Skipped:
    case TOutcomeKind::WrongSignature:
      return true;
    case TOutcomeKind::Partial:
      return Outcome.Message != SystemReadFailure;
    default:
      return false;
  }
}

}  // namespace

std::string DefaultIndexPath() {
#ifdef _WIN32
  const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
  if (local && *local) return Utf8OfWide(local) + "\\Quillon\\index.sqlite3";
  return "index.sqlite3";
#else
  const char* cache = std::getenv("XDG_CACHE_HOME");
  if (cache && cache[0] == '/') return std::string(cache) + "/quillon/index.sqlite3";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : ".") + "/.cache/quillon/index.sqlite3";
#endif
}

std::string SqliteVersion() {
  return sqlite3_libversion();
}

TBlockIndex::TBlockIndex(std::string PathIn, int BusyTimeout, TIndexAnswers AnswersIn)
    : Path(std::move(PathIn)), BusyTimeoutMs(BusyTimeout), Answers(AnswersIn) {
  Open();
  if (Usable()) WriterThread = std::thread([this] { WriteLoop(); });
}

TBlockIndex::~TBlockIndex() {
  {
    std::lock_guard<std::mutex> lock(QueueLock);
    Stopping = true;
  }
  QueueChanged.notify_all();
  if (WriterThread.joinable()) WriterThread.join();
  if (LoaderThread.joinable()) LoaderThread.join();
  sqlite3_finalize(DrawingsQuery);
  for (const auto& [sql, statement] : WriterStatements) sqlite3_finalize(statement);
  sqlite3_close(Reader);
  sqlite3_close(Writer);
  if (MoveAside) {
    // The damaged file goes aside (replacing an older one there) and its
    // journal with it; the next search starts a new index.
    std::error_code ec;
    const fs::path p = PathOfUtf8(Path);
    fs::rename(p, PathOfUtf8(Path + ".damaged"), ec);
    fs::remove(PathOfUtf8(Path + "-wal"), ec);
    fs::remove(PathOfUtf8(Path + "-shm"), ec);
  }
}

TFolderStamps& TBlockIndex::FolderStamps() {
  std::lock_guard<std::mutex> lock(StampsLock);
  std::unique_ptr<TFolderStamps>& known = Stamps[std::this_thread::get_id()];
  if (!known) known = std::make_unique<TFolderStamps>();
  return *known;
}

std::string TBlockIndex::Problem() const {
  std::lock_guard<std::mutex> lock(ProblemLock);
  return Problem_;
}

void TBlockIndex::TurnOff(const std::string& Why, bool Corrupt) {
  std::lock_guard<std::mutex> lock(ProblemLock);
  if (Corrupt) MoveAside = true;
  if (!Off.exchange(true)) Problem_ = Why;
}

void TBlockIndex::Open() {
  std::error_code ec;
  fs::create_directories(PathOfUtf8(Path).parent_path(), ec);
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      Writer = OpenConnection(Path, BusyTimeoutMs);
      Exec(Writer, "PRAGMA journal_mode=WAL");
      Exec(Writer, "PRAGMA synchronous=NORMAL");
      const int64_t version = QueryInt(Writer, "PRAGMA user_version");
      const bool empty = QueryInt(Writer, "SELECT count(*) FROM sqlite_master") == 0;
      const bool earlier = version >= 1 && version < IndexSchemaVersion &&
                           QueryInt(Writer,
                                    "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                                    "name IN ('files', 'blocks')") == 2;
      if ((version == 0 && empty) || earlier) {
        // New, or made by an earlier version of this program: (re)made
        // empty, so that every file is read once more and recorded whole.
        Exec(Writer, "BEGIN IMMEDIATE");
        if (!empty)
          Exec(Writer,
               "DROP TABLE IF EXISTS drawings; DROP TABLE IF EXISTS blocks; "
               "DROP TABLE IF EXISTS files;");
        Exec(Writer, Schema);
        Exec(Writer, ("PRAGMA user_version=" + std::to_string(IndexSchemaVersion)).c_str());
        Exec(Writer, "COMMIT");
      } else if (version != IndexSchemaVersion) {
        throw EIndex{SQLITE_NOTADB,
                     "not an index of this version (schema " + std::to_string(version) + ")"};
      }
      Reader = OpenConnection(Path, BusyTimeoutMs);
      // The reader goes through the tables once, from end to end, and then
      // asks for one file's drawings at a time: a few pages, recycled, are
      // enough, where a large cache would only be filled once.
      Exec(Reader, "PRAGMA cache_size=16");
      return;
    } catch (const EIndex& e) {
      sqlite3_close(Reader);
      sqlite3_close(Writer);
      Reader = Writer = nullptr;
      if (attempt == 0 && Corruption(e.Code)) {
        // Garbage, a truncated file, another program's database: moved
        // aside, and a new index started in its place.
        fs::rename(PathOfUtf8(Path), PathOfUtf8(Path + ".damaged"), ec);
        fs::remove(PathOfUtf8(Path + "-wal"), ec);
        fs::remove(PathOfUtf8(Path + "-shm"), ec);
        if (!ec) {
          std::lock_guard<std::mutex> lock(ProblemLock);
          Problem_ = "the index " + Path + " was damaged (" + e.What +
                     "); it was moved aside and a new one started";
          continue;
        }
      }
      TurnOff("the index " + Path + " cannot be used (" + e.What + "); files are read directly",
              false);
      return;
    }
  }
}

// The entries and their names are read once, into memory, at the first
// question (or on the loader's thread): a search then costs one look-up in
// memory a file.
void TBlockIndex::LoadEntries() {
  // One read transaction for both tables; finished however this ends.
  Exec(Reader, "BEGIN");
  struct TFinalize {
    sqlite3* Db;
    sqlite3_stmt* S = nullptr;
    ~TFinalize() {
      sqlite3_finalize(S);
      sqlite3_exec(Db, "COMMIT", nullptr, nullptr, nullptr);
    }
  } finalize{Reader};
  int code = sqlite3_prepare_v2(Reader,
                                "SELECT path, id, size, modified_ns, changed_ns, device, file_id, "
                                "reader_version, recorded_ns, outcome, file_kind, skipped_records, "
                                "stop_offset, stop_part, stop_index, stop_count, stop_inner, "
                                "stop_inner_count, stop_message FROM files",
                                -1, &finalize.S, nullptr);
  if (code != SQLITE_OK) Raise(Reader, code);
  sqlite3_stmt* const all = finalize.S;
  while ((code = sqlite3_step(all)) == SQLITE_ROW) {
    auto col = [&](int I) { return sqlite3_column_int64(all, I); };
    TEntry e;
    e.Id = col(1);
    e.Stamp.Size = static_cast<uint64_t>(col(2));
    e.Stamp.ModifiedNs = col(3);
    e.Stamp.ChangedNs = col(4);
    e.Stamp.Device = static_cast<uint64_t>(col(5));
    e.Stamp.FileId = static_cast<uint64_t>(col(6));
    e.ReaderVersion = col(7);
    e.RecordedNs = col(8);
    const int64_t outcome = col(9), kind = col(10), part = col(13);
    if (outcome < 0 || outcome > static_cast<int>(TOutcomeKind::CannotOpen) || kind < 0 ||
        kind > static_cast<int>(TFileKind::Jws) || part < 0 ||
        part > static_cast<int>(TReadPlace::Trailer)) {
      Raise(nullptr, SQLITE_CORRUPT);
    }
    TFileOutcome& o = e.Outcome;
    o.Kind = static_cast<TOutcomeKind>(outcome);
    o.FileKind = static_cast<TFileKind>(kind);
    o.SkippedRecords = static_cast<int32_t>(col(11));
    o.Offset = static_cast<uint64_t>(col(12));
    o.Place.Part = static_cast<TReadPlace::TPart>(part);
    o.Place.Index = static_cast<int32_t>(col(14));
    o.Place.Count = static_cast<int32_t>(col(15));
    o.Place.Inner = static_cast<int32_t>(col(16));
    o.Place.InnerCount = static_cast<int32_t>(col(17));
    const auto* message = reinterpret_cast<const char*>(sqlite3_column_text(all, 18));
    o.Message = message ? message : "";
    const auto* path = reinterpret_cast<const char*>(sqlite3_column_text(all, 0));
    Entries.emplace(path ? path : "", std::move(e));
  }
  if (code != SQLITE_DONE) Raise(Reader, code);
  // The names, read in the same transaction: the entries and their names
  // are one snapshot of the index, so a name list always belongs to the
  // stamp it was loaded with, whatever another program writes meanwhile.
  std::unordered_map<int64_t, TEntry*> byId;
  for (auto& [path, e] : Entries) byId.emplace(e.Id, &e);
  sqlite3_finalize(finalize.S);
  finalize.S = nullptr;
  const bool texts = AnswersTexts();
  code = sqlite3_prepare_v2(Reader,
                            texts ? "SELECT file, name, texts FROM blocks ORDER BY file, position"
                                  : "SELECT file, name FROM blocks ORDER BY file, position",
                            -1, &finalize.S, nullptr);
  if (code != SQLITE_OK) Raise(Reader, code);
  sqlite3_stmt* const names = finalize.S;
  // Every entry's names and texts go into one store, sized from the index
  // file (which holds them all) so that it is not copied while it grows.
  Store.clear();
  Store.reserve(static_cast<size_t>(std::min<int64_t>(
      QueryInt(Reader, "PRAGMA page_count") * QueryInt(Reader, "PRAGMA page_size"), 64 << 20)));
  TEntry* last = nullptr;
  int64_t lastId = 0;
  while ((code = sqlite3_step(names)) == SQLITE_ROW) {
    const int64_t id = sqlite3_column_int64(names, 0);
    if (!last || id != lastId) {
      const auto found = byId.find(id);
      last = found == byId.end() ? nullptr : found->second;
      lastId = id;
      if (!last) continue;
      // The rows come in file order: a file's definitions are one run.
      last->PackedAt = Store.size();
    }
    // Packed as they come (length, bytes): the whole index is read while
    // every search thread waits, and made into strings by each thread later.
    for (int col = 1; col <= (texts ? 2 : 1); ++col) {
      const auto* bytes = static_cast<const char*>(sqlite3_column_blob(names, col));
      const auto size = static_cast<uint32_t>(sqlite3_column_bytes(names, col));
      Store.append(reinterpret_cast<const char*>(&size), sizeof size);
      Store.append(bytes ? bytes : "", size);
    }
    last->PackedEnd = Store.size();
    ++last->Definitions;
  }
  if (code != SQLITE_DONE) Raise(Reader, code);
}

void TBlockIndex::LoadInBackground() {
  if (!Usable() || LoaderThread.joinable()) return;
  LoaderThread = std::thread([this] {
    std::lock_guard<std::mutex> lock(ReadLock);
    EnsureLoaded();
  });
}

void TBlockIndex::EnsureLoaded() {
  if (Loaded) return;
  Loaded = true;
  try {
    LoadEntries();
  } catch (const EIndex& e) {
    Entries.clear();
    Store.clear();
    TurnOff("the index " + Path + " failed while reading (" + e.What + "); files are read directly",
            Corruption(e.Code));
  }
}

namespace {

// Whether an entry recorded as Kept (by ReaderVersion, at RecordedNs) still
// holds the file seen now as Seen.
bool Holds(const TFileStamp& Kept, int64_t ReaderVersion, int64_t RecordedNs,
           const TFileStamp& Seen) {
  return Kept.Size == Seen.Size && Kept.ModifiedNs == Seen.ModifiedNs &&
         Kept.ChangedNs == Seen.ChangedNs && Kept.Device == Seen.Device &&
         Kept.FileId == Seen.FileId && ReaderVersion == IndexReaderVersion &&
         RecordedNs - Seen.ModifiedNs >= RacyWindowNs;
}

}  // namespace

bool TBlockIndex::Find(const std::string& FilePath, const TFileStamp& Stamp, TFileBlocks& Out) {
  if (!Usable()) return false;
  const TEntry* entry;
  {
    std::lock_guard<std::mutex> lock(ReadLock);
    EnsureLoaded();
    if (!Usable()) return false;
    const auto found = Entries.find(FilePath);
    if (found == Entries.end()) return false;
    entry = &found->second;
  }
  // The entries do not change once loaded: copied without the lock.
  const TEntry& e = *entry;
  if (!Holds(e.Stamp, e.ReaderVersion, e.RecordedNs, Stamp)) return false;
  TFileBlocks blocks;
  blocks.Outcome = e.Outcome;
  size_t at = e.PackedAt;
  auto next = [&] {
    uint32_t size;
    std::memcpy(&size, Store.data() + at, sizeof size);
    at += sizeof size + size;
    return Store.substr(at - size, size);
  };
  blocks.Names.reserve(e.Definitions);
  if (AnswersTexts()) blocks.Texts.reserve(e.Definitions);
  while (at < e.PackedEnd) {
    blocks.Names.push_back(next());
    if (AnswersTexts()) blocks.Texts.push_back(next());
  }
  Out = std::move(blocks);
  return true;
}

bool TBlockIndex::FindDrawings(const std::string& FilePath, const TFileStamp& Stamp,
                               std::vector<TKeptDrawing>& Drawings,
                               std::vector<std::string>& Names) {
  if (!Usable()) return false;
  std::lock_guard<std::mutex> lock(ReadLock);
  try {
    // One statement, so one snapshot: the file's entry, its names and the
    // drawings beside them, without loading every other entry.
    if (!DrawingsQuery) {
      const int code = sqlite3_prepare_v2(
          Reader,
          "SELECT f.size, f.modified_ns, f.changed_ns, f.device, f.file_id, f.reader_version, "
          "f.recorded_ns, b.name, d.compact, d.print, d.draws FROM files f "
          "JOIN blocks b ON b.file = f.id "
          "LEFT JOIN drawings d ON d.file = b.file AND d.position = b.position "
          "WHERE f.path = ? ORDER BY b.position",
          -1, &DrawingsQuery, nullptr);
      if (code != SQLITE_OK) Raise(Reader, code);
    }
    sqlite3_stmt* const query = DrawingsQuery;
    struct TReset {
      sqlite3_stmt* S;
      ~TReset() { sqlite3_reset(S); }
    } reset{query};
    Bind(query, 1, FilePath);
    std::vector<TKeptDrawing> kept;
    std::vector<std::string> names;
    int code;
    while ((code = sqlite3_step(query)) == SQLITE_ROW) {
      if (kept.empty()) {
        auto col = [&](int I) { return sqlite3_column_int64(query, I); };
        TFileStamp entry;
        entry.Size = static_cast<uint64_t>(col(0));
        entry.ModifiedNs = col(1);
        entry.ChangedNs = col(2);
        entry.Device = static_cast<uint64_t>(col(3));
        entry.FileId = static_cast<uint64_t>(col(4));
        if (!Holds(entry, col(5), col(6), Stamp)) return false;
      }
      // Drawings of every definition, or none kept.
      if (sqlite3_column_type(query, 8) == SQLITE_NULL) return false;
      TKeptDrawing d;
      d.Compact = ColumnBytes(query, 8);
      const std::string print = ColumnBytes(query, 9);
      if (print.size() != 16) return false;
      for (int i = 0; i < 8; ++i) {
        d.Print.High = d.Print.High << 8 | static_cast<uint8_t>(print[static_cast<size_t>(i)]);
        d.Print.Low = d.Print.Low << 8 | static_cast<uint8_t>(print[static_cast<size_t>(i) + 8]);
      }
      d.Draws = sqlite3_column_int64(query, 10) != 0;
      kept.push_back(std::move(d));
      names.push_back(ColumnBytes(query, 7));
    }
    if (code != SQLITE_DONE) Raise(Reader, code);
    if (kept.empty()) return false;
    Drawings = std::move(kept);
    Names = std::move(names);
    return true;
  } catch (const EIndex& e) {
    TurnOff("the index " + Path + " failed while reading (" + e.What + "); files are read directly",
            Corruption(e.Code));
    return false;
  }
}

void TBlockIndex::RecordDrawings(const std::string& FilePath, const TFileStamp& Stamp,
                                 std::vector<TKeptDrawing> Drawings) {
  if (!Usable() || Drawings.empty()) return;
  {
    std::lock_guard<std::mutex> lock(QueueLock);
    DrawingQueue.push_back({FilePath, Stamp, std::move(Drawings)});
  }
  QueueChanged.notify_all();
}

void TBlockIndex::WriteInTransaction(const std::function<void()>& Work) {
  try {
    Exec(Writer, "BEGIN IMMEDIATE");
    Work();
    Exec(Writer, "COMMIT");
  } catch (const EIndex& e) {
    sqlite3_exec(Writer, "ROLLBACK", nullptr, nullptr, nullptr);
    TurnOff("the index " + Path + " could not be written (" + e.What + "); files are read directly",
            Corruption(e.Code));
  }
}

sqlite3_stmt* TBlockIndex::Kept(const char* Sql) {
  sqlite3_stmt*& s = WriterStatements[Sql];
  if (!s) {
    const int code = sqlite3_prepare_v3(Writer, Sql, -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr);
    if (code != SQLITE_OK) Raise(Writer, code);
  }
  return s;
}

void TBlockIndex::WriteDrawings(std::vector<TPendingDrawings>& Batch) {
  if (!Usable()) return;
  WriteInTransaction([&] {
    // Only beside the entry of the same version of the file.
    sqlite3_stmt* const entry = Kept(
        "SELECT id FROM files WHERE path = ? AND size = ? AND modified_ns = ? AND "
        "changed_ns = ? AND device = ? AND file_id = ? AND reader_version = ?");
    sqlite3_stmt* const drop = Kept("DELETE FROM drawings WHERE file = ?");
    sqlite3_stmt* const add =
        Kept("INSERT INTO drawings (file, position, compact, print, draws) VALUES (?,?,?,?,?)");
    for (const TPendingDrawings& p : Batch) {
      Bind(entry, 1, p.Path);
      const int64_t stamp[] = {static_cast<int64_t>(p.Stamp.Size),
                               p.Stamp.ModifiedNs,
                               p.Stamp.ChangedNs,
                               static_cast<int64_t>(p.Stamp.Device),
                               static_cast<int64_t>(p.Stamp.FileId),
                               IndexReaderVersion};
      for (int i = 0; i < 6; ++i) Bind(entry, i + 2, stamp[i]);
      const int found = sqlite3_step(entry);
      const int64_t id = found == SQLITE_ROW ? sqlite3_column_int64(entry, 0) : 0;
      sqlite3_reset(entry);
      if (found != SQLITE_ROW && found != SQLITE_DONE) Raise(Writer, found);
      if (found != SQLITE_ROW) continue;
      Bind(drop, 1, id);
      if (const int code = sqlite3_step(drop); code != SQLITE_DONE) Raise(Writer, code);
      sqlite3_reset(drop);
      for (size_t n = 0; n < p.Drawings.size(); ++n) {
        const TKeptDrawing& d = p.Drawings[n];
        std::string print(16, '\0');
        for (int i = 0; i < 8; ++i) {
          print[static_cast<size_t>(i)] = static_cast<char>(d.Print.High >> (56 - 8 * i));
          print[static_cast<size_t>(i) + 8] = static_cast<char>(d.Print.Low >> (56 - 8 * i));
        }
        Bind(add, 1, id);
        Bind(add, 2, static_cast<int64_t>(n));
        BindBlob(add, 3, d.Compact);
        BindBlob(add, 4, print);
        Bind(add, 5, static_cast<int64_t>(d.Draws));
        if (const int code = sqlite3_step(add); code != SQLITE_DONE) Raise(Writer, code);
        sqlite3_reset(add);
      }
    }
  });
}

void TBlockIndex::Record(const std::string& FilePath, const TFileStamp& Stamp,
                         const TFileBlocks& Blocks) {
  if (!Usable()) return;
  {
    std::lock_guard<std::mutex> lock(QueueLock);
    Queue.push_back({FilePath, Stamp, NowNs(), Blocks});
    // The writer is woken when a batch starts (to time it) and when it is
    // full, not for every file.
    if (Queue.size() != 1 && Queue.size() != BatchFiles) return;
  }
  QueueChanged.notify_all();
}

void TBlockIndex::Flush() {
  std::unique_lock<std::mutex> lock(QueueLock);
  ++Flushing;
  QueueChanged.notify_all();
  QueueChanged.wait(lock, [&] {
    return (Queue.empty() && DrawingQueue.empty() && !Writing) || !WriterThread.joinable();
  });
  --Flushing;
}

void TBlockIndex::WriteLoop() {
  std::unique_lock<std::mutex> lock(QueueLock);
  for (;;) {
    QueueChanged.wait(lock, [&] { return Stopping || !Queue.empty() || !DrawingQueue.empty(); });
    // Files are gathered into large batches: a transaction writes each page
    // it touches once, however many files it holds. A batch waits no longer
    // than BatchDelay, nor when someone waits for it.
    auto written = [&] {
      return Stopping || Flushing > 0 || Queue.size() >= BatchFiles || !DrawingQueue.empty();
    };
    if (!written()) QueueChanged.wait_for(lock, BatchDelay, written);
    if (Queue.empty() && DrawingQueue.empty()) return;  // stopping, nothing left
    std::vector<TPending> batch;
    batch.swap(Queue);
    std::vector<TPendingDrawings> drawings;
    drawings.swap(DrawingQueue);
    Writing = true;
    lock.unlock();
    {
      std::lock_guard<std::mutex> use(WriterUse);
      if (!batch.empty()) WriteBatch(batch);
      if (!drawings.empty()) WriteDrawings(drawings);
    }
    lock.lock();
    Writing = false;
    QueueChanged.notify_all();
  }
}

namespace {

// Definitions added by one statement, at most.
constexpr size_t RowsPerInsert = 16;

// The statement that adds Rows definitions (1 to RowsPerInsert), the same
// text every time so that the writer keeps one statement for each count.
const char* AddBlocksSql(size_t Rows) {
  static const std::vector<std::string> all = [] {
    std::vector<std::string> sql(RowsPerInsert + 1);
    for (size_t n = 1; n <= RowsPerInsert; ++n) {
      sql[n] = "INSERT INTO blocks (file, position, name, name_utf8, texts) VALUES (?,?,?,?,?)";
      for (size_t k = 1; k < n; ++k) sql[n] += ",(?,?,?,?,?)";
    }
    return sql;
  }();
  return all[Rows].c_str();
}

}  // namespace

void TBlockIndex::WriteBatch(std::vector<TPending>& Batch) {
  if (!Usable()) return;
  WriteInTransaction([&] {
    // One statement makes or replaces a file's row and answers its id; the
    // names of a replaced row go before the new ones are added.
    sqlite3_stmt* const putFile = Kept(
        "INSERT INTO files (path, size, modified_ns, changed_ns, device, file_id, "
        "reader_version, recorded_ns, outcome, file_kind, skipped_records, "
        "stop_offset, stop_part, stop_index, stop_count, stop_inner, "
        "stop_inner_count, stop_message) "
        "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?) "
        "ON CONFLICT (path) DO UPDATE SET size = excluded.size, "
        "modified_ns = excluded.modified_ns, changed_ns = excluded.changed_ns, "
        "device = excluded.device, file_id = excluded.file_id, "
        "reader_version = excluded.reader_version, "
        "recorded_ns = excluded.recorded_ns, outcome = excluded.outcome, "
        "file_kind = excluded.file_kind, skipped_records = excluded.skipped_records, "
        "stop_offset = excluded.stop_offset, stop_part = excluded.stop_part, "
        "stop_index = excluded.stop_index, stop_count = excluded.stop_count, "
        "stop_inner = excluded.stop_inner, "
        "stop_inner_count = excluded.stop_inner_count, "
        "stop_message = excluded.stop_message RETURNING id");
    sqlite3_stmt* const dropBlocks = Kept("DELETE FROM blocks WHERE file = ?");
    sqlite3_stmt* const dropDrawings = Kept("DELETE FROM drawings WHERE file = ?");
    auto run = [&](sqlite3_stmt* S) {
      const int code = sqlite3_step(S);
      sqlite3_reset(S);
      if (code != SQLITE_DONE && code != SQLITE_ROW) Raise(Writer, code);
    };
    for (const TPending& p : Batch) {
      const TFileOutcome& o = p.Blocks.Outcome;
      const int64_t values[] = {static_cast<int64_t>(p.Stamp.Size),
                                p.Stamp.ModifiedNs,
                                p.Stamp.ChangedNs,
                                static_cast<int64_t>(p.Stamp.Device),
                                static_cast<int64_t>(p.Stamp.FileId),
                                IndexReaderVersion,
                                p.RecordedNs,
                                static_cast<int64_t>(o.Kind),
                                static_cast<int64_t>(o.FileKind),
                                o.SkippedRecords,
                                static_cast<int64_t>(o.Offset),
                                static_cast<int64_t>(o.Place.Part),
                                o.Place.Index,
                                o.Place.Count,
                                o.Place.Inner,
                                o.Place.InnerCount};
      Bind(putFile, 1, p.Path);
      for (int i = 0; i < 16; ++i) Bind(putFile, i + 2, values[i]);
      Bind(putFile, 18, o.Message);
      const int put = sqlite3_step(putFile);
      if (put != SQLITE_ROW) {
        sqlite3_reset(putFile);
        Raise(Writer, put);
      }
      const int64_t id = sqlite3_column_int64(putFile, 0);
      sqlite3_reset(putFile);
      Bind(dropBlocks, 1, id);
      run(dropBlocks);
      Bind(dropDrawings, 1, id);  // drawn from what the file was before
      run(dropDrawings);
      // The definitions go in a few rows per statement.
      const size_t count = p.Blocks.Names.size();
      static const std::string none;
      for (size_t first = 0; first < count; first += RowsPerInsert) {
        const size_t rows = std::min(RowsPerInsert, count - first);
        sqlite3_stmt* const add = Kept(AddBlocksSql(rows));
        std::string utf8[RowsPerInsert];
        for (size_t k = 0; k < rows; ++k) {
          const size_t n = first + k;
          const int at = static_cast<int>(k) * 5;
          utf8[k] = Cp932ToUtf8(p.Blocks.Names[n]);
          Bind(add, at + 1, id);
          Bind(add, at + 2, static_cast<int64_t>(n));
          BindBlob(add, at + 3, p.Blocks.Names[n]);
          Bind(add, at + 4, utf8[k]);
          BindBlob(add, at + 5, n < p.Blocks.Texts.size() ? p.Blocks.Texts[n] : none);
        }
        run(add);
      }
    }
  });
}

void TBlockIndex::ForgetOthersUnder(const std::string& Folder,
                                    const std::vector<std::string>& Kept) {
  Flush();
  std::lock_guard<std::mutex> use(WriterUse);
  if (!Usable() || Folder.empty()) return;
  std::string prefix = Folder;
#ifdef _WIN32
  if (prefix.back() != '\\' && prefix.back() != '/') prefix += '\\';
#else
  if (prefix.back() != '/') prefix += '/';
#endif
  try {
    // Paths under the folder: those that start with its prefix (compared as
    // bytes, so that no character of the path acts as a pattern).
    const std::unordered_set<std::string> kept(Kept.begin(), Kept.end());
    std::vector<int64_t> gone;
    {
      TStatement under(Writer, "SELECT id, path FROM files WHERE substr(path, 1, length(?1)) = ?1");
      if (!under.Ok()) Raise(Writer, under.PrepareCode());
      Bind(*under, 1, prefix);
      int code;
      while ((code = sqlite3_step(*under)) == SQLITE_ROW) {
        const auto* path = reinterpret_cast<const char*>(sqlite3_column_text(*under, 1));
        if (!kept.count(path ? path : "")) gone.push_back(sqlite3_column_int64(*under, 0));
      }
      if (code != SQLITE_DONE) Raise(Writer, code);
    }
    if (gone.empty()) return;
    Exec(Writer, "BEGIN IMMEDIATE");
    TStatement dropBlocks(Writer, "DELETE FROM blocks WHERE file = ?");
    TStatement dropDrawings(Writer, "DELETE FROM drawings WHERE file = ?");
    TStatement dropFile(Writer, "DELETE FROM files WHERE id = ?");
    for (TStatement* s : {&dropBlocks, &dropDrawings, &dropFile}) {
      if (!s->Ok()) Raise(Writer, s->PrepareCode());
    }
    for (const int64_t id : gone) {
      for (TStatement* s : {&dropBlocks, &dropDrawings, &dropFile}) {
        Bind(**s, 1, id);
        const int code = sqlite3_step(**s);
        sqlite3_reset(**s);
        if (code != SQLITE_DONE) Raise(Writer, code);
      }
    }
    Exec(Writer, "COMMIT");
  } catch (const EIndex& e) {
    sqlite3_exec(Writer, "ROLLBACK", nullptr, nullptr, nullptr);
    TurnOff("the index " + Path + " could not be written (" + e.What + ")", Corruption(e.Code));
  }
}

TFileBlocks ReadFileBlocksIndexed(TBlockIndex* Index, const std::string& Path,
                                  const std::string& Key, TJwwData& JwwReader,
                                  TJwsData& JwsReader) {
  TFileStamp stamp;
  if (!Index || !Index->Usable() || KindOfPath(Path) == TFileKind::None ||
      !StampOfFile(Path, stamp, Index->FolderStamps())) {
    return ReadFileBlocks(Path, JwwReader, JwsReader);
  }
  TFileBlocks blocks;
  if (Index->Find(Key, stamp, blocks)) {
    blocks.FromIndex = true;
    return blocks;
  }
  blocks = ReadFileBlocks(Path, JwwReader, JwsReader);
  if (Recordable(blocks.Outcome)) Index->Record(Key, stamp, blocks);
  return blocks;
}
