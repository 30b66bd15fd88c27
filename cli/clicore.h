// The parts of quillon-cli that do not touch the command line: gathering the
// files to read, reading one file into rows, the row filter, and the output
// formats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/filelist.h"
#include "app/fingerprint.h"
#include "app/matcher.h"
#include "app/outcome.h"
#include "app/query.h"

class TJwwData;
class TJwsData;
class TBlockIndex;

namespace qcli {

// ---------------------------------------------------------------------------
// Files to read

struct TInput {
  std::string Path;      // as given, or as found in a folder; used in messages
  std::string FullPath;  // absolute form of Path, the row's path column
  std::string Problem;   // when not empty the input is not read; this is why
};

// Turns the PATH arguments into inputs, in argument order. A folder is
// searched (with Recursive) for files with a drawing or figure extension in
// any letter case, in byte order of their paths; without Recursive it becomes
// an input carrying a problem. Everything else is left for the reader to
// judge, so a missing file is reported in its place in the output.
std::vector<TInput> CollectInputs(const std::vector<std::string>& Args, bool Recursive);

// The one path rule for paths given on a command line (see app/filelist.h).
using ::FullPathOf;

// ---------------------------------------------------------------------------
// Rows

struct TRow {
  std::string File;   // the path's last component
  std::string Path;   // full path
  std::string Block;  // block name, UTF-8
  int Position = 0;   // the definition's place in its file, from 0
  std::string Svg{};  // its drawing, when the output shows drawings
  // With drawings: the drawing's fingerprint, whether it draws anything, and
  // the name's comparison form, for the duplicate report.
  TFingerprint Print{};
  bool Draws = false;
  std::string NameKey{};
  std::string Texts{};  // the texts inside the block, CP932 (app/blocktexts.h)
};

// What a read makes of each definition's drawing: nothing (names only), an
// SVG drawing and its fingerprint, or the fingerprint alone.
enum class TDrawingUse { None, Svg, Fingerprint };

// Keeps the rows whose block name contains the --find text under the results
// window's comparison (see TNameMatcher), and whose words of --filter are
// found as the filter box finds them (see TQuery): in the block name, the
// path or the texts inside the block.
struct TBlockFilter : TNameMatcher {
  using TNameMatcher::TNameMatcher;
  TQuery Words;
  // PathKey: QueryPathKey of the row's full path (needed only with Words);
  // TextsCp932: the block's texts (app/blocktexts.h).
  bool Keeps(std::string_view NameCp932, std::string_view PathKey,
             std::string_view TextsCp932 = {}) const;
};

// How reading one input went, ready for output.
struct TFileResult {
  std::vector<TRow> Rows;
  std::string Error;     // diagnostic reason; not empty when not read completely
  std::string Warning;   // diagnostic for a file that loaded but skipped records
  TFileOutcome Outcome;  // how reading went (for inputs that were read)
};

// Reads one input with the given readers (which must belong to the calling
// thread) and turns its block definitions into rows; with Drawings the file
// is read whole and each row carries its definition's fingerprint and, for
// Svg, its drawing (an <svg> element, a standalone SVG document when
// Standalone). Never throws.
// With Put, each row goes to Put as soon as it is made (its drawing with
// it) instead of into Rows, so that a file's drawings are never all held at
// once; once Put answers false no more drawings are made. Without drawings,
// Index (when not null) answers for files it holds unchanged.
TFileResult ReadInput(const TInput& Input, const TBlockFilter& Filter, TJwwData& Jww, TJwsData& Jws,
                      TDrawingUse Drawings = TDrawingUse::None, bool Standalone = false,
                      const std::function<bool(TRow&&)>& Put = {}, TBlockIndex* Index = nullptr);

// Reads one input's fingerprints for the duplicate report through Index (not
// null): a file the index holds unchanged with its drawings is not read at
// all; otherwise its names go into the index as a search's would, and the
// drawings made from the whole file beside them. Never throws.
TFileResult ReadPrintsIndexed(const TInput& Input, const TBlockFilter& Filter, TJwwData& Jww,
                              TJwsData& Jws, TBlockIndex& Index);

// The size of a catalog drawing, in SVG units.
inline constexpr double DrawingWidth = 240;
inline constexpr double DrawingHeight = 170;

// ---------------------------------------------------------------------------
// Output

enum class TOutputFormat { Tsv, Csv, Json, Html };

// S for a diagnostic line: tab, CR and LF as TsvField writes them, every
// other control byte as \xHH, so that a path cannot break or colour a line.
std::string MessageField(std::string_view S);

// One CSV field as RFC 4180 writes it: quoted when it holds a comma, a double
// quote, CR or LF, with each double quote doubled.
std::string CsvField(std::string_view S);
// One TSV field: a tab, CR or LF (possible only in a path) written as \t, \r,
// \n so that every row stays one line of three columns.
std::string TsvField(std::string_view S);

// Writes rows in one format, one at a time. Begin and End frame the output
// (the JSON array, the HTML page); Row may be called any number of times in
// between. HTML rows show their drawings. With Texts each row also has the
// texts inside its block: a fourth TSV/CSV column with the texts joined by
// " / ", a "texts" array in JSON, a line under the drawing in HTML.
class TRowWriter {
 public:
  TRowWriter(std::ostream& Out, TOutputFormat Format, bool Texts = false)
      : Out(Out), Format(Format), Texts(Texts) {}
  void Begin();
  void Row(const TRow& R);
  void End();

 private:
  std::ostream& Out;
  TOutputFormat Format;
  bool Texts;
  bool First = true;
  size_t Rows = 0;
};

// Writes the duplicate report: for each group, in order and numbered from 1,
// one line (TSV, CSV), object (JSON) or drawing (HTML, a section per group)
// per member with the group's number and kind, the file, the path and the
// block name.
void WriteDuplicates(std::ostream& Out, TOutputFormat Format, const std::vector<TRow>& Rows,
                     const std::vector<TDuplicateGroup>& Groups);

// Writes each row's drawing as an SVG file of its own into a folder, named
// by CatalogFileName and never over anything already there: a file is made
// only under a name that nothing has, a link at the name is not followed,
// and on a clash the next of "-2", "-3", ... is added before ".svg". The
// next suffix to try is kept per name for the run, so that many rows of one
// name do not try every taken one again.
class TSvgFolderWriter {
 public:
  explicit TSvgFolderWriter(std::string Folder) : Folder(std::move(Folder)) {}
  // The path written, or empty with Error set (with the system's reason);
  // a file that could not be written whole is not left behind.
  std::string Write(const TRow& R, std::string& Error);

 private:
  std::string Folder;
  std::unordered_map<std::string, int> NextSuffix;  // per name; 1 is the plain name
};

}  // namespace qcli
