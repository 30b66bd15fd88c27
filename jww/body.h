// The body reader shared by the drawing-file and figure-file readers: the
// archive's count form and class tags, the entity list, the entity reader and
// the block-definition list. The two file kinds differ only in how texts (and
// so dimensions) are held, in the size of the class-name buffer, and in what
// follows the block definitions (the caller's business).
//
// With NamesOnly the reader walks every record exactly as it does otherwise
// (the same tags, counts, fixed parts and strings, failing at the same bytes
// and dropping the same damaged records) but keeps nothing but the block
// definitions and their names: no entity, no entity text, no order list.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

#include "jww/archive.h"
#include "jww/jwwtype.h"

namespace jwbody {

// The archive's class tags. A record starts with a 16-bit tag: NewClassTag
// introduces a class (its schema, name length and name follow), LongClassTag
// a class number in the 32 bits that follow, and a tag with ShortClassBit set
// holds a class number met before in its low 15 bits. LongCountWord in place
// of a 16-bit count announces a signed 32-bit count.
inline constexpr uint16_t NewClassTag = 0xFFFF;
inline constexpr uint16_t LongClassTag = 0x7FFF;
inline constexpr uint16_t ShortClassBit = 0x8000;
inline constexpr uint16_t LongCountWord = 0xFFFF;

// The fixed part of each kind of record in the current form (attributes
// included), how many parts of it carry attributes (each 2 bytes shorter in
// files of the older form), and how many strings follow it. The reading
// path, the names-only lane and the count checks all size records from here.
struct TRecordShape {
  size_t Fixed;
  size_t AttributeParts;
  size_t Strings;
};
inline constexpr size_t PointFixedSize = 35;  // without the marker tail
inline constexpr size_t PointTailSize = 20;   // present for pen style 100
inline constexpr size_t SolidFixedSize = 79;  // without the solid's own colour
// A block definition's fixed part: attributes, number, a word, the stamp.
inline constexpr size_t DefinitionFixedSize = sizeof(EntityAttributes) + 4 + 4 + 4;
inline constexpr TRecordShape RecordShapes[KindCount + 1] = {
    {0, 0, 0},
    {sizeof(TEntJwwSen), 1, 0},
    {sizeof(TEntJwwEnko), 1, 0},
    {PointFixedSize, 1, 0},
    {MojiFixedSize, 1, 2},
    {sizeof(EntityAttributes) + sizeof(TEntJwwSen) + MojiFixedSize, 3, 2},
    {SolidFixedSize, 1, 0},
    {sizeof(TEntJwwBlock), 1, 0}};

// The bytes a fixed part of Kind takes in a file of version V.
constexpr size_t FileFixedSize(int Kind, int32_t V) {
  const size_t shortBy = V > jwversion::LastShortAttributes ? 0 : 2;
  return RecordShapes[Kind].Fixed - shortBy * RecordShapes[Kind].AttributeParts;
}

// The fewest bytes a record of Kind takes in any file after its tag: the
// older, shorter form with every string empty (one length byte each).
constexpr uint64_t MinFileBytesOf(int Kind) {
  return Kind == KindNone
             ? 1
             : FileFixedSize(Kind, jwversion::LastShortAttributes) + RecordShapes[Kind].Strings;
}

// Raised for a count that the rest of the file could not possibly hold, or
// that would need far more memory than the file justifies. Treated like a
// failed allocation: it ends the body.
class ECountTooLarge : public EReadError {
 public:
  using EReadError::EReadError;
};

// Makes room in A for one more element. The storage doubles, so that growth
// does not copy the array over and over (each move also costs fresh pages for
// the new block). On the first growth, Hint (when larger) is reserved at once:
// an upper bound of the elements still to come, so that a large list is never
// moved. Only the pages actually written take memory; should even the address
// space not be had, growth falls back to doubling.
template <class T>
void MakeRoom(std::vector<T>& A, size_t Hint) {
  if (A.size() < A.capacity()) return;
  const size_t doubled = std::max<size_t>(8, A.capacity() * 2);
  if (A.capacity() == 0 && Hint > doubled) {
    try {
      A.reserve(Hint);
      return;
    } catch (const std::bad_alloc&) {
    }
  }
  A.reserve(doubled);
}

// Cuts A to Count elements and gives back storage that is mostly unused.
template <class T>
void CutTo(std::vector<T>& A, int32_t Count) {
  A.resize(static_cast<size_t>(Count));
  if (A.capacity() > A.size() + A.size() / 2) A.shrink_to_fit();
}

// Passes over a string in the file's string form without copying it.
inline void SkipString(ByteSource& Src) {
  const uint8_t L = *Src.Take(1);
  size_t n = L;
  if (L == 255) {
    const uint8_t* lh = Src.Take(2);
    n = static_cast<size_t>(lh[1]) * 256 + lh[0];
  }
  Src.Take(n);
}

template <class Moji, bool NamesOnly = false>
class TBodyReader {
 public:
  using Lists = TEntityListsOf<Moji>;
  using Def = TBlockDefOf<Moji>;
  using Dim = TDimensionOf<Moji>;

