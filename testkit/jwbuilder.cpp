#include "testkit/jwbuilder.h"

#include "text/widepath.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace jwb {

namespace {

template <class T>
void PutLE(Bytes& out, T v) {
  uint8_t b[sizeof(T)];
  std::memcpy(b, &v, sizeof(T));  // the build hosts are little-endian (see archive.h)
  out.insert(out.end(), b, b + sizeof(T));
}

template <class T>
void PokeLE(Bytes& b, size_t offset, T v) {
  if (offset + sizeof(T) > b.size()) throw std::out_of_range("jwb::Poke past the end");
  std::memcpy(b.data() + offset, &v, sizeof(T));
}

// Class numbers by class name and the running object number of one body.
struct Numbering {
  std::map<std::string, uint32_t> classes;
  int32_t object = 1;
};

}  // namespace

// ---------------------------------------------------------------------------
// ByteWriter

ByteWriter& ByteWriter::U8(uint8_t v) {
  Data.push_back(v);
  return *this;
}
ByteWriter& ByteWriter::U16(uint16_t v) {
  PutLE(Data, v);
  return *this;
}
ByteWriter& ByteWriter::I32(int32_t v) {
  PutLE(Data, v);
  return *this;
}
ByteWriter& ByteWriter::U32(uint32_t v) {
  PutLE(Data, v);
  return *this;
}
ByteWriter& ByteWriter::F64(double v) {
  PutLE(Data, v);
  return *this;
}
ByteWriter& ByteWriter::Raw(std::span<const uint8_t> b) {
  Data.insert(Data.end(), b.begin(), b.end());
  return *this;
}
ByteWriter& ByteWriter::Raw(std::string_view b) {
  Data.insert(Data.end(), b.begin(), b.end());
  return *this;
}
ByteWriter& ByteWriter::Zeros(size_t n) {
  Data.insert(Data.end(), n, 0);
  return *this;
}

ByteWriter& ByteWriter::String(std::string_view s, StringForm form) {
  if (s.size() > 0xFFFF) s = s.substr(0, 0xFFFF);
  if (form == StringForm::Auto && s.size() < 255) {
    U8(static_cast<uint8_t>(s.size()));
  } else {
    U8(0xFF);
    U16(static_cast<uint16_t>(s.size()));
  }
  return Raw(s);
}

ByteWriter& ByteWriter::Attributes(const EntityAttributes& a, int32_t version) {
  U32(a.Attr0);
  U8(a.PenStyle);
  U16(a.PenColor);
  if (version > 350) U16(a.Attr7);
  U16(a.Attr9);
  U16(a.Attr11);
  return U16(a.Attr13);
}

ByteWriter& ByteWriter::Count(int64_t n, CountForm form) {
  if (form == CountForm::Short || (form == CountForm::Auto && n >= 0 && n < 0xFFFF))
    return U16(static_cast<uint16_t>(n));
  U16(0xFFFF);
  return I32(static_cast<int32_t>(n));
}

ByteWriter& ByteWriter::NewClassTag(std::string_view name, uint16_t schema) {
  U16(0xFFFF);
  U16(schema);
  U16(static_cast<uint16_t>(name.size()));
  return Raw(name);
}

ByteWriter& ByteWriter::LongClassTag(uint32_t classNumber, bool bit31) {
  U16(0x7FFF);
  return U32(bit31 ? (classNumber | 0x80000000u) : classNumber);
}

ByteWriter& ByteWriter::ShortClassTag(uint16_t classNumber) {
  return U16(static_cast<uint16_t>(0x8000u + classNumber));
}

// ---------------------------------------------------------------------------
// Entities

const char* ClassName(Kind k) {
  static constexpr const char* names[] = {"CDataSen",    "CDataEnko",  "CDataTen",  "CDataMoji",
                                          "CDataSunpou", "CDataSolid", "CDataBlock"};
  int i = static_cast<int>(k);
  if (i < 1 || i > 7) throw std::invalid_argument("jwb::ClassName: no such kind");
  return names[i - 1];
}

