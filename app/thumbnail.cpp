#include "app/thumbnail.h"

#include "app/catalog.h"
#include "app/index.h"
#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
#include "text/nativefile.h"
#include "text/sjis.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_set>
#include <vector>

// The bytes: a header of 6 (format, flags, the drawing's box in grid steps:
// left, top, right, bottom, y down), then records, each a kind letter and a
// colour (3 bytes, RGB):
//   'S' solid     4 corners
//   'L' polyline  a count n (2-255), n points
//   'P' point     1 point
//   'T' text      origin; advance and up as 4 signed 16-bit eighths of a
//                 step (little-endian); a length (0-64) and the UTF-8 bytes
// A point is two bytes, x and y in grid steps (0-255, y down).

namespace {

constexpr uint8_t Format = 1;
constexpr uint8_t CutFlag = 1;
constexpr int Grid = 255;  // the last grid step; MaxThumbnailSize steps in all
constexpr size_t MaxTextBytes = 64;
constexpr size_t HeaderBytes = 6;

struct TGridPoint {
  uint8_t X = 0, Y = 0;
  friend bool operator==(TGridPoint, TGridPoint) = default;
};

uint8_t ToStep(double V) {
  if (!std::isfinite(V)) return 0;
  return static_cast<uint8_t>(std::clamp(std::lround(V), 0L, static_cast<long>(Grid)));
}

class TWriter {
 public:
  explicit TWriter(const TViewFit& Fit) : Fit(Fit) {}

  TGridPoint Point(TVec2 P) const {
    const TVec2 at = Fit.Map(P);
    return {ToStep(at.X), ToStep(at.Y)};
  }

  // Starts a record of Size bytes, or marks the drawing cut when it would
  // not fit.
  bool Room(size_t Size) {
    if (Cut || Out.size() + Size > MaxThumbnailBytes) Cut = true;
    return !Cut;
  }
  void Kind(char K, uint32_t Color) {
    Out += K;
    Out += static_cast<char>(Color >> 16);
    Out += static_cast<char>(Color >> 8);
    Out += static_cast<char>(Color);
  }
  void Put(TGridPoint P) {
    Out += static_cast<char>(P.X);
    Out += static_cast<char>(P.Y);
  }
  void PutShort(double V) {
    const long n = std::isfinite(V) ? std::clamp(std::lround(V * 8), -32768L, 32767L) : 0;
    Out += static_cast<char>(n & 0xFF);
    Out += static_cast<char>((n >> 8) & 0xFF);
  }

  // A segment joins the polyline in hand when it continues it; one that
  // shrinks to a point or was drawn already is dropped.
  void Segment(TGridPoint A, TGridPoint B, uint32_t Color) {
    if (A == B) return;
    auto pack = [](TGridPoint P) { return uint64_t{P.X} << 8 | P.Y; };
    const uint64_t a = pack(A), b = pack(B);
    const uint64_t key = uint64_t{Color} << 32 | std::min(a, b) << 16 | std::max(a, b);
    if (!Seen.insert(key).second) return;
    if (Chain.size() >= 2 && Chain.size() < 255 && ChainColor == Color && Chain.back() == A) {
      Chain.push_back(B);
      return;
    }
    EndChain();
    Chain = {A, B};
    ChainColor = Color;
  }
  void EndChain() {
    if (Chain.size() >= 2 && Room(5 + 2 * Chain.size())) {
      Kind('L', ChainColor);
      Out += static_cast<char>(Chain.size());
      for (TGridPoint p : Chain) Put(p);
    }
    Chain.clear();
  }

  TViewFit Fit;
  std::string Out;
  bool Cut = false;

 private:
  std::unordered_set<uint64_t> Seen;
  std::vector<TGridPoint> Chain;
  uint32_t ChainColor = 0;
};

size_t ReadShortAt(std::string_view B, size_t At, double& Out) {
  const auto lo = static_cast<uint8_t>(B[At]), hi = static_cast<uint8_t>(B[At + 1]);
  Out = static_cast<int16_t>(static_cast<uint16_t>(lo | hi << 8)) / 8.0;
  return At + 2;
}

}  // namespace

