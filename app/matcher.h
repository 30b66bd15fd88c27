// The one block-name matcher: the results window's filter and find-next and
// quillon-cli's --find all ask it whether a name contains the search text.
// A text matches a name when the name's normalised form (NormalizeForSearch)
// contains the text's: blind to letter case, to full-width versus half-width
// forms, to hiragana versus katakana and to spaces.
#pragma once

#include <string>
#include <string_view>

class TNameMatcher {
 public:
  // No text: every name matches.
  TNameMatcher() = default;
  // A text in UTF-8. A text that is not UTF-8, holds a character code page
  // 932 cannot hold, or normalises to nothing (only spaces, empty) matches
  // no name.
  explicit TNameMatcher(std::string_view Utf8);

  bool Active() const { return Active_; }
  // The text holds a character that code page 932 cannot represent.
  bool Unrepresentable() const { return Unrepresentable_; }
  // The text given was not UTF-8.
  bool NotUtf8() const { return NotUtf8_; }
  // No name can match.
  bool MatchesNothing() const { return Active_ && Key_.empty(); }
  // The normalised CP932 text.
  const std::string& Key() const { return Key_; }
  // True when every name this matcher matches is matched by Wider too, as
  // when a text grows while it is typed.
  bool Narrows(const TNameMatcher& Wider) const;

  // A name in CP932, as the file holds it.
  bool Matches(std::string_view NameCp932) const;
  // A name already normalised.
  bool MatchesKey(std::string_view NormalizedName) const;

 private:
  bool Active_ = false;
  bool Unrepresentable_ = false;
  bool NotUtf8_ = false;
  std::string Key_;
};
