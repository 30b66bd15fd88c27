#include "app/catalog.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <system_error>

#include "app/blocktexts.h"
#include "app/search.h"
#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
#include "text/codec.h"
#include "text/widepath.h"

namespace {

constexpr const char* Replacement = "\xEF\xBF\xBD";  // U+FFFD

// Length of the UTF-8 sequence led by byte C (1 for a stray byte).
size_t SequenceLength(unsigned char C) {
  if (C >= 0xF0) return 4;
  if (C >= 0xE0) return 3;
  if (C >= 0xC0) return 2;
  return 1;
}

// A coordinate with two decimals and no trailing zeros. Drawings hold tens
// of thousands of them, so this avoids printf.
void AppendNumber(std::string& Out, double V) {
  if (!std::isfinite(V) || std::abs(V) > 1e12) V = 0;
  long long hundredths = std::llround(V * 100);
  if (hundredths < 0) {
    Out += '-';
    hundredths = -hundredths;
  }
  char digits[24];
  char* end = digits + sizeof digits;
  char* p = end;
  long long whole = hundredths / 100;
  do {
    *--p = static_cast<char>('0' + whole % 10);
    whole /= 10;
  } while (whole > 0);
  Out.append(p, static_cast<size_t>(end - p));
  const int cents = static_cast<int>(hundredths % 100);
  if (cents == 0) return;
  Out += '.';
  Out += static_cast<char>('0' + cents / 10);
  if (cents % 10) Out += static_cast<char>('0' + cents % 10);
}

void AppendPoint(std::string& Out, TVec2 P) {
  AppendNumber(Out, P.X);
  Out += ',';
  AppendNumber(Out, P.Y);
}

// The arc as SVG path commands: elliptic arc segments on the ellipse's
// principal axes (found from U and V, which need not be perpendicular after
// a skewing placement), a whole ellipse as two halves.
void AppendArc(std::string& Out, const TDrawnArc& Arc, const TViewFit& Fit) {
  const TVec2 u = Fit.MapVector(Arc.U), v = Fit.MapVector(Arc.V);
  // Singular values and rotation of the matrix [u v].
  const double e = (u.X + v.Y) / 2, f = (u.X - v.Y) / 2, g = (u.Y + v.X) / 2, h = (u.Y - v.X) / 2;
  const double q = std::hypot(e, h), r = std::hypot(f, g);
  const double rx = q + r, ry = std::abs(q - r);
  const double rotation = (std::atan2(g, f) + std::atan2(h, e)) / 2 * 180 / std::numbers::pi;
  const double sweep = std::clamp(Arc.Sweep, -2 * std::numbers::pi, 2 * std::numbers::pi);
  auto at = [&](double T) {
    return Fit.Map({Arc.Centre.X + Arc.U.X * std::cos(T) + Arc.V.X * std::sin(T),
                    Arc.Centre.Y + Arc.U.Y * std::cos(T) + Arc.V.Y * std::sin(T)});
  };
  // Increasing t turns the way the determinant of [u v] says (y is down).
  const bool clockwise = (u.X * v.Y - u.Y * v.X) * sweep > 0;
  const int pieces = std::abs(sweep) > std::numbers::pi ? 2 : 1;
  Out += 'M';
  AppendPoint(Out, at(Arc.Start));
  if (!(rx > 0.01) || !std::isfinite(rx) || !std::isfinite(ry)) {
    Out += 'L';
    AppendPoint(Out, at(Arc.Start + sweep));
    return;
  }
  for (int i = 1; i <= pieces; ++i) {
    Out += 'A';
    AppendNumber(Out, rx);
    Out += ',';
    AppendNumber(Out, std::max(ry, 0.01));
    Out += ' ';
    AppendNumber(Out, rotation);
    Out += clockwise ? " 0 1 " : " 0 0 ";
    AppendPoint(Out, at(Arc.Start + sweep * i / pieces));
  }
}

// CON, PRN, AUX, NUL, COM0-9, LPT0-9 (also with a superscript digit),
// CONIN$ and CONOUT$, in any letter case and with trailing spaces.
bool IsDeviceName(std::string_view Stem) {
  while (!Stem.empty() && Stem.back() == ' ') Stem.remove_suffix(1);
  std::string upper;
  for (char c : Stem) upper += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    if (upper == device) return true;
  if (upper.size() < 4 || (upper.compare(0, 3, "COM") != 0 && upper.compare(0, 3, "LPT") != 0))
    return false;
  const std::string_view digit = std::string_view(upper).substr(3);
  return (digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9') || digit == "\xC2\xB9" ||
         digit == "\xC2\xB2" || digit == "\xC2\xB3";
}

std::string ColorText(uint32_t Rgb) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%06X", Rgb & 0xFFFFFFu);
  return buf;
}

// The width of a UTF-8 text in a typical font, in units of its height:
// ASCII and half-width katakana half a unit, everything else one.
double TypicalWidth(std::string_view Utf8) {
  double w = 0;
  for (size_t i = 0; i < Utf8.size();) {
    const auto c = static_cast<unsigned char>(Utf8[i]);
    const size_t n = std::min(SequenceLength(c), Utf8.size() - i);
    // U+FF61..U+FF9F: EF BD A1..EF BE 9F.
    const bool halfKana = n == 3 && c == 0xEF &&
                          ((static_cast<unsigned char>(Utf8[i + 1]) == 0xBD &&
                            static_cast<unsigned char>(Utf8[i + 2]) >= 0xA1) ||
                           static_cast<unsigned char>(Utf8[i + 1]) == 0xBE);
    w += c < 0x80 || halfKana ? 0.5 : 1.0;
    i += n;
  }
  return w;
}

}  // namespace

