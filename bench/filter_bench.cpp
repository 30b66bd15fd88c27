// filter_bench: how long the results table takes to re-filter and re-sort
// after each keystroke, over 100,000 rows (the target is 50 ms a keystroke)
// and over 1,000,000, and over 100,000 rows whose blocks hold texts of about
// 200 bytes (the filter looks in them too). A program that prints figures;
// it is not a test.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/resulttable.h"
#include "text/codec.h"

namespace {

using TClock = std::chrono::steady_clock;

double Ms(TClock::time_point From) {
  return std::chrono::duration<double, std::milli>(TClock::now() - From).count();
}

// Texts of about 200 bytes (CP932) inside a block: room names, areas,
// dimensions, notes.
std::string TextsOf(int R) {
  static const char* const Words[] = {"事務室", "会議室",  "廊下",   "倉庫",      "給湯室",
                                      "天井高", "CH=2600", "FL+50",  "ｶﾞﾗｽ",      "扉",
                                      "W900",   "H2000",   "防火戸", "ﾊﾟｲﾌﾟｼｬﾌﾄ", "㎡"};
  std::string texts;
  for (int i = 0; texts.size() < 190; ++i) {
    if (!texts.empty()) texts += '\n';
    texts +=
        *Utf8ToCp932(std::string(Words[(R + i * 7) % 15]) + std::to_string((R * 31 + i) % 1000));
  }
  return texts;
}

// Rows shaped like a real collection: 40 definitions a file, names mixing
// kana, kanji, Latin letters and numbers.
void Fill(TResultTable& Table, int Rows, bool Texts) {
  static const char* const Stems[] = {"ドア", "窓",   "WC", "便器", "階段",
                                      "机",   "いす", "柱", "DOOR", "流し台"};
  for (int r = 1; r <= Rows; ++r) {
    const int file = (r - 1) / 40;
    const std::string name = "図面" + std::to_string(file) + ".jww";
    Table.SetCell(0, r, name);
    Table.SetCell(1, r, "/home/user/図面/現場" + std::to_string(file / 100) + "/" + name);
    const std::string block =
        std::string(Stems[r % 10]) + std::to_string(r % 997) + "-" + std::to_string(r % 7);
    Table.SetCell(2, r, *Utf8ToCp932(block));
    if (Texts) Table.SetCell(TextsCol, r, TextsOf(r));
  }
  Table.SetRowCount(Rows + 1);
}

void Measure(int Rows, bool Texts = false) {
  TResultTable table;
  auto t0 = TClock::now();
  Fill(table, Rows, Texts);
  std::printf("%d rows%s: filled and keyed in %.1f ms\n", Rows,
              Texts ? " with ~200 bytes of texts each" : "", Ms(t0));

  t0 = TClock::now();
  table.SetSort(2, TSortOrder::Ascending);
  std::printf("  sort by block name: %.1f ms\n", Ms(t0));
  table.SetSort(0, TSortOrder::Search);

  // Typing "ドア12", then deleting it again key by key (each deletion widens
  // the filter and looks at every row again).
  const std::vector<std::string> keystrokes = {"ド",    "ドア", "ドア1", "ドア12",
                                               "ドア1", "ドア", "ド",    ""};
  std::vector<double> times;
  for (int round = 0; round < 5; ++round) {
    for (const std::string& text : keystrokes) {
      t0 = TClock::now();
      table.SetFilter(text);
      times.push_back(Ms(t0));
    }
  }
  std::sort(times.begin(), times.end());
  std::printf("  filter per keystroke: median %.2f ms, worst %.2f ms (%zu keystrokes)\n",
              times[times.size() / 2], times.back(), times.size());

  table.SetSort(2, TSortOrder::Ascending);
  times.clear();
  for (const std::string& text : keystrokes) {
    t0 = TClock::now();
    table.SetFilter(text);
    times.push_back(Ms(t0));
  }
  std::sort(times.begin(), times.end());
  std::printf("  filter per keystroke, sorted table: worst %.2f ms\n", times.back());
}

}  // namespace

int main() {
  Measure(100000);
  Measure(100000, true);
  Measure(1000000);
  return 0;
}