  TBodyReader(ByteSource& Src, int32_t Version, size_t ClassNameCapacity, int32_t& Absorbed,
              TReadPlace& Place)
      : Src(Src),
        Version(Version),
        NameCapacity(ClassNameCapacity),
        Absorbed(Absorbed),
        Place(Place) {}

  // One entity list: its count, that many objects, the arrays cut to size.
  void ReadEntityList(Lists& L, int32_t& CountField) {
    Place = {TReadPlace::Entities};
    ReadListCount(L, CountField);
    Place.Count = CountField;
    ReadListObjects(L, CountField, false);
  }

 protected:
  // The list's count (stored in CountField before anything is sized), and
  // EntityOrder sized to it.
  void ReadListCount(Lists& L, int32_t& CountField) {
    CountField = ReadCount();
    // A list cut short still yields the records before the cut, so the count
    // is only refused when not even the tags could fit; the order list is
    // sized by what the rest of the file can really hold and grows as read.
    CheckCount(CountField, 2);
    if constexpr (NamesOnly) return;
    L.EntityOrder.clear();
    L.EntityOrder.reserve(static_cast<size_t>(
        std::min<uint64_t>(static_cast<uint64_t>(CountField), Src.Remaining() / MinEntityBytes)));
  }

  // The objects of a list whose count has been read, then the arrays cut to
  // their counts.
  void ReadListObjects(Lists& L, int32_t count, bool InsideDefinition) {
    size_t nextOrder = 0;
    int32_t read = 0;
    while (read < count) {
      if constexpr (NamesOnly) {
        read += SkipBufferedRecords(count - read);
        if (read >= count) break;
      }
      (InsideDefinition ? Place.Inner : Place.Index) = read + 1;
      const int kind = ResolveClassTag();
      if (kind == KindNone) continue;
      EntitiesLeft = InsideDefinition ? 0 : static_cast<size_t>(count - read);
      ReadEntity(kind, L, nextOrder, InsideDefinition);
      ++read;
      ++ObjectNumber;
    }
    if constexpr (NamesOnly) return;
    // The slots of records that could not be read stay zero, as before.
    L.EntityOrder.resize(static_cast<size_t>(count), TEntJwwOrder{0, 0});
    CutTo(L.Lines, L.LineCount);
    CutTo(L.Arcs, L.ArcCount);
    CutTo(L.Points, L.PointCount);
    CutTo(L.Texts, L.TextCount);
    CutTo(L.Dimensions, L.DimensionCount);
    CutTo(L.Solids, L.SolidCount);
    CutTo(L.BlockInserts, L.BlockInsertCount);
  }

 public:
  // The block-definition list. DefTotal is the count the file announces;
  // DefCount the definitions held, each counted once its name is read, so a
  // list cut short holds no unread slot.
  void ReadBlockDefs(std::vector<Def>& Defs, int32_t& DefCount, int32_t& DefTotal) {
    DefCount = 0;
    DefTotal = 0;
    Place = {TReadPlace::Definitions};
    const int32_t count = ReadCount();
    Place.Count = count;
    if (count == 0) return;
    // A definition takes far more memory than its bytes in the file: the
    // count must fit the rest of the file at the smallest real definition.
    CheckCount(count, MinDefinitionBytes);
    Defs.clear();
    DefTotal = count;
    for (int32_t p = 1; p <= count; ++p) {
      Place.Index = p;
      Place.Inner = Place.InnerCount = 0;
      // The definition's own tag is read but not interpreted.
      const uint16_t tag = Src.ReadUInt16();
      if (tag == NewClassTag) {
        SkipClassName();
        ++ObjectNumber;
      } else if (tag == LongClassTag) {
        Src.Take(4);
      }
      Def fresh;
      uint8_t head[DefinitionFixedSize];
      ReadFixedPart(Src, Version, head, sizeof head);
      std::memcpy(&fresh.Attr, head, 15);
      fresh.Number = ByteSource::Load<int32_t>(head + 15);
      fresh.Word2 = ByteSource::Load<uint32_t>(head + 19);
      fresh.Stamp = ByteSource::Load<int32_t>(head + 23);
      if (fresh.Stamp < 0) {
        Src.Take(8);
        fresh.Stamp = p;
      }
      fresh.Name = ReadCleanString(Src);
      Def& d = Defs.emplace_back(std::move(fresh));
      DefCount = p;
      d.LineCount = d.ArcCount = d.PointCount = d.TextCount = 0;
      d.DimensionCount = d.SolidCount = d.BlockInsertCount = 0;
      ReadListCount(d, d.EntityCount);
      Place.InnerCount = d.EntityCount;
      ++ObjectNumber;  // the definition itself is an object
      if constexpr (NamesOnly) Finds = &d.Finds;
      ReadListObjects(d, d.EntityCount, true);
      Finds = nullptr;
    }
    Place = {TReadPlace::Trailer};
  }