size_t FixedBodySize(Kind k) {
  switch (k) {
    case Kind::Line:
      return 32;
    case Kind::Arc:
      return 60;
    case Kind::Point:
      return 20;
    case Kind::Text:
      return 68;
    case Kind::Solid:
      return 64;
    case Kind::Block:
      return 44;
    case Kind::Dimension:
      break;
  }
  throw std::invalid_argument("jwb::FixedBodySize: a dimension has no single fixed part");
}

EntityAttributes DefaultAttr() {
  return MakeAttr(1, 2);
}

EntityAttributes MakeAttr(uint8_t penStyle, uint16_t penColor, uint32_t attr0) {
  EntityAttributes a{};
  a.Attr0 = attr0;
  a.PenStyle = penStyle;
  a.PenColor = penColor;
  a.Attr7 = 0x0707;
  a.Attr9 = 0x0909;
  a.Attr11 = 0x0B0B;
  a.Attr13 = 0x0D0D;
  return a;
}

Entity MakeEntity(Kind k) {
  Entity e;
  e.kind = k;
  if (k == Kind::Dimension) {
    e.parts = {MakeEntity(Kind::Line),  MakeEntity(Kind::Text),  MakeEntity(Kind::Line),
               MakeEntity(Kind::Line),  MakeEntity(Kind::Point), MakeEntity(Kind::Point),
               MakeEntity(Kind::Point), MakeEntity(Kind::Point)};
    return e;
  }
  e.body.resize(FixedBodySize(k));
  for (size_t i = 0; i < e.body.size(); ++i)
    e.body[i] = static_cast<uint8_t>(0x10 * static_cast<int>(k) + i);
  return e;
}

Bytes InsertBody(double x, double y, double scaleX, double scaleY, double angle, int32_t number) {
  ByteWriter w;
  w.F64(x).F64(y).F64(scaleX).F64(scaleY).F64(angle).I32(number);
  return w.Take();
}

namespace {

// Attribute record and the fixed bytes after it.
void WriteFixed(ByteWriter& w, int32_t version, const Entity& e) {
  w.Attributes(e.attr, version);
  Bytes body = e.body;
  body.resize(FixedBodySize(e.kind), 0);
  w.Raw(body);
}

void WritePoint(ByteWriter& w, int32_t version, const Entity& e) {
  WriteFixed(w, version, e);
  if (e.attr.PenStyle == 100) w.U32(e.pointInt).F64(e.pointReal1).F64(e.pointReal2);
}

void WriteText(ByteWriter& w, int32_t version, const Entity& e) {
  WriteFixed(w, version, e);
  w.String(e.text1, e.text1Form);
  w.String(e.text2, e.text2Form);
}

void WriteRecord(ByteWriter& w, int32_t version, const Entity& e) {
  switch (e.kind) {
    case Kind::Line:
    case Kind::Arc:
    case Kind::Block:
      WriteFixed(w, version, e);
      return;
    case Kind::Point:
      WritePoint(w, version, e);
      return;
    case Kind::Text:
      WriteText(w, version, e);
      return;
    case Kind::Solid:
      WriteFixed(w, version, e);
      if (e.attr.PenColor == 10) w.U32(e.solidColor);
      return;
    case Kind::Dimension:
      if (e.parts.size() != 8) throw std::invalid_argument("jwb: a dimension needs its 8 parts");
      w.Attributes(e.attr, version);
      WriteFixed(w, version, e.parts[0]);
      WriteText(w, version, e.parts[1]);
      if (version >= 420) {
        w.U16(e.extFlag);
        WriteFixed(w, version, e.parts[2]);
        WriteFixed(w, version, e.parts[3]);
        for (size_t i = 4; i < 8; ++i) WritePoint(w, version, e.parts[i]);
      }
      return;
  }
}

// Writes the class tag of one object of class `cls` and advances the numbering
// for a class name met.
void WriteTag(ByteWriter& w, const Tag& t, const std::string& cls, uint16_t schema, Numbering& n) {
  auto known = n.classes.find(cls);
  uint32_t number = known == n.classes.end() ? 0 : known->second;
  Tag::Form form = t.form;
  if (form == Tag::Form::Auto) {
    if (known == n.classes.end())
      form = Tag::Form::New;
    else
      form = number < 0x7FFF ? Tag::Form::Short : Tag::Form::Long;
  }
  switch (form) {
    case Tag::Form::New: {
      std::string name = t.name.value_or(cls);
      w.NewClassTag(name, t.schema.value_or(schema));
      n.classes[name] = static_cast<uint32_t>(n.object);
      ++n.object;
      return;
    }
    case Tag::Form::Long:
      w.LongClassTag(t.number.value_or(number), t.bit31 || (t.form == Tag::Form::Auto));
      return;
    case Tag::Form::Short:
      w.ShortClassTag(static_cast<uint16_t>(t.number.value_or(number)));
      return;
    case Tag::Form::Raw:
      w.RawTag(t.raw);
      return;
    case Tag::Form::Auto:
      break;
  }
}

void WriteList(ByteWriter& w, const EntityList& list, int32_t version, uint16_t schema,
               Numbering& n, size_t base, ListLayout& out) {
  out.count = base + w.Size();
  w.Count(list.countOverride.value_or(static_cast<int64_t>(list.EntityCount())), list.countForm);
  for (const auto& item : list.items) {
    ItemLayout il;
    il.tag = base + w.Size();
    if (item.isEntity) {
      WriteTag(w, item.entity.tag, ClassName(item.entity.kind), schema, n);
      il.record = base + w.Size();
      il.objectNumber = n.object++;
      WriteRecord(w, version, item.entity);
    } else {
      il.record = il.tag;
      w.Raw(item.raw);
      n.object += item.names;
      if (item.objects > 0) il.objectNumber = n.object;
      n.object += item.objects;
    }
    il.end = base + w.Size();
    out.items.push_back(il);
  }
  out.end = base + w.Size();
}

}  // namespace

