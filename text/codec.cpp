// The CP932 <-> UTF-8 codec, on iconv's "CP932" converter.
#include "text/codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstddef>

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
