// Archive primitives shared by the drawing-file and figure-file readers.
//
// A JW file is read once, forward only, from its first byte. Everything in it
// is built from fixed blocks of little-endian numbers, length-prefixed byte
// strings and the entity attribute record. A short read raises EReadError;
// nothing is stored from a read that did not complete.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

static_assert(std::endian::native == std::endian::little,
              "records are held in their little-endian file layout");

#include "jww/versions.h"
#include "text/nativefile.h"

// The one error a read raises: the file ended early, the system failed, or
// a value cannot be what it claims. Offset is the byte where the failed read
// began (the file's size when the file could not be opened at all).
class EReadError : public std::runtime_error {
 public:
  EReadError(uint64_t Offset, const std::string& What) : std::runtime_error(What), Offset(Offset) {}
  uint64_t Offset;
};

// Raised when the file cannot be opened; Error says why.
class EOpenError : public EReadError {
 public:
  explicit EOpenError(const TOpenError& Error) : EReadError(0, Error.Reason), Error(Error) {}
  TOpenError Error;
};

// What a reader was reading, kept up to date as it goes, so that a failed
// load can say where it stopped ("block definition 12 of 40").
struct TReadPlace {
  enum TPart : uint8_t { Start, Header, Entities, Definitions, Trailer };
  TPart Part = Start;
  int32_t Index = 0, Count = 0;       // entity or definition Index of Count (1-based)
  int32_t Inner = 0, InnerCount = 0;  // inside definition Index: entity Inner of InnerCount
};

// Why the last load of a reader failed; Failed is false after a full load.
struct TReadFailure {
  bool Failed = false;
  uint64_t Offset = 0;
  TReadPlace Place;
  std::string Message;  // the read error's own words
  TOpenError Open;      // Status != Ok when the file could not be opened
};

#pragma pack(push, 1)
// The attribute record at the head of every entity and block definition.
// 15 bytes in memory, laid out as in files from version 351 on; files before
// 351 store it in 13 bytes without Attr7.
struct EntityAttributes {
  uint32_t Attr0;
  uint8_t PenStyle;
  uint16_t PenColor;
  uint16_t Attr7;
  uint16_t Attr9;
  uint16_t Attr11;
  uint16_t Attr13;
};
#pragma pack(pop)
static_assert(sizeof(EntityAttributes) == 15);

// The read error's words when the system itself failed to read (a disk or
// network fault), as opposed to bytes that do not make a drawing.
inline constexpr const char* SystemReadFailure = "the system could not read the file";

// A buffered, forward-only byte source over a file (opened read-only and
// shared, never written) or over bytes in memory (not copied).
class ByteSource {
 public:
  // Largest block Take() hands out in one piece.
  static constexpr size_t MaxTake = 64 * 1024;

  // Opens Path for reading; throws EOpenError when it cannot be opened.
  explicit ByteSource(const std::string& Path);
  // Reads from Bytes, which must outlive the source.
  explicit ByteSource(std::span<const uint8_t> Bytes);
  ~ByteSource();
  ByteSource(const ByteSource&) = delete;
  ByteSource& operator=(const ByteSource&) = delete;

  // Exactly N bytes into Dst, or EReadError with Dst untouched.
  void ReadExact(void* Dst, size_t N) {
    if (static_cast<size_t>(End - Cur) >= N) {
      if (N) std::memcpy(Dst, Cur, N);
      Cur += N;
      return;
    }
    ReadExactSlow(Dst, N);
  }

  // A pointer to the next N (<= MaxTake) bytes, valid until the next call on
  // this source; the bytes count as read. EReadError when fewer remain.
  const uint8_t* Take(size_t N) {
    if (static_cast<size_t>(End - Cur) >= N) {
      const uint8_t* p = Cur;
      Cur += N;
      return p;
    }
    return TakeSlow(N);
  }

  // True when the bytes not yet read begin with Prefix; reads what it must
  // from the file to tell, but counts nothing as read.
  bool StartsWith(std::string_view Prefix);

  // The bytes already in the buffer and not yet read; looking reads nothing
  // from the file. Skip(N) counts N of them as read (N <= their number).
  const uint8_t* BufferedBytes() const { return Cur; }
  size_t BufferedCount() const { return static_cast<size_t>(End - Cur); }
  void Skip(size_t N) { Cur += N; }

  uint16_t ReadUInt16() { return Load<uint16_t>(Take(2)); }
  int32_t ReadInt32() { return Load<int32_t>(Take(4)); }
  uint32_t ReadUInt32() { return Load<uint32_t>(Take(4)); }
  double ReadDouble() { return Load<double>(Take(8)); }

  // Bytes not yet read (the file's size as seen at opening, minus the position).
  uint64_t Remaining() const { return Size - Position(); }
  // Bytes read so far.
  uint64_t Position() const { return Consumed - static_cast<uint64_t>(End - Cur); }

  // Throws EReadError at the current position.
  [[noreturn]] void Fail(const std::string& What) const { throw EReadError(Position(), What); }

  template <class T>
  static T Load(const uint8_t* P) {
    T v;
    std::memcpy(&v, P, sizeof(T));
    return v;
  }

 private:
  void ReadExactSlow(void* Dst, size_t N);
  const uint8_t* TakeSlow(size_t N);
  // Appends file bytes after End; false at the end of the file.
  bool Fill();
  [[noreturn]] void ShortRead(size_t Wanted);

  TNativeFile File;
  std::unique_ptr<uint8_t[]> Buffer;
  size_t Capacity = 0;
  const uint8_t* Cur = nullptr;
  const uint8_t* End = nullptr;
  uint64_t Consumed = 0;  // bytes moved from the file (or memory) into view
  uint64_t Size = 0;
};

// True when the file at Path starts with Signature: its first
// Signature.size() bytes, taken up to the first zero byte, equal Signature.
// Opens the file read-only and closes it again; never throws. When the file
// cannot be opened, Error (if given) says why.
bool FileStartsWith(const std::string& Path, std::string_view Signature,
                    TOpenError* Error = nullptr);

// One length-prefixed string exactly as stored.
std::string ReadString(ByteSource& Src);
// ReadString followed by CleanFileString.
std::string ReadCleanString(ByteSource& Src);
// The cleaning of ReadCleanString on a string's bytes already taken.
std::string CleanStringBytes(std::string_view Raw);
// Whether cleaning leaves Raw as it is (as it does for nearly every string).
bool IsCleanString(std::string_view Raw);
// One attribute record: 15 bytes from version 351 on, else 13 widened.
EntityAttributes ReadAttributes(ByteSource& Src, int32_t Version);
// A field-by-field copy.
EntityAttributes CopyAttributes(const EntityAttributes& Source);

// Reads a record's fixed part of FileSize bytes (version 351 on) into Dst,
// or FileSize - 2 bytes widened at byte 7 (before 351), leaving bytes 7-8 zero.
// Inline: it is the innermost step of reading every entity.
inline void ReadFixedPart(ByteSource& Src, int32_t Version, void* Dst, size_t FileSize) {
  auto* d = static_cast<uint8_t*>(Dst);
  if (Version > jwversion::LastShortAttributes) {
    Src.ReadExact(d, FileSize);
    return;
  }
  const uint8_t* p = Src.Take(FileSize - 2);
  std::memcpy(d, p, 7);
  d[7] = 0;
  d[8] = 0;
  std::memcpy(d + 9, p + 7, FileSize - 9);
}
