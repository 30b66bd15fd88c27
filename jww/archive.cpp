#include "jww/archive.h"

#include <algorithm>
#include <vector>

#include "text/sjis.h"

namespace {
// Large reads from the system; a field is then copied out of the buffer.
constexpr size_t FileBufferSize = 1024 * 1024;
}  // namespace

ByteSource::ByteSource(const std::string& Path) {
  TOpenError error;
  File = TNativeFile::Open(Path, error);
  if (!File.IsOpen()) throw EOpenError(error);
  Size = File.Size();
  // A small file gets a small buffer (but always room for the largest Take):
  // a figure file of a few kilobytes should not cost a megabyte of fresh pages.
  Capacity = static_cast<size_t>(std::clamp<uint64_t>(Size + 1, MaxTake, FileBufferSize));
  Buffer.reset(new uint8_t[Capacity]);
  Cur = End = Buffer.get();
}

ByteSource::ByteSource(std::span<const uint8_t> Bytes) {
  Cur = Bytes.data();
  End = Bytes.data() + Bytes.size();
  Consumed = Size = Bytes.size();
}

ByteSource::~ByteSource() = default;

bool ByteSource::StartsWith(std::string_view Prefix) {
  while (BufferedCount() < Prefix.size()) {
    if (!Fill()) return false;
  }
  return std::memcmp(Cur, Prefix.data(), Prefix.size()) == 0;
}

bool ByteSource::Fill() {
  if (!File.IsOpen()) return false;
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
  const int64_t got = File.Read(base + left, room);
  if (got < 0) Fail(SystemReadFailure);
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

void ByteSource::ShortRead(size_t Wanted) {
  const uint64_t at = Position();
  // Everything left is consumed: a failed read leaves the position at the end.
  Cur = End;
  throw EReadError(at, "the file ends early (" + std::to_string(Wanted) + " bytes wanted, " +
                           std::to_string(Size - at) + " left)");
}

const uint8_t* ByteSource::TakeSlow(size_t N) {
  if (N > MaxTake) Fail("block too large");
  while (static_cast<size_t>(End - Cur) < N) {
    if (!Fill()) ShortRead(N);
  }
  const uint8_t* p = Cur;
  Cur += N;
  return p;
}

void ByteSource::ReadExactSlow(void* Dst, size_t N) {
  if (N <= MaxTake) {
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

bool FileStartsWith(const std::string& Path, std::string_view Signature, TOpenError* Error) {
  try {
    TOpenError error;
    TNativeFile file = TNativeFile::Open(Path, error);
    if (Error) *Error = error;
    if (!file.IsOpen()) return false;
    std::string head(Signature.size(), '\0');
    size_t got = 0;
    while (got < head.size()) {
      const int64_t n = file.Read(head.data() + got, head.size() - got);
      if (n <= 0) return false;
      got += static_cast<size_t>(n);
    }
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
  return CleanStringBytes({reinterpret_cast<const char*>(p), n});
}

std::string CleanStringBytes(std::string_view raw) {
  return IsCleanString(raw) ? std::string(raw) : CleanFileString(raw);
}

bool IsCleanString(std::string_view raw) {
  const auto* p = reinterpret_cast<const uint8_t*>(raw.data());
  const size_t n = raw.size();
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
  return i >= n;
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
