// Damaged drawing and figure files: every cut, and seeded random bit flips
// and byte overwrites, of builder-made files and of the real files of the
// corpus folder when it exists. Whatever the bytes, a load must end, leave a
// reader whose counts and lists agree (testkit/reader_checks.h), hold only
// block names that come from the file, and Clear must leave it empty.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "app/search.h"
#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
#include "testkit/jwbuilder.h"
#include "testkit/reader_checks.h"
#include "testkit/sample_drawings.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

// What one load left in the reader, as far as these tests compare loads.
struct Loaded {
  bool Result = false;
  int32_t DefCount = 0;
  int32_t Absorbed = 0;
  std::vector<std::string> Names;
  // Records held and EntityOrder slots per list: the reader's own, then
  // each definition's.
  std::vector<int64_t> Records;
  std::vector<size_t> Slots;
  int32_t TreeNodes = 0;
  bool operator==(const Loaded&) const = default;
};

template <class Lists>
int64_t RecordsIn(const Lists& L) {
  return int64_t{L.LineCount} + L.ArcCount + L.PointCount + L.TextCount + L.DimensionCount +
         L.SolidCount + L.BlockInsertCount;
}

// Loads B into R and checks the reader. Returns what went wrong, or "".
template <class Reader>
std::string LoadChecked(Reader& R, const Bytes& B, Loaded& Out) {
  Out = Loaded();
  Out.Result = R.LoadFromMemory(B.data(), B.size(), "damaged");
  std::string problem = readercheck::CheckLoaded(R, Out.Result, B.size());
  if (!problem.empty()) return problem;
  Out.DefCount = R.BlockDefCount;
  Out.Absorbed = R.AbsorbedFailures;
  Out.TreeNodes = R.BlockTreeCount;
  Out.Records.push_back(RecordsIn(R));
  Out.Slots.push_back(R.EntityOrder.size());
  for (const auto& d : R.BlockDefs) {
    Out.Names.push_back(d.Name);
    Out.Records.push_back(RecordsIn(d));
    Out.Slots.push_back(d.EntityOrder.size());
  }
  return {};
}

// Clears R and checks that it is empty.
template <class Reader>
std::string ClearChecked(Reader& R) {
  R.Clear();
  return readercheck::CheckCleared(R);
}

// B without any byte below 0x20.
std::string WithoutControls(std::string_view B) {
  std::string out;
  out.reserve(B.size());
  for (char c : B) {
    if (static_cast<unsigned char>(c) >= 0x20) out.push_back(c);
  }
  return out;
}

// Every name must be bytes of the file. A name is a run of file bytes that
// CleanFileString has thinned (it drops control bytes outside double-byte
// pairs, and a lead byte cut off at the end) and the search run may have cut
// short. Dropping every control byte from both sides undoes the thinning: a
// name without control bytes is then a substring of the file without
// control bytes. Names also found in the undamaged file are not searched.
std::string NamesComeFromTheFile(const std::vector<std::string>& Names, const Bytes& B,
                                 const std::unordered_set<std::string>& Known) {
  std::string file;
  for (const std::string& name : Names) {
    if (Known.count(name)) continue;
    if (file.empty()) file = WithoutControls({reinterpret_cast<const char*>(B.data()), B.size()});
    if (file.find(WithoutControls(name)) == std::string::npos) {
      return "block name of " + std::to_string(name.size()) + " bytes is not in the file";
    }
  }
  return {};
}

