// The rules of the main window's file list: which paths it takes, what a
// folder adds, and what opening a result row's file does.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// A path the list takes from the open-file dialog or a drop: a drawing or
// figure extension (any letter case) on an existing regular file. Folders
// and everything else are skipped silently.
bool AcceptsFile(const std::string& Path);

// Why the list does not take Path (UTF-8, for the user), or empty when it
// does: a folder, a missing file, something that is not a regular file, or
// another extension.
std::string RejectionOf(const std::string& Path);

// The open-file dialog's choices, the first the default: drawing and figure
// files, drawing files only, figure files only. Patterns are lower case;
// the dialogs match them in any letter case.
struct TFileFilter {
  std::string Description;            // UTF-8
  std::vector<std::string> Patterns;  // "*.jww", ...
};
const std::vector<TFileFilter>& DrawingFileFilters();
// The choices as Windows' open-file dialog takes them: "description
// (patterns)", NUL, the patterns joined by ";", NUL, ..., and a closing NUL.
// Windows matches them in any letter case.
std::string WindowsFileFilter();
// The choices as "description (patterns)" with the patterns joined by
// spaces, each also in upper case: a dialog that matches letter case (the
// desktop's own, on Linux) still shows "PLAN.JWW" ("Plan.JwW" is shown by
// the program's own dialog, which ignores case).
std::vector<std::string> SpacedFileFilters();

// A path named on the command line or dropped that the list did not take.
struct TRejectedPath {
  std::string Path;    // native
  std::string Reason;  // UTF-8
};

// The paths of Paths that the list takes, in their order.
std::vector<std::string> AcceptedFiles(const std::vector<std::string>& Paths);

// A file found in a folder, or a folder that could not be listed (with
// Problem saying why).
struct TFoundFile {
  std::string Path;
  std::string Problem;
};

// The drawing and figure files below Folder (any letter case of the
// extension), in byte order of their paths, with an entry carrying a problem
// for every folder that cannot be listed. Symbolic links to folders are not
// followed, so a link cycle cannot make the walk endless. quillon-cli -r and
// the main window's folder button both search with this.
std::vector<TFoundFile> FindDrawingFiles(const std::string& Folder);

// The paths the folder button adds: the files FindDrawingFiles finds
// (folders that cannot be listed add nothing).
std::vector<std::string> FilesOfFolder(const std::string& Folder);

// The one path rule for paths named on a command line (quillon-cli and both
// programs): the absolute form of Path, a relative one taken from
// WorkingFolder (or the current folder), with "." and repeated separators
// dropped; a path with ".." is resolved through the file system (links
// included), so that it names the file the system opens. The path itself
// when the working folder is not known.
std::string FullPathOf(const std::string& Path, const std::string& WorkingFolder);
std::string FullPathOf(const std::string& Path);

// What opening a result row does.
enum class TOpenAction {
  OpenWithProgram,  // the file's associated program (the drafting program)
  ShowInFolder,     // the file manager, with the file selected
};
// A double-click on a row. On Windows the associated program is the drafting
// program; on Linux it is normally Quillon itself, so the file is shown in
// its folder instead.
TOpenAction DoubleClickAction();

// A "file://" URI of a native absolute path, each byte outside the unreserved
// set and "/" percent-encoded (for the file manager's ShowItems).
std::string FileUri(std::string_view Path);