 private:
  // Count form: a 16-bit word, or LongCountWord and a signed 32-bit count.
  int32_t ReadCount() {
    const uint16_t w = Src.ReadUInt16();
    if (w != LongCountWord) return w;
    return Src.ReadInt32();
  }

  // A count is refused when it is negative or when the rest of the file
  // cannot hold that many records of the smallest size a real one takes.
  void CheckCount(int32_t Count, uint64_t FileBytesEach) {
    if (Count < 0) throw ECountTooLarge(Src.Position(), "negative count");
    const uint64_t n = static_cast<uint64_t>(Count);
    if (n * FileBytesEach > Src.Remaining())
      throw ECountTooLarge(Src.Position(), "count larger than the file");
  }

  // Reads the schema, length and name of a new class; a name longer than the
  // name buffer is a failed read.
  std::string_view ReadClassName() {
    Src.Take(2);  // schema number, not used
    const uint16_t len = Src.ReadUInt16();
    if (len > NameCapacity) Src.Fail("class name longer than its buffer");
    return {reinterpret_cast<const char*>(Src.Take(len)), len};
  }
  void SkipClassName() { ReadClassName(); }

  // Resolves one class tag to an entity kind, or KindNone.
  int ResolveClassTag() {
    const uint16_t tag = Src.ReadUInt16();
    if (tag == NewClassTag) {
      const std::string_view name = ReadClassName();
      int kind = KindNone;
      for (int k = 1; k <= KindCount; ++k) {
        if (name == EntityClassNames[k - 1]) {
          ClassNumber[k] = ObjectNumber;
          LastClass = -1;  // the numbering changed: forget the last lookup
          kind = k;
          break;
        }
      }
      ++ObjectNumber;
      return kind;
    }
    int32_t cls;
    if (tag == LongClassTag) {
      cls = static_cast<int32_t>(Src.ReadUInt32() & 0x7FFFFFFFu);
    } else {
      cls = static_cast<int32_t>(tag) - ShortClassBit;
    }
    return KindOfClass(cls);
  }

  // The entity kind of a class number met before, or KindNone.
  int KindOfClass(int32_t cls) {
    if (cls == LastClass) return LastKind;
    int kind = KindNone;
    for (int k = 1; k <= KindCount; ++k) {
      if (ClassNumber[k] == cls) kind = k;
    }
    LastClass = cls;
    LastKind = kind;
    return kind;
  }

  // Appends one record to A. The array holds the records read so far and the
  // one being read; a failed read inside the record drops it: the count goes
  // back (its slot is reused by the next record of the kind), no order slot
  // is written, and reading goes on.
  template <class T, class ReadRecord>
  void Append(std::vector<T>& A, int32_t& N, int Kind, Lists& L, size_t& NextOrder,
              ReadRecord&& Read) {
    if constexpr (NamesOnly) {
      try {
        T scratch{};
        Read(scratch);
      } catch (const EReadError&) {
        ++Absorbed;
      }
      return;
    }
    bool counted = false;
    try {
      if (A.size() <= static_cast<size_t>(N)) {
        size_t hint = 0;
        if (EntitiesLeft > 0) {
          // The drawing's own list may be large: no kind can have more
          // elements than there are entities left, nor than the bytes left
          // can hold.
          hint = static_cast<size_t>(N) +
                 std::min<uint64_t>(EntitiesLeft, Src.Remaining() / MinFileBytes[Kind] + 1);
        }
        MakeRoom(A, hint);
        A.resize(static_cast<size_t>(N) + 1);
      }
      ++N;
      counted = true;
      Read(A[static_cast<size_t>(N - 1)]);
      L.EntityOrder.push_back(TEntJwwOrder{Kind, N - 1});
      ++NextOrder;
    } catch (const EReadError&) {
      if (counted) --N;
      ++Absorbed;
    } catch (const std::bad_alloc&) {
      if (counted) --N;
      ++Absorbed;
    }
  }

