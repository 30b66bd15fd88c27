// Compact thumbnails: the kept form draws the same picture as the drawing
// itself at the thumbnail's size, stays within its bytes, and bytes that are
// not a compact drawing are refused.
#include "app/thumbnail.h"

#include <gtest/gtest.h>

#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <numbers>
#include <random>
#include <vector>

#include "app/preview.h"
#include "testkit/jwbuilder.h"

namespace {

constexpr int Side = MaxThumbnailSize;

// Marks the pixels a drawing covers (lines, polylines, dots, text baselines).
class TRaster : public TPreviewPainter {
 public:
  std::vector<bool> On = std::vector<bool>(Side * Side);
  void Solid(const TVec2 (&C)[4], uint32_t) override {
    for (int i = 0; i < 4; ++i) Line(C[i], C[(i + 1) % 4], 0);
  }
  void Line(TVec2 A, TVec2 B, uint32_t) override {
    const int n = 1 + static_cast<int>(std::hypot(B.X - A.X, B.Y - A.Y) * 2);
    for (int k = 0; k <= n; ++k) Dot({A.X + (B.X - A.X) * k / n, A.Y + (B.Y - A.Y) * k / n}, 0);
  }
  void Polyline(const std::vector<TVec2>& P, uint32_t) override {
    for (size_t i = 1; i < P.size(); ++i) Line(P[i - 1], P[i], 0);
  }
  void Dot(TVec2 At, uint32_t) override {
    const int x = static_cast<int>(std::floor(At.X)), y = static_cast<int>(std::floor(At.Y));
    if (x >= 0 && y >= 0 && x < Side && y < Side) On[y * Side + x] = true;
  }
  double TextWidth(const std::string& Utf8) override { return 32.0 * Utf8.size(); }
  void Text(const std::string&, const TTextMap& M, uint32_t) override {
    Line({M.Dx, M.Dy}, {M.Dx + M.M11 * 64, M.Dy + M.M12 * 64}, 0);
  }
  void Note(const std::string&, TNote) override {}
  // Every marked pixel lies within Reach of one marked in Other.
  bool Within(const TRaster& Other, int Reach) const {
    for (int y = 0; y < Side; ++y)
      for (int x = 0; x < Side; ++x) {
        if (!On[y * Side + x]) continue;
        bool near = false;
        for (int dy = -Reach; dy <= Reach && !near; ++dy)
          for (int dx = -Reach; dx <= Reach && !near; ++dx) {
            const int u = x + dx, v = y + dy;
            near = u >= 0 && v >= 0 && u < Side && v < Side && Other.On[v * Side + u];
          }
        if (!near) return false;
      }
    return true;
  }
};

TRaster Drawn(const TDisplayList& L) {
  TRaster r;
  PaintPreview(L, 0, 0, Side, Side, r);
  return r;
}

TDisplayList Sample() {
  TDisplayList L;
  auto add = [&](TVec2 P) {
    L.Bounds.Add(P);
    return P;
  };
  L.Lines = {{add({0, 0}), add({900, 0}), 0},
             {add({900, 0}), add({900, 600}), 0xFF0000},
             {{900, 600}, add({0, 600}), 0},
             {{0, 600}, {0, 0}, 0},
             {{0, 0}, {900, 0}, 0}};
  L.Arcs = {{{450, 300}, {200, 0}, {0, 120}, 0, 2 * std::numbers::pi, 0x0000FF}};
  L.Solids = {{{{10, 10}, {80, 10}, {80, 80}, {10, 80}}, 0x808080}};
  L.Points = {{{700, 500}, 0}};
  L.Texts = {{{100, 450}, {300, 0}, {0, 60}, "洗面台 W750", 0}};
  return L;
}

TEST(Thumbnail, DrawsTheDrawingAtItsSize) {
  const TDisplayList original = Sample();
  const std::string bytes = CompactThumbnail(original);
  const std::optional<TDisplayList> kept = ExpandThumbnail(bytes);
  ASSERT_TRUE(kept);
  EXPECT_FALSE(kept->CutShort);
  EXPECT_EQ(kept->Texts.at(0).Text, "洗面台 W750");
  EXPECT_EQ(kept->Solids.size(), 1u);
  const TRaster a = Drawn(original), b = Drawn(*kept);
  EXPECT_TRUE(a.Within(b, 2));
  EXPECT_TRUE(b.Within(a, 2));
  EXPECT_LT(bytes.size(), 600u);  // the repeated line is kept once
}

TEST(Thumbnail, StaysWithinItsBytesAndRefusesOtherBytes) {
  TDisplayList many;
  std::mt19937 random(7);
  std::uniform_real_distribution<double> at(0, 10000);
  for (int i = 0; i < 100000; ++i) {
    many.Lines.push_back({{at(random), at(random)}, {at(random), at(random)}, 0});
    many.Bounds.Add(many.Lines.back().A);
    many.Bounds.Add(many.Lines.back().B);
  }
  const std::string bytes = CompactThumbnail(many);
  EXPECT_LE(bytes.size(), MaxThumbnailBytes);
  ASSERT_TRUE(ExpandThumbnail(bytes));
  EXPECT_TRUE(ExpandThumbnail(bytes)->CutShort);

  const std::string good = CompactThumbnail(Sample());
  const size_t whole = ExpandThumbnail(good)->ShapeCount();
  for (size_t cut = 0; cut < good.size(); ++cut) {
    const auto shorter = ExpandThumbnail(good.substr(0, cut));
    // A cut on a record boundary is a smaller drawing; anywhere else, refused.
    if (shorter) {
      EXPECT_LT(shorter->ShapeCount(), whole);
    }
  }
  EXPECT_FALSE(ExpandThumbnail(""));
  EXPECT_FALSE(ExpandThumbnail(std::string("\x01\x00\x00\x00\x00\x00Q", 7)));
  EXPECT_FALSE(ExpandThumbnail(std::string("\x09\x00\x00\x00\x00\x00", 6)));
  const auto empty = ExpandThumbnail(CompactThumbnail(TDisplayList{}));
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->EmptyDrawing());
}

