#include "app/resultsplace.h"

#include <algorithm>
#include <cstdlib>

#include "app/resulttable.h"

std::vector<int32_t> FitColumns(int32_t Client, const std::vector<TFitColumn>& Columns, size_t Fill,
                                size_t GivesFirst) {
  std::vector<int32_t> widths(Columns.size(), 0);
  for (size_t i = 0; i < Columns.size(); ++i)
    if (Columns[i].Visible) widths[i] = std::max(Columns[i].Width, 0);
  if (Fill >= Columns.size() || !Columns[Fill].Visible) return widths;
  const auto others = [&] {
    int64_t sum = 0;
    for (size_t i = 0; i < widths.size(); ++i)
      if (i != Fill) sum += widths[i];
    return sum;
  };
  const int32_t wanted = widths[Fill];
  int64_t missing = others() + wanted - Client;
  // A column the user made narrower than its minimum gives up nothing.
  const auto giveUp = [&](size_t i) {
    if (missing <= 0 || i == Fill || i >= Columns.size() || !Columns[i].Visible) return;
    const int32_t floor = std::min(Columns[i].Min, widths[i]);
    const int64_t given = std::min<int64_t>(widths[i] - floor, missing);
    widths[i] -= static_cast<int32_t>(given);
    missing -= given;
  };
  giveUp(GivesFirst);
  for (size_t i = Columns.size(); i-- > 0;)
    if (i != GivesFirst) giveUp(i);
  const int64_t rest = Client - others();
  widths[Fill] = static_cast<int32_t>(std::max<int64_t>(rest, std::min(Columns[Fill].Min, wanted)));
  return widths;
}

TResultColumns::TResultColumns(std::vector<int32_t> UserWidths) {
  for (size_t c = 0; c < UserWidths.size(); ++c)
    Columns.push_back({UserWidths[c],
                       static_cast<int>(c) == PathCol ? MinPathColumnWidth : MinFittedColumnWidth,
                       true});
  Widths = UserWidths;
}

int32_t TResultColumns::UserWidth(int Col) const {
  return Col >= 0 && static_cast<size_t>(Col) < Columns.size()
             ? Columns[static_cast<size_t>(Col)].Width
             : 0;
}

void TResultColumns::SetUserWidth(int Col, int32_t Width) {
  if (Col < 0 || static_cast<size_t>(Col) >= Columns.size()) return;
  Columns[static_cast<size_t>(Col)].Width = std::max(Width, 0);
  Refit();
}

bool TResultColumns::Visible(int Col) const {
  return Col >= 0 && static_cast<size_t>(Col) < Columns.size() &&
         Columns[static_cast<size_t>(Col)].Visible;
}

void TResultColumns::SetVisible(int Col, bool Value) {
  if (Col < 0 || static_cast<size_t>(Col) >= Columns.size()) return;
  Columns[static_cast<size_t>(Col)].Visible = Value;
  Refit();
}

void TResultColumns::Fit(int32_t Width) {
  Client = std::max(Width, 0);
  Refit();
}

void TResultColumns::Dragged(int Col, int32_t Width) {
  SetUserWidth(Col, Width);
}

int32_t TResultColumns::Drawn(int Col) const {
  return Col >= 0 && static_cast<size_t>(Col) < Widths.size() ? Widths[static_cast<size_t>(Col)]
                                                              : 0;
}

void TResultColumns::Refit() {
  Widths = FitColumns(Client, Columns, BlockNameCol, PathCol);
}

int32_t TPreviewSplit::PaneWidth(int32_t Total) const {
  if (!Shown || Total <= 0) return 0;
  const int64_t width = (int64_t{Share} * Total + ShareScale / 2) / ShareScale;
  return static_cast<int32_t>(std::clamp<int64_t>(width, 0, std::max(Total - MinTableWidth, 0)));
}

void TPreviewSplit::Dragged(int32_t Width, int32_t Total) {
  if (Width < MinPreviewWidth) {
    Shown = false;
    return;
  }
  Shown = true;
  Share = ShareOf(Width, Total);
}

int32_t ClampThumbnailSize(int32_t Size) {
  return std::clamp(Size, MinThumbnailSize, MaxThumbnailSize);
}

int32_t StepThumbnailSize(int32_t Size, int Steps) {
  int32_t size = ClampThumbnailSize(Size);
  for (int k = 0; k < std::abs(Steps); ++k) {
    const int32_t step = std::max<int32_t>(8, size / 6);
    size = ClampThumbnailSize(Steps > 0 ? size + step : size - step);
  }
  return size;
}

int32_t ShareOf(int64_t Part, int64_t Whole) {
  if (Whole <= 0 || Part <= 0) return 0;
  if (Part >= Whole) return ShareScale;
  return static_cast<int32_t>((Part * ShareScale + Whole / 2) / Whole);
}

std::string FormatShare(int32_t Share) {
  if (Share <= 0) return "0";
  if (Share >= ShareScale) return "1";
  std::string digits = std::to_string(ShareScale + Share).substr(1);  // four digits
  while (digits.back() == '0') digits.pop_back();
  return "0." + digits;
}

std::optional<int32_t> ParseShare(std::string_view Text) {
  size_t at = 0;
  int64_t whole = 0;
  for (; at < Text.size() && Text[at] >= '0' && Text[at] <= '9'; ++at) {
    whole = whole * 10 + (Text[at] - '0');
    if (whole > 1) return std::nullopt;
  }
  const size_t wholeDigits = at;
  int64_t fraction = 0;
  size_t places = 0;
  if (at < Text.size() && Text[at] == '.') {
    for (++at; at < Text.size() && Text[at] >= '0' && Text[at] <= '9'; ++at, ++places)
      if (places < 4) fraction = fraction * 10 + (Text[at] - '0');
  }
  if (at != Text.size() || wholeDigits + places == 0) return std::nullopt;
  for (size_t p = places; p < 4; ++p) fraction *= 10;
  const int64_t share = whole * ShareScale + fraction;
  if (share > ShareScale) return std::nullopt;
  return static_cast<int32_t>(share);
}
