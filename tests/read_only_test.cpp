// Drawing and figure files are only ever read: a search leaves their bytes,
// size, times and permissions as they were, opens nothing for writing,
// leaves no descriptor open, and reads a file that another program holds
// open for writing (with locks on it).
//
// The tests run as root in CI, where permission bits do not stop a write;
// so it is the before/after comparison (and the file-system events) that
// shows nothing was written, not the read-only bits themselves.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/inotify.h>
#endif

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "app/search.h"
#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
#include "testkit/jwbuilder.h"
#include "testkit/sample_drawings.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

// Everything about a file that a write, a truncation, a replacement or a
// change of its attributes would change.
struct FileState {
  Bytes Content;
  off_t Size = 0;
  ino_t Inode = 0;
  mode_t Mode = 0;
  int64_t ModifiedNs = 0;
  int64_t ChangedNs = 0;
  bool operator==(const FileState&) const = default;
};

FileState StateOf(const fs::path& P) {
  FileState s;
  struct stat st {};
  if (::stat(P.c_str(), &st) != 0) return s;
  s.Size = st.st_size;
  s.Inode = st.st_ino;
  s.Mode = st.st_mode;
  s.ModifiedNs = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
  s.ChangedNs = int64_t{st.st_ctim.tv_sec} * 1000000000 + st.st_ctim.tv_nsec;
  std::ifstream in(P, std::ios::binary);
  s.Content.assign(std::istreambuf_iterator<char>(in), {});
  return s;
}

// Descriptors open in this process.
size_t OpenDescriptors() {
  size_t n = 0;
  for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
    (void)e;
    ++n;
  }
  return n;
}

class ListWindow : public TSearchWindow {
 public:
  explicit ListWindow(std::vector<std::string> Paths) : Paths(std::move(Paths)) {}
  std::vector<std::string> Names;  // block-name column, result rows in order

  int ListCount() override { return static_cast<int>(Paths.size()); }
  std::string ListEntry(int i) override { return Paths.at(static_cast<size_t>(i)); }
  void ClearSelection() override {}
  void SetSelected(int, bool) override {}
  void SetStatusText(const std::string&) override {}
  void ProcessMessages() override {}
  void SetCell(int Col, int Row, const std::string& Text) override {
    if (Col == 2 && Row >= 1) {
      if (Names.size() < static_cast<size_t>(Row)) Names.resize(static_cast<size_t>(Row));
      Names[static_cast<size_t>(Row - 1)] = Text;
    }
  }
  void SetRowCount(int) override {}
  void ShowResults() override {}

 private:
  std::vector<std::string> Paths;
};

// Builder-made files in a folder of their own: whole ones, cut ones, one
// with the other kind's signature, one with an upper-case extension. All
// read-only, in a read-only folder.
class ReadOnlyFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() / ("quillon-readonly-" + std::to_string(::getpid()));
    fs::remove_all(Dir);
    fs::create_directories(Dir);
    jwb::Drawing d = samples::EveryKind(700);
    const Bytes drawing = d.JwwBytes();
    const size_t drawingCut = d.LastLayout().defs[1].name + 1;
    const Bytes figure = d.JwsBytes();
    const size_t figureCut = d.LastLayout().defs[2].header;
    Add("drawing.jww", drawing);
    Add("figure.jws", figure);
    Add("cut.jww", jwb::Cut(drawing, drawingCut));
    Add("cut.jws", jwb::Cut(figure, figureCut));
    Add("figure-named.jww", figure);
    Add("UPPER.JWS", figure);
    for (const fs::path& p : Paths) fs::permissions(p, fs::perms(0444));
    fs::permissions(Dir, fs::perms(0555));
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(Dir, fs::perms(0755), ec);
    fs::remove_all(Dir, ec);
  }

  void Add(const std::string& Name, const Bytes& B) {
    Paths.push_back(Dir / Name);
    jwb::WriteFile(Paths.back().string(), B);
  }
  std::vector<std::string> PathTexts() const {
    std::vector<std::string> out;
    for (const fs::path& p : Paths) out.push_back(p.string());
    return out;
  }
  std::vector<FileState> States() const {
    std::vector<FileState> out;
    for (const fs::path& p : Paths) out.push_back(StateOf(p));
    return out;
  }
  fs::path PathOf(const std::string& Name) const { return Dir / Name; }

  // Every way the program reads these files: one file at a time, and the
  // whole search run with the same path listed twice.
  void ReadEverything() {
    TJwwData jww;
    TJwsData jws;
    for (const fs::path& p : Paths) (void)ReadFileBlocks(p.string(), jww, jws);
    std::vector<std::string> list = PathTexts();
    list.push_back(list.front());
    ListWindow window(list);
    RunBlockSearch(window, jww, jws);
    // The files were really read: 3 names from each whole file, the names
    // before the cut from the cut ones, none from the misnamed one.
    const std::string marked = CutAtMarker(samples::MarkedName());
    EXPECT_EQ(window.Names, (std::vector<std::string>{
                                "BLOCK-A", marked, "C",                         // drawing.jww
                                "BLOCK-A", marked, "C",                         // figure.jws
                                "BLOCK-A",                                      // cut.jww
                                "BLOCK-A", marked,                              // cut.jws
                                "BLOCK-A", marked, "C", "BLOCK-A", marked, "C"  // UPPER, again
                            }));
  }

  fs::path Dir;
  std::vector<fs::path> Paths;
};