TEST(Thumbnail, SizesStayInRange) {
  EXPECT_EQ(ClampThumbnailSize(10), MinThumbnailSize);
  EXPECT_EQ(ClampThumbnailSize(1000), MaxThumbnailSize);
  EXPECT_EQ(StepThumbnailSize(96, 1), 112);
  EXPECT_EQ(StepThumbnailSize(96, -1), 80);
  EXPECT_EQ(StepThumbnailSize(MaxThumbnailSize, 3), MaxThumbnailSize);
  EXPECT_EQ(StepThumbnailSize(MinThumbnailSize, -3), MinThumbnailSize);
}

// Files are read once for all their definitions, off the calling thread; a
// file that cannot be read counts as done with no thumbnails.
TEST(Thumbnail, WorkerDrawsEachFileOnceIntoTheCache) {
  const auto dir = std::filesystem::temp_directory_path() / "quillon-thumbnails";
  std::filesystem::create_directories(dir);
  jwb::Drawing d(700);
  d.Def(1, "A").Line();
  d.Def(2, "B").Line();
  const std::string a = (dir / "a.jww").string(), gone = (dir / "gone.jww").string();
  jwb::WriteFile(a, d.JwwBytes());

  std::mutex lock;
  std::condition_variable ready;
  TThumbnailCache cache;
  {
    TThumbnailWorker worker([&] { ready.notify_all(); });
    worker.Want(cache.ToAsk({a, gone, a}));
    std::unique_lock<std::mutex> hold(lock);
    while (!(cache.FileDone(a) && cache.FileDone(gone))) {
      ready.wait_for(hold, std::chrono::milliseconds(100));
      cache.Add(worker.Take());
    }
  }
  EXPECT_NE(cache.Find(a, 0, "A"), nullptr);
  ASSERT_NE(cache.Find(a, 1, "B"), nullptr);
  EXPECT_TRUE(ExpandThumbnail(*cache.Find(a, 1, "B")));
  EXPECT_EQ(cache.Find(a, 1, "C"), nullptr);  // the file changed since the search
  EXPECT_EQ(cache.Find(gone, 0, "A"), nullptr);
  EXPECT_TRUE(cache.ToAsk({a, gone}).empty());
  cache.Clear();
  EXPECT_EQ(cache.ToAsk({a}).size(), 1u);
  std::filesystem::remove_all(dir);
}

}  // namespace