std::string CompactThumbnail(const TDisplayList& List) {
  const TViewFit fit = FitToPane(List.Bounds, Grid, Grid, 0);
  TWriter w(fit);
  w.Out.reserve(256);
  w.Out += static_cast<char>(Format);
  w.Out += '\0';
  if (List.Bounds.Empty) {
    w.Out += std::string(4, '\0');
  } else {
    const TGridPoint low = w.Point({List.Bounds.MinX, List.Bounds.MaxY});
    const TGridPoint high = w.Point({List.Bounds.MaxX, List.Bounds.MinY});
    w.Put(low);
    w.Put(high);
  }

  for (const TDrawnSolid& s : List.Solids) {
    if (!w.Room(4 + 8)) break;
    w.Kind('S', s.Color);
    for (const TVec2& c : s.Corner) w.Put(w.Point(c));
  }
  for (const TDrawnLine& l : List.Lines) w.Segment(w.Point(l.A), w.Point(l.B), l.Color);
  TArcFlattener flattener(fit, Grid, Grid);
  std::vector<TVec2> points;
  for (const TDrawnArc& a : List.Arcs) {
    points.clear();
    flattener.Flatten(a, points);
    for (size_t i = 1; i < points.size(); ++i) {
      const TGridPoint from{ToStep(points[i - 1].X), ToStep(points[i - 1].Y)};
      const TGridPoint to{ToStep(points[i].X), ToStep(points[i].Y)};
      w.Segment(from, to, a.Color);
    }
  }
  w.EndChain();
  for (const TDrawnPoint& p : List.Points) {
    if (!w.Room(4 + 2)) break;
    w.Kind('P', p.Color);
    w.Put(w.Point(p.P));
  }
  for (const TDrawnText& t : List.Texts) {
    // Cut on a character boundary.
    size_t length = std::min(t.Text.size(), MaxTextBytes);
    while (length < t.Text.size() && length > 0 &&
           (static_cast<uint8_t>(t.Text[length]) & 0xC0) == 0x80)
      --length;
    if (!w.Room(4 + 2 + 8 + 1 + length)) break;
    w.Kind('T', t.Color);
    w.Put(w.Point(t.Origin));
    const TVec2 advance = fit.MapVector(t.Advance), up = fit.MapVector(t.Up);
    w.PutShort(advance.X);
    w.PutShort(advance.Y);
    w.PutShort(up.X);
    w.PutShort(up.Y);
    w.Out += static_cast<char>(length);
    w.Out.append(t.Text, 0, length);
  }
  if (w.Cut || List.CutShort) w.Out[1] = static_cast<char>(CutFlag);
  return std::move(w.Out);
}

std::optional<TDisplayList> ExpandThumbnail(std::string_view B) {
  if (B.size() < HeaderBytes || static_cast<uint8_t>(B[0]) != Format ||
      B.size() > MaxThumbnailBytes)
    return std::nullopt;
  auto at = [&](size_t I) { return static_cast<uint8_t>(B[I]); };
  // Grid points back to y up.
  auto point = [&](size_t I) { return TVec2{double(at(I)), double(Grid - at(I + 1))}; };
  auto color = [&](size_t I) {
    return uint32_t{at(I)} << 16 | uint32_t{at(I + 1)} << 8 | at(I + 2);
  };
  TDisplayList list;
  list.CutShort = (at(1) & CutFlag) != 0;
  size_t i = HeaderBytes;
  while (i < B.size()) {
    if (i + 4 > B.size()) return std::nullopt;
    const char kind = B[i];
    const uint32_t c = color(i + 1);
    i += 4;
    switch (kind) {
      case 'S': {
        if (i + 8 > B.size()) return std::nullopt;
        TDrawnSolid s{};
        for (int k = 0; k < 4; ++k) s.Corner[k] = point(i + 2 * k);
        s.Color = c;
        list.Solids.push_back(s);
        i += 8;
        break;
      }
      case 'L': {
        if (i + 1 > B.size()) return std::nullopt;
        const size_t n = at(i++);
        if (n < 2 || i + 2 * n > B.size()) return std::nullopt;
        for (size_t k = 1; k < n; ++k)
          list.Lines.push_back({point(i + 2 * (k - 1)), point(i + 2 * k), c});
        i += 2 * n;
        break;
      }
      case 'P':
        if (i + 2 > B.size()) return std::nullopt;
        list.Points.push_back({point(i), c});
        i += 2;
        break;
      case 'T': {
        if (i + 11 > B.size()) return std::nullopt;
        TDrawnText t;
        t.Origin = point(i);
        i = ReadShortAt(B, i + 2, t.Advance.X);
        i = ReadShortAt(B, i, t.Advance.Y);
        i = ReadShortAt(B, i, t.Up.X);
        i = ReadShortAt(B, i, t.Up.Y);
        t.Advance.Y = -t.Advance.Y;  // y up
        t.Up.Y = -t.Up.Y;
        const size_t length = at(i++);
        if (length > MaxTextBytes || i + length > B.size()) return std::nullopt;
        t.Text.assign(B.substr(i, length));
        t.Color = c;
        list.Texts.push_back(std::move(t));
        i += length;
        break;
      }
      default:
        return std::nullopt;
    }
  }
  if (at(2) != 0 || at(3) != 0 || at(4) != 0 || at(5) != 0 || !list.EmptyDrawing()) {
    list.Bounds.Add(point(2));
    list.Bounds.Add(point(4));
  }
  return list;
}

TThumbnailWorker::TThumbnailWorker(std::function<void()> Ready, std::string IndexPath)
    : Ready(std::move(Ready)), IndexPath(std::move(IndexPath)) {
  Thread = std::thread([this] { Run(); });
}

TThumbnailWorker::~TThumbnailWorker() {
  {
    std::lock_guard<std::mutex> hold(Lock);
    Stopping = true;
    Waiting.clear();
  }
  Wake.notify_one();
  Thread.join();
}

