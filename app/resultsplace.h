// How the results window shares its width: the columns of the table, fitted
// so that the block name stays in view at any window size, and the preview
// pane beside the table, kept as a share of the window. Sizes are logical
// pixels (96 per inch).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One column as the user set it up.
struct TFitColumn {
  int32_t Width = 0;  // the user's width
  int32_t Min = 0;    // never drawn narrower while the table has room for it
  bool Visible = true;
};

// The widths to draw Columns at in a table Client wide. Every visible column
// takes its user width, and column Fill takes the rest, so a table that grows
// gives its extra width to Fill. When that leaves Fill narrower than its own
// user width, the others give up width until it has it: column GivesFirst
// down to its minimum, then the rest from the last to the first, then Fill
// down to its own minimum. Past that the columns overflow the table. Hidden
// columns are 0 wide.
std::vector<int32_t> FitColumns(int32_t Client, const std::vector<TFitColumn>& Columns, size_t Fill,
                                size_t GivesFirst);

// The result columns' design widths: file name, full path, block name.
inline constexpr std::array<int32_t, 3> DesignColumnWidths{99, 206, 120};
// The width the column of the texts inside each block takes when shown.
inline constexpr int32_t DesignTextsColumnWidth = 240;
// The width of the column of how many other rows draw the same.
inline constexpr int32_t DesignSameColumnWidth = 72;

// The narrowest the path column is cut to (in the middle) before the other
// columns give up width, and the narrowest of any other result column.
inline constexpr int32_t MinPathColumnWidth = 64;
inline constexpr int32_t MinFittedColumnWidth = 48;

// The result table's columns: the user's widths (what the layout file keeps)
// and which are visible, and the widths they are drawn at, fitted to the
// table's client width with the block name filling it and the path giving
// way first.
class TResultColumns {
 public:
  explicit TResultColumns(std::vector<int32_t> UserWidths);

  size_t Count() const { return Columns.size(); }
  int32_t UserWidth(int Col) const;
  // Sets a user width (the layout file's) and fits again.
  void SetUserWidth(int Col, int32_t Width);
  bool Visible(int Col) const;
  void SetVisible(int Col, bool Value);
  // The table's client area is now Client wide.
  void Fit(int32_t Client);
  // The user dragged column Col's divider to Width: that is now the user's
  // width for the column, and the others are fitted around it.
  void Dragged(int Col, int32_t Width);
  // The width to draw column Col at.
  int32_t Drawn(int Col) const;

 private:
  void Refit();
  std::vector<TFitColumn> Columns;
  std::vector<int32_t> Widths;
  int32_t Client = 0;
};

// The preview pane's place beside the table: its width as a share of the
// window's (in ten-thousandths), and whether it is shown at all.
inline constexpr int32_t ShareScale = 10000;
inline constexpr int32_t DefaultPreviewShare = 3500;  // 160 of the design width 456
// The table keeps at least this much of the window beside the pane.
inline constexpr int32_t MinTableWidth = 200;
// A pane dragged narrower than this is closed rather than kept that thin.
inline constexpr int32_t MinPreviewWidth = 24;

struct TPreviewSplit {
  int32_t Share = DefaultPreviewShare;
  bool Shown = true;
  bool operator==(const TPreviewSplit&) const = default;

  // The pane's width in a window Total wide: 0 when hidden, else its share,
  // but never leaving the table less than MinTableWidth.
  int32_t PaneWidth(int32_t Total) const;
  // The user dragged the divider so that the pane is Width of Total wide. A
  // pane dragged (nearly) shut is hidden and keeps the share it had, so
  // showing it again brings it back as it was.
  void Dragged(int32_t Width, int32_t Total);
};

// The thumbnail view: whether it shows the rows in place of the table, and
// the side of a thumbnail in logical pixels.
inline constexpr int32_t MinThumbnailSize = 48;
inline constexpr int32_t MaxThumbnailSize = 256;
inline constexpr int32_t DefaultThumbnailSize = 96;

struct TThumbnailPlace {
  bool Shown = false;
  int32_t Size = DefaultThumbnailSize;
  bool operator==(const TThumbnailPlace&) const = default;
};

// A thumbnail size kept within its range; Steps (Ctrl+wheel, Ctrl+plus and
// minus) move it by a sixth of the size each, at least 8.
int32_t ClampThumbnailSize(int32_t Size);
int32_t StepThumbnailSize(int32_t Size, int Steps);

// The share of Part in Whole, in ten-thousandths, 0 .. ShareScale.
int32_t ShareOf(int64_t Part, int64_t Whole);
// A share as the layout file writes it: a decimal between 0 and 1
// ("0.35", "1", "0").
std::string FormatShare(int32_t Share);
// Reads such a decimal (at most four places are kept); nothing when Text
// is not one.
std::optional<int32_t> ParseShare(std::string_view Text);
