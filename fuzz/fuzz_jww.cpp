// libFuzzer target: arbitrary bytes as a drawing file.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_reader.h"
#include "jww/jwwunit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  return fuzzreader::FuzzOneInput<TJwwData>(Data, Size, "fuzz.jww");
}
