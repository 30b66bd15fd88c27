#include "app/catalog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/search.h"
#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
#include "text/codec.h"

namespace {

constexpr const char* Replacement = "\xEF\xBF\xBD";  // U+FFFD

// Length of the UTF-8 sequence led by byte C (1 for a stray byte).
size_t SequenceLength(unsigned char C) {
  if (C >= 0xF0) return 4;
  if (C >= 0xE0) return 3;
  if (C >= 0xC0) return 2;
  return 1;
}

// A coordinate with two decimals and no trailing zeros.
void AppendNumber(std::string& Out, double V) {
  if (!std::isfinite(V)) V = 0;
  char buf[32];
  int n = std::snprintf(buf, sizeof buf, "%.2f", V);
  while (n > 0 && buf[n - 1] == '0') --n;
  if (n > 0 && buf[n - 1] == '.') --n;
  if (n == 2 && buf[0] == '-' && buf[1] == '0') {
    buf[0] = '0';
    n = 1;
  }
  Out.append(buf, static_cast<size_t>(n));
}

void AppendPoint(std::string& Out, TVec2 P) {
  AppendNumber(Out, P.X);
  Out += ',';
  AppendNumber(Out, P.Y);
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
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        case '\t':
        case '\n':
        case '\r': out += static_cast<char>(c); break;
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
  for (const TDrawnLine& d : List.Lines) {
    s += "<path d=\"M";
    AppendPoint(s, fit.Map(d.A));
    s += 'L';
    AppendPoint(s, fit.Map(d.B));
    s += "\" stroke=\"" + ColorText(d.Color) + "\"/>\n";
  }
  std::vector<TVec2> points;
  for (const TDrawnArc& d : List.Arcs) {
    points.clear();
    FlattenArc(d, fit, points);
    s += "<polyline points=\"";
    for (size_t i = 0; i < points.size(); ++i) {
      if (i) s += ' ';
      AppendPoint(s, points[i]);
    }
    s += "\" stroke=\"" + ColorText(d.Color) + "\"/>\n";
  }
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
  s += "</svg>\n";
  return s;
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
      const bool refused = n == 1 && (c < 0x20 || c == 0x7F || Refused.find(Text[i]) != Refused.npos);
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
  return name + ".svg";
}

namespace {

template <class Reader>
TFileOutcome DrawingsOf(Reader& R, const std::string& Path,
                        const std::function<bool(const std::string&)>& Wanted,
                        const std::function<void(int, const std::string&, const TDisplayList&)>& Take) {
  const TFileOutcome outcome = LoadWhole(R, Path);
  for (int32_t k = 0; k < R.BlockDefCount && static_cast<size_t>(k) < R.BlockDefs.size(); ++k) {
    const std::string name = CutAtMarker(R.BlockDefs[static_cast<size_t>(k)].Name);
    if (!Wanted(name)) continue;
    TDisplayList list = BuildDisplayList(R, k);
    if (outcome.Failed() && k == R.BlockDefCount - 1) list.CutShort = true;
    Take(k, name, list);
  }
  R.Clear();
  return outcome;
}

}  // namespace

TFileOutcome ReadFileDrawings(
    const std::string& Path, TJwwData& Jww, TJwsData& Jws,
    const std::function<bool(const std::string& Name)>& Wanted,
    const std::function<void(int Position, const std::string& Name, const TDisplayList& List)>&
        Take) {
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
                           std::string_view Svg) {
  std::string s = "<div class=\"row\">\n";
  s += Svg;
  s += "<table>\n<tr class=\"block\"><th>定義ブロック名</th><td>" + XmlText(Block) +
       "</td></tr>\n<tr><th>ファイル名</th><td>" + XmlText(File) +
       "</td></tr>\n<tr><th>フルパス</th><td>" + XmlText(Path) + "</td></tr>\n</table>\n</div>\n";
  return s;
}

std::string CatalogPageEnd(size_t Rows) {
  return "</div>\n<p>" + std::to_string(Rows) + " 件</p>\n</body>\n</html>\n";
}
