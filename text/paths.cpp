// Path operations on native file-system paths.
#include "text/paths.h"

#include <filesystem>
#include <system_error>

#include "text/sjis.h"

namespace {

// Where the last delimiter and the extension's dot lie (npos when absent).
struct TPathMarks {
  size_t LastDelimiter = std::string_view::npos;
  size_t ExtDot = std::string_view::npos;
};

TPathMarks FindMarks(std::string_view Path) {
  TPathMarks Marks;
#ifdef _WIN32
  // Scanned from the start, so that the second byte of a double-byte
  // character (0x5C in many kanji) is never taken for a delimiter.
  for (size_t I = 0; I < Path.size();) {
    const unsigned char B = static_cast<unsigned char>(Path[I]);
    if (IsCodePageLeadByte(B) && I + 1 < Path.size()) {
      I += 2;
      continue;
    }
    if (B == '\\' || B == '/' || B == ':') {
      Marks.LastDelimiter = I;
      Marks.ExtDot = std::string_view::npos;
    } else if (B == '.') {
      Marks.ExtDot = I;
    }
    ++I;
  }
#else
  // UTF-8 never has "/" or "." inside a multi-byte character.
  Marks.LastDelimiter = Path.rfind('/');
  const size_t Dot = Path.rfind('.');
  if (Dot != std::string_view::npos &&
      (Marks.LastDelimiter == std::string_view::npos || Dot > Marks.LastDelimiter)) {
    Marks.ExtDot = Dot;
  }
#endif
  return Marks;
}

}  // namespace

std::string ExtractExt(std::string_view Path) {
  const TPathMarks Marks = FindMarks(Path);
  if (Marks.ExtDot == std::string_view::npos) return {};
  return std::string(Path.substr(Marks.ExtDot));
}

std::string ExtractName(std::string_view Path) {
  const TPathMarks Marks = FindMarks(Path);
  if (Marks.LastDelimiter == std::string_view::npos) return std::string(Path);
  return std::string(Path.substr(Marks.LastDelimiter + 1));
}

std::string ExtractFolder(std::string_view Path) {
  const TPathMarks Marks = FindMarks(Path);
  if (Marks.LastDelimiter == std::string_view::npos) return {};
  return std::string(Path.substr(0, Marks.LastDelimiter + 1));
}

std::string ReplaceExt(std::string_view Path, std::string_view Ext) {
  const TPathMarks Marks = FindMarks(Path);
  std::string Result(Path.substr(0, Marks.ExtDot));  // the whole path when there is no dot
  Result.append(Ext);
  return Result;
}

bool IsExistingFile(const std::string& Path) {
  if (Path.empty()) return false;
  // Only regular files (after following links): a device or a pipe would
  // block or never end when read as a drawing file.
  std::error_code Error;
  return std::filesystem::is_regular_file(std::filesystem::path(Path), Error);
}
