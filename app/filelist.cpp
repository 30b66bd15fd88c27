#include "app/filelist.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/search.h"
#include "text/paths.h"

namespace fs = std::filesystem;

bool AcceptsFile(const std::string& Path) {
  return !Path.empty() && KindOfPath(Path) != TFileKind::None && IsExistingFile(Path);
}

std::vector<std::string> AcceptedFiles(const std::vector<std::string>& Paths) {
  std::vector<std::string> out;
  for (const std::string& p : Paths) {
    if (AcceptsFile(p)) out.push_back(p);
  }
  return out;
}

namespace {

void WalkFolder(const fs::path& Folder, std::vector<TFoundFile>& Found) {
  std::error_code ec;
  fs::directory_iterator it(Folder, ec);
  if (ec) {
    Found.push_back({Folder.string(), "cannot read folder: " + ec.message()});
    return;
  }
  for (const fs::directory_iterator end; it != end;) {
    const fs::directory_entry& entry = *it;
    std::error_code sub;
    if (entry.is_directory(sub) && !entry.is_symlink(sub)) {
      WalkFolder(entry.path(), Found);
    } else if (entry.is_regular_file(sub) && KindOfPath(entry.path().string()) != TFileKind::None) {
      Found.push_back({entry.path().string(), {}});
    }
    it.increment(ec);
    if (ec) {
      Found.push_back({Folder.string(), "folder listing stopped: " + ec.message()});
      return;
    }
  }
}

}  // namespace

std::vector<TFoundFile> FindDrawingFiles(const std::string& Folder) {
  std::vector<TFoundFile> found;
  WalkFolder(Folder, found);
  std::stable_sort(found.begin(), found.end(),
                   [](const TFoundFile& a, const TFoundFile& b) { return a.Path < b.Path; });
  return found;
}

std::vector<std::string> FilesOfFolder(const std::string& Folder) {
  std::vector<std::string> out;
  for (TFoundFile& f : FindDrawingFiles(Folder)) {
    if (f.Problem.empty()) out.push_back(std::move(f.Path));
  }
  return out;
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
