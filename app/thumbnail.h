// Thumbnails of block drawings: each definition's display list simplified to
// the largest thumbnail's size and kept as a few bytes, so that a grid of
// thousands of blocks is drawn without reading their files again.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "app/displaylist.h"

// Thumbnail sizes, in logical pixels (the side of a cell's square).
inline constexpr int MinThumbnailSize = 48;
inline constexpr int MaxThumbnailSize = 256;
inline constexpr int DefaultThumbnailSize = 96;

// A compact drawing holds at most this many bytes; what does not fit is left
// out and the drawing is marked cut short.
inline constexpr size_t MaxThumbnailBytes = 4096;

// The drawing fitted into a square of MaxThumbnailSize grid steps with every
// coordinate on a whole step: arcs become polylines as fine as that size
// needs, lines join into polylines, segments that shrink to one point or
// repeat another are dropped, and texts keep their frame and at most 64
// bytes. Never more than MaxThumbnailBytes.
std::string CompactThumbnail(const TDisplayList& List);

// The compact drawing back as a display list in grid coordinates (y up),
// with the bounds of the whole drawing, so that a pane fits it as it would
// fit the drawing itself; nothing for bytes that are not a compact drawing.
std::optional<TDisplayList> ExpandThumbnail(std::string_view Bytes);

// A thumbnail size kept within its range; Step (Ctrl+wheel, Ctrl+plus and
// minus) moves by a sixth of the size, at least 8.
int ClampThumbnailSize(int Size);
int StepThumbnailSize(int Size, int Steps);
