// The window-layout file: 13 text lines ended by CR LF that keep the two
// windows' positions and sizes, the width of the file list, the widths of
// the three result columns and the last folder of the open-file dialog.
//
// This half is plain C++: reading the lines, turning them into values and
// writing them back. TForm1 applies the values to its windows.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

inline constexpr int LayoutLineCount = 13;

// Line numbers (1-based) of the values.
enum TLayoutLine : int {
  LayoutMainLeft = 1,
  LayoutMainTop,
  LayoutMainWidth,
  LayoutMainHeight,
  LayoutListWidth,
  LayoutResultLeft,
  LayoutResultTop,
  LayoutResultWidth,
  LayoutResultHeight,
  LayoutColumn0,
  LayoutColumn1,
  LayoutColumn2,
  LayoutLastFolder,
};

inline constexpr int32_t MinListWidth = 20;
inline constexpr int32_t MaxListWidth = 2000;
inline constexpr int32_t MinColumnWidth = 32;

// Positions and sizes are kept within this many pixels either way: far
// beyond any screen, and far enough from the int range that a left edge plus
// a width (scaled for the screen's density) cannot overflow.
inline constexpr int32_t MaxLayoutCoordinate = 1'000'000;
// At most this much of a layout file is read: its 13 lines and extras take
// a few hundred bytes, and a huge file must not cost a slow start.
inline constexpr size_t MaxLayoutFileBytes = 16 * 1024;

// The value of one of lines 1-12 as it is applied: TextToInt, then positions
// and sizes limited to +-MaxLayoutCoordinate, the list width to 20..2000 and
// each column width to at least 32.
int32_t LayoutNumber(int Line, std::string_view Text);

// Splits the content of a layout file into its 13 lines: a line ends at LF,
// CR bytes are not part of it, a byte 0x1A ends the file, absent lines are
// empty and lines after the 13th are ignored.
std::vector<std::string> SplitLayoutText(std::string_view Content);

// Reads the lines of the file at Path (its first MaxLayoutFileBytes bytes).
// Normally 13 lines (absent ones empty); when opening fails, none; when
// reading fails part-way, only the lines read completely before the failure.
std::vector<std::string> ReadLayoutLines(const std::string& Path);

// The values to write, in line order.
struct TLayoutValues {
  std::array<int32_t, 12> Numbers{};  // lines 1-12
  std::string LastFolder;             // line 13
  // Lines 14 and after, one "key=value" a line: what the program remembers
  // beyond the 13 lines (older builds ignore them).
  std::vector<std::pair<std::string, std::string>> Extras;
};

// Keys of the lines after the 13th.
inline constexpr std::string_view LayoutMainMaximized = "main.maximized";
inline constexpr std::string_view LayoutResultMaximized = "results.maximized";
// Width of the results window's preview pane (0: closed by the user).
inline constexpr std::string_view LayoutPreviewWidth = "results.preview";

// The "key=value" lines after the 13th of a layout file's content (CR bytes
// dropped, a byte 0x1A ends the file, lines without "=" skipped).
std::vector<std::pair<std::string, std::string>> SplitLayoutExtras(std::string_view Content);
// The same, read from the first MaxLayoutFileBytes bytes of the file at Path
// (none when it cannot be read).
std::vector<std::pair<std::string, std::string>> ReadLayoutExtras(const std::string& Path);
// The value of Key among Extras, or Default.
std::string LayoutExtra(const std::vector<std::pair<std::string, std::string>>& Extras,
                        std::string_view Key, std::string_view Default = {});

// The file's content: the 13 lines, each followed by CR LF.
std::string FormatLayout(const TLayoutValues& Values);

// Creates the file anew with Content. When creating or writing fails the
// file is removed again (a folder of that name is left alone). Returns
// whether the file was written completely.
bool WriteLayoutFile(const std::string& Path, std::string_view Content);