// ---------------------------------------------------------------------------
// EntityList

Entity& EntityList::Add(Entity e) {
  Item it;
  it.entity = std::move(e);
  items.push_back(std::move(it));
  return items.back().entity;
}

Entity& EntityList::Line() {
  return Add(MakeEntity(Kind::Line));
}
Entity& EntityList::Arc() {
  return Add(MakeEntity(Kind::Arc));
}

Entity& EntityList::Point(uint8_t penStyle) {
  Entity e = MakeEntity(Kind::Point);
  e.attr.PenStyle = penStyle;
  return Add(std::move(e));
}

Entity& EntityList::Text(std::string s1, std::string s2) {
  Entity e = MakeEntity(Kind::Text);
  e.text1 = std::move(s1);
  e.text2 = std::move(s2);
  return Add(std::move(e));
}

Entity& EntityList::Dim(std::string s1, std::string s2) {
  Entity e = MakeEntity(Kind::Dimension);
  e.DimText().text1 = std::move(s1);
  e.DimText().text2 = std::move(s2);
  return Add(std::move(e));
}

Entity& EntityList::Solid(uint16_t penColor) {
  Entity e = MakeEntity(Kind::Solid);
  e.attr.PenColor = penColor;
  return Add(std::move(e));
}

Entity& EntityList::Insert(int32_t blockNumber, double x, double y, double scaleX, double scaleY,
                           double angle) {
  Entity e = MakeEntity(Kind::Block);
  e.body = InsertBody(x, y, scaleX, scaleY, angle, blockNumber);
  return Add(std::move(e));
}

void EntityList::Raw(Bytes b, int names, int objects) {
  Item it;
  it.isEntity = false;
  it.raw = std::move(b);
  it.names = names;
  it.objects = objects;
  items.push_back(std::move(it));
}

void EntityList::UnknownClass(std::string name, Bytes payload, bool isObject) {
  ByteWriter w;
  w.NewClassTag(name, 0).Raw(payload);
  Raw(w.Take(), 1, isObject ? 1 : 0);
}

