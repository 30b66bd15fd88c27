#include "app/matcher.h"

#include <optional>

#include "text/codec.h"
#include "text/sjis.h"

TNameMatcher::TNameMatcher(std::string_view Utf8) : Active_(true) {
  if (!IsUtf8(Utf8)) {
    NotUtf8_ = true;  // Key_ stays empty: nothing matches
    return;
  }
  const std::optional<std::string> cp932 = Utf8ToCp932(Utf8);
  if (!cp932) {
    Unrepresentable_ = true;  // Key_ stays empty: nothing matches
    return;
  }
  Key_ = NormalizeForSearch(*cp932);
}

bool TNameMatcher::Narrows(const TNameMatcher& Wider) const {
  if (!Wider.Active_) return true;
  if (!Active_ || Wider.MatchesNothing()) return false;
  return MatchesNothing() || SearchKeyFound(Wider.Key_, Key_);
}

bool TNameMatcher::Matches(std::string_view NameCp932) const {
  if (!Active_) return true;
  if (Key_.empty()) return false;
  return SearchKeyFound(Key_, NormalizeForSearch(NameCp932));
}

bool TNameMatcher::MatchesKey(std::string_view NormalizedName) const {
  if (!Active_) return true;
  return SearchKeyFound(Key_, NormalizedName);
}
