#include "jww/jwwunit.h"

#include <memory>
#include <optional>

#include "jww/body.h"
#include "text/sjis.h"

namespace {

// Size of the class-name buffer of the drawing-file body.
constexpr size_t ClassNameBuffer = 2048;

template <class T>
T At(const uint8_t* P, size_t Offset) {
  return ByteSource::Load<T>(P + Offset);
}

}  // namespace

TEntJwwHeader::TEntJwwHeader() {
  Sec8RealsA[3] = 1.0;
  Sec8RealsB[1] = Sec8RealsB[2] = Sec8RealsB[3] = 1.0;
  Sec12Reals[1] = Sec12Reals[4] = 1.0;
  Sec13RealsA.Fill(1.0);
  Sec13Ints.Fill(-1);
}

void DecodeSec7(int32_t Coded, bool& Flag, int32_t& Decoded) {
  Flag = false;
  Decoded = Coded;
  if (Coded <= -101) {
    Flag = true;
    if (Coded >= -500 && Coded <= -401) {
      Decoded = 400 + Coded;  // 400 - |V|
    } else if (Coded >= -300 && Coded <= -201) {
      Decoded = -Coded - 200;  // |V| - 200
    } else {
      Decoded = -100;
    }
  }
}

std::string FormatElapsedTime(int32_t Seconds) {
  const int32_t m = Seconds / 60;
  const int32_t h = m / 60;
  std::string minutes = std::to_string(m % 60);
  if (minutes.size() == 1) minutes = "0" + minutes;
  return std::to_string(h) + " : " + minutes;
}

void SplitMemo(const std::string& Memo, std::string& Line1, std::string& Line2) {
  const int p = TextPos("\r\n", Memo);
  if (p == 0) {
    Line1 = Memo;
    Line2.clear();
  } else {
    Line1 = Memo.substr(0, static_cast<size_t>(p - 1));
    Line2 = Memo.substr(static_cast<size_t>(p + 1));
  }
}

TJwwData::TJwwData() {
  ResetFields();
}

TJwwData::~TJwwData() {
  Clear();
}

void TJwwData::ResetFields() {
  Header = TEntJwwHeader();
  ReleaseVector(LayerGroups);
  ReleaseVector(Layers);
  ReleaseVector(Sec14Table);
  ReleaseVector(Sec16Table);
  ReleaseVector(Sec17TableA);
  ReleaseVector(Sec17TableB);
  ReleaseVector(ColorExTable);
  ReleaseVector(LineTypeExTable);
  ReleaseVector(Sec20Table);
  ResetContents();
}

void TJwwData::Clear() {
  ReleaseDefinitionLists();
  ResetFields();
}

bool TJwwData::CheckSignature(const std::string& Path, TOpenError* OpenError) const {
  return FileStartsWith(Path, "JwwData.", OpenError);
}

bool TJwwData::LoadFromFile(const std::string& Path) {
  return Load(nullptr, Path);
}

bool TJwwData::LoadBlockNames(const std::string& Path) {
  return LoadNamesWith(*this, nullptr, Path);
}

bool TJwwData::LoadBlockNamesFromMemory(const uint8_t* Data, size_t Size) {
  ByteSource src(std::span<const uint8_t>(Data, Size));
  return LoadNamesWith(*this, &src, {});
}

bool TJwwData::LoadFromMemory(const uint8_t* Data, size_t Size, const std::string& Path) {
  ByteSource src(std::span<const uint8_t>(Data, Size));
  return Load(&src, Path);
}

bool TJwwData::Load(ByteSource* Memory, const std::string& Path) {
  return LoadWith(*this, Memory, Path);
}

TJwwData::THeaderResult TJwwData::ReadHeaderPart(ByteSource& Src) {
  ReadHeader(Src);
  return Header.Version < jwversion::FirstRead ? THeaderResult::StopUnpublished
                                               : THeaderResult::Read;
}

void TJwwData::ReadBodyPart(ByteSource& Src) {
  ReadBody(Src);
}

void TJwwData::Publish() {
  ElapsedTimeText = FormatElapsedTime(Header.ElapsedSeconds);
  SplitMemo(Header.Memo, MemoLine1, MemoLine2);
  LoadedSec8Real = Header.Sec8RealsA[3];
}

