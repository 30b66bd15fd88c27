// Where a restored window goes: where the user left it, but always on a
// screen that is there now.
#pragma once

#include <cstdint>
#include <vector>

// Edges are summed in 64 bits: a window read from a damaged layout file may
// sit near the largest int.
struct TRect {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  int64_t Right() const { return int64_t{Left} + Width; }
  int64_t Bottom() const { return int64_t{Top} + Height; }
  bool operator==(const TRect&) const = default;
};

// How much of a window's top edge a screen must show for the window to count
// as reachable: enough of the title bar to grab it with the mouse.
inline constexpr int MinVisibleWidth = 48;
inline constexpr int MinVisibleHeight = 24;

// Window as it would open (its frame, in the screens' coordinates; Screens
// are their work areas). When a screen shows enough of its top edge and the
// window fits that screen, it is returned unchanged; otherwise it is moved
// onto that screen, or the nearest one (the screen whose area lies closest to
// the window's), shrunk to it where it is larger, and as far inside it as its
// size allows. With no screen at all the window stays where it is.
TRect PlaceOnScreens(const TRect& Window, const std::vector<TRect>& Screens);

// Logical pixels (96 per inch) at a screen density of Dpi, and back, rounded
// to the nearest pixel. Logical values survive the trip to any density of
// 96 or more and back unchanged.
int ToDevicePixels(int Logical, int Dpi);
int ToLogicalPixels(int Device, int Dpi);
TRect ToDevicePixels(const TRect& Logical, int Dpi);
TRect ToLogicalPixels(const TRect& Device, int Dpi);
