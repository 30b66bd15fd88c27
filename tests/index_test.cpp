// The saved index against a fresh read: whatever happens to the files or to
// the index itself, a search through it gives what reading the files gives.
#include <gtest/gtest.h>
#include <sqlite3.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif
#ifdef __linux__
#include <sys/inotify.h>
#endif

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "app/index.h"
#include "app/search.h"
#include "app/thumbnail.h"
#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
#include "testkit/jwbuilder.h"
#include "text/widepath.h"

namespace fs = std::filesystem;

namespace {

jwb::Bytes ReadBytes(const fs::path& P) {
  std::ifstream in(P, std::ios::binary);
  return jwb::Bytes(std::istreambuf_iterator<char>(in), {});
}

// A drawing of Count definitions named Prefix + a three-digit number; the
// same Count gives the same size whatever the one-letter Prefix.
jwb::Bytes Library(char Prefix, int Count, bool Figure) {
  jwb::Drawing d(700);
  for (int i = 1; i <= Count; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "%c%03d", Prefix, i);
    jwb::BlockDef& def = d.Def(i, name);
    def.Line();
    def.Text("", std::string("t") + name);
    if (i > 1) def.Insert(i - 1);
  }
  return Figure ? d.JwsBytes() : d.JwwBytes();
}

class SavedIndex : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() /
          ("quillon-index-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
           "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(Dir);
    fs::create_directories(Dir / "files");
    IndexPath = Utf8OfPath(Dir / "index.sqlite3");
  }
  void TearDown() override { fs::remove_all(Dir); }

  // Sets a file's last write well outside the racy window.
  static void Settle(const fs::path& P, int SecondsAgo = 60) {
    fs::last_write_time(P, fs::file_time_type::clock::now() - std::chrono::seconds(SecondsAgo));
  }
  void Put(const std::string& Name, const jwb::Bytes& B) {
    jwb::WriteFile(Utf8OfPath(Dir / "files" / Name), B);
    Settle(Dir / "files" / Name);
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(Dir / "files")) out.push_back(Utf8OfPath(e.path()));
    std::sort(out.begin(), out.end());
    return out;
  }

  // Searches Paths through an index at IndexPath and without it; every
  // file must give the same names and outcome. Answers how many files the
  // index served.
  int SearchBothWays(const std::vector<std::string>& Paths, TBlockIndex& Index) {
    int fromIndex = 0;
    for (const std::string& p : Paths) {
      const TFileBlocks fresh = ReadFileBlocks(p, Jww, Jws);
      const TFileBlocks cached = ReadFileBlocksIndexed(&Index, p, p, Jww, Jws);
      EXPECT_EQ(cached.Names, fresh.Names) << p;
      EXPECT_EQ(cached.Texts, fresh.Texts) << p;
      EXPECT_EQ(cached.Outcome.Kind, fresh.Outcome.Kind) << p;
      EXPECT_EQ(DescribeOutcome(cached.Outcome), DescribeOutcome(fresh.Outcome)) << p;
      fromIndex += cached.FromIndex;
    }
    return fromIndex;
  }
  int SearchBothWays(const std::vector<std::string>& Paths) {
    TBlockIndex index(IndexPath);
    return SearchBothWays(Paths, index);
  }

  fs::path Dir;
  std::string IndexPath;
  TJwwData Jww;
  TJwsData Jws;
};