size_t EntityList::EntityCount() const {
  return static_cast<size_t>(
      std::count_if(items.begin(), items.end(), [](const Item& i) { return i.isEntity; }));
}

// ---------------------------------------------------------------------------
// Headers

JwwHeader::JwwHeader() {
  // Integers: 100 × section + position; reals: section + position / 100.
  Sec4Ints[1] = 401;
  Sec4Ints[2] = 402;
  for (int g = 0; g < 16; ++g) {
    auto& lg = LayerGroups[static_cast<size_t>(g)];
    lg.Int1 = 5000 + g * 10 + 1;
    lg.Int2 = 5000 + g * 10 + 2;
    lg.Real1 = 5.0 + g / 100.0;
    lg.Int3 = 5000 + g * 10 + 3;
    for (int j = 0; j < 16; ++j) {
      lg.Layers[static_cast<size_t>(j)].Int1 = 50000 + g * 100 + j * 2;
      lg.Layers[static_cast<size_t>(j)].Int2 = 50000 + g * 100 + j * 2 + 1;
    }
  }
  for (size_t i = 0; i < Sec6.size(); ++i) Sec6[i] = static_cast<uint8_t>(0x60 + i);
  for (int i = 1; i <= 5; ++i) Sec7Ints[i] = 700 + i;
  Sec7Unused = 706;
  Sec7Coded = 707;
  Sec8RealsA[1] = 8.01;
  Sec8RealsA[2] = 8.02;
  Sec8RealsA[3] = 8.03;
  Sec8Ints[1] = 801;
  Sec8Ints[2] = 802;
  for (int i = 1; i <= 5; ++i) Sec8RealsB[i] = 8.10 + i / 100.0;
  Sec11RealsA[1] = 11.01;
  Sec11RealsA[2] = 11.02;
  Sec11Int = 1103;
  for (int i = 1; i <= 3; ++i) Sec11RealsB[i] = 11.03 + i / 100.0;
  Sec12Int = 1201;
  for (int i = 1; i <= 6; ++i) Sec12Reals[i] = 12.01 + i / 100.0;
  for (int k = 1; k <= 8; ++k) {
    Sec13[k] = {13.0 + k / 10.0 + 0.01, 13.0 + k / 10.0 + 0.02, 13.0 + k / 10.0 + 0.03,
                1300 + k * 10 + 4};
  }
  Sec13ExtraA = {13.91, 13.92, 13.93, 1394};
  Sec13ExtraB = {13.95, 13.96, 13.97, 1398};
  for (int i = 0; i <= 9; ++i) Sec14Reals[i] = 14.0 + i / 100.0;
  Sec14Real = 14.10;
  for (int k = 0; k < 10; ++k) {
    Sec14Table[static_cast<size_t>(k)] = {1400 + k * 10 + 1, 1400 + k * 10 + 2, 1500 + k * 10 + 3,
                                          1500 + k * 10 + 4, 15.0 + k / 100.0};
  }
  for (int k = 0; k < 8; ++k)
    for (int i = 0; i < 4; ++i) Sec16Table[size_t(k)][size_t(i)] = 1600 + k * 10 + i + 1;
  for (int k = 0; k < 5; ++k)
    for (int i = 0; i < 5; ++i) Sec17TableA[size_t(k)][size_t(i)] = 1700 + k * 10 + i + 1;
  for (int k = 0; k < 4; ++k)
    for (int i = 0; i < 4; ++i) Sec17TableB[size_t(k)][size_t(i)] = 17500 + k * 10 + i + 1;
  for (int i = 1; i <= 10; ++i) Sec18IntsA[i] = 1800 + i;
  for (int i = 1; i <= 4; ++i) Sec18IntsB[i] = 1810 + i;
  for (int i = 1; i <= 5; ++i) Sec18RealsA[i] = 18.0 + i / 100.0;
  for (int i = 1; i <= 4; ++i) Sec18RealsB[i] = 18.10 + i / 100.0;
  Sec18IntsC[1] = 1821;
  Sec18IntsC[2] = 1822;
  for (int k = 0; k < 257; ++k) {
    ColorExTable[size_t(k)] = {190000 + k * 10 + 1, 190000 + k * 10 + 2, "",
                               190000 + k * 10 + 3, 190000 + k * 10 + 4, 19.0 + k / 1000.0};
  }
  for (int k = 0; k < 33; ++k) {
    auto& lt = LineTypeExTable[size_t(k)];
    lt.Int1 = 195000 + k * 10 + 1;
    lt.Int2 = 195000 + k * 10 + 2;
    lt.Int3 = 195000 + k * 10 + 3;
    lt.Int4 = 195000 + k * 10 + 4;
    lt.Int5 = 195000 + k * 10 + 5;
    for (int i = 1; i <= 10; ++i) lt.Reals[i] = 19.5 + k / 100.0 + i / 10000.0;
  }
  for (int k = 0; k < 10; ++k) {
    Sec20Table[size_t(k)] = {20.0 + k / 100.0 + 0.001, 20.0 + k / 100.0 + 0.002,
                             20.0 + k / 100.0 + 0.003, 2000 + k * 10 + 4};
  }
  for (int i = 1; i <= 3; ++i) Sec21RealsA[i] = 21.0 + i / 100.0;
  Sec21Ints[1] = 2104;
  Sec21Ints[2] = 2105;
  Sec21RealsB[1] = 21.06;
  Sec21RealsB[2] = 21.07;
  Sec21Int = 2108;
  for (int i = 1; i <= 6; ++i) Sec21RealsC[i] = 21.10 + i / 100.0;
}

