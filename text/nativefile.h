// Opening a drawing file for reading, the same way on every platform:
// read-only, shared with writers, without blocking (a FIFO in the list must
// never hang a search), and checked after opening to be a regular file, so
// that a file swapped for something else after the list was made is caught.
// Nothing here ever writes, locks or changes a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum class TOpenStatus {
  Ok,
  Missing,     // no such file (or a folder on the way is missing)
  NotRegular,  // a folder, FIFO, device, socket
  CannotOpen,  // the system refused (permission, name too long, …)
};

struct TOpenError {
  TOpenStatus Status = TOpenStatus::Ok;
  int Code = 0;        // the system's error number, 0 when none applies
  std::string Reason;  // the system's words for Code, in English (UTF-8)
};

// A regular file open for reading. Move-only; closed by the destructor.
class TNativeFile {
 public:
  TNativeFile() = default;
  ~TNativeFile();
  TNativeFile(TNativeFile&& Other) noexcept;
  TNativeFile& operator=(TNativeFile&& Other) noexcept;
  TNativeFile(const TNativeFile&) = delete;
  TNativeFile& operator=(const TNativeFile&) = delete;

  // Opens Path (a native path, UTF-8 on every platform). On failure the
  // file is not open and Error says why.
  static TNativeFile Open(const std::string& Path, TOpenError& Error);

  bool IsOpen() const { return Handle != Invalid; }
  // The size at opening.
  uint64_t Size() const { return SizeAtOpen; }
  // Up to N bytes; 0 at the end of the file, -1 on a read error (errno or
  // the system's last error is left set).
  int64_t Read(void* Dst, size_t N);
  void Close();

 private:
  static constexpr intptr_t Invalid = -1;
  intptr_t Handle = Invalid;  // a descriptor, or a Windows HANDLE
  uint64_t SizeAtOpen = 0;
};

// How many times this process asked TNativeFile::Open for a file (the saved
// index's benchmark counts the files a search opens).
uint64_t FileOpenCount();
void NoteFileOpen();
// How making a new file went.
enum class TCreateStatus {
  Written,  // made and written whole
  Exists,   // something (a file, a folder, a link, even a dangling one) has the name
  Failed,   // the system refused, or writing failed; nothing is left behind
};

// Makes the file Path (UTF-8) anew and writes Content into it. The name is
// taken only when nothing has it, in one step with making the file, and a
// link at the name is never followed, so that two writers never share a
// file and nothing is written outside the folder. A file that cannot be
// written whole (a full disk) is removed again. Reason gets the system's
// words when the answer is Failed.
TCreateStatus WriteNewFile(const std::string& Path, std::string_view Content, std::string& Reason);

// The system's message for an error number of the file functions.
std::string SystemErrorText(int Code);

// What the system says of a file without opening it: enough to tell that it
// changed since it was last seen. A field the system does not give is 0.
struct TFileStamp {
  uint64_t Size = 0;
  int64_t ModifiedNs = 0;  // last write, nanoseconds since 1970
  int64_t ChangedNs = 0;   // status change (POSIX) or creation (Windows)
  uint64_t Device = 0;     // device or volume
  uint64_t FileId = 0;     // inode or file index
};
// False when Path is not a regular file that the system can describe.
bool StampOfFile(const std::string& Path, TFileStamp& Stamp);
// What one thread of a search run learned of the folders it asked about.
// On Windows, the last folder it asked about, listed whole once a second file
// of it is asked for; elsewhere nothing.
class TFolderStamps {
 public:
  TFolderStamps();
  ~TFolderStamps();
  TFolderStamps(const TFolderStamps&) = delete;
  TFolderStamps& operator=(const TFolderStamps&) = delete;
  struct TListing;
  std::unique_ptr<TListing> Listing;
};
// The same, for a run that asks for the files of each folder in turn: the
// folder's listing in Known answers for the rest of its files (for a second
// at most: what a file was then is what the run reports).
bool StampOfFile(const std::string& Path, TFileStamp& Stamp, TFolderStamps& Known);

#ifdef _WIN32
// The entries of Folder as the system lists them, by FindFirstFileW on its
// extended-length form (so a folder deeper than 260 characters lists too):
// the paths of its subfolders (links to folders left out) and of its other
// entries. False, with the system's reason, when it cannot be listed.
bool ListFolder(const std::string& Folder, std::vector<std::string>& Folders,
                std::vector<std::string>& Files, std::string& Reason);
#endif