TEST_F(SavedIndex, AgreesWithAFreshReadThroughRandomEdits) {
  for (int i = 0; i < 10; ++i) {
    Put("f" + std::to_string(i) + (i % 3 ? ".jww" : ".jws"), Library('A', 1 + i % 4, i % 3 == 0));
  }
  std::mt19937 rng(12345);
  int served = 0, searches = 0;
  for (int step = 0; step < 40; ++step) {
    const std::vector<std::string> files = Files();
    const fs::path victim = PathOfUtf8(files[rng() % files.size()]);
    const bool figure = victim.extension() == ".jws";
    const int size = 1 + static_cast<int>(rng() % 4);
    const char prefix = static_cast<char>('A' + rng() % 26);
    switch (rng() % 7) {
      case 0: {  // other bytes of the same size, the old write time put back
        const auto when = fs::last_write_time(victim);
        const jwb::Bytes old = ReadBytes(victim);
        jwb::Bytes other = old;
        for (uint8_t& b : other) b = b == 'A' ? 'B' : b;
        jwb::WriteFile(Utf8OfPath(victim), other);
        fs::last_write_time(victim, when);
        break;
      }
      case 1: {  // cut short
        const jwb::Bytes old = ReadBytes(victim);
        jwb::WriteFile(Utf8OfPath(victim), jwb::Cut(old, rng() % old.size()));
        Settle(victim);
        break;
      }
      case 2: {  // replaced by another file of the same size (a new inode)
        const fs::path other = Dir / "other.tmp";
        jwb::WriteFile(Utf8OfPath(other), Library(prefix, size, figure));
        Settle(other);
        fs::rename(other, victim);
        break;
      }
      case 3:  // touched
        Settle(victim, static_cast<int>(rng() % 30));
        break;
      case 4:  // deleted; a new file elsewhere keeps the folder full
        fs::remove(victim);
        Put("n" + std::to_string(step) + ".jww", Library(prefix, size, false));
        break;
      case 5:  // renamed
        fs::rename(victim, victim.parent_path() /
                               ("r" + std::to_string(step) + victim.extension().string()));
        break;
      case 6:  // rewritten just now: within the racy window
        jwb::WriteFile(Utf8OfPath(victim), Library(prefix, size, figure));
        break;
    }
    std::vector<std::string> paths = Files();
    paths.push_back(Utf8OfPath(Dir / "files" / "gone.jww"));
    served += SearchBothWays(paths);
    ++searches;
  }
  // Most files are unchanged from one search to the next: the index must
  // really have answered, or the agreement above proves nothing.
  EXPECT_GT(served, searches * 5);
}

// More definitions than one statement writes come back whole; a search that
// never looks at the texts is answered the same names, and no texts, by an
// index that leaves them out of what it loads.
TEST_F(SavedIndex, AnswersNamesAloneWhenAskedTo) {
  Put("a.jws", Library('A', 37, true));
  const std::string path = Utf8OfPath(Dir / "files" / "a.jws");
  EXPECT_EQ(SearchBothWays({path}), 0);
  EXPECT_EQ(SearchBothWays({path}), 1);
  TBlockIndex index(IndexPath, IndexBusyTimeoutMs, TIndexAnswers::NamesOnly);
  const TFileBlocks cached = ReadFileBlocksIndexed(&index, path, path, Jww, Jws);
  EXPECT_TRUE(cached.FromIndex);
  EXPECT_EQ(cached.Names, ReadFileBlocks(path, Jww, Jws).Names);
  EXPECT_TRUE(cached.Texts.empty());
}

#ifdef __linux__
TEST_F(SavedIndex, AnUnchangedFileIsNotOpenedAgain) {
  Put("a.jww", Library('A', 3, false));
  const std::string path = Utf8OfPath(Dir / "files" / "a.jww");
  EXPECT_EQ(SearchBothWays({path}), 0);
  const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_GE(inotify_add_watch(fd, path.c_str(), IN_OPEN), 0);
  TBlockIndex index(IndexPath);
  const TFileBlocks cached = ReadFileBlocksIndexed(&index, path, path, Jww, Jws);
  EXPECT_TRUE(cached.FromIndex);
  EXPECT_EQ(cached.Names, (std::vector<std::string>{"A001", "A002", "A003"}));
  alignas(inotify_event) char buffer[4096];
  EXPECT_LE(::read(fd, buffer, sizeof buffer), 0) << "the file was opened";
  ::close(fd);
}
#endif

TEST_F(SavedIndex, AnEntryRecordedRightAfterAWriteIsNotTrusted) {
  Put("a.jww", Library('A', 1, false));
  const std::string path = Utf8OfPath(Dir / "files" / "a.jww");
  TFileStamp stamp;
  ASSERT_TRUE(StampOfFile(path, stamp));
  stamp.ModifiedNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
  {
    TBlockIndex index(IndexPath);
    TFileBlocks stale;
    stale.Names = {"STALE"};
    index.Record(path, stamp, stale);
  }
  TBlockIndex index(IndexPath);
  TFileBlocks out;
  EXPECT_FALSE(index.Find(path, stamp, out));
}

