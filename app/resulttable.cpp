#include "app/resulttable.h"

#include <algorithm>
#include <numeric>
#include <optional>

#include "app/blocktexts.h"
#include "text/codec.h"
#include "text/sjis.h"

namespace {

const std::string FullWidthQuestion = "\x81\x48";  // "？"

size_t Utf8SequenceLength(unsigned char Lead) {
  if (Lead < 0x80) return 1;
  if ((Lead & 0xE0) == 0xC0) return 2;
  if ((Lead & 0xF0) == 0xE0) return 3;
  if ((Lead & 0xF8) == 0xF0) return 4;
  return 1;
}

// The length in bytes of the character at S[I] of a CP932 text.
size_t CharLength(std::string_view S, size_t I) {
  return IsCodePageLeadByte(static_cast<unsigned char>(S[I])) && I + 1 < S.size() ? 2 : 1;
}

// The digit's value, or -1 when the character is no digit.
int DigitValue(std::string_view S, size_t I, size_t Length) {
  const auto b0 = static_cast<unsigned char>(S[I]);
  if (Length == 1) return b0 >= '0' && b0 <= '9' ? b0 - '0' : -1;
  const auto b1 = static_cast<unsigned char>(S[I + 1]);
  return b0 == 0x82 && b1 >= 0x4F && b1 <= 0x58 ? b1 - 0x4F : -1;
}

// The digits of the run starting at I, without leading zeros; I moves past
// the run.
std::string DigitRun(std::string_view S, size_t& I) {
  std::string digits;
  while (I < S.size()) {
    const size_t n = CharLength(S, I);
    const int d = DigitValue(S, I, n);
    if (d < 0) break;
    if (!(digits.empty() && d == 0)) digits.push_back(static_cast<char>('0' + d));
    I += n;
  }
  return digits;
}

std::string Number(int32_t N) {
  return std::to_string(N);
}

}  // namespace

TSortOrder NextSortOrder(int SortedCol, TSortOrder Current, int ClickedCol) {
  if (ClickedCol != SortedCol || Current == TSortOrder::Search) return TSortOrder::Ascending;
  return Current == TSortOrder::Ascending ? TSortOrder::Descending : TSortOrder::Search;
}

std::string NormalizePathForSearch(std::string_view Utf8) {
  if (std::optional<std::string> whole = Utf8ToCp932(Utf8)) return NormalizeForSearch(*whole);
  std::string cp932;
  for (size_t i = 0; i < Utf8.size();) {
    const size_t n =
        std::min(Utf8SequenceLength(static_cast<unsigned char>(Utf8[i])), Utf8.size() - i);
    const std::optional<std::string> one = Utf8ToCp932(Utf8.substr(i, n));
    cp932 += one ? *one : FullWidthQuestion;
    i += n;
  }
  return NormalizeForSearch(cp932);
}

int NaturalCompare(std::string_view A, std::string_view B) {
  size_t i = 0, j = 0;
  while (i < A.size() && j < B.size()) {
    const size_t na = CharLength(A, i), nb = CharLength(B, j);
    if (DigitValue(A, i, na) >= 0 && DigitValue(B, j, nb) >= 0) {
      const std::string da = DigitRun(A, i), db = DigitRun(B, j);
      if (da.size() != db.size()) return da.size() < db.size() ? -1 : 1;
      if (const int c = da.compare(db); c != 0) return c;
      continue;
    }
    if (const int c = A.substr(i, na).compare(B.substr(j, nb)); c != 0) return c;
    i += na;
    j += nb;
  }
  if (i < A.size()) return 1;
  if (j < B.size()) return -1;
  return 0;
}

TResultTable::TResultTable() : Files(1), FileUsers(1, 1), Rows(1) {
  Rebuild();
}