std::string XmlText(std::string_view Utf8) {
  std::string out;
  out.reserve(Utf8.size());
  size_t i = 0;
  while (i < Utf8.size()) {
    const auto c = static_cast<unsigned char>(Utf8[i]);
    if (c < 0x80) {
      switch (c) {
        case '&':
          out += "&amp;";
          break;
        case '<':
          out += "&lt;";
          break;
        case '>':
          out += "&gt;";
          break;
        case '"':
          out += "&quot;";
          break;
        case '\'':
          out += "&#39;";
          break;
        case '\t':
        case '\n':
        case '\r':
          out += static_cast<char>(c);
          break;
        default:
          if (c < 0x20 || c == 0x7F)
            out += Replacement;
          else
            out += static_cast<char>(c);
      }
      ++i;
      continue;
    }
    const size_t n = SequenceLength(c);
    const std::string_view seq = Utf8.substr(i, n);
    // U+FFFE and U+FFFF are not XML characters either.
    if (seq.size() == n && n > 1 && IsUtf8(seq) && seq != "\xEF\xBF\xBE" && seq != "\xEF\xBF\xBF") {
      out += seq;
      i += n;
    } else {
      out += Replacement;
      ++i;
    }
  }
  return out;
}

std::string SvgDrawing(const TDisplayList& List, double Width, double Height, bool Standalone) {
  std::string s;
  s.reserve(256 + List.ShapeCount() * 48);
  if (Standalone) s += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  s += "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 ";
  AppendNumber(s, Width);
  s += ' ';
  AppendNumber(s, Height);
  s += '"';
  if (Standalone) {
    s += " width=\"";
    AppendNumber(s, Width);
    s += "\" height=\"";
    AppendNumber(s, Height);
    s += '"';
  }
  s += " font-family=\"sans-serif\">\n";
  if (List.EmptyDrawing()) {
    s += "<text x=\"";
    AppendNumber(s, Width / 2);
    s += "\" y=\"";
    AppendNumber(s, Height / 2);
    s += "\" font-size=\"12\" text-anchor=\"middle\" fill=\"#808080\">";
    s += EmptyDrawingText;
    s += "</text>\n</svg>\n";
    return s;
  }
  const TViewFit fit = FitToPane(List.Bounds, Width, Height, 4);
  for (const TDrawnSolid& d : List.Solids) {
    s += "<polygon points=\"";
    for (size_t i = 0; i < 4; ++i) {
      if (i) s += ' ';
      AppendPoint(s, fit.Map(d.Corner[i]));
    }
    s += "\" fill=\"" + ColorText(d.Color) + "\"/>\n";
  }
  s += "<g fill=\"none\" stroke-width=\"0.5\" stroke-linecap=\"round\">\n";
  // Lines and arcs of one colour in a row share one path.
  std::string path;
  uint32_t pathColor = 0;
  auto flush = [&] {
    if (path.empty()) return;
    s += "<path stroke=\"" + ColorText(pathColor) + "\" d=\"" + path + "\"/>\n";
    path.clear();
  };
  auto colour = [&](uint32_t Color) {
    if (Color != pathColor) flush();
    pathColor = Color;
  };
  for (const TDrawnLine& d : List.Lines) {
    colour(d.Color);
    path += 'M';
    AppendPoint(path, fit.Map(d.A));
    path += 'L';
    AppendPoint(path, fit.Map(d.B));
  }
  for (const TDrawnArc& d : List.Arcs) {
    colour(d.Color);
    AppendArc(path, d, fit);
  }
  flush();
  s += "</g>\n";
  for (const TDrawnPoint& d : List.Points) {
    const TVec2 p = fit.Map(d.P);
    s += "<circle cx=\"";
    AppendNumber(s, p.X);
    s += "\" cy=\"";
    AppendNumber(s, p.Y);
    s += "\" r=\"0.8\" fill=\"" + ColorText(d.Color) + "\"/>\n";
  }
  for (const TDrawnText& d : List.Texts) {
    TTextFrame f = TextFrameOf(d, fit);
    if (d.Text.empty() || !(f.PixelHeight > 0)) continue;
    // Viewers that ignore textLength still set the text about as wide as
    // its baseline: the glyphs are stretched by the ratio of the baseline to
    // the text's width in a typical font (full-width characters one unit,
    // half-width ones half of it).
    const double ems = TypicalWidth(d.Text);
    if (f.Length > 0 && ems > 0) {
      const double k = f.Length / ems;
      f.XAxis = {f.XAxis.X * k, f.XAxis.Y * k};
      f.Length = ems;
    }
    s += "<text transform=\"matrix(";
    for (double v : {f.XAxis.X, f.XAxis.Y, f.YAxis.X, f.YAxis.Y, f.Origin.X, f.Origin.Y}) {
      AppendNumber(s, v);
      s += ' ';
    }
    s.back() = ')';
    s += "\" font-size=\"1\"";
    if (f.Length > 0) {
      s += " textLength=\"";
      AppendNumber(s, f.Length);
      s += "\" lengthAdjust=\"spacingAndGlyphs\"";
    }
    s += " fill=\"" + ColorText(d.Color) + "\">" + XmlText(d.Text) + "</text>\n";
  }
  if (List.CutShort) {
    s += "<text x=\"2\" y=\"";
    AppendNumber(s, Height - 3);
    s += "\" font-size=\"9\" fill=\"#8B0000\">";
    s += CutShortText;
    s += "</text>\n";
  }
  s += "</svg>\n";
  return s;
}

