#include "app/preview.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <system_error>

#include "app/catalog.h"
#include "app/search.h"
#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
#include "text/widepath.h"

struct TPreviewSource::TKept {
  std::string Path;
  std::filesystem::file_time_type Time;
  uintmax_t Size = 0;
  TFileKind Kind = TFileKind::None;
  TFileOutcome Outcome;
  TJwwData Jww;
  TJwsData Jws;
  // Made once the file is loaded; the bounds of a catalog drawing hold for
  // each preview, and the file's own only for one at a time.
  std::unique_ptr<TFileDrawer> Drawer;
  TDrawLimits Limits;
};

TPreviewSource::TPreviewSource() = default;
TPreviewSource::~TPreviewSource() = default;

void TPreviewSource::Forget() {
  std::lock_guard<std::mutex> hold(Lock);
  Kept.reset();
}

namespace {

// A preview is drawn within the bounds of a catalog drawing that is the
// first of its file: the file's bounds are not spent across previews.
TDrawLimits PreviewLimitsOf(TDrawLimits Drawing, TDrawLimits File) {
  Drawing.Shapes = std::min(Drawing.Shapes, File.Shapes);
  Drawing.Bytes = std::min(Drawing.Bytes, File.Bytes);
  Drawing.Placements = std::min(Drawing.Placements, File.Placements);
  return Drawing;
}

TPreview Problem(std::string Ja, std::string En) {
  TPreview p;
  p.Problem = "表示できません: " + Ja;
  p.ProblemEn = "cannot show: " + En;
  return p;
}

}  // namespace

TPreview TPreviewSource::Build(const std::string& Path, int Position,
                               std::string_view ExpectedName) {
  std::lock_guard<std::mutex> hold(Lock);
  std::error_code ec;
  const std::filesystem::path native = PathOfUtf8(Path);
  const auto time = std::filesystem::last_write_time(native, ec);
  const uintmax_t size = ec ? 0 : std::filesystem::file_size(native, ec);
  const bool same = Kept && !ec && Kept->Path == Path && Kept->Time == time && Kept->Size == size;
  if (!same) {
    Kept.reset();
    auto kept = std::make_unique<TKept>();
    kept->Path = Path;
    kept->Time = time;
    kept->Size = size;
    kept->Kind = KindOfPath(Path);
    if (kept->Kind == TFileKind::Jww)
      kept->Outcome = LoadWhole(kept->Jww, Path);
    else if (kept->Kind == TFileKind::Jws)
      kept->Outcome = LoadWhole(kept->Jws, Path);
    else
      return Problem("図面ファイルではありません", "not a drawing or figure file");
    // A file that cannot be read at all is not kept: it may come back.
    const TOutcomeKind k = kept->Outcome.Kind;
    if (k == TOutcomeKind::Missing || k == TOutcomeKind::NotRegular ||
        k == TOutcomeKind::CannotOpen || k == TOutcomeKind::WrongSignature)
      return Problem(DescribeOutcomeJa(kept->Outcome), DescribeOutcome(kept->Outcome));
    constexpr TDrawLimits Unbounded{SIZE_MAX, SIZE_MAX, MaxPlacementDepth, SIZE_MAX};
    kept->Drawer = kept->Kind == TFileKind::Jww
                       ? std::make_unique<TFileDrawer>(kept->Jww, Unbounded)
                       : std::make_unique<TFileDrawer>(kept->Jws, Unbounded);
    kept->Limits = PreviewLimitsOf(CatalogDrawLimits, CatalogFileLimits(size));
    Kept = std::move(kept);
  }
  const TKept& k = *Kept;
  const auto& defs = k.Kind == TFileKind::Jww ? k.Jww.BlockDefCount : k.Jws.BlockDefCount;
  std::string name;
  if (Position >= 0 && Position < defs)
    name =
        CutAtMarker(k.Kind == TFileKind::Jww ? k.Jww.BlockDefs[static_cast<size_t>(Position)].Name
                                             : k.Jws.BlockDefs[static_cast<size_t>(Position)].Name);
  if (Position < 0 || Position >= defs || name != ExpectedName) {
    if (k.Outcome.Failed())
      return Problem(DescribeOutcomeJa(k.Outcome), DescribeOutcome(k.Outcome));
    return Problem("ファイルが検索の後で変わりました（ブロック定義 " +
                       std::to_string(Position + 1) + " が違います）",
                   "the file changed since the search (block definition " +
                       std::to_string(Position + 1) + " differs)");
  }
  auto list = std::make_shared<TDisplayList>(k.Drawer->Draw(Position, k.Limits));
  // The last definition of a file read part-way may have lost records.
  if (k.Outcome.Failed() && Position == defs - 1) list->CutShort = true;
  TPreview p;
  p.List = std::move(list);
  return p;
}