// Rows of one file share one entry of Files, so a million rows do not hold
// a million copies of their paths. An entry used by one row alone is changed
// in place; one equal to the entry before it is folded into that one.
void TResultTable::SetFileCell(TRow& Row, int Col, std::string_view Text) {
  TFile now = Files[Row.File];
  std::string& field = Col == FileNameCol ? now.Name : now.Path;
  if (field == Text) return;
  field = Text;
  now.Keyed = false;
  const uint32_t last = static_cast<uint32_t>(Files.size() - 1);
  if (Row.File == last && FileUsers[last] == 1 && last > 0) {
    Files[last] = std::move(now);
    if (last > 1 && Files[last - 1].Name == Files[last].Name &&
        Files[last - 1].Path == Files[last].Path) {
      Files.pop_back();
      FileUsers.pop_back();
      Row.File = last - 1;
      ++FileUsers[Row.File];
    }
    return;
  }
  --FileUsers[Row.File];
  if (Files[last].Name == now.Name && Files[last].Path == now.Path) {
    Row.File = last;
  } else {
    Files.push_back(std::move(now));
    FileUsers.push_back(0);
    Row.File = static_cast<uint32_t>(Files.size() - 1);
  }
  ++FileUsers[Row.File];
}

void TResultTable::SetCell(int Col, int Row, std::string_view Text) {
  if (Col < 0 || Col > TextsCol || Row < 1) return;
  const size_t index = static_cast<size_t>(Row - 1);
  if (index >= Rows.size()) {
    FileUsers[0] += static_cast<uint32_t>(index + 1 - Rows.size());
    Rows.resize(index + 1);
  }
  TRow& row = Rows[index];
  if (Col == BlockNameCol) {
    row.Block = Text;
    row.Keyed = false;
  } else if (Col == TextsCol) {
    row.Texts = Text;
    row.TextKey = BlockTextsKey(Text);
  } else {
    SetFileCell(row, Col, Text);
  }
}

const std::string& TResultTable::Cell(int Col, int Row) const {
  static const std::string empty;
  if (Col < 0 || Col > TextsCol || Row < 1 || Row > static_cast<int>(Rows.size())) {
    return empty;
  }
  const TRow& row = Rows[static_cast<size_t>(Row - 1)];
  if (Col == BlockNameCol) return row.Block;
  if (Col == TextsCol) return row.Texts;
  const TFile& file = Files[row.File];
  return Col == FileNameCol ? file.Name : file.Path;
}

void TResultTable::SetRowCount(int NewRows) {
  Count = std::max(NewRows, 2) - 1;
  if (Rows.size() > static_cast<size_t>(Count)) {
    for (size_t i = static_cast<size_t>(Count); i < Rows.size(); ++i) --FileUsers[Rows[i].File];
    Rows.resize(static_cast<size_t>(Count));
  } else if (Rows.size() < static_cast<size_t>(Count)) {
    FileUsers[0] += static_cast<uint32_t>(static_cast<size_t>(Count) - Rows.size());
    Rows.resize(static_cast<size_t>(Count));
  }
  DropUnusedFiles();
  Only.clear();
  Numbers.clear();
  CurrentRow = std::clamp(CurrentRow, 1, Count);
  Rebuild();
}

// Entries of an earlier run that no row refers to any more.
void TResultTable::DropUnusedFiles() {
  std::vector<uint32_t> moved(Files.size());
  uint32_t kept = 1;  // entry 0, the empty one, always stays
  for (size_t i = 1; i < Files.size(); ++i) {
    if (FileUsers[i] == 0) continue;
    moved[i] = kept;
    if (kept != i) {
      Files[kept] = std::move(Files[i]);
      FileUsers[kept] = FileUsers[i];
    }
    ++kept;
  }
  if (kept == Files.size()) return;
  Files.resize(kept);
  FileUsers.resize(kept);
  for (TRow& r : Rows) r.File = moved[r.File];
}

// Keys are made when a filter, a sort or find-next first needs them, so that
// a million rows show without normalising a million names first.
void TResultTable::MakeKeys() {
  for (TFile& f : Files) {
    if (!f.Keyed) {
      f.Key = NormalizePathForSearch(f.Name);
      f.PathKey = QueryPathKey(f.Path);
      f.Keyed = true;
    }
  }
  for (TRow& r : Rows) {
    if (!r.Keyed) {
      r.Key = NormalizeForSearch(r.Block);
      r.Keyed = true;
    }
  }
}