// Each way an index can be unusable: the search reads the files directly,
// agrees with a fresh read, and says why once.
TEST_F(SavedIndex, AnUnusableIndexNeverChangesTheRows) {
  Put("a.jww", Library('A', 2, false));
  Put("b.jws", Library('B', 3, true));
  const std::vector<std::string> paths = Files();
  auto rawDb = [&](const char* Sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(IndexPath.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, Sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
  };
  struct TCase {
    const char* Name;
    std::function<void()> Damage;
    bool MovedAside;
  };
  const std::vector<TCase> cases = {
      {"garbage", [&] { std::ofstream(PathOfUtf8(IndexPath)) << std::string(5000, 'x'); }, true},
      {"truncated",
       [&] {
         SearchBothWays(paths);
         fs::resize_file(PathOfUtf8(IndexPath), 1500);
         fs::remove(PathOfUtf8(IndexPath + "-wal"));
       },
       true},
      {"another schema", [&] { rawDb("CREATE TABLE t(x); PRAGMA user_version=99;"); }, true},
      {"another program's database", [&] { rawDb("CREATE TABLE files(x)"); }, true},
      {"an index of the earlier layout, without texts: made anew",
       [&] {
         rawDb(
             "CREATE TABLE files(id INTEGER PRIMARY KEY, path TEXT);"
             "CREATE TABLE blocks(file INTEGER, name BLOB); PRAGMA user_version=1;");
       },
       false},
#ifndef _WIN32
      // A writer that dies in the middle of its transaction: the journal
      // undoes it, and the index is usable.
      {"crash while writing",
       [&] {
         SearchBothWays(paths);
         if (::fork() == 0) {
           sqlite3* db = nullptr;
           sqlite3_open(IndexPath.c_str(), &db);
           sqlite3_exec(db, "BEGIN; DELETE FROM blocks; UPDATE files SET outcome = 99;", nullptr,
                        nullptr, nullptr);
           ::_exit(0);
         }
         ::wait(nullptr);
       },
       false},
#endif
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    fs::remove(PathOfUtf8(IndexPath));
    fs::remove(PathOfUtf8(IndexPath + ".damaged"));
    c.Damage();
    {
      TBlockIndex index(IndexPath);
      SearchBothWays(paths, index);
      EXPECT_EQ(index.Problem() != "", c.MovedAside) << index.Problem();
    }
    EXPECT_EQ(fs::exists(PathOfUtf8(IndexPath + ".damaged")), c.MovedAside);
    // The next search has a working index again.
    TBlockIndex again(IndexPath);
    SearchBothWays(paths, again);
    EXPECT_TRUE(again.Usable()) << again.Problem();
  }

  // A folder that cannot be made, and an index held by another writer past
  // the wait: off for the run, said once.
  {
    TBlockIndex index(Utf8OfPath(Dir / "files" / "a.jww" / "index.sqlite3"));
    EXPECT_FALSE(index.Usable());
    SearchBothWays(paths, index);
  }
  {
    fs::remove(PathOfUtf8(IndexPath));
    sqlite3* holder = nullptr;
    TBlockIndex index(IndexPath, 50);
    ASSERT_EQ(sqlite3_open(IndexPath.c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    SearchBothWays(paths, index);
    index.Flush();
    EXPECT_NE(index.Problem(), "");
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
  }
}

}  // namespace

namespace {

// The thumbnails' drawings kept beside an entry: a second look at an
// unchanged file reads nothing and gives the same drawings; a changed file
// is read again.
TEST_F(SavedIndex, KeepsTheDrawingsOfAnUnchangedFile) {
  Put("a.jww", Library('A', 3, false));
  const std::string path = Files().front();
  SearchBothWays({path});  // the entry the drawings go beside
  auto draw = [&] {
    std::mutex lock;
    std::condition_variable ready;
    std::vector<TMadeThumbnail> made;
    TThumbnailWorker worker([&] { ready.notify_all(); }, IndexPath);
    worker.Want({path});
    std::unique_lock<std::mutex> hold(lock);
    while (made.empty() || made.back().Position >= 0) {
      ready.wait_for(hold, std::chrono::milliseconds(100));
      for (TMadeThumbnail& m : worker.Take()) made.push_back(std::move(m));
    }
    return made;
  };
  const std::vector<TMadeThumbnail> first = draw();
  const uint64_t opened = FileOpenCount();
  const std::vector<TMadeThumbnail> again = draw();
  EXPECT_EQ(FileOpenCount(), opened);  // answered by the index
  ASSERT_EQ(again.size(), first.size());
  ASSERT_EQ(first.size(), 4u);  // three definitions and the end of the file
  for (size_t n = 0; n + 1 < first.size(); ++n) {
    EXPECT_EQ(again[n].Name, first[n].Name);
    EXPECT_EQ(again[n].Compact, first[n].Compact);
    EXPECT_EQ(again[n].Print, first[n].Print);
  }
  Put("a.jww", Library('B', 2, false));
  SearchBothWays({path});
  const std::vector<TMadeThumbnail> changed = draw();
  EXPECT_GT(FileOpenCount(), opened);
  EXPECT_EQ(changed.size(), 3u);
  EXPECT_EQ(changed[0].Name, "B001");
}

}  // namespace
