// The one CP932 <-> UTF-8 codec, used only at the edges of the program
// (window texts, the command-line tool's output, the search box).
#pragma once

#include <optional>
#include <string>
#include <string_view>

// CP932 bytes to UTF-8. Bytes that are not valid CP932 become U+FFFD; the
// rest of the text survives. Never throws.
std::string Cp932ToUtf8(std::string_view Cp932);

// UTF-8 to CP932. Empty optional when the text holds a character that CP932
// cannot represent (or is not valid UTF-8).
std::optional<std::string> Utf8ToCp932(std::string_view Utf8);

// True when Text is well-formed UTF-8 (no overlong form, surrogate or code
// point past U+10FFFF).
bool IsUtf8(std::string_view Text);
