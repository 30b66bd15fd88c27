// The window-layout file: 13 text lines ended by CR LF that keep the two
// windows' positions and sizes, the width of the file list, the widths of
// the three result columns and the last folder of the open-file dialog.
//
// This half is plain C++: reading the lines into one typed layout of both
// windows in logical pixels (96 per inch) and writing it back. Each view
// turns the layout into its own device pixels.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/resultsplace.h"
#include "app/windowplace.h"

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

// The smallest client areas (logical pixels) in which every control of a
// window can still be reached and used: the main window's five buttons above
// its status bar, the results window's search controls side by side.
inline constexpr int32_t MinMainWidth = 200;
inline constexpr int32_t MinMainHeight = 210;
inline constexpr int32_t MinResultsWidth = 420;
inline constexpr int32_t MinResultsHeight = 150;
// The room the main window's buttons need right of the file list: however
// wide the list is set, they stay in view.
inline constexpr int32_t ButtonPanelWidth = 104;
// The strip between the file list and the buttons.
inline constexpr int32_t MainSplitterWidth = 3;
// The file list's width in a main window whose client area is ClientWidth
// wide: everything the buttons and the strip leave, so that the list widens
// with the window and the buttons keep their panel. Never below
// MinListWidth.
int32_t MainListWidth(int32_t ClientWidth);

// The main window's design width.
inline constexpr int32_t DesignMainWidth = 600;

// Positions and sizes are kept within this many pixels either way: far
// beyond any screen, and far enough from the int range that a left edge plus
// a width (scaled for the screen's density) cannot overflow.
inline constexpr int32_t MaxLayoutCoordinate = 1'000'000;
// At most this much of a layout file is read: its 13 lines and extras take
// a few hundred bytes, and a huge file must not cost a slow start.
inline constexpr size_t MaxLayoutFileBytes = 16 * 1024;

// Whether Text is a number as the layout file writes them (TextToInt reads
// anything else as 0).
bool IsLayoutNumber(std::string_view Text);

// The value of one of lines 1-12 as it is applied: TextToInt, then positions
// and sizes limited to +-MaxLayoutCoordinate and the list width to 20..2000.
// A list width that is not a number, and a column narrower than 32 or not a
// number, take their design widths. Whether a window's place and size make a
// usable window is decided for the four lines together (SoundLayout).
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
// The results window's preview pane: its share of the window's width and
// whether it is shown.
inline constexpr std::string_view LayoutPreviewShare = "results.previewShare";
inline constexpr std::string_view LayoutPreviewShown = "results.previewShown";
// Earlier builds kept the pane's width in pixels (0: closed by the user). It
// is read when a file has no share, and no longer written.
inline constexpr std::string_view LayoutPreviewWidth = "results.preview";
// The thumbnail view: shown in place of the table, and the thumbnails' size.
inline constexpr std::string_view LayoutThumbnailsShown = "results.thumbnails";
inline constexpr std::string_view LayoutThumbnailSize = "results.thumbnailSize";
inline constexpr std::string_view LayoutTextsColumn = "results.textsColumn";
// The results' column of how many other rows draw the same.
inline constexpr std::string_view LayoutSameColumn = "results.sameColumn";

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

// Both windows as the layout file keeps them, in logical pixels (96 per
// inch): client areas, the file list's width, the result columns' widths,
// the open-file dialog's folder, and what lines 14 and after remember. The
// defaults are the windows' design values; the main window is wide enough
// for the whole idle prompt on its status bar, and its list takes the rest
// beside the buttons.
struct TWindowLayout {
  TRect Main{192, 107, DesignMainWidth, 245};
  int32_t ListWidth = DesignMainWidth - MainSplitterWidth - ButtonPanelWidth;
  TRect Results{222, 129, 456, 293};
  std::array<int32_t, 3> Columns = DesignColumnWidths;
  std::string LastFolder;
  bool MainMaximized = false;
  bool ResultsMaximized = false;
  TPreviewSplit Preview;
  TThumbnailPlace Thumbnails;
  bool TextsColumn = false;  // the results' column of texts inside blocks
  bool SameColumn = false;   // the results' column of rows drawing the same
  bool operator==(const TWindowLayout&) const = default;
};

// Applies the lines of a layout file in order onto Layout, each with the
// limits of LayoutNumber; fewer than 13 lines (a read that failed part-way)
// leave the later values as they are. A window whose four lines are not all
// numbers, or whose size is below its minimum usable size, takes its design
// place and size whole, so a damaged file never leaves a window unusable.
void ApplyLayoutLines(TWindowLayout& Layout, const std::vector<std::string>& Lines);
// Whether a window's client area is large enough to be used.
bool UsableMain(const TRect& Client);
bool UsableResults(const TRect& Client);
// Applies the "key=value" lines after the 13th.
void ApplyLayoutExtras(TWindowLayout& Layout,
                       const std::vector<std::pair<std::string, std::string>>& Extras);
// The lines of the file at Path applied onto Layout. False (Layout
// untouched) when there is no such file.
bool ReadWindowLayout(const std::string& Path, TWindowLayout& Layout);
// The values the layout file keeps for Layout.
TLayoutValues LayoutValuesOf(const TWindowLayout& Layout);
// Writes Layout to the file at Path (see WriteLayoutFile).
bool WriteWindowLayout(const std::string& Path, const TWindowLayout& Layout);

// Where the layout file lives for the executable at ExePath on Windows:
// beside it, with ".dat", when its folder is writable; else the same file
// name in UserFolder (the user's configuration folder).
std::string LayoutFileFor(const std::string& ExePath, bool ExeFolderWritable,
                          const std::string& UserFolder);
// Where it lives on Linux and other XDG desktops, never beside the program:
// "quillon/quillon.dat" in ConfigHome ($XDG_CONFIG_HOME) when that is an
// absolute path, else in Home's ".config". Empty without either.
std::string UserLayoutFile(const std::string& ConfigHome, const std::string& Home);
