#include "jww/jwwunit.h"

#include <memory>
#include <optional>

#include "jww/body.h"
#include "jww/jwwheader.h"
#include "text/sjis.h"

namespace {

// Size of the class-name buffer of the drawing-file body.
constexpr size_t ClassNameBuffer = 2048;

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
  return FileStartsWith(Path, SignatureText, OpenError);
}

bool TJwwData::LoadFromFile(const std::string& Path) {
  return Load(nullptr, Path);
}

bool TJwwData::LoadDrawings(const std::string& Path) {
  return LoadInMode(*this, nullptr, Path, TLoadMode::Drawings);
}

bool TJwwData::LoadDrawings(ByteSource& Src) {
  return LoadInMode(*this, &Src, {}, TLoadMode::Drawings);
}

bool TJwwData::LoadBlockNames(ByteSource& Src) {
  return LoadNamesWith(*this, &Src, {});
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

  using namespace jwwheader;

  // Sections 1 and 2: signature and version.
  const uint8_t* sig = Src.Take(Signature);
  H.Signature.assign(reinterpret_cast<const char*>(sig), Signature);
  H.Version = Src.ReadInt32();
  if (H.Version < jwversion::FirstRead) return;
  const int32_t v = H.Version;

  // Section 3: the memo, not cleaned.
  H.Memo = ReadString(Src);

  {
    TSection s(Src, Sec4);
    H.Sec4Ints[1] = s.ReadInt();
    H.Sec4Ints[2] = s.ReadInt();
  }

  // Section 5: per layer group its record and its 16 layers'.
  for (int g = 0; g < 16; ++g) {
    TSection s(Src, LayerGroup);
    TEntJwwLayerGroup& G = LayerGroups[static_cast<size_t>(g)];
    G.Int1 = s.ReadInt();
    G.Int2 = s.ReadInt();
    G.Real1 = s.ReadReal();
    G.Int3 = s.ReadInt();
    for (int j = 0; j < 16; ++j) {
      TEntJwwLayer& L = Layers[static_cast<size_t>(g * 16 + j)];
      L.Int1 = s.ReadInt();
      L.Int2 = s.ReadInt();
    }
  }

  Src.Take(Sec6);

  {
    TSection s(Src, Sec7);
    for (int i = 1; i <= 5; ++i) H.Sec7Ints[i] = s.ReadInt();
    s.Skip(Int);
    H.Sec7Coded = s.ReadInt();
    DecodeSec7(H.Sec7Coded, H.Sec7CodedFlag, H.Sec7Decoded);
  }

  {
    TSection s(Src, Sec8);
    for (int i = 1; i <= 3; ++i) H.Sec8RealsA[i] = s.ReadReal();
    H.Sec8Ints[1] = s.ReadInt();
    H.Sec8Ints[2] = s.ReadInt();
    for (int i = 1; i <= 5; ++i) H.Sec8RealsB[i] = s.ReadReal();
  }

  // Sections 9 and 10: layer names, then layer group names.
  for (int g = 0; g < 16; ++g) {
    for (int j = 0; j < 16; ++j)
      Layers[static_cast<size_t>(g * 16 + j)].Name = ReadCleanString(Src);
  }
  for (int g = 0; g < 16; ++g) LayerGroups[static_cast<size_t>(g)].Name = ReadCleanString(Src);

  // Section 11: the long form after the full section 18, whose last two
  // reals are kept from Sec11Reals on.
  {
    const bool longForm = v > jwversion::FullSec18;
    TSection s(Src, longForm ? Sec11Long : Sec11Short);
    H.Sec11RealsA[1] = s.ReadReal();
    H.Sec11RealsA[2] = s.ReadReal();
    H.Sec11Int = s.ReadInt();
    H.Sec11RealsB[1] = s.ReadReal();
    if (v >= jwversion::Sec11Reals) {
      H.Sec11RealsB[2] = s.ReadReal();
      H.Sec11RealsB[3] = s.ReadReal();
    } else if (longForm) {
      s.Skip(2 * Real);
    }
  }

  {
    TSection s(Src, Sec12);
    H.Sec12Int = s.ReadInt();
    for (int i = 1; i <= 6; ++i) H.Sec12Reals[i] = s.ReadReal();
  }

  // Section 13.
  if (v <= jwversion::FullSec18) {
    TSection s(Src, Sec13Short);
    for (int k = 1; k <= 4; ++k) {
      H.Sec13RealsA[k] = s.ReadReal();
      H.Sec13RealsB[k] = s.ReadReal();
      H.Sec13RealsC[k] = s.ReadReal();
    }
  } else {
    TSection s(Src, Sec13Long);
    for (int k = 1; k <= 8; ++k) {
      H.Sec13RealsA[k] = s.ReadReal();
      H.Sec13RealsB[k] = s.ReadReal();
      H.Sec13RealsC[k] = s.ReadReal();
      H.Sec13Ints[k] = s.ReadInt();
    }
    for (auto* extra : {&H.Sec13ExtraA, &H.Sec13ExtraB}) {
      extra->Real1 = s.ReadReal();
      extra->Real2 = s.ReadReal();
      extra->Real3 = s.ReadReal();
      extra->Int1 = s.ReadInt();
    }
  }

  {
    TSection s(Src, Sec14);
    for (int i = 0; i <= 9; ++i) H.Sec14Reals[i] = s.ReadReal();
    H.Sec14Real = s.ReadReal();
    for (TEntJwwSec14Entry& e : Sec14Table) {
      e.Int1 = s.ReadInt();
      e.Int2 = s.ReadInt();
    }
  }

  {
    TSection s(Src, Sec15);
    for (TEntJwwSec14Entry& e : Sec14Table) {
      e.Int3 = s.ReadInt();
      e.Int4 = s.ReadInt();
      e.Real1 = s.ReadReal();
    }
  }

  {
    TSection s(Src, Sec16);
    for (TEntJwwSec16Entry& e : Sec16Table) {
      e.Int1 = s.ReadInt();
      e.Int2 = s.ReadInt();
      e.Int3 = s.ReadInt();
      e.Int4 = s.ReadInt();
    }
  }

  {
    TSection s(Src, Sec17);
    for (TEntJwwSec17EntryA& e : Sec17TableA) {
      e.Int1 = s.ReadInt();
      e.Int2 = s.ReadInt();
      e.Int3 = s.ReadInt();
      e.Int4 = s.ReadInt();
      e.Int5 = s.ReadInt();
    }
    for (TEntJwwSec17EntryB& e : Sec17TableB) {
      e.Int1 = s.ReadInt();
      e.Int2 = s.ReadInt();
      e.Int3 = s.ReadInt();
      e.Int4 = s.ReadInt();
    }
  }

  // Section 18: only the versions that mark one of its forms have it.
  size_t sec18 = 0;
  if (v == jwversion::FirstRead) {
    sec18 = Sec18First;
  } else if (v == jwversion::ElapsedTime) {
    sec18 = Sec18Elapsed;
  } else if (v == jwversion::MoreSec18Reals) {
    sec18 = Sec18MoreReals;
  } else if (v >= jwversion::FullSec18) {
    sec18 = Sec18Full;
  }
  if (sec18 > 0) {
    TSection s(Src, sec18);
    for (int i = 1; i <= 10; ++i) H.Sec18IntsA[i] = s.ReadInt();
    const int32_t t = s.ReadInt();
    H.Sec18Tens = t / 10;
    H.Sec18Units = t % 10;
    if (v >= jwversion::ElapsedTime) {
      H.ElapsedSeconds = s.ReadInt();
      for (int i = 1; i <= 4; ++i) H.Sec18IntsB[i] = s.ReadInt();
      for (int i = 1; i <= 5; ++i) H.Sec18RealsA[i] = s.ReadReal();
    }
    if (v >= jwversion::MoreSec18Reals) {
      for (int i = 1; i <= 4; ++i) H.Sec18RealsB[i] = s.ReadReal();
    }
    if (v >= jwversion::FullSec18) {
      H.Sec18IntsC[1] = s.ReadInt();
      H.Sec18IntsC[2] = s.ReadInt();
    }
  }

  // Section 19: extended colours and line types, from version 420.
  if (v >= jwversion::ExtendedStyles) {
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

  {
    TSection s(Src, Sec20);
    for (TEntJwwSec20Entry& e : Sec20Table) {
      e.Real1 = s.ReadReal();
      e.Real2 = s.ReadReal();
      e.Real3 = s.ReadReal();
      e.Int1 = s.ReadInt();
    }
  }

  {
    TSection s(Src, Sec21);
    for (int i = 1; i <= 3; ++i) H.Sec21RealsA[i] = s.ReadReal();
    H.Sec21Ints[1] = s.ReadInt();
    H.Sec21Ints[2] = s.ReadInt();
    H.Sec21RealsB[1] = s.ReadReal();
    H.Sec21RealsB[2] = s.ReadReal();
    H.Sec21Int = s.ReadInt();
    for (int i = 1; i <= 6; ++i) H.Sec21RealsC[i] = s.ReadReal();
  }
}

void TJwwData::ReadBody(ByteSource& Src) {
  ReadEntitiesAndDefinitions(Src, Header.Version, ClassNameBuffer, Header.EntityCount,
                             Header.BlockDefTotal);
  // The bound images that follow from version 700 on are not read.
  if (Header.Version >= jwversion::BoundImages) ClearImageTable();
}