TDrawLimits CatalogFileLimits(uint64_t FileSize) {
  const uint64_t bytes =
      (uint64_t{256} << 10) + 16 * std::min<uint64_t>(FileSize, uint64_t{1} << 40);
  return {CatalogFileShapes, MaxPlacements, MaxPlacementDepth,
          static_cast<size_t>(std::min<uint64_t>(bytes, SIZE_MAX))};
}

std::string CatalogFileName(std::string_view FileName, int Position, std::string_view Block) {
  auto safe = [](std::string_view Text, size_t Limit) {
    static constexpr std::string_view Refused = "\\/:*?\"<>|";
    std::string out;
    size_t i = 0;
    while (i < Text.size()) {
      const auto c = static_cast<unsigned char>(Text[i]);
      const size_t n = SequenceLength(c);
      const std::string_view seq = Text.substr(i, n);
      const bool whole = c < 0x80 || (n > 1 && seq.size() == n && IsUtf8(seq));
      const bool refused =
          n == 1 && (c < 0x20 || c == 0x7F || Refused.find(Text[i]) != Refused.npos);
      const std::string_view piece = whole && !refused ? seq : std::string_view("_");
      if (out.size() + piece.size() > Limit) break;
      out += piece;
      i += whole ? n : 1;
    }
    return out;
  };
  char number[16];
  std::snprintf(number, sizeof number, "%04d", Position + 1);
  std::string name = safe(FileName, 80) + "_" + number + "_" + safe(Block, 80);
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
  // Windows opens a device for a name whose part before the first dot is
  // one of its device names, whatever follows; such a name starts with "_".
  if (IsDeviceName(name.substr(0, name.find('.')))) name.insert(0, "_");
  return name + ".svg";
}

