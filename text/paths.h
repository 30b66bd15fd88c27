// Path operations on native file-system paths.
//
// Paths are UTF-8 on every platform. On POSIX "/" is the only delimiter and
// there is no drive delimiter; on Windows "\", "/" and ":" delimit.
#pragma once

#include <string>
#include <string_view>

// The text from the last "." after the last delimiter, dot included; or empty.
std::string ExtractExt(std::string_view Path);
// The text after the last delimiter; the whole text if there is none.
std::string ExtractName(std::string_view Path);
// The text up to and including the last delimiter; empty if there is none.
std::string ExtractFolder(std::string_view Path);
// Path without its extension, followed by Ext.
std::string ReplaceExt(std::string_view Path, std::string_view Ext);
// The extended-length form of an absolute Windows path, which the wide
// functions take beyond 260 characters: "C:\a" becomes "\\?\C:\a" and
// "\\server\share" becomes "\\?\UNC\server\share", "/" turned into "\". A
// relative path, one with "." or ".." parts (which that form does not
// resolve) or one already in that form comes back unchanged.
std::string ExtendedLengthPath(std::string_view Path);
// The path without the extended-length prefix again.
std::string WithoutExtendedPrefix(std::string_view Path);

// True when Path names an existing file that is not a folder.
bool IsExistingFile(const std::string& Path);
