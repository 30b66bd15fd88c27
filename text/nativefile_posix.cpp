// Opening and reading files through POSIX descriptors.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "text/nativefile.h"

namespace {

TOpenStatus StatusOfErrno(int Code) {
  switch (Code) {
    case ENOENT:
    case ENOTDIR:
      return TOpenStatus::Missing;
    case ENXIO:  // a FIFO without a writer, a device without its hardware
      return TOpenStatus::NotRegular;
    default:
      return TOpenStatus::CannotOpen;
  }
}

}  // namespace

std::string SystemErrorText(int Code) {
  return std::strerror(Code);
}

TNativeFile TNativeFile::Open(const std::string& Path, TOpenError& Error) {
  NoteFileOpen();
  Error = TOpenError{};
  TNativeFile file;
  // O_NONBLOCK: opening a FIFO must not wait for a writer. The flag is
  // cleared again once the file is known to be regular.
  const int fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    const int code = errno;
    Error = {StatusOfErrno(code), code, SystemErrorText(code)};
    return file;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    const int code = errno;
    ::close(fd);
    Error = {TOpenStatus::CannotOpen, code, SystemErrorText(code)};
    return file;
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    Error = {TOpenStatus::NotRegular, 0,
             S_ISDIR(st.st_mode) ? "is a folder" : "not a regular file"};
    return file;
  }
  // No status flag but O_NONBLOCK was asked for: clearing them all is one
  // call instead of two.
  fcntl(fd, F_SETFL, 0);
  file.Handle = fd;
  file.SizeAtOpen = static_cast<uint64_t>(st.st_size);
  return file;
}

int64_t TNativeFile::Read(void* Dst, size_t N) {
  for (;;) {
    const ssize_t got = ::read(static_cast<int>(Handle), Dst, N);
    if (got < 0 && errno == EINTR) continue;
    return got;
  }
}

void TNativeFile::Close() {
  if (Handle != Invalid) ::close(static_cast<int>(Handle));
  Handle = Invalid;
}

bool StampOfFile(const std::string& Path, TFileStamp& Stamp) {
  struct stat st {};
  if (::stat(Path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  constexpr int64_t Billion = 1000000000;
  Stamp.Size = static_cast<uint64_t>(st.st_size);
  Stamp.ModifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * Billion + st.st_mtim.tv_nsec;
  Stamp.ChangedNs = static_cast<int64_t>(st.st_ctim.tv_sec) * Billion + st.st_ctim.tv_nsec;
  Stamp.Device = static_cast<uint64_t>(st.st_dev);
  Stamp.FileId = static_cast<uint64_t>(st.st_ino);
  return true;
}

struct TFolderStamps::TListing {};
TFolderStamps::TFolderStamps() = default;
TFolderStamps::~TFolderStamps() = default;

bool StampOfFile(const std::string& Path, TFileStamp& Stamp, TFolderStamps&) {
  return StampOfFile(Path, Stamp);
}

TCreateStatus WriteNewFile(const std::string& Path, std::string_view Content, std::string& Reason) {
  const int fd =
      ::open(Path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0) {
    if (errno == EEXIST) return TCreateStatus::Exists;
    Reason = SystemErrorText(errno);
    return TCreateStatus::Failed;
  }
  int code = 0;
  for (size_t at = 0; at < Content.size();) {
    const ssize_t n = ::write(fd, Content.data() + at, Content.size() - at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      code = n < 0 ? errno : ENOSPC;
      break;
    }
    at += static_cast<size_t>(n);
  }
  if (::close(fd) != 0 && code == 0) code = errno;
  if (code == 0) return TCreateStatus::Written;
  ::unlink(Path.c_str());
  Reason = SystemErrorText(code);
  return TCreateStatus::Failed;
}
