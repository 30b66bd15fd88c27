// Small drawings described with the test-file builder, used as fuzz seeds and
// as the starting points of the damaged-file tests. Each one is meant to
// reach a different part of the two readers: every entity kind with its
// optional tails, every class-tag form, nested and repeated definitions,
// negative stamps, long strings and the 32-bit count form.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "testkit/jwbuilder.h"

namespace samples {

// Versions at which the file layout changes: below 220 a drawing stops after
// its version; 220/223/225/230 size header section 18; above 230 sections 11
// and 13 grow; from 351 the attribute record has 15 bytes; from 420 the
// header has extension tables and dimensions their extension parts; from
// 700 a drawing ends with bound images.
inline const std::vector<int32_t>& VersionClasses() {
  static const std::vector<int32_t> v = {219, 220, 223, 225, 230, 231, 300,
                                         350, 351, 419, 420, 600, 700};
  return v;
}

// "ブロック" in code page 932, followed by the marker the search run cuts at.
inline std::string MarkedName() {
  return std::string("\x83\x75\x83\x8D\x83\x62\x83\x4E", 8) + "@@sfigorgflag";
}

// Every entity kind in the drawing's own list and inside three nested
// definitions (1 places 2, 2 places 3), one of them with a negative stamp.
// The file's very last object is a text inside the last definition.
inline jwb::Drawing EveryKind(int32_t version) {
  jwb::Drawing d(version);
  d.jww.Memo = "first line\r\nsecond line";
  d.jww.LayerGroups[0].Name = "group 0";
  d.jww.LayerGroups[1].Layers[2].Name = std::string("\x83\x8C\x83\x43\x83\x84", 6);
  d.jww.ColorExTable[1].Name = "red";
  d.jww.LineTypeExTable[2].Name = "dash";

  d.Line();
  d.Arc();
  d.Point();
  d.Point(100);  // with its 20-byte tail
  d.Text("abc", std::string(300, 'x'));
  d.Dim("1200", "");
  d.Solid();
  d.Solid(10);  // with its colour
  d.Insert(1, 10.0, 0.0, 1.0, 1.0, 1.5707963267948966);
  d.Insert(3, -5.0, 2.0, 2.0, -1.0, 0.25);
  d.Line().tag = jwb::Tag::Long(true);  // 0x7FFF form, bit 31 set

  jwb::BlockDef& a = d.Def(1, "BLOCK-A");
  a.Line();
  a.Insert(2, 1.0, 0.0);
  a.Text("in a", "");
  jwb::BlockDef& b = d.Def(2, MarkedName());
  b.stamp = -1;  // 8 extra bytes, stamp becomes the position
  b.Point(100);
  b.Point();
  b.Dim("5", "\x82\xA0");
  b.Insert(3);
  b.Arc().tag = jwb::Tag::Long();
  jwb::BlockDef& c = d.Def(3, "C");
  c.Solid(10);
  c.Solid();
  c.Insert(99);  // no such definition
  c.Text("last", "text");

  if (version >= 700) {
    d.images = std::vector<jwb::BoundImage>{{"image.bmp", jwb::Bytes(24, 0x42), std::nullopt}};
  }
  return d;
}

// Named drawings beyond EveryKind, each at a version where it matters.
inline std::vector<std::pair<std::string, jwb::Drawing>> Specials() {
  std::vector<std::pair<std::string, jwb::Drawing>> out;

  out.emplace_back("empty", jwb::Drawing(700));

  {
    jwb::Drawing d(600);
    d.SetCountForm(jwb::CountForm::Long);
    d.Line();
    d.Text("t", "");
    jwb::BlockDef& a = d.Def(7, "LONG-COUNTS");
    a.SetCountForm(jwb::CountForm::Long);
    a.Line();
    d.defCountForm = jwb::CountForm::Long;
    out.emplace_back("long-counts", std::move(d));
  }
  {
    jwb::Drawing d(700);
    d.Line();
    d.UnknownClass("CDataUnknown");
    d.Arc();
    d.Line().tag = jwb::Tag::Short();
    jwb::BlockDef& a = d.Def(1, "TAGS");
    a.tag = jwb::Tag::Long();
    a.Line().tag = jwb::Tag::Short();     // class named in the drawing's list
    jwb::BlockDef& b = d.Def(1, "TAGS");  // same number and name again
    b.tag = jwb::Tag::New("CSomethingElse");
    b.Arc();
    out.emplace_back("class-tags", std::move(d));
  }
  {
    // A chain of definitions deeper than the tree's level bound.
    jwb::Drawing d(700);
    d.Insert(1);
    for (int32_t i = 1; i <= 70; ++i) {
      jwb::BlockDef& def = d.Def(i, "D" + std::to_string(i));
      def.Insert(i + 1);
    }
    out.emplace_back("deep-nesting", std::move(d));
  }
  {
    // A definition that places itself: only the tree's bounds stop it.
    jwb::Drawing d(700);
    d.Insert(5);
    jwb::BlockDef& a = d.Def(5, "SELF");
    a.Insert(5, 1.0, 0.0);
    out.emplace_back("self-nesting", std::move(d));
  }
  {
    // More texts in a definition than one growth step of 500.
    jwb::Drawing d(700);
    jwb::BlockDef& a = d.Def(1, "TEXTS");
    for (int i = 0; i < 501; ++i) a.Text("t", "");
    out.emplace_back("many-texts", std::move(d));
  }
  {
    // Long strings in both forms, and a long name.
    jwb::Drawing d(420);
    d.Text(std::string(1000, 'a'), "short").text2Form = jwb::StringForm::Long;
    jwb::BlockDef& a = d.Def(1, std::string(300, 'N'));
    a.nameForm = jwb::StringForm::Long;
    a.Dim(std::string(256, 'd'), "");
    out.emplace_back("long-strings", std::move(d));
  }
  return out;
}

}  // namespace samples