JwsHeader::JwsHeader() {
  LeadReals[1] = 1.25;
  LeadReals[2] = 2.5;
  for (size_t g = 0; g < GroupReals.size(); ++g) GroupReals[g] = 3.0 + static_cast<double>(g);
  for (int i = 1; i <= 6; ++i) HeaderInts[i] = 340 + i;
  for (int i = 1; i <= 10; ++i) HeaderReals[i] = 37.0 + i / 10.0;
}

void WriteJwwHeader(ByteWriter& w, int32_t version, const JwwHeader& h, Layout* layout) {
  Layout scratch;
  Layout& l = layout ? *layout : scratch;
  l.section.fill(0);
  auto mark = [&](int s) { l.section[static_cast<size_t>(s)] = w.Size(); };

  mark(1);
  w.Raw(h.Signature);
  mark(2);
  w.I32(version);
  if (version < 220) return;
  mark(3);
  w.String(h.Memo, h.MemoForm);
  mark(4);
  w.I32(h.Sec4Ints[1]).I32(h.Sec4Ints[2]);
  mark(5);
  for (const auto& g : h.LayerGroups) {
    w.I32(g.Int1).I32(g.Int2).F64(g.Real1).I32(g.Int3);
    for (const auto& layer : g.Layers) w.I32(layer.Int1).I32(layer.Int2);
  }
  mark(6);
  w.Raw(h.Sec6);
  mark(7);
  for (int i = 1; i <= 5; ++i) w.I32(h.Sec7Ints[i]);
  w.I32(h.Sec7Unused).I32(h.Sec7Coded);
  mark(8);
  for (int i = 1; i <= 3; ++i) w.F64(h.Sec8RealsA[i]);
  w.I32(h.Sec8Ints[1]).I32(h.Sec8Ints[2]);
  for (int i = 1; i <= 5; ++i) w.F64(h.Sec8RealsB[i]);
  mark(9);
  for (const auto& g : h.LayerGroups)
    for (const auto& layer : g.Layers) w.String(layer.Name);
  mark(10);
  for (const auto& g : h.LayerGroups) w.String(g.Name);

  mark(11);
  w.F64(h.Sec11RealsA[1]).F64(h.Sec11RealsA[2]).I32(h.Sec11Int).F64(h.Sec11RealsB[1]);
  if (version > 230) w.F64(h.Sec11RealsB[2]).F64(h.Sec11RealsB[3]);
  mark(12);
  w.I32(h.Sec12Int);
  for (int i = 1; i <= 6; ++i) w.F64(h.Sec12Reals[i]);
  mark(13);
  if (version <= 230) {
    for (int k = 1; k <= 4; ++k)
      w.F64(h.Sec13[k].RealA).F64(h.Sec13[k].RealB).F64(h.Sec13[k].RealC);
  } else {
    for (int k = 1; k <= 8; ++k)
      w.F64(h.Sec13[k].RealA).F64(h.Sec13[k].RealB).F64(h.Sec13[k].RealC).I32(h.Sec13[k].Int);
    for (const RealsInt* e : {&h.Sec13ExtraA, &h.Sec13ExtraB})
      w.F64(e->Real1).F64(e->Real2).F64(e->Real3).I32(e->Int1);
  }
  mark(14);
  for (int i = 0; i <= 9; ++i) w.F64(h.Sec14Reals[i]);
  w.F64(h.Sec14Real);
  for (const auto& e : h.Sec14Table) w.I32(e.Int1).I32(e.Int2);
  mark(15);
  for (const auto& e : h.Sec14Table) w.I32(e.Int3).I32(e.Int4).F64(e.Real1);
  mark(16);
  for (const auto& r : h.Sec16Table)
    for (int32_t v : r) w.I32(v);
  mark(17);
  for (const auto& r : h.Sec17TableA)
    for (int32_t v : r) w.I32(v);
  for (const auto& r : h.Sec17TableB)
    for (int32_t v : r) w.I32(v);

  // Section 18 exists in four sizes, and not at all for 221, 222, 224, 226-229.
  size_t sec18 = version == 220   ? 44
                 : version == 223 ? 104
                 : version == 225 ? 136
                 : version >= 230 ? 144
                                  : 0;
  if (sec18 > 0) {
    mark(18);
    for (int i = 1; i <= 10; ++i) w.I32(h.Sec18IntsA[i]);
    w.I32(h.Sec18T);
    if (sec18 >= 104) {
      w.I32(h.ElapsedSeconds);
      for (int i = 1; i <= 4; ++i) w.I32(h.Sec18IntsB[i]);
      for (int i = 1; i <= 5; ++i) w.F64(h.Sec18RealsA[i]);
    }
    if (sec18 >= 136)
      for (int i = 1; i <= 4; ++i) w.F64(h.Sec18RealsB[i]);
    if (sec18 >= 144) w.I32(h.Sec18IntsC[1]).I32(h.Sec18IntsC[2]);
  }

  if (version >= 420) {
    mark(19);
    for (const auto& c : h.ColorExTable) w.I32(c.Int1).I32(c.Int2);
    for (const auto& c : h.ColorExTable) w.String(c.Name).I32(c.Int3).I32(c.Int4).F64(c.Real1);
    for (const auto& t : h.LineTypeExTable) w.I32(t.Int1).I32(t.Int2).I32(t.Int3).I32(t.Int4);
    for (const auto& t : h.LineTypeExTable) {
      w.String(t.Name).I32(t.Int5);
      for (int i = 1; i <= 10; ++i) w.F64(t.Reals[i]);
    }
  }
  mark(20);
  for (const auto& e : h.Sec20Table) w.F64(e.Real1).F64(e.Real2).F64(e.Real3).I32(e.Int1);
  mark(21);
  for (int i = 1; i <= 3; ++i) w.F64(h.Sec21RealsA[i]);
  w.I32(h.Sec21Ints[1]).I32(h.Sec21Ints[2]).F64(h.Sec21RealsB[1]).F64(h.Sec21RealsB[2]);
  w.I32(h.Sec21Int);
  for (int i = 1; i <= 6; ++i) w.F64(h.Sec21RealsC[i]);
}

