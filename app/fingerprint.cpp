#include "app/fingerprint.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <numbers>
#include <set>
#include <string_view>

namespace {

// One shape in canonical form: its kind, colour and rounded numbers, and a
// text for texts. Shapes sort by these, so the record order never counts.
struct TShapeKey {
  char Kind = 0;
  uint32_t Color = 0;
  uint8_t Count = 0;
  std::array<int64_t, 11> Numbers{};
  std::string_view Text{};
  void Add(int64_t N) { Numbers[Count++] = N; }
  friend auto operator<=>(const TShapeKey&, const TShapeKey&) = default;
};

class TCanon {
 public:
  explicit TCanon(const TBox& Bounds) {
    const double larger = std::max(Bounds.Width(), Bounds.Height());
    Step = larger > 0 ? larger / 1000 : 1;
    // Coordinates in steps of the drawing's own size are blind to its scale;
    // the size itself counts, to the same tolerance.
    Size = larger > 0 ? Round(std::log(larger) * 1000) : INT64_MIN;
    if (!Bounds.Empty) Origin = {Bounds.MinX, Bounds.MinY};
  }
  int64_t Length(double V) const { return Round(V / Step); }
  std::array<int64_t, 2> Point(TVec2 P) const {
    return {Round((P.X - Origin.X) / Step), Round((P.Y - Origin.Y) / Step)};
  }
  std::array<int64_t, 2> Vector(TVec2 V) const { return {Length(V.X), Length(V.Y)}; }
  int64_t Size = 0;

 private:
  static int64_t Round(double V) {
    if (!std::isfinite(V)) return INT64_MIN;
    return static_cast<int64_t>(std::llround(std::clamp(V, -1e15, 1e15)));
  }
  double Step;
  TVec2 Origin;
};

void Append(TShapeKey& Out, const std::array<int64_t, 2>& P) {
  Out.Add(P[0]);
  Out.Add(P[1]);
}

TShapeKey LineKey(const TCanon& C, const TDrawnLine& L) {
  auto a = C.Point(L.A), b = C.Point(L.B);
  if (b < a) std::swap(a, b);
  TShapeKey key{'L', L.Color};
  key.Add(L.Style);
  Append(key, a);
  Append(key, b);
  return key;
}

// An ellipse is its centre and the matrix U Uᵀ + V Vᵀ, which is the same
// whichever pair of conjugate axes describes it; an arc adds its ends,
// taken counter-clockwise.
TShapeKey ArcKey(const TCanon& C, const TDrawnArc& A) {
  const double xx = A.U.X * A.U.X + A.V.X * A.V.X, yy = A.U.Y * A.U.Y + A.V.Y * A.V.Y;
  const double xy = A.U.X * A.U.Y + A.V.X * A.V.Y;
  const double rx = std::sqrt(xx), ry = std::sqrt(yy);
  const double larger = std::max(rx, ry);
  const bool whole = std::abs(A.Sweep) >= 2 * std::numbers::pi - 1e-9;
  TShapeKey key{whole ? 'E' : 'A', A.Color};
  key.Add(A.Style);
  Append(key, C.Point(A.Centre));
  key.Add(C.Length(rx));
  key.Add(C.Length(ry));
  key.Add(larger > 0 ? C.Length(xy / larger) : 0);
  if (!whole) {
    auto at = [&](double T) {
      return TVec2{A.Centre.X + A.U.X * std::cos(T) + A.V.X * std::sin(T),
                   A.Centre.Y + A.U.Y * std::cos(T) + A.V.Y * std::sin(T)};
    };
    auto from = C.Point(at(A.Start)), to = C.Point(at(A.Start + A.Sweep));
    const double turn = (A.U.X * A.V.Y - A.U.Y * A.V.X) * A.Sweep;
    if (turn < 0) std::swap(from, to);
    Append(key, from);
    Append(key, to);
  }
  return key;
}

// The corners from whichever one, either way round, reads first.
TShapeKey SolidKey(const TCanon& C, const TDrawnSolid& S) {
  std::array<std::array<int64_t, 2>, 4> corner;
  for (int i = 0; i < 4; ++i) corner[i] = C.Point(S.Corner[i]);
  TShapeKey best{'S', S.Color};
  for (int start = 0; start < 4; ++start) {
    for (int step : {1, 3}) {
      TShapeKey walk{'S', S.Color};
      for (int k = 0; k < 4; ++k) Append(walk, corner[(start + k * step) % 4]);
      if (best.Count == 0 || walk < best) best = walk;
    }
  }
  return best;
}

TShapeKey TextKey(const TCanon& C, const TDrawnText& T) {
  TShapeKey key{'T', T.Color};
  key.Text = T.Text;
  Append(key, C.Point(T.Origin));
  Append(key, C.Vector(T.Advance));
  Append(key, C.Vector(T.Up));
  return key;
}

// Two 64-bit FNV-1a streams with different bases and primes.
class THash128 {
 public:
  void Add(std::string_view Bytes) {
    for (const char c : Bytes) {
      const auto b = static_cast<unsigned char>(c);
      A = (A ^ b) * 0x100000001B3ULL;
      B = (B ^ b) * 0x9E3779B97F4A7C15ULL;
      B ^= B >> 29;
    }
  }
  void Add(int64_t V) {
    char bytes[8];
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<char>(static_cast<uint64_t>(V) >> (8 * i));
    Add(std::string_view(bytes, 8));
  }
  TFingerprint Value() const { return {A, B}; }

