// Writes the seed inputs of the two fuzz targets: OUT/jww/*.jww and
// OUT/jws/*.jws, made with the test-file builder. Real files are not copied
// here; scripts/fuzz hands their folder to the fuzzer as an extra corpus.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "testkit/jwbuilder.h"
#include "testkit/sample_drawings.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT-FOLDER\n", argv[0]);
    return 2;
  }
  try {
    const fs::path out = argv[1];
    fs::create_directories(out / "jww");
    fs::create_directories(out / "jws");
    int written = 0;
    auto write = [&](jwb::Drawing& d, const std::string& name) {
      jwb::WriteFile((out / "jww" / (name + ".jww")).string(), d.JwwBytes());
      jwb::WriteFile((out / "jws" / (name + ".jws")).string(), d.JwsBytes());
      written += 2;
    };
    for (int32_t v : samples::VersionClasses()) {
      jwb::Drawing d = samples::EveryKind(v);
      write(d, "every-kind-" + std::to_string(v));
    }
    for (auto& [name, d] : samples::Specials()) write(d, name);
    std::printf("%d seeds in %s\n", written, out.string().c_str());
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
    return 1;
  }
}