namespace {

template <class Reader>
TFileOutcome DrawingsOf(Reader& R, const std::string& Path,
                        const std::function<bool(const std::string&, const std::string&)>& Wanted,
                        const std::function<void(int, const std::string&, const std::string&,
                                                 const TDisplayList&)>& Take) {
  const TFileOutcome outcome = LoadWhole(R, Path);
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(PathOfUtf8(Path), ec);
  TFileDrawer drawer(R, CatalogFileLimits(ec ? 0 : size));
  const std::vector<std::string> texts = BlockTextsOf(R.BlockDefs, R.BlockDefCount, false);
  for (int32_t k = 0; k < R.BlockDefCount && static_cast<size_t>(k) < texts.size(); ++k) {
    const std::string name = CutAtMarker(R.BlockDefs[static_cast<size_t>(k)].Name);
    const std::string& text = texts[static_cast<size_t>(k)];
    if (!Wanted(name, text)) continue;
    TDisplayList list = drawer.Draw(k, CatalogDrawLimits);
    if (outcome.Failed() && k == R.BlockDefCount - 1) list.CutShort = true;
    Take(k, name, text, list);
  }
  R.Clear();
  return outcome;
}

}  // namespace

TFileOutcome ReadFileDrawings(const std::string& Path, TJwwData& Jww, TJwsData& Jws,
                              const std::function<bool(const std::string& Name)>& Wanted,
                              const std::function<void(int Position, const std::string& Name,
                                                       const TDisplayList& List)>& Take) {
  return ReadFileDrawingsAndTexts(
      Path, Jww, Jws, [&](const std::string& Name, const std::string&) { return Wanted(Name); },
      [&](int Position, const std::string& Name, const std::string&, const TDisplayList& List) {
        Take(Position, Name, List);
      });
}

TFileOutcome ReadFileDrawingsAndTexts(
    const std::string& Path, TJwwData& Jww, TJwsData& Jws,
    const std::function<bool(const std::string& Name, const std::string& Texts)>& Wanted,
    const std::function<void(int Position, const std::string& Name, const std::string& Texts,
                             const TDisplayList& List)>& Take) {
  return KindOfPath(Path) == TFileKind::Jww ? DrawingsOf(Jww, Path, Wanted, Take)
                                            : DrawingsOf(Jws, Path, Wanted, Take);
}

std::string CatalogPageStart(std::string_view Title) {
  return "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
         XmlText(Title) +
         "</title>\n<style>\n"
         "@page { size: A4; margin: 12mm; }\n"
         "body { font-family: sans-serif; margin: 0; color: #000; }\n"
         "h1 { font-size: 14pt; margin: 0 0 4mm; }\n"
         "h2 { font-size: 11pt; margin: 5mm 0 2mm; break-after: avoid; }\n"
         ".grid { display: grid; grid-template-columns: repeat(3, 1fr); gap: 3mm; }\n"
         ".row { border: 0.3mm solid #999; padding: 2mm; break-inside: avoid; "
         "page-break-inside: avoid; }\n"
         ".row svg { width: 100%; height: auto; display: block; background: #fff; }\n"
         ".row table { border-collapse: collapse; width: 100%; font-size: 8pt; "
         "table-layout: fixed; }\n"
         ".row th { text-align: left; font-weight: normal; color: #555; width: 5em; "
         "vertical-align: top; }\n"
         ".row td { overflow-wrap: anywhere; }\n"
         ".row .block td { font-size: 10pt; font-weight: bold; }\n"
         "</style>\n</head>\n<body>\n<h1>" +
         XmlText(Title) + "</h1>\n<div class=\"grid\">\n";
}

std::string CatalogPageRow(std::string_view File, std::string_view Path, std::string_view Block,
                           std::string_view Svg, std::string_view Texts) {
  std::string s = "<div class=\"row\">\n";
  s += Svg;
  s += "<table>\n<tr class=\"block\"><th>定義ブロック名</th><td>" + XmlText(Block) +
       "</td></tr>\n<tr><th>ファイル名</th><td>" + XmlText(File) +
       "</td></tr>\n<tr><th>フルパス</th><td>" + XmlText(Path) + "</td></tr>\n";
  if (!Texts.empty()) s += "<tr><th>図形内の文字</th><td>" + XmlText(Texts) + "</td></tr>\n";
  s += "</table>\n</div>\n";
  return s;
}

std::string CatalogPageSection(std::string_view Heading) {
  return "</div>\n<h2>" + XmlText(Heading) + "</h2>\n<div class=\"grid\">\n";
}

std::string CatalogPageEnd(size_t Rows) {
  return "</div>\n<p>" + std::to_string(Rows) + " 件</p>\n</body>\n</html>\n";
}