  template <class M>
  void ReadMoji(M& T) {
    uint8_t fixed[MojiFixedSize];
    ReadFixedPart(Src, Version, fixed, sizeof fixed);
    if constexpr (NamesOnly) {
      SkipString(Src);
      if (Finds && !Finds->Full()) {
        T.Text2 = ReadCleanString(Src);
        if (T.Text2.size() > M::MaxTextLength) T.Text2.resize(M::MaxTextLength);
      } else {
        SkipString(Src);
      }
      return;
    }
    std::string s1 = ReadCleanString(Src);
    std::string s2 = ReadCleanString(Src);
    if (s1.size() > M::MaxTextLength) s1.resize(M::MaxTextLength);
    if (s2.size() > M::MaxTextLength) s2.resize(M::MaxTextLength);
    std::memcpy(&T.Attr, fixed, 15);
    std::memcpy(T.Fixed, fixed + 15, sizeof T.Fixed);
    T.Text1 = std::move(s1);
    T.Text2 = std::move(s2);
  }

  // A point's tail, present in the file only for pen style 100.
  void ReadPointTail(TEntJwwTen& P, bool ZeroDefault, double DefaultReal2) {
    if (P.Attr.PenStyle == 100) {
      const uint8_t* t = Src.Take(PointTailSize);
      P.ExtraInt = ByteSource::Load<uint32_t>(t);
      P.ExtraReal1 = ByteSource::Load<double>(t + 4);
      P.ExtraReal2 = ByteSource::Load<double>(t + 12);
    } else {
      P.ExtraInt = 0;
      P.ExtraReal1 = 0.0;
      P.ExtraReal2 = ZeroDefault ? 0.0 : DefaultReal2;
    }
  }

  void ReadDimension(Dim& D) {
    ReadFixedPart(Src, Version, &D.Attr, sizeof D.Attr);
    ReadFixedPart(Src, Version, &D.DimLine, sizeof D.DimLine);
    ReadMoji(D.DimText);
    if (Version >= jwversion::ExtendedStyles) {
      D.ExtFlag = Src.ReadUInt16();
      Src.ReadExact(&D.ExtLine1, sizeof D.ExtLine1);
      Src.ReadExact(&D.ExtLine2, sizeof D.ExtLine2);
      for (TEntJwwTen& p : D.ExtPoints) {
        Src.ReadExact(&p, PointFixedSize);
        ReadPointTail(p, true, 0.0);
      }
    } else {
      D.ExtFlag = 0;
      for (TEntJwwSen* line : {&D.ExtLine1, &D.ExtLine2}) {
        std::memset(static_cast<void*>(line), 0, sizeof *line);
        line->Attr = CopyAttributes(D.Attr);
      }
      for (TEntJwwTen& p : D.ExtPoints) {
        std::memset(static_cast<void*>(&p), 0, sizeof p);
        p.Attr = CopyAttributes(D.Attr);
        p.Attr.PenStyle = 0;
      }
    }
  }

  // The search's fast lane: passes over whole records already in the buffer
  // whose class tag is the short form of a known kind, up to Left of them,
  // and answers how many. A record that is not whole in the buffer, a new or
  // long class tag, or an unknown class ends the lane: the reading loop
  // takes it as always, so failures fall where they always fall.
  int32_t SkipBufferedRecords(int32_t Left) {
    const uint8_t* const start = Src.BufferedBytes();
    const uint8_t* const end = start + Src.BufferedCount();
    const uint8_t* p = start;
    int32_t n = 0;
    while (n < Left && end - p >= 2) {
      const uint16_t tag = ByteSource::Load<uint16_t>(p);
      if (tag < ShortClassBit || tag == NewClassTag) break;
      const int kind = KindOfClass(static_cast<int32_t>(tag) - ShortClassBit);
      if (kind == KindNone) break;
      const uint8_t* next = BufferedRecordEnd(kind, p + 2, end);
      if (!next) break;
      if (Finds) Find(kind, p + 2);
      p = next;
      ++n;
    }
    Src.Skip(static_cast<size_t>(p - start));
    ObjectNumber += n;
    return n;
  }