Bytes ReadAll(const fs::path& P) {
  std::ifstream in(P, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The window layer of a search run over one file; keeps the block-name
// column of the result rows.
class OneFileWindow : public TSearchWindow {
 public:
  explicit OneFileWindow(std::string Path) : Path(std::move(Path)) {}
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (int r = 1; r < RowCount; ++r) {
      auto name = Cells.find({0, r});
      if (name == Cells.end() || name->second.empty()) break;  // the empty row of no results
      rows.push_back(Cells.at({2, r}));
    }
    return rows;
  }

  int ListCount() override { return 1; }
  std::string ListEntry(int) override { return Path; }
  void ClearSelection() override {}
  void SetSelected(int, bool) override {}
  void SetStatusText(const std::string&) override {}
  void ProcessMessages() override {}
  void SetCell(int Col, int Row, const std::string& Text) override { Cells[{Col, Row}] = Text; }
  void SetRowCount(int Rows) override { RowCount = Rows; }
  void ShowResults() override {}

 private:
  std::string Path;
  std::map<std::pair<int, int>, std::string> Cells;
  int RowCount = 0;
};

// A folder of its own for the files the search run reads.
class ScratchFolder {
 public:
  ScratchFolder() {
    Dir = fs::temp_directory_path() / ("quillon-damaged-" + std::to_string(::getpid()));
    fs::create_directories(Dir);
  }
  ~ScratchFolder() {
    std::error_code ec;
    fs::remove_all(Dir, ec);
  }
  fs::path Write(const std::string& Name, const Bytes& B) const {
    fs::path p = Dir / Name;
    jwb::WriteFile(p.string(), B);
    return p;
  }

 private:
  fs::path Dir;
};

// The search run over B written to a file: its rows must be the names the
// same bytes give in memory, cut before the marker.
std::string SearchAgrees(const ScratchFolder& Folder, const std::string& Ext, const Bytes& B,
                         const Loaded& FromMemory) {
  const fs::path p = Folder.Write("damaged" + Ext, B);
  OneFileWindow window(p.string());
  TJwwData jww;
  TJwsData jws;
  RunBlockSearch(window, jww, jws);
  // The search run reads only files that start with their signature.
  const std::string_view sig = Ext == ".jww" ? "JwwData." : "JwsData";
  const bool signed_ = B.size() >= sig.size() && std::equal(sig.begin(), sig.end(), B.begin());
  std::vector<std::string> expected;
  if (signed_) {
    for (const std::string& n : FromMemory.Names) expected.push_back(CutAtMarker(n));
  }
  if (window.Rows() != expected) {
    return "the search run over the file listed " + std::to_string(window.Rows().size()) +
           " rows where the bytes in memory give " + std::to_string(expected.size());
  }
  return {};
}

// The two readers side by side, for typed tests.
template <class Reader>
struct KindOf;
template <>
struct KindOf<TJwwData> {
  static constexpr const char* Ext = ".jww";
  static Bytes Build(jwb::Drawing& D) { return D.JwwBytes(); }
};
template <>
struct KindOf<TJwsData> {
  static constexpr const char* Ext = ".jws";
  static Bytes Build(jwb::Drawing& D) { return D.JwsBytes(); }
};

template <class Reader>
class DamagedFiles : public ::testing::Test {};
using Readers = ::testing::Types<TJwwData, TJwsData>;
class ReaderNames {
 public:
  template <class T>
  static std::string GetName(int) {
    return std::is_same_v<T, TJwwData> ? "Drawing" : "Figure";
  }
};
TYPED_TEST_SUITE(DamagedFiles, Readers, ReaderNames);

// ---------------------------------------------------------------------------
// Every cut of a small file with every entity kind and three definitions.
//
// Reading is forward only, so a file cut at byte c reads exactly like the
// whole file up to the first read that needs byte c. Hence: the load fails
// unless the cut lies after the block definitions, or inside the record of
// the file's very last entity (that read failure is absorbed and nothing
// follows). Every entity that ends before the cut is held, a cut inside a
// record drops that one record, and a definition's name is either complete
// or empty.

struct Item {
  size_t Record, End;
};

// At version 700 every cut is tried; at version 300 (short attribute
// records, dimensions without extension parts) every cut of the body and
// every 13th of the header.
TYPED_TEST(DamagedFiles, EveryCutOfASmallFile) {
  for (int32_t version : {700, 300}) {
    SCOPED_TRACE("version " + std::to_string(version));
    jwb::Drawing d = samples::EveryKind(version);
    const Bytes whole = KindOf<TypeParam>::Build(d);
    const jwb::Layout layout = d.LastLayout();
    ASSERT_EQ(layout.defs.size(), 3u);
    ASSERT_EQ(layout.defs.back().list.items.back().end, layout.defsEnd)
        << "the last definition must end with an entity";

    // Entity items per list: the drawing's own list, then each definition's.
    std::vector<std::vector<Item>> lists;
    auto addList = [&](const jwb::ListLayout& l) {
      lists.emplace_back();
      for (const jwb::ItemLayout& it : l.items) lists.back().push_back({it.record, it.end});
    };
    addList(layout.list);
    for (const jwb::DefLayout& dl : layout.defs) addList(dl.list);
    const Item last = lists.back().back();

    TypeParam full;
    ASSERT_TRUE(full.LoadFromMemory(whole.data(), whole.size()));
    std::vector<std::string> fullNames;
    for (const auto& def : full.BlockDefs) fullNames.push_back(def.Name);

    TypeParam r;
    for (size_t cut = 0; cut <= whole.size(); ++cut) {
      if (version != 700 && cut < layout.bodyStart && cut % 13 != 0) continue;
      const Bytes b = jwb::Cut(whole, cut);
      Loaded got;
      ASSERT_EQ(LoadChecked(r, b, got), "") << "cut at " << cut;

      const bool absorbedLast = cut >= last.Record && cut < last.End;
      ASSERT_EQ(got.Result, cut >= layout.defsEnd || absorbedLast) << "cut at " << cut;

      // The list whose record the cut falls in, if any: that record is
      // dropped, unless the list's count was already refused as more than
      // the bytes left could hold.
      std::optional<size_t> cutList;
      for (size_t l = 0; l < lists.size(); ++l) {
        int64_t before = 0;
        for (const Item& it : lists[l]) {
          before += it.End <= cut;
          if (cut >= it.Record && cut < it.End) cutList = l;
        }
        const int64_t held = l < got.Records.size() ? got.Records[l] : 0;
        ASSERT_EQ(held, before) << "records of list " << l << ", cut at " << cut;
      }
      if (!cutList) {
        ASSERT_EQ(got.Absorbed, 0) << "cut at " << cut;
      } else if (got.Absorbed == 0) {
        // Refused: the list's own count, or the definition count before it.
        ASSERT_TRUE(*cutList >= got.Slots.size() || got.Slots[*cutList] == 0)
            << "a cut record neither dropped nor refused, cut at " << cut;
      } else {
        ASSERT_EQ(got.Absorbed, 1) << "cut at " << cut;
      }

      // Only definitions whose name was read are held; none when the count
      // was refused, as more than the bytes left could hold at 30 bytes each.
      int32_t namesRead = 0;
      for (size_t i = 0; i < 3; ++i) namesRead += cut >= layout.defs[i].list.count;
      const bool refused = cut < layout.defCount + 2 + 3 * 30;
      ASSERT_TRUE(got.DefCount == namesRead || (refused && got.DefCount == 0)) << "cut at " << cut;
      for (size_t i = 0; i < got.Names.size(); ++i) {
        ASSERT_EQ(got.Names[i], fullNames[i]) << "definition " << i << ", cut at " << cut;
      }
      if (cut < layout.defCount + 2) {
        ASSERT_EQ(got.DefCount, 0) << "cut at " << cut;
      }

      if (cut % 64 == 0) {
        ASSERT_EQ(ClearChecked(r), "") << "cut at " << cut;
      }
    }
  }
}

// Nothing after the block definitions is read: whatever the bound images or
// trailing bytes hold, the load comes out the same.
TYPED_TEST(DamagedFiles, BytesAfterTheDefinitionsAreNeverRead) {
  jwb::Drawing d = samples::EveryKind(700);
  d.trailing = jwb::Bytes(40, 0x5A);
  const Bytes whole = KindOf<TypeParam>::Build(d);
  const size_t defsEnd = d.LastLayout().defsEnd;
  ASSERT_LE(defsEnd + 40, whole.size());

  TypeParam r;
  Loaded base;
  ASSERT_EQ(LoadChecked(r, whole, base), "");
  ASSERT_TRUE(base.Result);
  for (size_t at = defsEnd; at < whole.size(); ++at) {
    Bytes b = whole;
    b[at] ^= 0xFF;
    Loaded got;
    ASSERT_EQ(LoadChecked(r, b, got), "") << "byte " << at;
    ASSERT_EQ(got, base) << "byte " << at << " after the definitions changed the load";
  }
}

// ---------------------------------------------------------------------------
// Random damage: seeded bit flips and byte overwrites, one to four per
// file, half of them on the bytes that steer the reader (class tags, counts,
// definition headers, name lengths) and half anywhere.

class Damager {
 public:
  Damager(uint32_t Seed, std::vector<size_t> Structure)
      : Rng(Seed), Structure(std::move(Structure)) {}

  // A damaged copy of B and a description of the damage.
  Bytes Damage(const Bytes& B, std::string& What) {
    Bytes out = B;
    What.clear();
    const int edits = Pick(10) < 7 ? 1 : 2 + static_cast<int>(Pick(3));
    for (int e = 0; e < edits; ++e) {
      size_t at = Pick(B.size());
      if (!Structure.empty() && Pick(2) == 0) {
        at = std::min(B.size() - 1, Structure[Pick(Structure.size())] + Pick(2));
      }
      if (Pick(2) == 0) {
        const int bit = static_cast<int>(Pick(8));
        out[at] ^= static_cast<uint8_t>(1u << bit);
        What += "bit " + std::to_string(bit) + " of byte " + std::to_string(at) + " flipped; ";
      } else {
        static constexpr uint8_t Values[] = {0x00, 0xFF, 0x7F, 0x80, 0x01, 0xFE};
        const uint8_t v = Pick(4) == 0 ? static_cast<uint8_t>(Pick(256)) : Values[Pick(6)];
        out[at] = v;
        What += "byte " + std::to_string(at) + " set to " + std::to_string(v) + "; ";
      }
    }
    return out;
  }

 private:
  size_t Pick(size_t N) { return std::uniform_int_distribution<size_t>(0, N - 1)(Rng); }
  std::mt19937 Rng;
  std::vector<size_t> Structure;
};

// Offsets of the bytes that steer the reader in a builder-made file.
std::vector<size_t> SteeringBytes(const jwb::Layout& L) {
  std::vector<size_t> out = {L.list.count, L.defCount};
  for (const jwb::ItemLayout& it : L.list.items) out.push_back(it.tag);
  for (const jwb::DefLayout& d : L.defs) {
    out.insert(out.end(), {d.tag, d.header + 15, d.header + 23, d.name, d.list.count});
    for (const jwb::ItemLayout& it : d.list.items) out.insert(out.end(), {it.tag, it.record});
  }
  return out;
}

// Loads Count damaged copies of Whole: each load is checked, every name
// must come from the file, a reader that held the previous file gives what
// a new reader gives, Clear empties, and (every SearchEvery-th copy) the
// search run over the bytes written to a file lists the same names.
template <class Reader>
void DamageAndLoad(const Bytes& Whole, uint32_t Seed, std::vector<size_t> Structure, int Count,
                   int SearchEvery, const ScratchFolder& Folder) {
  Reader reused;
  Loaded base;
  ASSERT_EQ(LoadChecked(reused, Whole, base), "");
  const std::unordered_set<std::string> known(base.Names.begin(), base.Names.end());
  Damager damager(Seed, std::move(Structure));
  for (int i = 0; i < Count; ++i) {
    std::string what;
    const Bytes b = damager.Damage(Whole, what);
    Loaded got;
    ASSERT_EQ(LoadChecked(reused, b, got), "") << what;
    ASSERT_EQ(NamesComeFromTheFile(got.Names, b, known), "") << what;
    if (i % 8 == 0) {
      auto fresh = std::make_unique<Reader>();
      Loaded again;
      ASSERT_EQ(LoadChecked(*fresh, b, again), "") << what;
      ASSERT_EQ(got, again) << "a used reader and a new one disagree after: " << what;
    }
    if (SearchEvery > 0 && i % SearchEvery == 0) {
      ASSERT_EQ(SearchAgrees(Folder, KindOf<Reader>::Ext, b, got), "") << what;
    }
    if (i % 4 == 0) {
      ASSERT_EQ(ClearChecked(reused), "") << what;
    }
  }
}

TYPED_TEST(DamagedFiles, RandomDamageOfBuilderFiles) {
  ScratchFolder folder;
  uint32_t seed = 20240601;
  auto run = [&](const std::string& name, jwb::Drawing& d, int count) {
    SCOPED_TRACE(name);
    const Bytes whole = KindOf<TypeParam>::Build(d);
    DamageAndLoad<TypeParam>(whole, seed++, SteeringBytes(d.LastLayout()), count, 4, folder);
  };
  for (int32_t version : {700, 420, 351, 350, 230, 220}) {
    jwb::Drawing d = samples::EveryKind(version);
    run("every kind at version " + std::to_string(version), d, 150);
    if (this->HasFatalFailure()) return;
  }
  for (auto& [name, d] : samples::Specials()) {
    if (name == "many-texts") continue;  // large and plain: little to add
    run(name, d, 100);
    if (this->HasFatalFailure()) return;
  }
}

// ---------------------------------------------------------------------------
// The real files of the corpus folder.

struct CorpusFile {
  fs::path Path;
  bool Drawing;
};

std::vector<CorpusFile> CorpusFiles() {
  std::vector<CorpusFile> out;
  const fs::path dir = QUILLON_CORPUS_DIR;
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return out;
  for (const auto& e : fs::recursive_directory_iterator(dir, ec)) {
    if (!e.is_regular_file()) continue;
    const std::string ext = e.path().extension().string();
    if (ext == ".jww" || ext == ".JWW") out.push_back({e.path(), true});
    if (ext == ".jws" || ext == ".JWS") out.push_back({e.path(), false});
  }
  std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.Path < b.Path; });
  return out;
}

