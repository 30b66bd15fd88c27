#include "app/filelist.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "app/search.h"
#include "text/nativefile.h"
#include "text/paths.h"
#include "text/widepath.h"

namespace fs = std::filesystem;

bool AcceptsFile(const std::string& Path) {
  return !Path.empty() && KindOfPath(Path) != TFileKind::None && IsExistingFile(Path);
}

std::string RejectionOf(const std::string& Path) {
  if (Path.empty()) return "名前がありません";
  std::error_code error;
  const fs::file_status status = fs::status(LongPathOfUtf8(Path), error);
  if (fs::is_directory(status)) return "フォルダーです（フォルダーは［フォルダ］で追加します）";
  if (!fs::exists(status)) return "見つかりません";
  if (!fs::is_regular_file(status)) return "通常のファイルではありません";
  if (KindOfPath(Path) == TFileKind::None) return "JWW/JWS ファイルではありません";
  if (!AcceptsFile(Path)) return "開けません";
  return {};
}

const std::vector<TFileFilter>& DrawingFileFilters() {
  static const std::vector<TFileFilter> filters = {
      {"JW 図面・図形ファイル", {"*.jww", "*.jws"}},
      {"JW 図面ファイル", {"*.jww"}},
      {"JW 図形ファイル", {"*.jws"}},
  };
  return filters;
}

namespace {

std::string Joined(const std::vector<std::string>& Parts, const char* Between) {
  std::string out;
  for (const std::string& p : Parts) out += (out.empty() ? "" : Between) + p;
  return out;
}

}  // namespace

std::string WindowsFileFilter() {
  std::string out;
  for (const TFileFilter& f : DrawingFileFilters()) {
    const std::string patterns = Joined(f.Patterns, ";");
    out += f.Description + " (" + patterns + ")" + '\0' + patterns + '\0';
  }
  return out + '\0';
}

std::vector<std::string> SpacedFileFilters() {
  std::vector<std::string> out;
  for (const TFileFilter& f : DrawingFileFilters()) {
    std::vector<std::string> patterns = f.Patterns;
    for (const std::string& p : f.Patterns) {
      std::string upper = p;
      std::transform(upper.begin(), upper.end(), upper.begin(),
                     [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
      patterns.push_back(upper);
    }
    out.push_back(f.Description + " (" + Joined(patterns, " ") + ")");
  }
  return out;
}

std::vector<std::string> AcceptedFiles(const std::vector<std::string>& Paths) {
  std::vector<std::string> out;
  for (const std::string& p : Paths) {
    if (AcceptsFile(p)) out.push_back(p);
  }
  return out;
}

namespace {

// The system's words for a failed folder listing, in UTF-8.
[[maybe_unused]] std::string ReasonOf(const std::error_code& Error) {
#ifdef _WIN32
  if (Error.category() == std::system_category()) return SystemErrorText(Error.value());
#endif
  return Error.message();
}

// Adds the drawing and figure files below Top (and a problem entry for every
// folder that cannot be listed). Each folder is listed to its end and closed
// before the next is opened, so a deep chain of folders holds one open at a
// time; links to folders are not followed, so a link cycle cannot make the
// walk endless.
#ifdef _WIN32
// On Windows through the system's own listing, which reaches folders deeper
// than 260 characters.
void WalkFolder(const std::string& Top, std::vector<TFoundFile>& Found) {
  std::vector<std::string> pending{Top};
  while (!pending.empty()) {
    const std::string folder = std::move(pending.back());
    pending.pop_back();
    std::vector<std::string> folders, files;
    std::string reason;
    const bool whole = ListFolder(folder, folders, files, reason);
    if (!whole && folders.empty() && files.empty()) {
      Found.push_back({folder, "cannot read folder: " + reason});
      continue;
    }
    for (std::string& f : folders) pending.push_back(std::move(f));
    for (std::string& f : files) {
      if (KindOfPath(f) != TFileKind::None && IsExistingFile(f))
        Found.push_back({std::move(f), {}});
    }
    if (!whole) Found.push_back({folder, "folder listing stopped: " + reason});
  }
}
#else
void WalkFolder(const std::string& Top, std::vector<TFoundFile>& Found) {
  std::vector<fs::path> pending{PathOfUtf8(Top)};
  while (!pending.empty()) {
    const fs::path folder = std::move(pending.back());
    pending.pop_back();
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) {
      Found.push_back({Utf8OfPath(folder), "cannot read folder: " + ReasonOf(ec)});
      continue;
    }
    for (const fs::directory_iterator end; it != end;) {
      const fs::directory_entry& entry = *it;
      std::error_code sub;
      if (entry.is_directory(sub) && !entry.is_symlink(sub)) {
        pending.push_back(entry.path());
      } else if (entry.is_regular_file(sub)) {
        std::string path = Utf8OfPath(entry.path());
        if (KindOfPath(path) != TFileKind::None) Found.push_back({std::move(path), {}});
      }
      it.increment(ec);
      if (ec) {
        Found.push_back({Utf8OfPath(folder), "folder listing stopped: " + ReasonOf(ec)});
        break;
      }
    }
  }
}
#endif

}  // namespace

std::vector<TFoundFile> FindDrawingFiles(const std::string& Folder) {
  std::vector<TFoundFile> found;
  WalkFolder(Folder, found);
  // In byte order of the paths, "\\" counted as "/" on Windows, so that a
  // folder lists in the same order on both systems.
  auto key = [](std::string Path) {
#ifdef _WIN32
    std::replace(Path.begin(), Path.end(), '\\', '/');
#endif
    return Path;
  };
  std::stable_sort(found.begin(), found.end(), [&](const TFoundFile& a, const TFoundFile& b) {
    return key(a.Path) < key(b.Path);
  });
  return found;
}

std::vector<std::string> FilesOfFolder(const std::string& Folder) {
  std::vector<std::string> out;
  for (TFoundFile& f : FindDrawingFiles(Folder)) {
    if (f.Problem.empty()) out.push_back(std::move(f.Path));
  }
  return out;
}

std::string FullPathOf(const std::string& Path, const std::string& WorkingFolder) {
  fs::path path = PathOfUtf8(Path);
  if (!path.is_absolute()) {
    if (WorkingFolder.empty()) return Path;
    path = PathOfUtf8(WorkingFolder) / path;
  }
  // "x/.." is where the system goes from x, which differs from the folder
  // that holds x when x is a link: such a path is resolved for real.
  if (std::any_of(path.begin(), path.end(), [](const fs::path& p) { return p == ".."; })) {
    std::error_code ec;
    fs::path real = fs::weakly_canonical(path, ec);
    if (!ec) return Utf8OfPath(real);
  }
  return Utf8OfPath(path.lexically_normal());
}

std::string FullPathOf(const std::string& Path) {
  std::error_code ec;
  const fs::path cwd = fs::current_path(ec);
  return FullPathOf(Path, ec ? std::string() : Utf8OfPath(cwd));
}

TOpenAction DoubleClickAction() {
#ifdef _WIN32
  return TOpenAction::OpenWithProgram;
#else
  return TOpenAction::ShowInFolder;
#endif
}

std::string FileUri(std::string_view Path) {
  static const char Hex[] = "0123456789ABCDEF";
  std::string uri = "file://";
  for (char ch : Path) {
    const auto c = static_cast<unsigned char>(ch);
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
    if (plain) {
      uri.push_back(ch);
    } else {
      uri.push_back('%');
      uri.push_back(Hex[c >> 4]);
      uri.push_back(Hex[c & 15]);
    }
  }
  return uri;
}
