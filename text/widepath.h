// Paths are UTF-8 inside the program on every platform. These turn them
// into what the system takes: std::filesystem paths everywhere, and UTF-16
// for the wide Windows API.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

// A std::filesystem path of a UTF-8 path (on Windows not through the ANSI
// code page, which cannot hold every name).
inline std::filesystem::path PathOfUtf8(std::string_view Utf8) {
  return std::filesystem::path(
      std::u8string(reinterpret_cast<const char8_t*>(Utf8.data()), Utf8.size()));
}

// The UTF-8 form of a std::filesystem path.
inline std::string Utf8OfPath(const std::filesystem::path& Path) {
  const std::u8string u8 = Path.u8string();
  return std::string(reinterpret_cast<const char*>(u8.data()), u8.size());
}

// The same for a path that may pass 260 characters: on Windows an absolute
// path in its extended-length form (ExtendedLengthPath); elsewhere as above.
std::filesystem::path LongPathOfUtf8(std::string_view Utf8);
// The UTF-8 form of such a path, without the extended-length prefix.
std::string Utf8OfLongPath(const std::filesystem::path& Path);

// fopen and remove on a UTF-8 path (on Windows through the wide functions).
std::FILE* OpenUtf8(const std::string& Path, const char* Mode);
int RemoveUtf8(const std::string& Path);

#ifdef _WIN32
// UTF-16 of UTF-8 and back, through the system's converter (invalid UTF-8
// bytes become U+FFFD).
std::wstring WideOfUtf8(std::string_view Utf8);
std::string Utf8OfWide(std::wstring_view Wide);
#endif
