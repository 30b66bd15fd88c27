#include "app/windowplace.h"

#include <algorithm>
#include <cstdint>

namespace {

bool Reachable(const TRect& Window, const TRect& Screen) {
  const int64_t wide =
      std::min(Window.Right(), Screen.Right()) - std::max<int64_t>(Window.Left, Screen.Left);
  return wide >= std::min(MinVisibleWidth, std::max(Window.Width, 1)) && Window.Top >= Screen.Top &&
         int64_t{Window.Top} + MinVisibleHeight <= Screen.Bottom();
}

// Squared distance between the two areas (0 when they overlap), saturated:
// edges a whole int apart still compare.
double Distance(const TRect& A, const TRect& B) {
  const double dx =
      static_cast<double>(std::max({int64_t{0}, B.Left - A.Right(), A.Left - B.Right()}));
  const double dy =
      static_cast<double>(std::max({int64_t{0}, B.Top - A.Bottom(), A.Top - B.Bottom()}));
  return dx * dx + dy * dy;
}

// The position along one axis that keeps as much of the window inside the
// screen as fits, its start (left or top edge) first.
int Inside(int Start, int Size, int ScreenStart, int ScreenSize) {
  const int64_t end = int64_t{ScreenStart} + ScreenSize - Size;
  return static_cast<int>(std::max<int64_t>(ScreenStart, std::min<int64_t>(Start, end)));
}

}  // namespace

TRect PlaceOnScreens(const TRect& Window, const std::vector<TRect>& Screens) {
  if (Screens.empty()) return Window;
  const TRect* home = nullptr;
  for (const TRect& s : Screens) {
    if (Reachable(Window, s)) {
      home = &s;
      break;
    }
  }
  if (home && Window.Width <= home->Width && Window.Height <= home->Height) return Window;
  if (!home) {
    home = &Screens.front();
    for (const TRect& s : Screens) {
      if (Distance(Window, s) < Distance(Window, *home)) home = &s;
    }
  }
  TRect placed = Window;
  placed.Width = std::min(Window.Width, home->Width);
  placed.Height = std::min(Window.Height, home->Height);
  placed.Left = Inside(Window.Left, placed.Width, home->Left, home->Width);
  placed.Top = Inside(Window.Top, placed.Height, home->Top, home->Height);
  return placed;
}

namespace {

int Scale(int Value, int Numerator, int Denominator) {
  if (Denominator <= 0) return Value;
  const int64_t v = static_cast<int64_t>(Value) * Numerator;
  const int64_t half = Denominator / 2;
  return static_cast<int>(v >= 0 ? (v + half) / Denominator : -((-v + half) / Denominator));
}

constexpr int LogicalDpi = 96;

}  // namespace

int ToDevicePixels(int Logical, int Dpi) {
  return Scale(Logical, Dpi, LogicalDpi);
}

int ToLogicalPixels(int Device, int Dpi) {
  return Scale(Device, LogicalDpi, Dpi);
}

TRect ToDevicePixels(const TRect& Logical, int Dpi) {
  return {ToDevicePixels(Logical.Left, Dpi), ToDevicePixels(Logical.Top, Dpi),
          ToDevicePixels(Logical.Width, Dpi), ToDevicePixels(Logical.Height, Dpi)};
}

TRect ToLogicalPixels(const TRect& Device, int Dpi) {
  return {ToLogicalPixels(Device.Left, Dpi), ToLogicalPixels(Device.Top, Dpi),
          ToLogicalPixels(Device.Width, Dpi), ToLogicalPixels(Device.Height, Dpi)};
}