 private:
  uint64_t A = 0xCBF29CE484222325ULL;
  uint64_t B = 0x84222325CBF29CE4ULL;
};

}  // namespace

std::string TFingerprint::Hex() const {
  static const char digits[] = "0123456789abcdef";
  std::string out(32, '0');
  for (int i = 0; i < 16; ++i) {
    out[15 - i] = digits[(High >> (4 * i)) & 0xF];
    out[31 - i] = digits[(Low >> (4 * i)) & 0xF];
  }
  return out;
}

TFingerprint FingerprintOf(const TDisplayList& List) {
  const TCanon canon(List.Bounds);
  std::vector<TShapeKey> keys;
  keys.reserve(List.ShapeCount());
  for (const TDrawnLine& l : List.Lines) keys.push_back(LineKey(canon, l));
  for (const TDrawnArc& a : List.Arcs) keys.push_back(ArcKey(canon, a));
  for (const TDrawnPoint& p : List.Points) {
    keys.push_back({'P', p.Color});
    Append(keys.back(), canon.Point(p.P));
  }
  for (const TDrawnSolid& s : List.Solids) keys.push_back(SolidKey(canon, s));
  for (const TDrawnText& t : List.Texts) keys.push_back(TextKey(canon, t));
  std::sort(keys.begin(), keys.end());

  THash128 hash;
  hash.Add(static_cast<int64_t>(keys.size()));
  hash.Add(canon.Size);
  for (const TShapeKey& k : keys) {
    hash.Add(std::string_view(&k.Kind, 1));
    hash.Add(static_cast<int64_t>(k.Color));
    hash.Add(static_cast<int64_t>(k.Count));
    for (uint8_t i = 0; i < k.Count; ++i) hash.Add(k.Numbers[i]);
    hash.Add(static_cast<int64_t>(k.Text.size()));
    hash.Add(k.Text);
  }
  return hash.Value();
}

const char* DuplicateKindName(TDuplicateKind Kind) {
  return Kind == TDuplicateKind::SameDrawing ? "same-drawing" : "same-name";
}

std::vector<TDuplicateGroup> FindDuplicates(const std::vector<TPrintedRow>& Rows) {
  // Rows by drawing and by name, each group in the order of its first row.
  std::map<TFingerprint, std::vector<size_t>> byPrint;
  std::map<std::string, std::vector<size_t>> byName;
  for (size_t i = 0; i < Rows.size(); ++i) {
    if (!Rows[i].EmptyDrawing) byPrint[Rows[i].Print].push_back(i);
    byName[Rows[i].NameKey].push_back(i);
  }
  std::vector<TDuplicateGroup> drawings, names;
  for (auto& [print, members] : byPrint) {
    std::set<std::string_view> distinct;
    for (size_t i : members) distinct.insert(Rows[i].NameKey);
    if (distinct.size() > 1) drawings.push_back({TDuplicateKind::SameDrawing, std::move(members)});
  }
  for (auto& [name, members] : byName) {
    std::set<std::pair<bool, TFingerprint>> distinct;
    for (size_t i : members)
      distinct.insert(
          {Rows[i].EmptyDrawing, Rows[i].EmptyDrawing ? TFingerprint{} : Rows[i].Print});
    if (distinct.size() > 1) names.push_back({TDuplicateKind::SameName, std::move(members)});
  }
  auto byFirstRow = [](const TDuplicateGroup& A, const TDuplicateGroup& B) {
    return A.Members.front() < B.Members.front();
  };
  std::sort(drawings.begin(), drawings.end(), byFirstRow);
  std::sort(names.begin(), names.end(), byFirstRow);
  drawings.insert(drawings.end(), std::make_move_iterator(names.begin()),
                  std::make_move_iterator(names.end()));
  return drawings;
}

std::vector<size_t> SameDrawingCounts(const std::vector<TPrintedRow>& Rows) {
  std::map<TFingerprint, size_t> count;
  for (const TPrintedRow& r : Rows)
    if (!r.EmptyDrawing) ++count[r.Print];
  std::vector<size_t> out(Rows.size(), 0);
  for (size_t i = 0; i < Rows.size(); ++i)
    if (!Rows[i].EmptyDrawing) out[i] = count[Rows[i].Print] - 1;
  return out;
}