// Cut offsets for a file of Size bytes: all of them up to 20 KB. Above, every
// offset of the first 512 bytes (the figure header and the start of what
// follows it) and of the last 128 (the last records of the last definition),
// and 300 more spread over the rest, each at a seeded place in its stretch
// (a load reads the whole file up to the cut, so every cut of a large file
// would take minutes under the sanitizers).
std::vector<size_t> CutsFor(size_t Size, uint32_t Seed) {
  std::vector<size_t> cuts;
  if (Size <= 20 * 1024) {
    for (size_t c = 0; c <= Size; ++c) cuts.push_back(c);
    return cuts;
  }
  std::set<size_t> s;
  for (size_t c = 0; c < 512; ++c) s.insert(c);
  for (size_t c = Size - 128; c <= Size; ++c) s.insert(c);
  std::mt19937 rng(Seed);
  const size_t stretches = 300, from = 512, span = Size - 640;
  for (size_t k = 0; k < stretches; ++k) {
    const size_t lo = from + span * k / stretches, hi = from + span * (k + 1) / stretches;
    s.insert(lo + std::uniform_int_distribution<size_t>(0, hi - lo - 1)(rng));
  }
  return {s.begin(), s.end()};
}

template <class Reader>
void CutCorpusFile(const Bytes& Whole, uint32_t Seed) {
  Reader r;
  Loaded full;
  ASSERT_EQ(LoadChecked(r, Whole, full), "");
  ASSERT_TRUE(full.Result) << "the undamaged file must load";
  size_t namesBefore = 0;
  for (size_t cut : CutsFor(Whole.size(), Seed)) {
    const Bytes b = jwb::Cut(Whole, cut);
    Loaded got;
    ASSERT_EQ(LoadChecked(r, b, got), "") << "cut at " << cut;
    if (cut < Whole.size()) {
      // Reading ends only where the file's bytes end: a cut file never loads
      // unless the cut is past everything the reader reads.
      if (got.Result) {
        ASSERT_EQ(got.Names, full.Names) << "cut at " << cut;
      }
    }
    ASSERT_LE(got.DefCount, full.DefCount) << "cut at " << cut;
    size_t named = 0;
    for (size_t i = 0; i < got.Names.size(); ++i) {
      if (got.Names[i].empty()) continue;
      ASSERT_EQ(got.Names[i], full.Names[i]) << "definition " << i << ", cut at " << cut;
      ++named;
    }
    // More bytes never read fewer definitions' names.
    ASSERT_GE(named, namesBefore) << "cut at " << cut;
    namesBefore = named;
  }
  ASSERT_EQ(ClearChecked(r), "");
}

