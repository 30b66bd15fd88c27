#include "app/layout.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <optional>

#include "text/paths.h"
#include "text/sjis.h"
#include "text/widepath.h"

bool IsLayoutNumber(std::string_view Text) {
  if (TextToInt(Text) != 0) return true;
  // TextToInt also gives 0 for text that is no number: only a written zero
  // (with a sign or in hex) counts.
  return Text.find('0') != std::string_view::npos &&
         Text.find_first_not_of(" +-$xX0") == std::string_view::npos;
}

int32_t LayoutNumber(int Line, std::string_view Text) {
  const int32_t v = std::clamp(TextToInt(Text), -MaxLayoutCoordinate, MaxLayoutCoordinate);
  const TWindowLayout design;
  if (Line == LayoutListWidth) {
    if (!IsLayoutNumber(Text)) return design.ListWidth;
    if (v < MinListWidth) return MinListWidth;
    if (v > MaxListWidth) return MaxListWidth;
  } else if (Line >= LayoutColumn0 && Line <= LayoutColumn2) {
    if (v < MinColumnWidth) return design.Columns[static_cast<size_t>(Line - LayoutColumn0)];
  }
  return v;
}

bool UsableMain(const TRect& Client) {
  return Client.Width >= MinMainWidth && Client.Height >= MinMainHeight;
}

bool UsableResults(const TRect& Client) {
  return Client.Width >= MinResultsWidth && Client.Height >= MinResultsHeight;
}

namespace {

// Collects the lines of a layout file byte by byte, the way both the
// in-memory split and the file reader see them.
class TLineCollector {
 public:
  // False once the 13th line is complete.
  bool Put(char c) {
    if (c == '\n') {
      Lines.push_back(std::move(Current));
      Current.clear();
      return Lines.size() < static_cast<size_t>(LayoutLineCount);
    }
    if (c != '\r') Current.push_back(c);
    return true;
  }
  // At the end of the file: a last line without LF counts, absent lines are
  // empty.
  std::vector<std::string> Finish() {
    if (!Current.empty() && Lines.size() < static_cast<size_t>(LayoutLineCount)) {
      Lines.push_back(std::move(Current));
    }
    Lines.resize(LayoutLineCount);
    return std::move(Lines);
  }
  // After a read error: only the complete lines.
  std::vector<std::string> Abandon() { return std::move(Lines); }

 private:
  std::vector<std::string> Lines;
  std::string Current;
};

constexpr char EndOfFileMark = '\x1A';

}  // namespace

std::vector<std::string> SplitLayoutText(std::string_view Content) {
  TLineCollector lines;
  for (char c : Content) {
    if (c == EndOfFileMark || !lines.Put(c)) break;
  }
  return lines.Finish();
}

std::vector<std::string> ReadLayoutLines(const std::string& Path) {
  std::FILE* f = OpenUtf8(Path, "rb");
  if (!f) return {};
  TLineCollector lines;
  bool failed = false;
  for (size_t read = 0; read < MaxLayoutFileBytes; ++read) {
    int c = std::fgetc(f);
    if (c == EOF) {
      failed = std::ferror(f) != 0;
      break;
    }
    if (c == EndOfFileMark || !lines.Put(static_cast<char>(c))) break;
  }
  std::fclose(f);
  return failed ? lines.Abandon() : lines.Finish();
}

std::string FormatLayout(const TLayoutValues& Values) {
  std::string out;
  for (int32_t v : Values.Numbers) {
    out += std::to_string(v);
    out += "\r\n";
  }
  out += Values.LastFolder;
  out += "\r\n";
  for (const auto& [key, value] : Values.Extras) out += key + "=" + value + "\r\n";
  return out;
}

bool WriteLayoutFile(const std::string& Path, std::string_view Content) {
  std::FILE* f = OpenUtf8(Path, "wb");
  bool ok = f != nullptr;
  if (f) {
    ok = std::fwrite(Content.data(), 1, Content.size(), f) == Content.size();
    ok = std::fclose(f) == 0 && ok;
  }
  if (!ok && IsExistingFile(Path)) RemoveUtf8(Path);
  return ok;
}