void WriteJwsHeader(ByteWriter& w, int32_t version, const JwsHeader& h) {
  std::string area = h.Signature.substr(0, 200);
  area.resize(200, '\0');
  w.Raw(area);
  w.I32(version).F64(h.LeadReals[1]).F64(h.LeadReals[2]);
  for (double r : h.GroupReals) w.F64(r);
  for (int i = 1; i <= 6; ++i) w.I32(h.HeaderInts[i]);
  for (int i = 1; i <= 10; ++i) w.F64(h.HeaderReals[i]);
}

// ---------------------------------------------------------------------------
// Drawing

BlockDef& Drawing::Def(int32_t number, std::string name) {
  defs.emplace_back();
  defs.back().number = number;
  defs.back().name = std::move(name);
  return defs.back();
}

void Drawing::WriteBody(ByteWriter& w, size_t base) {
  Numbering n;
  layout.bodyStart = base + w.Size();
  layout.list = {};
  WriteList(w, *this, version, classSchema, n, base, layout.list);

  layout.defCount = base + w.Size();
  layout.defs.clear();
  w.Count(defCountOverride.value_or(static_cast<int64_t>(defs.size())), defCountForm);
  for (size_t p = 0; p < defs.size(); ++p) {
    const BlockDef& d = defs[p];
    DefLayout dl;
    dl.tag = base + w.Size();
    WriteTag(w, d.tag, d.className, classSchema, n);
    dl.header = base + w.Size();
    w.Attributes(d.attr, version).I32(d.number).U32(d.word2).I32(d.stamp);
    dl.extra = base + w.Size();
    if (d.stamp < 0) w.Raw(d.extra);
    dl.name = base + w.Size();
    w.String(d.name, d.nameForm);
    dl.objectNumber = n.object++;
    WriteList(w, d, version, classSchema, n, base, dl.list);
    layout.defs.push_back(std::move(dl));
  }
  layout.defsEnd = base + w.Size();
  layout.classNumbers = n.classes;
  layout.nextObjectNumber = n.object;
}

