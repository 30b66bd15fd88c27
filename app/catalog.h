// Block drawings as SVG, and the pieces of a printable catalog page: one
// drawing per block definition, fitted to a fixed box.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "app/displaylist.h"
#include "app/outcome.h"

class TJwwData;
class TJwsData;

// Text for XML character data and attribute values: & < > " ' escaped, and
// bytes that XML cannot hold (control bytes, malformed UTF-8) as U+FFFD.
std::string XmlText(std::string_view Utf8);

// The drawing as an <svg> element Width x Height units large (its viewBox),
// fitted with a margin; Standalone adds the XML declaration and namespace so
// that it is a file of its own. An empty definition shows EmptyDrawingText.
std::string SvgDrawing(const TDisplayList& List, double Width, double Height, bool Standalone);

// A file name for the drawing of definition Position (0-based) of FileName
// named Block (both UTF-8): "<file>_<position from 1>_<block>.svg", with every
// character that some file system refuses (\ / : * ? " < > | and control
// characters) as "_", no trailing dot or space, at most 181 bytes, and "_"
// first when it would start with a name Windows keeps for a device ("nul",
// "con.jww_0001_A", ...).
std::string CatalogFileName(std::string_view FileName, int Position, std::string_view Block);

// A catalog drawing is a thumbnail: it shows at most 50,000 shapes in at
// most 4 MB of markup and places at most 100,000 blocks. All the drawings of
// one file together show at most 250,000 shapes in at most 256 KB + 16 times
// the file's size of markup, and place at most 1,000,000 blocks, so that a
// small hostile file cannot make a catalog of gigabytes. A drawing cut short
// says so. The preview pane draws within the same bounds.
inline constexpr TDrawLimits CatalogDrawLimits{50'000, 100'000, MaxPlacementDepth, size_t{4} << 20};
inline constexpr size_t CatalogFileShapes = 250'000;
TDrawLimits CatalogFileLimits(uint64_t FileSize);

// Loads Path whole with the reader its extension chooses, and for each block
// definition in file order (name cut before the marker, CP932) asks Wanted;
// for each wanted one hands its drawing, within the catalog's bounds, to
// Take. Clears the reader after.
TFileOutcome ReadFileDrawings(const std::string& Path, TJwwData& Jww, TJwsData& Jws,
                              const std::function<bool(const std::string& Name)>& Wanted,
                              const std::function<void(int Position, const std::string& Name,
                                                       const TDisplayList& List)>& Take);
// The same, with the texts inside each block (app/blocktexts.h) handed to
// Wanted and Take beside its name.
TFileOutcome ReadFileDrawingsAndTexts(
    const std::string& Path, TJwwData& Jww, TJwsData& Jws,
    const std::function<bool(const std::string& Name, const std::string& Texts)>& Wanted,
    const std::function<void(int Position, const std::string& Name, const std::string& Texts,
                             const TDisplayList& List)>& Take);

// The frame of the one-page HTML catalog: everything before the first row
// and after the last, and one row (a drawing with its file name, path and
// block name, and the texts inside the block when not empty, all UTF-8). No script, no external
// file; prints on A4 in a grid of three columns.
std::string CatalogPageStart(std::string_view Title);
std::string CatalogPageRow(std::string_view File, std::string_view Path, std::string_view Block,
                           std::string_view Svg, std::string_view Texts = {});
// Ends the grid of rows so far and starts another under a heading.
std::string CatalogPageSection(std::string_view Heading);
std::string CatalogPageEnd(size_t Rows);
