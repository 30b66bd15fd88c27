// Writes the bundled sample files into the folder given as the only argument.
#include <exception>
#include <filesystem>
#include <iostream>

#include "samples/samples.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: quillon-samples FOLDER\n";
    return 2;
  }
  try {
    std::filesystem::create_directories(argv[1]);
    samples::WriteSamples(argv[1]);
  } catch (const std::exception& e) {
    std::cerr << "quillon-samples: " << e.what() << '\n';
    return 1;
  }
  return 0;
}
