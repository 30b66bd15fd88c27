// Path operations on native file-system paths.
#include "text/paths.h"

#include <algorithm>
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

std::string ExtendedLengthPath(std::string_view Path) {
  std::string p(Path);
  std::replace(p.begin(), p.end(), '/', '\\');
  if (p.rfind("\\\\?\\", 0) == 0) return std::string(Path);
  const bool drive = p.size() >= 3 && p[1] == ':' && p[2] == '\\' &&
                     ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
  const bool share = p.size() > 2 && p[0] == '\\' && p[1] == '\\' && p[2] != '\\';
  if (!drive && !share) return std::string(Path);
  // "." and ".." parts would be taken literally.
  for (size_t at = 0; at <= p.size();) {
    size_t end = p.find('\\', at);
    if (end == std::string::npos) end = p.size();
    const std::string_view part = std::string_view(p).substr(at, end - at);
    if (part == "." || part == "..") return std::string(Path);
    at = end + 1;
  }
  return drive ? "\\\\?\\" + p : "\\\\?\\UNC\\" + p.substr(2);
}

std::string WithoutExtendedPrefix(std::string_view Path) {
  if (Path.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + std::string(Path.substr(8));
  if (Path.rfind("\\\\?\\", 0) == 0) return std::string(Path.substr(4));
  return std::string(Path);
}

std::filesystem::path LongPathOfUtf8(std::string_view Utf8) {
#ifdef _WIN32
  return PathOfUtf8(ExtendedLengthPath(Utf8));
#else
  return PathOfUtf8(Utf8);
#endif
}

std::string Utf8OfLongPath(const std::filesystem::path& Path) {
#ifdef _WIN32
  return WithoutExtendedPrefix(Utf8OfPath(Path));
#else
  return Utf8OfPath(Path);
#endif
}

bool IsExistingFile(const std::string& Path) {
  if (Path.empty()) return false;
  // Only regular files (after following links): a device or a pipe would
  // block or never end when read as a drawing file.
  std::error_code Error;
  return std::filesystem::is_regular_file(LongPathOfUtf8(Path), Error);
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