TEST_F(ReadOnlyFiles, SearchLeavesTheFilesAsTheyWere) {
  const std::vector<FileState> before = States();
  for (const FileState& s : before) ASSERT_GT(s.Size, 0);
  const size_t descriptors = OpenDescriptors();
  ReadEverything();
  EXPECT_EQ(OpenDescriptors(), descriptors) << "a descriptor was left open";
  const std::vector<FileState> after = States();
  for (size_t i = 0; i < Paths.size(); ++i) {
    EXPECT_TRUE(after[i] == before[i]) << Paths[i] << " changed";
  }
}

#ifdef __linux__
// The file system's own account: the search opens each file it reads
// read-only and closes it again, and nothing in the folder is modified,
// created, removed, renamed or has its attributes changed.
TEST_F(ReadOnlyFiles, NothingIsOpenedForWriting) {
  const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(fd, 0);
  const uint32_t watched = IN_OPEN | IN_CLOSE_NOWRITE | IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB |
                           IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
  ASSERT_GE(inotify_add_watch(fd, Dir.c_str(), watched), 0);
  ReadEverything();

  // Two reads of one file at the same time (the list holds a file twice)
  // can reach the queue as one open and one close: inotify merges an event
  // identical to the last unread one. So the account is kept per file: each
  // file read was opened and its last event is a close without a write.
  std::map<std::string, bool> openNow;
  std::vector<std::string> writes;
  alignas(inotify_event) char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    for (ssize_t at = 0; at < n;) {
      const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
      const std::string name = e->len ? e->name : "(folder)";
      if (e->mask & IN_OPEN) openNow[name] = true;
      if (e->mask & IN_CLOSE_NOWRITE) openNow[name] = false;
      if (e->mask & (watched & ~(IN_OPEN | IN_CLOSE_NOWRITE))) {
        writes.push_back(name + " event " + std::to_string(e->mask));
      }
      at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
    }
  }
  ::close(fd);
  EXPECT_TRUE(writes.empty()) << writes.front();
  EXPECT_FALSE(openNow.empty()) << "the watch saw no file being read";
  for (const auto& [name, open] : openNow) {
    EXPECT_FALSE(open) << name << " was opened and not closed, or closed after a write";
  }
}
#endif

// A write descriptor with an exclusive lock of each kind on the file, as a
// program that is saving it would hold.
int OpenLockedForWriting(const fs::path& P) {
  int fd = ::open(P.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0 && errno == EACCES) {  // not root: let the owner write
    fs::permissions(P, fs::perms::owner_write, fs::perm_options::add);
    fd = ::open(P.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  }
  if (fd < 0) return -1;
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fcntl(fd, F_SETLK, &lock) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

TEST_F(ReadOnlyFiles, FilesHeldOpenForWritingAreRead) {
  const fs::path drawing = PathOf("drawing.jww"), figure = PathOf("figure.jws");
  const std::vector<std::string> whole = {"BLOCK-A", CutAtMarker(samples::MarkedName()), "C"};

  // Held by this process through a descriptor of its own.
  {
    const int fd = OpenLockedForWriting(drawing);
    ASSERT_GE(fd, 0) << "cannot hold " << drawing << " for writing";
    TJwwData jww;
    TJwsData jws;
    const TFileBlocks got = ReadFileBlocks(drawing.string(), jww, jws);
    ::close(fd);
    EXPECT_EQ(got.Outcome.Kind, TOutcomeKind::Complete);
    EXPECT_EQ(got.Names, whole);
  }

  // Held by another process, with its locks, until the search has run.
  int ready[2], done[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(done), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int a = OpenLockedForWriting(drawing);
    const int b = OpenLockedForWriting(figure);
    const char ok = (a >= 0 && b >= 0) ? 'y' : 'n';
    (void)!::write(ready[1], &ok, 1);
    char c;
    (void)!::read(done[0], &c, 1);  // until the parent has read the files
    ::_exit(0);
  }
  char ok = 'n';
  ASSERT_EQ(::read(ready[0], &ok, 1), 1);
  std::vector<std::string> names;
  if (ok == 'y') {
    TJwwData jww;
    TJwsData jws;
    ListWindow window({drawing.string(), figure.string()});
    RunBlockSearch(window, jww, jws);
    names = window.Names;
  }
  const char go = 'x';
  (void)!::write(done[1], &go, 1);
  int status = 0;
  ::waitpid(child, &status, 0);
  for (int fd : {ready[0], ready[1], done[0], done[1]}) ::close(fd);
  ASSERT_EQ(ok, 'y') << "the other process could not hold the files for writing";
  std::vector<std::string> expected = whole;
  expected.insert(expected.end(), whole.begin(), whole.end());
  EXPECT_EQ(names, expected);
}

// The real files, when present, come out of a search as they went in.
TEST(ReadOnlyCorpus, SearchLeavesTheRealFilesAsTheyWere) {
  const fs::path dir = QUILLON_CORPUS_DIR;
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) GTEST_SKIP() << "no corpus folder at " << dir;
  std::vector<std::string> paths;
  for (const auto& e : fs::recursive_directory_iterator(dir, ec)) {
    if (e.is_regular_file() && KindOfPath(e.path().string()) != TFileKind::None) {
      paths.push_back(e.path().string());
    }
  }
  ASSERT_FALSE(paths.empty());
  std::vector<FileState> before;
  for (const std::string& p : paths) before.push_back(StateOf(p));
  const size_t descriptors = OpenDescriptors();
  TJwwData jww;
  TJwsData jws;
  ListWindow window(paths);
  RunBlockSearch(window, jww, jws);
  EXPECT_FALSE(window.Names.empty());
  EXPECT_EQ(OpenDescriptors(), descriptors);
  for (size_t i = 0; i < paths.size(); ++i) {
    EXPECT_TRUE(StateOf(paths[i]) == before[i]) << paths[i] << " changed";
  }
}

}  // namespace