void Drawing::WriteTail(ByteWriter& w, bool withImages) {
  layout.images = w.Size();
  if (withImages && images) {
    w.I32(imageCount.value_or(static_cast<int32_t>(images->size())));
    for (const auto& im : *images) {
      w.String(im.name);
      w.I32(im.size.value_or(static_cast<int32_t>(im.data.size())));
      w.Raw(im.data);
    }
  }
  layout.trailing = w.Size();
  w.Raw(trailing);
  layout.total = w.Size();
}

Bytes Drawing::JwwBytes() {
  layout = {};
  ByteWriter w;
  WriteJwwHeader(w, version, jww, &layout);
  if (version >= 220) {
    WriteBody(w, 0);
  } else {  // the header stops after the version; no body follows
    layout.bodyStart = layout.defsEnd = w.Size();
  }
  WriteTail(w, version >= 700);
  return w.Take();
}

Bytes Drawing::JwsBytes() {
  layout = {};
  ByteWriter w;
  WriteJwsHeader(w, version, jws);
  WriteBody(w, 0);
  WriteTail(w, false);
  return w.Take();
}

Bytes Drawing::BodyBytes(size_t base) {
  layout = {};
  ByteWriter w;
  WriteBody(w, base);
  Bytes out = w.Take();
  layout.images = layout.trailing = layout.total = base + out.size();
  return out;
}

// ---------------------------------------------------------------------------
// Helpers

Bytes Cut(const Bytes& b, size_t n) {
  return Bytes(b.begin(), b.begin() + std::min(n, b.size()));
}

void PokeU16(Bytes& b, size_t offset, uint16_t v) {
  PokeLE(b, offset, v);
}
void PokeI32(Bytes& b, size_t offset, int32_t v) {
  PokeLE(b, offset, v);
}

void WriteFile(const std::string& path, const Bytes& b) {
  std::ofstream f(PathOfUtf8(path), std::ios::binary | std::ios::trunc);
  if (!f) throw std::runtime_error("jwb::WriteFile: cannot create " + path);
  f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  if (!f) throw std::runtime_error("jwb::WriteFile: cannot write " + path);
}

}  // namespace jwb
