// The CP932 <-> UTF-8 codec, on iconv's "CP932" converter.
#include "text/codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

#include "text/sjis.h"

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// One iconv descriptor per direction and thread, opened on first use.
class TConverter {
 public:
  TConverter(const char* To, const char* From) : Cd(iconv_open(To, From)) {}
  ~TConverter() {
    if (Valid()) iconv_close(Cd);
  }
  TConverter(const TConverter&) = delete;
  TConverter& operator=(const TConverter&) = delete;

  bool Valid() const { return Cd != reinterpret_cast<iconv_t>(-1); }
  void Reset() { iconv(Cd, nullptr, nullptr, nullptr, nullptr); }

  // Converts from In onward into Out until the input ends or iconv stops on
  // an error; returns 0 or the errno of that error.
  int Run(const char*& In, size_t& InLeft, std::string& Out) {
    char Buffer[4096];
    while (InLeft > 0) {
      char* OutPtr = Buffer;
      size_t OutLeft = sizeof Buffer;
      char* InPtr = const_cast<char*>(In);
      const size_t Rc = iconv(Cd, &InPtr, &InLeft, &OutPtr, &OutLeft);
      In = InPtr;
      Out.append(Buffer, static_cast<size_t>(OutPtr - Buffer));
      if (Rc == static_cast<size_t>(-1)) {
        if (errno == E2BIG) continue;
        return errno;
      }
    }
    // Flush any shift state (none for these encodings, but it costs nothing).
    char* OutPtr = Buffer;
    size_t OutLeft = sizeof Buffer;
    iconv(Cd, nullptr, nullptr, &OutPtr, &OutLeft);
    Out.append(Buffer, static_cast<size_t>(OutPtr - Buffer));
    return 0;
  }

 private:
  iconv_t Cd;
};

TConverter& FromCp932() {
  thread_local TConverter Converter("UTF-8", "CP932");
  return Converter;
}

TConverter& ToCp932() {
  thread_local TConverter Converter("CP932", "UTF-8");
  return Converter;
}

bool IsCp932TrailByte(unsigned char B) {
  return B >= 0x40 && B <= 0xFC && B != 0x7F;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view Cp932) {
  std::string Out;
  Out.reserve(Cp932.size() + Cp932.size() / 2);
  TConverter& Converter = FromCp932();
  const char* In = Cp932.data();
  size_t InLeft = Cp932.size();
  if (!Converter.Valid()) {
    // No converter on this system: keep ASCII, mark everything else.
    for (const char C : Cp932) {
      if (static_cast<unsigned char>(C) < 0x80) {
        Out.push_back(C);
      } else {
        Out.append(kReplacement);
      }
    }
    return Out;
  }
  Converter.Reset();
  while (InLeft > 0) {
    if (Converter.Run(In, InLeft, Out) == 0) break;
    // In points at a byte the converter rejected. A well-formed pair that
    // the code page leaves unassigned is one bad character; anything else
    // loses one byte, and decoding resumes right after it.
    const auto Lead = static_cast<unsigned char>(In[0]);
    size_t Skip = 1;
    if (InLeft >= 2 && IsCodePageLeadByte(Lead) &&
        IsCp932TrailByte(static_cast<unsigned char>(In[1])))
      Skip = 2;
    Out.append(kReplacement);
    In += Skip;
    InLeft -= Skip;
    Converter.Reset();
  }
  return Out;
}

std::optional<std::string> Utf8ToCp932(std::string_view Utf8) {
  TConverter& Converter = ToCp932();
  if (!Converter.Valid()) return std::nullopt;
  std::string Out;
  Out.reserve(Utf8.size());
  const char* In = Utf8.data();
  size_t InLeft = Utf8.size();
  Converter.Reset();
  if (Converter.Run(In, InLeft, Out) != 0) {
    Converter.Reset();
    return std::nullopt;
  }
  return Out;
}

bool IsUtf8(std::string_view Text) {
  size_t i = 0;
  while (i < Text.size()) {
    const auto c = static_cast<unsigned char>(Text[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t n;
    uint32_t cp;
    if ((c >> 5) == 0x6) {
      n = 1, cp = c & 0x1Fu;
    } else if ((c >> 4) == 0xE) {
      n = 2, cp = c & 0x0Fu;
    } else if ((c >> 3) == 0x1E) {
      n = 3, cp = c & 0x07u;
    } else {
      return false;
    }
    if (i + n >= Text.size()) return false;
    for (size_t k = 1; k <= n; ++k) {
      const auto t = static_cast<unsigned char>(Text[i + k]);
      if ((t >> 6) != 0x2) return false;
      cp = cp << 6 | (t & 0x3Fu);
    }
    static constexpr uint32_t least[4] = {0, 0x80, 0x800, 0x10000};
    if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += n + 1;
  }
  return true;
}
