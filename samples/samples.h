// The bundled sample files: a small parts library of the kind a design
// office keeps (doors and windows, sanitary fittings, furniture, structure,
// drawing symbols, a kitchen), written with the test-file builder. They are
// what a new user opens first, and the tests check that they read back as
// described here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace samples {

// How a definition is drawn; only for the look of the file.
enum class TShape {
  Box,     // a W x D rectangle
  Door,    // a leaf and its swing arc
  Circle,  // a circle of diameter W
};

struct TSampleInsert {
  int32_t Def;  // number of the inserted definition
  double X, Y;
  double Angle = 0.0;  // radians
};

struct TSampleDef {
  int32_t Number;
  std::string Name;    // UTF-8, as stored (converted to CP932 when written)
  std::string Listed;  // UTF-8, the name as the search lists it
  TShape Shape;
  double W, D;                         // size in millimetres
  std::vector<TSampleInsert> Inserts;  // nested insertions of other definitions
};

struct TSampleFile {
  std::string FileName;
  bool Figure;  // .jws figure file, else .jww drawing
  int32_t Version;
  std::string Title;  // a text on the sheet, UTF-8
  std::vector<TSampleDef> Defs;
};

// Every sample file, in the order they are listed.
const std::vector<TSampleFile>& SampleFiles();

// The bytes of one sample file.
std::vector<uint8_t> SampleBytes(const TSampleFile& File);

// Writes every sample file into Folder (which must exist); throws
// std::runtime_error when a file cannot be written.
void WriteSamples(const std::string& Folder);

}  // namespace samples