void TResultTable::SetSort(int Col, TSortOrder NewOrder) {
  SortCol = std::max(Col, 0);
  Order = NewOrder;
  Rebuild();
}

void TResultTable::SetSortNumbers(std::vector<int64_t> Values) {
  Numbers = std::move(Values);
  if (SortCol > TextsCol && Order != TSortOrder::Search) Rebuild();
}

void TResultTable::Rebuild() {
  Ordered.resize(static_cast<size_t>(Count));
  std::iota(Ordered.begin(), Ordered.end(), 0);
  if (Order != TSortOrder::Search) {
    MakeKeys();
    // Paths are compared in their normalised form, made once per file.
    std::vector<std::string> pathKeys;
    if (SortCol == PathCol) {
      pathKeys.reserve(Files.size());
      for (const TFile& f : Files) pathKeys.push_back(NormalizePathForSearch(f.Path));
    }
    auto key = [&](int32_t r) -> const std::string& {
      const TRow& row = Rows[static_cast<size_t>(r)];
      if (SortCol == BlockNameCol) return row.Key;
      if (SortCol == TextsCol) return row.TextKey;
      if (SortCol == PathCol) return pathKeys[row.File];
      return Files[row.File].Key;
    };
    auto number = [&](int32_t r) {
      return static_cast<size_t>(r) < Numbers.size() ? Numbers[static_cast<size_t>(r)] : -1;
    };
    const bool down = Order == TSortOrder::Descending;
    std::stable_sort(Ordered.begin(), Ordered.end(), [&](int32_t a, int32_t b) {
      const int c = SortCol > TextsCol ? (number(a) > number(b)) - (number(a) < number(b))
                                       : NaturalCompare(key(a), key(b));
      return down ? c > 0 : c < 0;
    });
  }
  Rank.resize(Ordered.size());
  for (size_t p = 0; p < Ordered.size(); ++p)
    Rank[static_cast<size_t>(Ordered[p])] = static_cast<int32_t>(p);
  Shown.clear();
  Refilter();
}

void TResultTable::SetFilter(std::string_view Utf8) {
  TQuery query(Utf8);
  // A query that narrows the previous one keeps a subset of the rows shown
  // now, so only those need looking at (the usual case while typing).
  if (!query.Narrows(FilterQuery)) Shown.clear();
  Filter = Utf8;
  FilterQuery = std::move(query);
  Refilter();
}

void TResultTable::SetOnlyRows(std::vector<bool> Keep) {
  Only = std::move(Keep);
  if (!Only.empty()) Only.resize(static_cast<size_t>(Count), false);
  Shown.clear();
  Refilter();
}

void TResultTable::Refilter() {
  if (FilterQuery.Active()) MakeKeys();
  auto keep = [&](int32_t r) {
    if (!Only.empty() && !Only[static_cast<size_t>(r)]) return false;
    const TRow& row = Rows[static_cast<size_t>(r)];
    return FilterQuery.Matches(row.Key, Files[row.File].PathKey, row.TextKey);
  };
  // Shown is either empty (start from every row) or the rows of a wider
  // filter, in the order drawn.
  std::vector<int32_t> from;
  from.swap(Shown);
  const std::vector<int32_t>& source = from.empty() ? Ordered : from;
  Shown.reserve(source.size());
  for (int32_t r : source) {
    if (keep(r)) Shown.push_back(r);
  }
  Where.assign(static_cast<size_t>(Count), -1);
  for (size_t p = 0; p < Shown.size(); ++p)
    Where[static_cast<size_t>(Shown[p])] = static_cast<int32_t>(p);
  SetCurrent(CurrentRow);
}

std::string TResultTable::MatchedText(int Row) const {
  if (!FilterQuery.Active() || PositionOf(Row) < 0) return {};
  const TRow& row = Rows[static_cast<size_t>(Row - 1)];
  TQuery::TField where = TQuery::TField::None;
  if (!FilterQuery.Matches(row.Key, Files[row.File].PathKey, row.TextKey, &where) ||
      where != TQuery::TField::Text) {
    return {};
  }
  const std::vector<std::string_view> texts = SplitBlockTexts(row.Texts);
  const std::vector<std::string_view> keys = SplitBlockTexts(row.TextKey);
  for (size_t i = 0; i < texts.size() && i < keys.size(); ++i) {
    if (SearchKeyFound(FilterQuery.FirstWordKey(), keys[i])) return std::string(texts[i]);
  }
  return {};
}