TPreviewWorker::TPreviewWorker(TDone Done) : Done(std::move(Done)) {
  Thread = std::thread([this] { Run(); });
}

TPreviewWorker::~TPreviewWorker() {
  {
    std::lock_guard<std::mutex> hold(Lock);
    Stopping = true;
    Waiting.reset();
  }
  Wake.notify_one();
  Thread.join();
}

uint64_t TPreviewWorker::Request(const std::string& Path, int Position,
                                 const std::string& ExpectedName) {
  uint64_t ticket;
  {
    std::lock_guard<std::mutex> hold(Lock);
    ticket = ++LastTicket;
    Waiting = TRequest{ticket, Path, Position, ExpectedName};
  }
  Wake.notify_one();
  return ticket;
}

void TPreviewWorker::Run() {
  for (;;) {
    TRequest request;
    {
      std::unique_lock<std::mutex> hold(Lock);
      Wake.wait(hold, [this] { return Stopping || Waiting.has_value(); });
      if (Stopping) return;
      request = std::move(*Waiting);
      Waiting.reset();
    }
    TPreview preview;
    try {
      preview = Source.Build(request.Path, request.Position, request.Name);
    } catch (const std::exception& e) {  // memory, mostly: say so, never end the program
      preview.Problem = std::string("表示できません: ") + e.what();
      preview.ProblemEn = std::string("cannot show: ") + e.what();
    }
    Done(request.Ticket, std::move(preview));
  }
}

const std::string PreviewLoadingText = "読み込み中…";

TPreviewFollower::TStep TPreviewFollower::Follow(const TResultTable& Table) {
  const int row = Table.Current();
  const std::string& path = Table.Cell(PathCol, row);
  if (Table.ShownCount() == 0 || path.empty()) {
    Key.clear();
    Shown = ++Ticket;
    return TStep::Cleared;
  }
  const int position = Table.DefinitionPosition(row);
  const std::string& name = Table.Cell(BlockNameCol, row);
  std::string key = path + '\n' + std::to_string(position) + '\n' + name;
  if (key == Key) return TStep::Unchanged;
  Key = std::move(key);
  Ticket = Worker.Request(path, position, name);
  return TStep::Asked;
}

bool TPreviewFollower::Take(uint64_t Answer) {
  if (Answer != Ticket) return false;
  Shown = Answer;
  return true;
}

void PaintPreview(const TDisplayList& List, double Left, double Top, double Width, double Height,
                  TPreviewPainter& Painter) {
  if (List.EmptyDrawing()) {
    Painter.Note(EmptyDrawingText, TPreviewPainter::TNote::EmptyDrawing);
    return;
  }
  TViewFit fit = FitToPane(List.Bounds, Width, Height, PreviewMargin);
  fit.OffsetX += Left;
  fit.OffsetY += Top;
  for (const TDrawnSolid& s : List.Solids) {
    TVec2 corners[4];
    for (size_t i = 0; i < 4; ++i) corners[i] = fit.Map(s.Corner[i]);
    Painter.Solid(corners, s.Color);
  }
  for (const TDrawnLine& l : List.Lines) Painter.Line(fit.Map(l.A), fit.Map(l.B), l.Color);
  std::vector<TVec2> points;
  TArcFlattener arcs(fit, Width, Height);
  for (const TDrawnArc& a : List.Arcs) {
    points.clear();
    arcs.Flatten(a, points);
    Painter.Polyline(points, a.Color);
  }
  for (const TDrawnPoint& p : List.Points) Painter.Dot(fit.Map(p.P), p.Color);
  for (const TDrawnText& t : List.Texts) {
    const TTextFrame f = TextFrameOf(t, fit);
    if (t.Text.empty() || !(f.PixelHeight > 0)) continue;
    if (f.PixelHeight < PreviewLegibleHeight) {
      Painter.Line(f.Origin, fit.Map({t.Origin.X + t.Advance.X, t.Origin.Y + t.Advance.Y}),
                   t.Color);
      continue;
    }
    // Stretched to its baseline when it has one.
    const double natural = Painter.TextWidth(t.Text) / PreviewTextPixels;
    const double stretch = f.Length > 0 && natural > 0 ? f.Length / natural : 1.0;
    Painter.Text(
        t.Text,
        {f.XAxis.X * stretch / PreviewTextPixels, f.XAxis.Y * stretch / PreviewTextPixels,
         f.YAxis.X / PreviewTextPixels, f.YAxis.Y / PreviewTextPixels, f.Origin.X, f.Origin.Y},
        t.Color);
  }
  if (List.CutShort) Painter.Note(CutShortText, TPreviewPainter::TNote::CutShort);
}