std::vector<std::pair<std::string, std::string>> SplitLayoutExtras(std::string_view Content) {
  std::vector<std::pair<std::string, std::string>> extras;
  const size_t end = Content.find(EndOfFileMark);
  if (end != std::string_view::npos) Content = Content.substr(0, end);
  int line = 0;
  size_t at = 0;
  while (at < Content.size()) {
    size_t next = Content.find('\n', at);
    if (next == std::string_view::npos) next = Content.size();
    std::string text;
    for (char c : Content.substr(at, next - at)) {
      if (c != '\r') text.push_back(c);
    }
    at = next + 1;
    if (++line <= LayoutLineCount) continue;
    const size_t eq = text.find('=');
    if (eq != std::string::npos) extras.emplace_back(text.substr(0, eq), text.substr(eq + 1));
  }
  return extras;
}

std::vector<std::pair<std::string, std::string>> ReadLayoutExtras(const std::string& Path) {
  std::ifstream in(PathOfUtf8(Path), std::ios::binary);
  if (!in) return {};
  std::string content(MaxLayoutFileBytes, '\0');
  in.read(content.data(), static_cast<std::streamsize>(content.size()));
  content.resize(static_cast<size_t>(in.gcount()));
  return SplitLayoutExtras(content);
}

std::string LayoutExtra(const std::vector<std::pair<std::string, std::string>>& Extras,
                        std::string_view Key, std::string_view Default) {
  for (const auto& [key, value] : Extras) {
    if (key == Key) return value;
  }
  return std::string(Default);
}

int32_t MainListWidth(int32_t ClientWidth) {
  return std::max(ClientWidth - MainSplitterWidth - ButtonPanelWidth, MinListWidth);
}

void ApplyLayoutLines(TWindowLayout& Layout, const std::vector<std::string>& Lines) {
  const TWindowLayout design;
  bool mainBad = false, resultsBad = false;
  for (size_t i = 0; i < Lines.size() && i < static_cast<size_t>(LayoutLineCount); ++i) {
    const int line = static_cast<int>(i) + 1;
    if (line == LayoutLastFolder) {
      Layout.LastFolder = Lines[i];
      continue;
    }
    if (!IsLayoutNumber(Lines[i])) {
      if (line >= LayoutMainLeft && line <= LayoutMainHeight) mainBad = true;
      if (line >= LayoutResultLeft && line <= LayoutResultHeight) resultsBad = true;
    }
    const int32_t v = LayoutNumber(line, Lines[i]);
    switch (line) {
      case LayoutMainLeft:
        Layout.Main.Left = v;
        break;
      case LayoutMainTop:
        Layout.Main.Top = v;
        break;
      case LayoutMainWidth:
        Layout.Main.Width = v;
        break;
      case LayoutMainHeight:
        Layout.Main.Height = v;
        break;
      case LayoutListWidth:
        Layout.ListWidth = v;
        break;
      case LayoutResultLeft:
        Layout.Results.Left = v;
        break;
      case LayoutResultTop:
        Layout.Results.Top = v;
        break;
      case LayoutResultWidth:
        Layout.Results.Width = v;
        break;
      case LayoutResultHeight:
        Layout.Results.Height = v;
        break;
      default:
        Layout.Columns[static_cast<size_t>(line - LayoutColumn0)] = v;
        break;
    }
  }
  if (mainBad || !UsableMain(Layout.Main)) Layout.Main = design.Main;
  if (resultsBad || !UsableResults(Layout.Results)) Layout.Results = design.Results;
}