  // Keeps what a definition's record at P (after its tag, lying whole in the
  // buffer) adds to the definition's finds: a text's or a dimension's text,
  // a placement's definition number.
  void Find(int Kind, const uint8_t* P) {
    if (Kind == KindBlock) {
      Finds->AddPlacement(ByteSource::Load<int32_t>(P + FileFixedOf[KindBlock] - 4));
    } else if ((Kind == KindText || Kind == KindDimension) && !Finds->Full()) {
      // The font name, then the text.
      const std::string_view font = StringBytes(P + FileFixedOf[Kind]);
      const std::string_view raw =
          StringBytes(reinterpret_cast<const uint8_t*>(font.data()) + font.size());
      if (IsCleanString(raw)) {
        Finds->AddText(raw.substr(0, Moji::MaxTextLength));
      } else {
        Finds->AddText(std::string_view(CleanStringBytes(raw)).substr(0, Moji::MaxTextLength));
      }
    }
  }
  // The bytes of a string in its file form at P, known to lie whole.
  static std::string_view StringBytes(const uint8_t* P) {
    if (P[0] != 255) return {reinterpret_cast<const char*>(P + 1), P[0]};
    return {reinterpret_cast<const char*>(P + 3), static_cast<size_t>(P[2]) * 256 + P[1]};
  }

  // Where a string in its file form at P ends, or null when it does not lie
  // whole before End.
  static const uint8_t* BufferedStringEnd(const uint8_t* P, const uint8_t* End) {
    if (!P || End - P < 1) return nullptr;
    size_t size = 1 + static_cast<size_t>(P[0]);
    if (P[0] == 255) {
      if (End - P < 3) return nullptr;
      size = 3 + static_cast<size_t>(P[2]) * 256 + P[1];
    }
    return static_cast<size_t>(End - P) >= size ? P + size : nullptr;
  }
  // P + N when that is not past End, else null.
  static const uint8_t* Within(const uint8_t* P, size_t N, const uint8_t* End) {
    return P && static_cast<size_t>(End - P) >= N ? P + N : nullptr;
  }
  // A point's fixed part at P and its tail when its pen style (attribute
  // byte 4) is 100.
  static const uint8_t* PointEnd(const uint8_t* P, size_t Fixed, const uint8_t* End) {
    const uint8_t* q = Within(P, Fixed, End);
    return q && P[4] == 100 ? Within(q, PointTailSize, End) : q;
  }

  // Where one record of Kind starting at P (after its tag) ends, as the
  // reading loop would take it, or null when it does not lie whole before End.
  const uint8_t* BufferedRecordEnd(int Kind, const uint8_t* P, const uint8_t* End) const {
    switch (Kind) {
      case KindLine:
      case KindArc:
      case KindBlock:
        return Within(P, FileFixedOf[Kind], End);
      case KindText:
        return BufferedStringEnd(BufferedStringEnd(Within(P, FileFixedOf[KindText], End), End),
                                 End);
      case KindPoint:
        return PointEnd(P, FileFixedOf[KindPoint], End);
      case KindSolid: {
        const uint8_t* q = Within(P, FileFixedOf[KindSolid], End);
        // Pen colour (attribute bytes 5-6) 10 adds the solid's own colour.
        return q && ByteSource::Load<uint16_t>(P + 5) == 10 ? Within(q, 4, End) : q;
      }
      case KindDimension: {
        const uint8_t* q = BufferedStringEnd(
            BufferedStringEnd(Within(P, FileFixedOf[KindDimension], End), End), End);
        if (!q || Version < jwversion::ExtendedStyles) return q;
        q = Within(q, 2 + 2 * sizeof(TEntJwwSen), End);
        for (int i = 0; i < 4 && q; ++i) q = PointEnd(q, PointFixedSize, End);
        return q;
      }
      default:
        return nullptr;
    }
  }

