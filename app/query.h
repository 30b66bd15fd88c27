// The filter box's query: the words a user remembers of a block. Words are
// separated by spaces (half- or full-width). A row is kept when every word
// is found, under the search comparison (NormalizeForSearch: blind to case,
// width, kana and spaces), in at least one of its block name, its file's
// path (folder names and file name, without the extension) and the texts
// drawn inside the block. A word that starts with "-" keeps only the rows
// where it is found nowhere; a quoted word ("洗面 台") is one word, spaces
// and all. One query is parsed once and asked for each row.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class TQuery {
 public:
  // Where a row's match was found.
  enum class TField { None, Name, Path, Text };

  // No words: every row is kept.
  TQuery() = default;
  explicit TQuery(std::string_view Utf8);

  bool Active() const { return !Words.empty() || Nothing; }
  // A word that is not UTF-8, or that holds a character code page 932
  // cannot hold, is found in no row: the query keeps none.
  bool MatchesNothing() const { return Nothing; }
  // Every row this query keeps is kept by Wider too (as when a word grows
  // while it is typed), so only Wider's rows need asking.
  bool Narrows(const TQuery& Wider) const;

  // The keys are comparison forms (NormalizeForSearch; the path's through
  // NormalizePathForSearch). Where, when given, gets the field the first
  // word was found in.
  bool Matches(std::string_view NameKey, std::string_view PathKey, std::string_view TextKey,
               TField* Where = nullptr) const;
  // The comparison form of the first word to find (empty when none): the
  // word Where reports on.
  std::string_view FirstWordKey() const;

 private:
  struct TWord {
    std::string Key;
    bool Exclude = false;
  };
  std::vector<TWord> Words;
  bool Nothing = false;
};

// The comparison form of a row's path for the query: the path without its
// extension.
std::string QueryPathKey(std::string_view PathUtf8);