void TThumbnailWorker::Want(const std::vector<std::string>& Paths) {
  {
    std::lock_guard<std::mutex> hold(Lock);
    for (auto p = Paths.rbegin(); p != Paths.rend(); ++p) {
      std::erase(Waiting, *p);
      if (*p == InHand) continue;
      Waiting.push_front(*p);
    }
  }
  Wake.notify_one();
}

void TThumbnailWorker::Cancel() {
  std::lock_guard<std::mutex> hold(Lock);
  Waiting.clear();
}

std::vector<TMadeThumbnail> TThumbnailWorker::Take() {
  std::lock_guard<std::mutex> hold(Lock);
  return std::exchange(Made, {});
}

void TThumbnailWorker::Run() {
  TJwwData jww;
  TJwsData jws;
  // Opened on this thread, and closed (what it was given written) with it.
  std::unique_ptr<TBlockIndex> index;
  if (!IndexPath.empty()) index = std::make_unique<TBlockIndex>(IndexPath);
  for (;;) {
    std::string path;
    {
      std::unique_lock<std::mutex> hold(Lock);
      Wake.wait(hold, [this] { return Stopping || !Waiting.empty(); });
      if (Stopping) return;
      path = std::move(Waiting.front());
      Waiting.pop_front();
      InHand = path;
    }
    std::vector<TMadeThumbnail> made;
    TFileStamp stamp;
    const bool stamped = index && index->Usable() && StampOfFile(path, stamp);
    std::vector<TKeptDrawing> kept;
    std::vector<std::string> names;
    if (stamped && index->FindDrawings(path, stamp, kept, names)) {
      for (size_t n = 0; n < kept.size(); ++n)
        made.push_back({path, static_cast<int>(n), std::move(names[n]), std::move(kept[n].Compact),
                        kept[n].Print, kept[n].Draws});
    } else {
      try {
        const TFileOutcome outcome = ReadFileDrawings(
            path, jww, jws, [](const std::string&) { return true; },
            [&](int Position, const std::string& Name, const TDisplayList& List) {
              made.push_back({path, Position, Name, CompactThumbnail(List), FingerprintOf(List),
                              !List.EmptyDrawing()});
            });
        if (stamped && !outcome.Failed()) {
          for (const TMadeThumbnail& m : made) kept.push_back({m.Compact, m.Print, m.Draws});
          index->RecordDrawings(path, stamp, std::move(kept));
        }
      } catch (const std::exception&) {  // memory, mostly: the frames stay empty
        made.clear();
      }
    }
    // The file counts as read even when it gave nothing.
    made.push_back({path, -1, {}, {}});
    {
      std::lock_guard<std::mutex> hold(Lock);
      std::move(made.begin(), made.end(), std::back_inserter(Made));
      InHand.clear();
    }
    Ready();
  }
}

const std::string* TThumbnailCache::Find(const std::string& Path, int Position,
                                         std::string_view Name) const {
  const auto found = Kept.find({Path, Position});
  if (found == Kept.end() || found->second.Name != Name) return nullptr;
  return &found->second.Compact;
}

const TPrintedRow* TThumbnailCache::FindPrint(const std::string& Path, int Position,
                                              std::string_view Name) const {
  const auto found = Kept.find({Path, Position});
  if (found == Kept.end() || found->second.Name != Name) return nullptr;
  return &found->second.Print;
}

const std::string* TThumbnailCache::ForRow(const TResultTable& Table, int Row) const {
  return Find(Table.Cell(PathCol, Row), Table.DefinitionPosition(Row),
              Table.Cell(BlockNameCol, Row));
}

std::vector<std::string> TThumbnailCache::ToAsk(const TResultTable& Table, int First,
                                                int Last) const {
  std::vector<std::string> paths;
  for (int p = std::max(First, 0); p <= Last && p < Table.ShownCount(); ++p) {
    const std::string& path = Table.Cell(PathCol, Table.ShownRow(p));
    if (paths.empty() || paths.back() != path) paths.push_back(path);
  }
  return ToAsk(paths);
}

void TThumbnailCache::Add(std::vector<TMadeThumbnail> Made) {
  for (TMadeThumbnail& m : Made) {
    if (m.Position < 0) {
      Done.insert(m.Path);
      continue;
    }
    Held += m.Compact.size() + 2 * m.Name.size() + sizeof(TKept);
    TPrintedRow print{NormalizeForSearch(m.Name), m.Print, !m.Draws};
    Kept[{std::move(m.Path), m.Position}] = {std::move(m.Name), std::move(m.Compact),
                                             std::move(print)};
  }
}

std::vector<std::string> TThumbnailCache::ToAsk(const std::vector<std::string>& Paths) const {
  std::vector<std::string> ask;
  std::set<std::string_view> once;
  for (const std::string& p : Paths)
    if (!Done.count(p) && once.insert(p).second) ask.push_back(p);
  return ask;
}

void TThumbnailCache::Clear() {
  Kept.clear();
  Done.clear();
  Held = 0;
}

const TProblemFile* ProblemOfRow(const TResultTable& Table, int Row) {
  const std::string& path = Table.Cell(PathCol, Row);
  for (const TProblemFile& p : Table.Problems())
    if (p.Path == path) return &p;
  return nullptr;
}