  [[gnu::always_inline]] inline void ReadEntity(int Kind, Lists& L, size_t& NextOrder,
                                                bool InsideDefinition) {
    if constexpr (NamesOnly) {
      // Records whose fixed part says nothing about what follows it are
      // passed over; the others are read as always, into scratch.
      if (Kind == KindLine || Kind == KindArc || Kind == KindBlock || Kind == KindText) {
        try {
          const uint8_t* fixed = Src.Take(FileFixedOf[Kind]);
          if (Kind == KindBlock && Finds) {
            Finds->AddPlacement(ByteSource::Load<int32_t>(fixed + FileFixedOf[Kind] - 4));
          } else if (Kind == KindText) {
            SkipString(Src);
            if (Finds && !Finds->Full()) {
              const std::string text = ReadCleanString(Src);
              Finds->AddText(std::string_view(text).substr(0, Moji::MaxTextLength));
            } else {
              SkipString(Src);
            }
          }
        } catch (const EReadError&) {
          ++Absorbed;
        }
        return;
      }
      if (Kind == KindDimension && Finds) {
        try {
          Dim scratch{};
          ReadDimension(scratch);
          Finds->AddText(scratch.DimText.Text2);
        } catch (const EReadError&) {
          ++Absorbed;
        }
        return;
      }
    }
    switch (Kind) {
      case KindLine:
        Append(L.Lines, L.LineCount, Kind, L, NextOrder,
               [&](TEntJwwSen& r) { ReadFixedPart(Src, Version, &r, sizeof r); });
        break;
      case KindArc:
        Append(L.Arcs, L.ArcCount, Kind, L, NextOrder,
               [&](TEntJwwEnko& r) { ReadFixedPart(Src, Version, &r, sizeof r); });
        break;
      case KindPoint:
        Append(L.Points, L.PointCount, Kind, L, NextOrder, [&](TEntJwwTen& r) {
          ReadFixedPart(Src, Version, &r, PointFixedSize);
          ReadPointTail(r, InsideDefinition, 1.0);
        });
        break;
      case KindText:
        Append(L.Texts, L.TextCount, Kind, L, NextOrder, [&](Moji& r) { ReadMoji(r); });
        break;
      case KindDimension:
        Append(L.Dimensions, L.DimensionCount, Kind, L, NextOrder,
               [&](Dim& r) { ReadDimension(r); });
        break;
      case KindSolid:
        Append(L.Solids, L.SolidCount, Kind, L, NextOrder, [&](TEntJwwSolid& r) {
          ReadFixedPart(Src, Version, &r, SolidFixedSize);
          r.SolidColor = r.Attr.PenColor == 10 ? Src.ReadUInt32() : 0;
        });
        break;
      case KindBlock:
        Append(L.BlockInserts, L.BlockInsertCount, Kind, L, NextOrder,
               [&](TEntJwwBlock& r) { ReadFixedPart(Src, Version, &r, sizeof r); });
        break;
      default:
        break;
    }
  }

  ByteSource& Src;
  const int32_t Version;
  // The file size of each kind's fixed part in this file's version.
  const size_t FileFixedOf[KindCount + 1] = {0,
                                             FileFixedSize(KindLine, Version),
                                             FileFixedSize(KindArc, Version),
                                             FileFixedSize(KindPoint, Version),
                                             FileFixedSize(KindText, Version),
                                             FileFixedSize(KindDimension, Version),
                                             FileFixedSize(KindSolid, Version),
                                             FileFixedSize(KindBlock, Version)};
  const size_t NameCapacity;
  int32_t& Absorbed;
  TReadPlace& Place;
  // The finds of the definition being read (names-only loads), else null.
  TDefinitionFinds* Finds = nullptr;
  int32_t ObjectNumber = 1;
  int32_t ClassNumber[KindCount + 1] = {};
  // The last class number looked up and its kind. -1 means nothing cached:
  // no tag yields class number -1 (LongClassTag introduces the long form).
  int32_t LastClass = -1;
  int LastKind = KindNone;
  // Entities left in the drawing's own list (0 inside definitions), and the
  // fewest bytes a record of each kind takes in a file (after its tag).
  size_t EntitiesLeft = 0;
  static constexpr uint64_t MinFileBytes[KindCount + 1] = {
      MinFileBytesOf(KindNone),  MinFileBytesOf(KindLine), MinFileBytesOf(KindArc),
      MinFileBytesOf(KindPoint), MinFileBytesOf(KindText), MinFileBytesOf(KindDimension),
      MinFileBytesOf(KindSolid), MinFileBytesOf(KindBlock)};
  static_assert(MinFileBytes[KindLine] == 45 && MinFileBytes[KindDimension] == 141);
  // The fewest bytes an entity that counts takes (a 2-byte tag, then the
  // smallest fixed part), and a definition (its tag, its fixed part in the
  // older short form, a name of at least its length byte, its list count).
  static constexpr uint64_t MinEntityBytes = 2 + MinFileBytesOf(KindPoint);
  static constexpr uint64_t MinDefinitionBytes = 2 + (DefinitionFixedSize - 2) + 1 + 2;
};

}  // namespace jwbody
