// libFuzzer target: arbitrary bytes as a figure file.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_reader.h"
#include "jws/jwsunit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  return fuzzreader::FuzzOneInput<TJwsData>(Data, Size, "fuzz.jws");
}