void ApplyLayoutExtras(TWindowLayout& Layout,
                       const std::vector<std::pair<std::string, std::string>>& Extras) {
  Layout.MainMaximized = LayoutExtra(Extras, LayoutMainMaximized) == "1";
  Layout.ResultsMaximized = LayoutExtra(Extras, LayoutResultMaximized) == "1";
  if (const std::optional<int32_t> share = ParseShare(LayoutExtra(Extras, LayoutPreviewShare))) {
    Layout.Preview.Share = *share;
  } else if (const std::string pixels = LayoutExtra(Extras, LayoutPreviewWidth); !pixels.empty()) {
    // A file of an earlier build: the pane's width against the window's.
    const int32_t width = TextToInt(pixels);
    if (width <= 0)
      Layout.Preview.Shown = false;
    else
      Layout.Preview.Share = ShareOf(width, Layout.Results.Width);
  }
  const std::string shown = LayoutExtra(Extras, LayoutPreviewShown);
  if (!shown.empty()) Layout.Preview.Shown = shown == "1";
  Layout.Thumbnails.Shown = LayoutExtra(Extras, LayoutThumbnailsShown) == "1";
  if (const std::string size = LayoutExtra(Extras, LayoutThumbnailSize); !size.empty())
    Layout.Thumbnails.Size = ClampThumbnailSize(TextToInt(size));
  Layout.TextsColumn = LayoutExtra(Extras, LayoutTextsColumn) == "1";
  Layout.SameColumn = LayoutExtra(Extras, LayoutSameColumn) == "1";
}

bool ReadWindowLayout(const std::string& Path, TWindowLayout& Layout) {
  if (!IsExistingFile(Path)) return false;
  ApplyLayoutLines(Layout, ReadLayoutLines(Path));
  ApplyLayoutExtras(Layout, ReadLayoutExtras(Path));
  return true;
}

TLayoutValues LayoutValuesOf(const TWindowLayout& Layout) {
  TLayoutValues values;
  const TRect& m = Layout.Main;
  const TRect& r = Layout.Results;
  values.Numbers = {
      m.Left, m.Top,   m.Width,  m.Height,          Layout.ListWidth,  r.Left,
      r.Top,  r.Width, r.Height, Layout.Columns[0], Layout.Columns[1], Layout.Columns[2]};
  values.LastFolder = Layout.LastFolder;
  values.Extras = {{std::string(LayoutMainMaximized), Layout.MainMaximized ? "1" : "0"},
                   {std::string(LayoutResultMaximized), Layout.ResultsMaximized ? "1" : "0"},
                   {std::string(LayoutPreviewShare), FormatShare(Layout.Preview.Share)},
                   {std::string(LayoutPreviewShown), Layout.Preview.Shown ? "1" : "0"},
                   {std::string(LayoutThumbnailsShown), Layout.Thumbnails.Shown ? "1" : "0"},
                   {std::string(LayoutThumbnailSize), std::to_string(Layout.Thumbnails.Size)},
                   {std::string(LayoutTextsColumn), Layout.TextsColumn ? "1" : "0"},
                   {std::string(LayoutSameColumn), Layout.SameColumn ? "1" : "0"}};
  return values;
}

bool WriteWindowLayout(const std::string& Path, const TWindowLayout& Layout) {
  return WriteLayoutFile(Path, FormatLayout(LayoutValuesOf(Layout)));
}

std::string LayoutFileFor(const std::string& ExePath, bool ExeFolderWritable,
                          const std::string& UserFolder) {
  const std::string beside = ReplaceExt(ExePath, ".dat");
  if (ExeFolderWritable || UserFolder.empty()) return beside;
#ifdef _WIN32
  const char* const delimiter = "\\";
#else
  const char* const delimiter = "/";
#endif
  return UserFolder + delimiter + ExtractName(beside);
}

std::string UserLayoutFile(const std::string& ConfigHome, const std::string& Home) {
  // The XDG rule: a relative $XDG_CONFIG_HOME is ignored.
  std::string base = ConfigHome;
  if (base.empty() || base.front() != '/') {
    if (Home.empty()) return {};
    base = Home + (Home.back() == '/' ? "" : "/") + ".config";
  }
  if (base.back() != '/') base += '/';
  return base + "quillon/quillon.dat";
}
