#include "app/query.h"

#include <optional>

#include "app/resulttable.h"
#include "text/codec.h"
#include "text/paths.h"
#include "text/sjis.h"

namespace {

constexpr std::string_view FullWidthSpace = "\xE3\x80\x80";  // U+3000

// The query's words as typed, quotes taken off, a leading "-" kept.
std::vector<std::string> SplitWords(std::string_view Text) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false;
  auto end = [&] {
    if (!word.empty()) words.push_back(std::move(word));
    word.clear();
  };
  for (size_t i = 0; i < Text.size();) {
    if (Text[i] == '"') {
      quoted = !quoted;
      ++i;
    } else if (!quoted && Text[i] == ' ') {
      end();
      ++i;
    } else if (!quoted && Text.substr(i, FullWidthSpace.size()) == FullWidthSpace) {
      end();
      i += FullWidthSpace.size();
    } else {
      word += Text[i++];
    }
  }
  end();
  return words;
}

}  // namespace

TQuery::TQuery(std::string_view Utf8) {
  for (std::string& text : SplitWords(Utf8)) {
    if (text == "-") continue;  // a word to avoid, not typed yet
    TWord word;
    std::string_view body = text;
    if (body.size() > 1 && body.front() == '-') {
      word.Exclude = true;
      body.remove_prefix(1);
    }
    const std::optional<std::string> cp932 =
        IsUtf8(body) ? Utf8ToCp932(body) : std::optional<std::string>();
    if (!cp932) {
      // Found nowhere: a word to find keeps no row, one to avoid drops none.
      if (!word.Exclude) Nothing = true;
      continue;
    }
    word.Key = NormalizeForSearch(*cp932);
    if (!word.Key.empty()) Words.push_back(std::move(word));
  }
}

bool TQuery::Narrows(const TQuery& Wider) const {
  if (Nothing) return true;
  if (Wider.Nothing) return false;
  for (const TWord& w : Wider.Words) {
    // A word of Wider's is implied by one of ours that holds it (to find),
    // or that it holds (to avoid).
    bool implied = false;
    for (const TWord& v : Words) {
      if (v.Exclude != w.Exclude) continue;
      if (w.Exclude ? SearchKeyFound(v.Key, w.Key) : SearchKeyFound(w.Key, v.Key)) {
        implied = true;
        break;
      }
    }
    if (!implied) return false;
  }
  return true;
}

bool TQuery::Matches(std::string_view NameKey, std::string_view PathKey, std::string_view TextKey,
                     TField* Where) const {
  if (Nothing) return false;
  TField first = TField::None;
  for (const TWord& w : Words) {
    TField found = TField::None;
    if (SearchKeyFound(w.Key, NameKey)) {
      found = TField::Name;
    } else if (SearchKeyFound(w.Key, PathKey)) {
      found = TField::Path;
    } else if (SearchKeyFound(w.Key, TextKey)) {
      found = TField::Text;
    }
    if (w.Exclude ? found != TField::None : found == TField::None) return false;
    if (first == TField::None) first = found;
  }
  if (Where) *Where = first;
  return true;
}

std::string_view TQuery::FirstWordKey() const {
  for (const TWord& w : Words) {
    if (!w.Exclude) return w.Key;
  }
  return {};
}

std::string QueryPathKey(std::string_view PathUtf8) {
  return NormalizePathForSearch(ReplaceExt(PathUtf8, ""));
}
