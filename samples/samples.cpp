#include "samples/samples.h"

#include <cmath>
#include <filesystem>
#include <numbers>
#include <stdexcept>

#include "testkit/jwbuilder.h"
#include "text/codec.h"

namespace samples {

namespace {

constexpr double Pi = std::numbers::pi;

std::string Sjis(const std::string& Utf8) {
  std::optional<std::string> s = Utf8ToCp932(Utf8);
  if (!s) throw std::runtime_error("sample text not representable in CP932: " + Utf8);
  return *s;
}

void AddLine(jwb::EntityList& L, double X1, double Y1, double X2, double Y2) {
  jwb::ByteWriter w;
  w.F64(X1).F64(Y1).F64(X2).F64(Y2);
  L.Line().body = w.Take();
}

// Centre, radius, start angle and span (radians), tilt, flatness, full-circle flag.
void AddArc(jwb::EntityList& L, double Cx, double Cy, double R, double Start, double Span) {
  jwb::ByteWriter w;
  const bool full = Span >= 2 * Pi;
  w.F64(Cx).F64(Cy).F64(R).F64(Start).F64(Span).F64(0.0).F64(1.0).I32(full ? 1 : 0);
  L.Arc().body = w.Take();
}

// Start and end point, a flag, character width and height, spacing, angle.
void AddText(jwb::EntityList& L, double X, double Y, const std::string& Utf8, double Size) {
  const std::string text = Sjis(Utf8);
  jwb::ByteWriter w;
  w.F64(X).F64(Y).F64(X + Size * static_cast<double>(text.size()) / 2).F64(Y);
  w.I32(0).F64(Size / 2).F64(Size).F64(0.0).F64(0.0);
  L.Text(Sjis("ＭＳ ゴシック"), text).body = w.Take();
}

void AddBox(jwb::EntityList& L, double X, double Y, double W, double D) {
  AddLine(L, X, Y, X + W, Y);
  AddLine(L, X + W, Y, X + W, Y + D);
  AddLine(L, X + W, Y + D, X, Y + D);
  AddLine(L, X, Y + D, X, Y);
}

void DrawShape(jwb::EntityList& L, const TSampleDef& Def) {
  switch (Def.Shape) {
    case TShape::Box:
      AddBox(L, 0, 0, Def.W, Def.D);
      break;
    case TShape::Door: {
      // One or two leaves, each swinging through a quarter circle.
      const bool pair = Def.W > 1200;
      const double leaf = pair ? Def.W / 2 : Def.W;
      AddBox(L, 0, 0, Def.W, Def.D);
      AddLine(L, 0, Def.D, 0, Def.D + leaf);
      AddArc(L, 0, Def.D, leaf, 0, Pi / 2);
      if (pair) {
        AddLine(L, Def.W, Def.D, Def.W, Def.D + leaf);
        AddArc(L, Def.W, Def.D, leaf, Pi / 2, Pi / 2);
      }
      break;
    }
    case TShape::Circle:
      AddArc(L, Def.W / 2, Def.W / 2, Def.W / 2, 0, 2 * Pi);
      break;
  }
}

TSampleDef Def(int32_t Number, std::string Name, std::string Listed, TShape Shape, double W,
               double D, std::vector<TSampleInsert> Inserts = {}) {
  return {Number, std::move(Name), std::move(Listed), Shape, W, D, std::move(Inserts)};
}
TSampleDef Def(int32_t Number, const std::string& Name, TShape Shape, double W, double D,
               std::vector<TSampleInsert> Inserts = {}) {
  return Def(Number, Name, Name, Shape, W, D, std::move(Inserts));
}

std::vector<TSampleFile> MakeSampleFiles() {
  using S = TShape;
  std::vector<TSampleFile> files;
  files.push_back({"doors.jww",
                   false,
                   700,
                   "建具 標準図 S=1/50",
                   {
                       Def(1, "「片開き戸」", S::Door, 800, 40),
                       Def(2, "両開き戸 W1600", S::Door, 1600, 40),
                       Def(3, "W-1800x900", S::Box, 1800, 100),
                       Def(4, "ｶﾞﾗｽ框戸@@SFIGORGFLAG#12", "ｶﾞﾗｽ框戸", S::Door, 900, 40),
                       Def(5, "玄関ドア一式", S::Box, 2000, 300, {{1, 100, 0}, {4, 1000, 0}}),
                   }});
  files.push_back({"sanitary.jww",
                   false,
                   420,
                   "衛生器具",
                   {
                       Def(1, "洗面台@@sfigorgflag_750", "洗面台", S::Box, 750, 500),
                       Def(2, "便器", S::Box, 400, 700),
                       Def(3, "小便器", S::Box, 350, 350),
                       Def(4, "手洗器", S::Circle, 350, 350),
                       Def(5, "ﾕﾆｯﾄﾊﾞｽ 1216", S::Box, 1200, 1600),
                       Def(6, "トイレ一式", S::Box, 900, 1600, {{2, 250, 100}, {4, 500, 1200}}),
                       Def(7, "多目的トイレ", S::Box, 2000, 2000, {{6, 0, 0}, {1, 1200, 0}}),
                   }});
  files.push_back({"furniture.jww",
                   false,
                   351,
                   "家具",
                   {
                       Def(1, "ｽﾁｰﾙ棚 W900", S::Box, 900, 450),
                       Def(2, "ﾃﾞｽｸ W1200xD700", S::Box, 1200, 700),
                       Def(3, "ｲｽ", S::Circle, 450, 450),
                       Def(4, "会議テーブル W2400", S::Box, 2400, 900),
                       Def(5, "会議室セット", S::Box, 3600, 2400,
                           {{4, 600, 750},
                            {3, 700, 200},
                            {3, 1575, 200},
                            {3, 2450, 200},
                            {3, 700, 1750, Pi},
                            {3, 1575, 1750, Pi},
                            {3, 2450, 1750, Pi}}),
                       Def(6, "書庫@@SfigOrgFlag(旧)", "書庫", S::Box, 880, 400),
                   }});
  files.push_back({"structure_old.jww",
                   false,
                   230,
                   "構造 (旧図面)",
                   {
                       Def(1, "柱 100角", S::Box, 100, 100),
                       Def(2, "COLUMN-100", S::Box, 100, 100),
                       Def(3, "基礎ﾊﾟｯｷﾝ", S::Box, 120, 100),
                       Def(4, "ＡＬＣ版 t100", S::Box, 600, 100),
                       Def(5, "階段@@SFIGORGFLAG", "階段", S::Box, 1000, 3000),
                   }});
  files.push_back(
      {"symbols.jws",
       true,
       700,
       "記号",
       {
           Def(1, "方位記号", S::Circle, 600, 600),
           Def(2, "通り芯記号 X1", S::Circle, 400, 400),
           Def(3, "断面記号@@SfIgOrGfLaG", "断面記号", S::Box, 300, 300),
           Def(4, "レベル記号 ▽", S::Box, 300, 200),
           Def(5, "記号一式", S::Box, 2000, 800, {{1, 0, 0}, {2, 800, 0}, {4, 1500, 0}}),
       }});
  files.push_back(
      {"kitchen.jws",
       true,
       600,
       "キッチン",
       {
           Def(1, "ｼｽﾃﾑｷｯﾁﾝ I型2550", S::Box, 2550, 650),
           Def(2, "冷蔵庫", S::Box, 700, 700),
           Def(3, "ｶﾞｽｺﾝﾛ", S::Box, 600, 500),
           Def(4, "ｷｯﾁﾝ一式", S::Box, 4000, 700, {{1, 0, 0}, {2, 2650, 0}, {3, 900, 75}}),
       }});
  return files;
}

}  // namespace

const std::vector<TSampleFile>& SampleFiles() {
  static const std::vector<TSampleFile> files = MakeSampleFiles();
  return files;
}

std::vector<uint8_t> SampleBytes(const TSampleFile& File) {
  jwb::Drawing d(File.Version);
  if (!File.Figure) d.jww.Memo = Sjis(File.Title);

  // The sheet: an A3 frame at 1/50, the title, then every part in a row with
  // its name under it.
  AddBox(d, 0, 0, 21000, 14850);
  AddText(d, 500, 14000, File.Title, 350);
  double x = 1000;
  for (const TSampleDef& def : File.Defs) {
    d.Insert(def.Number, x, 6000);
    AddText(d, x, 5500, def.Listed, 150);
    x += def.W + 800;
  }
  d.Dim(Sjis("ＭＳ ゴシック"), std::to_string(static_cast<int>(x - 1800)));

  for (const TSampleDef& def : File.Defs) {
    jwb::BlockDef& block = d.Def(def.Number, Sjis(def.Name));
    DrawShape(block, def);
    for (const TSampleInsert& in : def.Inserts)
      block.Insert(in.Def, in.X, in.Y, 1.0, 1.0, in.Angle);
  }
  return File.Figure ? d.JwsBytes() : d.JwwBytes();
}

void WriteSamples(const std::string& Folder) {
  for (const TSampleFile& file : SampleFiles()) {
    jwb::WriteFile((std::filesystem::path(Folder) / file.FileName).string(), SampleBytes(file));
  }
}

}  // namespace samples
