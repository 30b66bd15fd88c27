#include "jww/archive.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <vector>

#include "text/sjis.h"

#ifdef _WIN32
#include <io.h>
#define QUILLON_OPEN _open
#define QUILLON_READ _read
#define QUILLON_CLOSE _close
#define QUILLON_OPEN_FLAGS (_O_RDONLY | _O_BINARY)
#else
#include <unistd.h>
#define QUILLON_OPEN ::open
#define QUILLON_READ ::read
#define QUILLON_CLOSE ::close
#define QUILLON_OPEN_FLAGS (O_RDONLY | O_CLOEXEC)
#endif

namespace {
// Large reads from the system; a field is then copied out of the buffer.
constexpr size_t kFileBuffer = 1024 * 1024;
}  // namespace

ByteSource::ByteSource(const std::string& Path) {
  Fd = QUILLON_OPEN(Path.c_str(), QUILLON_OPEN_FLAGS);
  if (Fd < 0) throw EReadError("cannot open " + Path);
  struct stat st {};
  if (fstat(Fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    QUILLON_CLOSE(Fd);
    Fd = -1;
    throw EReadError("not a readable file: " + Path);
  }
  Size = static_cast<uint64_t>(st.st_size);
  // A small file gets a small buffer (but always room for the largest Take):
  // a figure file of a few kilobytes should not cost a megabyte of fresh pages.
  Capacity = static_cast<size_t>(std::clamp<uint64_t>(Size + 1, kMaxTake, kFileBuffer));
  Buffer.reset(new uint8_t[Capacity]);
  Cur = End = Buffer.get();
}

ByteSource::ByteSource(std::span<const uint8_t> Bytes) {
  Cur = Bytes.data();
  End = Bytes.data() + Bytes.size();
  Consumed = Size = Bytes.size();
}

ByteSource::~ByteSource() {
  if (Fd >= 0) QUILLON_CLOSE(Fd);
}

bool ByteSource::Fill() {
  if (Fd < 0) return false;
  uint8_t* base = Buffer.get();
  // Move the unread tail to the front so that the free room follows it.
  size_t left = static_cast<size_t>(End - Cur);
  if (Cur != base) {
    if (left) std::memmove(base, Cur, left);
    Cur = base;
    End = base + left;
  }
  size_t room = Capacity - left;
  if (room == 0) return false;
  for (;;) {
    auto got = QUILLON_READ(Fd, base + left, static_cast<unsigned>(room));
    if (got < 0) {
      if (errno == EINTR) continue;
      throw EReadError("read failed");
    }
    if (got == 0) {
      // The file ended before the size it had when it was opened.
      Size = Consumed;
      return false;
    }
    End += got;
    Consumed += static_cast<uint64_t>(got);
    // A file that grew since it was opened is read on; its size follows.
    if (Consumed > Size) Size = Consumed;
    return true;
  }
}

void ByteSource::ShortRead(size_t Wanted) {
  // Everything left is consumed: a failed read leaves the position at the end.
  Cur = End;
  throw EReadError("unexpected end of file (wanted " + std::to_string(Wanted) + " bytes)");
}

const uint8_t* ByteSource::TakeSlow(size_t N) {
  if (N > kMaxTake) throw EReadError("block too large");
  while (static_cast<size_t>(End - Cur) < N) {
    if (!Fill()) ShortRead(N);
  }
  const uint8_t* p = Cur;
  Cur += N;
  return p;
}

void ByteSource::ReadExactSlow(void* Dst, size_t N) {
  if (N <= kMaxTake) {
    std::memcpy(Dst, TakeSlow(N), N);
    return;
  }
  // Rare large reads go through a scratch copy so that Dst is only written
  // once every byte is in.
  std::vector<uint8_t> scratch(N);
  size_t done = 0;
  while (done < N) {
    size_t have = static_cast<size_t>(End - Cur);
    if (have == 0) {
      if (!Fill()) ShortRead(N);
      continue;
    }
    size_t step = std::min(have, N - done);
    std::memcpy(scratch.data() + done, Cur, step);
    Cur += step;
    done += step;
  }
  std::memcpy(Dst, scratch.data(), N);
}

bool FileStartsWith(const std::string& Path, std::string_view Signature) {
  try {
    std::ifstream in(Path, std::ios::binary);
    if (!in) return false;
    std::string head(Signature.size(), '\0');
    if (!in.read(head.data(), static_cast<std::streamsize>(head.size()))) return false;
    return std::string_view(head.c_str()) == Signature;
  } catch (...) {
    return false;
  }
}

std::string ReadString(ByteSource& Src) {
  uint8_t L = *Src.Take(1);
  if (L != 255) {
    const uint8_t* p = Src.Take(L);
    return std::string(reinterpret_cast<const char*>(p), L);
  }
  const uint8_t* lh = Src.Take(2);
  size_t lo = lh[0];
  size_t hi = lh[1];
  size_t n = hi * 256 + lo;
  // hi chunks of 256 bytes, then lo bytes: n bytes in a row. Take() covers
  // up to 64 KiB, so the whole text is one piece.
  const uint8_t* p = Src.Take(n);
  return std::string(reinterpret_cast<const char*>(p), n);
}

std::string ReadCleanString(ByteSource& Src) {
  uint8_t L = *Src.Take(1);
  size_t n = L;
  if (L == 255) {
    const uint8_t* lh = Src.Take(2);
    n = static_cast<size_t>(lh[1]) * 256 + lh[0];
  }
  const uint8_t* p = Src.Take(n);
  const std::string_view raw(reinterpret_cast<const char*>(p), n);
  // Most strings hold nothing that cleaning would drop: no control byte
  // outside a double-byte character and no lead byte cut off at the end.
  // Those are taken as they are; the rest goes through CleanFileString.
  size_t i = 0;
  while (i < n) {
    const uint8_t b = p[i];
    if (IsHelperLeadByte(b)) {
      if (i + 1 == n) break;
      i += 2;
    } else if (b < 0x20) {
      break;
    } else {
      ++i;
    }
  }
  return i >= n ? std::string(raw) : CleanFileString(raw);
}

EntityAttributes ReadAttributes(ByteSource& Src, int32_t Version) {
  EntityAttributes a{};
  ReadFixedPart(Src, Version, &a, sizeof a);
  return a;
}

EntityAttributes CopyAttributes(const EntityAttributes& Source) {
  EntityAttributes a{};
  a.Attr0 = Source.Attr0;
  a.PenStyle = Source.PenStyle;
  a.PenColor = Source.PenColor;
  a.Attr7 = Source.Attr7;
  a.Attr9 = Source.Attr9;
  a.Attr11 = Source.Attr11;
  a.Attr13 = Source.Attr13;
  return a;
}