TEST(DamagedCorpusFiles, Cuts) {
  const auto files = CorpusFiles();
  if (files.empty()) GTEST_SKIP() << "no corpus folder at " << QUILLON_CORPUS_DIR;
  uint32_t seed = 7;
  for (const CorpusFile& f : files) {
    SCOPED_TRACE(f.Path.string());
    const Bytes whole = ReadAll(f.Path);
    if (f.Drawing) {
      CutCorpusFile<TJwwData>(whole, seed++);
    } else {
      CutCorpusFile<TJwsData>(whole, seed++);
    }
    if (HasFatalFailure()) return;
  }
}

TEST(DamagedCorpusFiles, RandomDamage) {
  const auto files = CorpusFiles();
  if (files.empty()) GTEST_SKIP() << "no corpus folder at " << QUILLON_CORPUS_DIR;
  ScratchFolder folder;
  uint32_t seed = 1000;
  for (const CorpusFile& f : files) {
    SCOPED_TRACE(f.Path.string());
    const Bytes whole = ReadAll(f.Path);
    // Small files get many damaged copies, large ones fewer (each load reads
    // the whole file).
    const int count = whole.size() <= 20 * 1024 ? 1000 : 150;
    if (f.Drawing) {
      DamageAndLoad<TJwwData>(whole, seed++, {}, count, 16, folder);
    } else {
      DamageAndLoad<TJwsData>(whole, seed++, {}, count, 16, folder);
    }
    if (HasFatalFailure()) return;
  }
}

}  // namespace