std::string TJwwData::ReadString(ByteSource& Src) {
  return ::ReadString(Src);
}
std::string TJwwData::ReadCleanString(ByteSource& Src) {
  return ::ReadCleanString(Src);
}
EntityAttributes TJwwData::ReadAttributes(ByteSource& Src) {
  return ::ReadAttributes(Src, Header.Version);
}
EntityAttributes TJwwData::CopyAttributes(const EntityAttributes& Source) {
  return ::CopyAttributes(Source);
}

void TJwwData::ReadHeader(ByteSource& Src) {
  TEntJwwHeader& H = Header;
  LayerGroups.assign(16, TEntJwwLayerGroup{});
  Layers.assign(256, TEntJwwLayer{});
  Sec14Table.assign(10, TEntJwwSec14Entry{});
  Sec16Table.assign(8, TEntJwwSec16Entry{});
  Sec17TableA.assign(5, TEntJwwSec17EntryA{});
  Sec17TableB.assign(4, TEntJwwSec17EntryB{});
  ColorExTable.assign(257, TEntJwwColorExNo{});
  LineTypeExTable.assign(33, TEntJwwLineTypeExNo{});
  Sec20Table.assign(10, TEntJwwSec20Entry{});

  // Sections 1 and 2: signature and version.
  const uint8_t* p = Src.Take(8);
  H.Signature.assign(reinterpret_cast<const char*>(p), 8);
  H.Version = Src.ReadInt32();
  if (H.Version < jwversion::FirstRead) return;
  const int32_t v = H.Version;

  // Section 3: the memo, not cleaned.
  H.Memo = ReadString(Src);

  // Section 4.
  p = Src.Take(8);
  H.Sec4Ints[1] = At<int32_t>(p, 0);
  H.Sec4Ints[2] = At<int32_t>(p, 4);

  // Section 5: per layer group a 20-byte record and 16 layer records.
  for (int g = 0; g < 16; ++g) {
    p = Src.Take(148);
    TEntJwwLayerGroup& G = LayerGroups[static_cast<size_t>(g)];
    G.Int1 = At<int32_t>(p, 0);
    G.Int2 = At<int32_t>(p, 4);
    G.Real1 = At<double>(p, 8);
    G.Int3 = At<int32_t>(p, 16);
    for (int j = 0; j < 16; ++j) {
      TEntJwwLayer& L = Layers[static_cast<size_t>(g * 16 + j)];
      L.Int1 = At<int32_t>(p, 20 + 8 * static_cast<size_t>(j));
      L.Int2 = At<int32_t>(p, 24 + 8 * static_cast<size_t>(j));
    }
  }

  // Section 6: not used.
  Src.Take(56);

  // Section 7.
  p = Src.Take(28);
  for (int i = 1; i <= 5; ++i) H.Sec7Ints[i] = At<int32_t>(p, 4 * static_cast<size_t>(i - 1));
  H.Sec7Coded = At<int32_t>(p, 24);
  DecodeSec7(H.Sec7Coded, H.Sec7CodedFlag, H.Sec7Decoded);

  // Section 8.
  p = Src.Take(72);
  for (int i = 1; i <= 3; ++i) H.Sec8RealsA[i] = At<double>(p, 8 * static_cast<size_t>(i - 1));
  H.Sec8Ints[1] = At<int32_t>(p, 24);
  H.Sec8Ints[2] = At<int32_t>(p, 28);
  for (int i = 1; i <= 5; ++i) H.Sec8RealsB[i] = At<double>(p, 32 + 8 * static_cast<size_t>(i - 1));

  // Sections 9 and 10: layer names, then layer group names.
  for (int g = 0; g < 16; ++g) {
    for (int j = 0; j < 16; ++j)
      Layers[static_cast<size_t>(g * 16 + j)].Name = ReadCleanString(Src);
  }
  for (int g = 0; g < 16; ++g) LayerGroups[static_cast<size_t>(g)].Name = ReadCleanString(Src);

  // Section 11.
  p = Src.Take(v > 230 ? 44 : 28);
  H.Sec11RealsA[1] = At<double>(p, 0);
  H.Sec11RealsA[2] = At<double>(p, 8);
  H.Sec11Int = At<int32_t>(p, 16);
  H.Sec11RealsB[1] = At<double>(p, 20);
  if (v >= 300) {
    H.Sec11RealsB[2] = At<double>(p, 28);
    H.Sec11RealsB[3] = At<double>(p, 36);
  }

  // Section 12.
  p = Src.Take(52);
  H.Sec12Int = At<int32_t>(p, 0);
  for (size_t i = 0; i < 6; ++i) H.Sec12Reals[static_cast<int>(i) + 1] = At<double>(p, 4 + 8 * i);

  // Section 13: four records of 24 bytes up to 230, eight of 28 and two
  // extra records after.
  if (v <= 230) {
    p = Src.Take(96);
    for (int k = 1; k <= 4; ++k) {
      const size_t o = 24 * static_cast<size_t>(k - 1);
      H.Sec13RealsA[k] = At<double>(p, o);
      H.Sec13RealsB[k] = At<double>(p, o + 8);
      H.Sec13RealsC[k] = At<double>(p, o + 16);
    }
  } else {
    p = Src.Take(280);
    for (int k = 1; k <= 8; ++k) {
      const size_t o = 28 * static_cast<size_t>(k - 1);
      H.Sec13RealsA[k] = At<double>(p, o);
      H.Sec13RealsB[k] = At<double>(p, o + 8);
      H.Sec13RealsC[k] = At<double>(p, o + 16);
      H.Sec13Ints[k] = At<int32_t>(p, o + 24);
    }
    for (auto [extra, o] :
         {std::pair{&H.Sec13ExtraA, size_t{224}}, std::pair{&H.Sec13ExtraB, size_t{252}}}) {
      extra->Real1 = At<double>(p, o);
      extra->Real2 = At<double>(p, o + 8);
      extra->Real3 = At<double>(p, o + 16);
      extra->Int1 = At<int32_t>(p, o + 24);
    }
  }

  // Section 14.
  p = Src.Take(168);
  for (int i = 0; i <= 9; ++i) H.Sec14Reals[i] = At<double>(p, 8 * static_cast<size_t>(i));
  H.Sec14Real = At<double>(p, 80);
  for (size_t k = 0; k < 10; ++k) {
    Sec14Table[k].Int1 = At<int32_t>(p, 88 + 8 * k);
    Sec14Table[k].Int2 = At<int32_t>(p, 92 + 8 * k);
  }

  // Section 15.
  p = Src.Take(160);
  for (size_t k = 0; k < 10; ++k) {
    Sec14Table[k].Int3 = At<int32_t>(p, 16 * k);
    Sec14Table[k].Int4 = At<int32_t>(p, 16 * k + 4);
    Sec14Table[k].Real1 = At<double>(p, 16 * k + 8);
  }

  // Section 16.
  p = Src.Take(128);
  for (size_t k = 0; k < 8; ++k) {
    Sec16Table[k].Int1 = At<int32_t>(p, 16 * k);
    Sec16Table[k].Int2 = At<int32_t>(p, 16 * k + 4);
    Sec16Table[k].Int3 = At<int32_t>(p, 16 * k + 8);
    Sec16Table[k].Int4 = At<int32_t>(p, 16 * k + 12);
  }

  // Section 17.
  p = Src.Take(164);
  for (size_t k = 0; k < 5; ++k) {
    Sec17TableA[k].Int1 = At<int32_t>(p, 20 * k);
    Sec17TableA[k].Int2 = At<int32_t>(p, 20 * k + 4);
    Sec17TableA[k].Int3 = At<int32_t>(p, 20 * k + 8);
    Sec17TableA[k].Int4 = At<int32_t>(p, 20 * k + 12);
    Sec17TableA[k].Int5 = At<int32_t>(p, 20 * k + 16);
  }
  for (size_t k = 0; k < 4; ++k) {
    Sec17TableB[k].Int1 = At<int32_t>(p, 100 + 16 * k);
    Sec17TableB[k].Int2 = At<int32_t>(p, 100 + 16 * k + 4);
    Sec17TableB[k].Int3 = At<int32_t>(p, 100 + 16 * k + 8);
    Sec17TableB[k].Int4 = At<int32_t>(p, 100 + 16 * k + 12);
  }

  // Section 18: its size depends on the exact version.
  size_t sec18 = 0;
  if (v == 220) {
    sec18 = 44;
  } else if (v == 223) {
    sec18 = 104;
  } else if (v == 225) {
    sec18 = 136;
  } else if (v >= 230) {
    sec18 = 144;
  }
  if (sec18 > 0) {
    p = Src.Take(sec18);
    for (int i = 0; i <= 9; ++i) H.Sec18IntsA[i + 1] = At<int32_t>(p, 4 * static_cast<size_t>(i));
    const int32_t t = At<int32_t>(p, 40);
    H.Sec18Tens = t / 10;
    H.Sec18Units = t % 10;
    if (v >= 223) {
      H.ElapsedSeconds = At<int32_t>(p, 44);
      for (int i = 0; i <= 3; ++i)
        H.Sec18IntsB[i + 1] = At<int32_t>(p, 48 + 4 * static_cast<size_t>(i));
      for (int i = 0; i <= 4; ++i)
        H.Sec18RealsA[i + 1] = At<double>(p, 64 + 8 * static_cast<size_t>(i));
    }
    if (v >= 225) {
      for (int i = 0; i <= 3; ++i)
        H.Sec18RealsB[i + 1] = At<double>(p, 104 + 8 * static_cast<size_t>(i));
    }
    if (v >= 230) {
      H.Sec18IntsC[1] = At<int32_t>(p, 136);
      H.Sec18IntsC[2] = At<int32_t>(p, 140);
    }
  }

  // Section 19: extended colours and line types, from version 420.
  if (v >= 420) {
    for (TEntJwwColorExNo& c : ColorExTable) {
      c.Int1 = Src.ReadInt32();
      c.Int2 = Src.ReadInt32();
    }
    for (TEntJwwColorExNo& c : ColorExTable) {
      c.Name = ReadCleanString(Src);
      c.Int3 = Src.ReadInt32();
      c.Int4 = Src.ReadInt32();
      c.Real1 = Src.ReadDouble();
    }
    for (TEntJwwLineTypeExNo& l : LineTypeExTable) {
      l.Int1 = Src.ReadInt32();
      l.Int2 = Src.ReadInt32();
      l.Int3 = Src.ReadInt32();
      l.Int4 = Src.ReadInt32();
    }
    for (TEntJwwLineTypeExNo& l : LineTypeExTable) {
      l.Name = ReadCleanString(Src);
      l.Int5 = Src.ReadInt32();
      for (int i = 1; i <= 10; ++i) l.Reals[i] = Src.ReadDouble();
    }
  }

  // Section 20.
  p = Src.Take(280);
  for (size_t k = 0; k < 10; ++k) {
    Sec20Table[k].Real1 = At<double>(p, 28 * k);
    Sec20Table[k].Real2 = At<double>(p, 28 * k + 8);
    Sec20Table[k].Real3 = At<double>(p, 28 * k + 16);
    Sec20Table[k].Int1 = At<int32_t>(p, 28 * k + 24);
  }

  // Section 21.
  p = Src.Take(100);
  H.Sec21RealsA[1] = At<double>(p, 0);
  H.Sec21RealsA[2] = At<double>(p, 8);
  H.Sec21RealsA[3] = At<double>(p, 16);
  H.Sec21Ints[1] = At<int32_t>(p, 24);
  H.Sec21Ints[2] = At<int32_t>(p, 28);
  H.Sec21RealsB[1] = At<double>(p, 32);
  H.Sec21RealsB[2] = At<double>(p, 40);
  H.Sec21Int = At<int32_t>(p, 48);
  for (int i = 0; i <= 5; ++i)
    H.Sec21RealsC[i + 1] = At<double>(p, 52 + 8 * static_cast<size_t>(i));
}

void TJwwData::ReadBody(ByteSource& Src) {
  ReadEntitiesAndDefinitions(Src, Header.Version, ClassNameBuffer, Header.EntityCount,
                             Header.BlockDefTotal);
  // The bound images that follow from version 700 on are not read.
  if (Header.Version >= jwversion::BoundImages) ClearImageTable();
}