int TResultTable::DefinitionPosition(int Row) const {
  if (Row < 1 || Row > static_cast<int>(Rows.size())) return 0;
  const uint32_t file = Rows[static_cast<size_t>(Row - 1)].File;
  int first = Row;
  while (first > 1 && Rows[static_cast<size_t>(first - 2)].File == file) --first;
  return Row - first;
}

int TResultTable::PositionOf(int Row) const {
  if (Row < 1 || Row > Count) return -1;
  return Where[static_cast<size_t>(Row - 1)];
}

void TResultTable::SetCurrent(int Row) {
  CurrentRow = std::clamp(Row, 1, Count);
  if (Shown.empty() || PositionOf(CurrentRow) >= 0) return;
  // Shown is in the order drawn, so ranks ascend along it.
  const int32_t rank = Rank[static_cast<size_t>(CurrentRow - 1)];
  auto after = std::upper_bound(Shown.begin(), Shown.end(), rank, [&](int32_t r, int32_t row) {
    return r < Rank[static_cast<size_t>(row)];
  });
  CurrentRow = (after == Shown.end() ? Shown.back() : *after) + 1;
}

bool TResultTable::FindNext(std::string_view Utf8) {
  return Find(Utf8, 1);
}

bool TResultTable::FindPrevious(std::string_view Utf8) {
  return Find(Utf8, -1);
}

bool TResultTable::Find(std::string_view Utf8, int Step) {
  const TNameMatcher matcher(Utf8);
  const int from = PositionOf(CurrentRow);
  if (from < 0 || matcher.MatchesNothing()) return false;
  MakeKeys();
  const int shown = static_cast<int>(Shown.size());
  for (int p = from + Step; p >= 0 && p < shown; p += Step) {
    const int row = Shown[static_cast<size_t>(p)];
    if (matcher.MatchesKey(Rows[static_cast<size_t>(row)].Key)) {
      CurrentRow = row + 1;
      return true;
    }
  }
  return false;
}

void TResultTable::SetReport(const TRunSummary& Summary, std::vector<TProblemFile> Problems) {
  Report = Summary;
  Reported = true;
  ProblemFiles = std::move(Problems);
}

std::vector<std::string> TResultTable::StatusParts() const {
  std::vector<std::string> parts;
  if (Reported) {
    // With the saved index: how many of the files had to be read.
    const std::string read =
        Report.FromIndex > 0
            ? "、うち " + Number(Report.Files - Report.FromIndex) + " ファイルを読み込み"
            : std::string();
    parts.push_back(Number(Report.Rows) + " 行（" + Number(Report.Files) + " ファイル" + read +
                    "）");
    if (Report.Failed > 0) parts.push_back("読み込めなかったファイル " + Number(Report.Failed));
    if (Report.Warnings > 0)
      parts.push_back("一部を読み飛ばしたファイル " + Number(Report.Warnings));
  }
  if (Filtering()) {
    // Before the first run the table counts its rows itself.
    const int32_t all = Reported ? Report.Rows : Count;
    parts.push_back("絞り込み " + Number(Reported && Report.Rows == 0 ? 0 : ShownCount()) + " / " +
                    Number(all));
  }
  if (Reported && Report.Stopped) parts.push_back("中止しました");
  if (Reported && !Report.IndexProblem.empty()) parts.push_back("索引: " + Report.IndexProblem);
  return parts;
}

std::string TResultTable::StatusText() const {
  return JoinStatusParts(StatusParts());
}

std::string JoinStatusParts(const std::vector<std::string>& Parts) {
  std::string text;
  for (const std::string& part : Parts) {
    if (part.empty()) continue;
    if (!text.empty()) text += "・";
    text += part;
  }
  return text;
}
