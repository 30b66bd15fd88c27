// Path operations on native file-system paths.
#include "text/paths.h"

#include <filesystem>
#include <system_error>

#include "text/sjis.h"
#include "text/widepath.h"

namespace {

// Where the last delimiter and the extension's dot lie (npos when absent).
struct TPathMarks {
  size_t LastDelimiter = std::string_view::npos;
  size_t ExtDot = std::string_view::npos;
};

TPathMarks FindMarks(std::string_view Path) {
  TPathMarks Marks;
#ifdef _WIN32
  // Paths are UTF-8 here too, and UTF-8 never has a delimiter or "." inside
  // a multi-byte character.
  Marks.LastDelimiter = Path.find_last_of("\\/:");
#else
  Marks.LastDelimiter = Path.rfind('/');
#endif
  const size_t Dot = Path.rfind('.');
  if (Dot != std::string_view::npos &&
      (Marks.LastDelimiter == std::string_view::npos || Dot > Marks.LastDelimiter)) {
    Marks.ExtDot = Dot;
  }
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
  return std::filesystem::is_regular_file(PathOfUtf8(Path), Error);
}

std::FILE* OpenUtf8(const std::string& Path, const char* Mode) {
#ifdef _WIN32
  return _wfopen(WideOfUtf8(Path).c_str(), WideOfUtf8(Mode).c_str());
#else
  return std::fopen(Path.c_str(), Mode);
#endif
}

int RemoveUtf8(const std::string& Path) {
#ifdef _WIN32
  return _wremove(WideOfUtf8(Path).c_str());
#else
  return std::remove(Path.c_str());
#endif
}
