#include <windows.h>

#include "text/widepath.h"

std::wstring WideOfUtf8(std::string_view Utf8) {
  if (Utf8.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, Utf8.data(), static_cast<int>(Utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, Utf8.data(), static_cast<int>(Utf8.size()), out.data(), n);
  return out;
}

std::string Utf8OfWide(std::wstring_view Wide) {
  if (Wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, Wide.data(), static_cast<int>(Wide.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, Wide.data(), static_cast<int>(Wide.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}
