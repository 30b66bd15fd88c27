#include "app/blocktexts.h"

#include <algorithm>
#include <functional>

#include "text/codec.h"
#include "text/sjis.h"

namespace {

constexpr std::string_view Ellipsis = "\x81\x63";  // "…"

// Texts (each followed by the separator) as listed: the last separator
// dropped, and cut with "…" when too long.
std::string Listed(std::string_view Texts) {
  if (!Texts.empty()) Texts.remove_suffix(1);
  constexpr size_t limit = TDefinitionFinds::ListedBytes;
  if (Texts.size() <= limit) return std::string(Texts);
  const size_t room = limit - Ellipsis.size();
  size_t cut = 0;
  while (cut < room) {
    const size_t n = IsCodePageLeadByte(static_cast<unsigned char>(Texts[cut])) ? 2 : 1;
    if (cut + n > room) break;
    cut += n;
  }
  std::string out(Texts.substr(0, cut));
  while (!out.empty() && out.back() == BlockTextSeparator) out.pop_back();
  return out += Ellipsis;
}

// The texts already in a list, by their bytes: a table that open addressing
// keeps small and a generation empties at once, so that making a list costs
// a look-up a text, not a search through the list.
class TSeenTexts {
 public:
  void Clear() { ++Generation; }
  // True when Text was not in the list yet (it is now).
  bool Add(std::string_view Text) {
    const size_t hash = std::hash<std::string_view>{}(Text);
    for (size_t i = hash & Mask;; i = (i + 1) & Mask) {
      TSlot& slot = Slots[i];
      if (slot.Generation != Generation) {
        slot = {Generation, hash, Text};
        return true;
      }
      if (slot.Hash == hash && slot.Text == Text) return false;
    }
  }

 private:
  struct TSlot {
    uint32_t Generation = 0;
    size_t Hash = 0;
    std::string_view Text;
  };
  // A list stops growing past ListedBytes, a text and its separator taking
  // two bytes at least: the table is never more than a quarter full.
  static constexpr size_t Mask = 4 * TDefinitionFinds::ListedBytes - 1;
  std::vector<TSlot> Slots = std::vector<TSlot>(Mask + 1);
  uint32_t Generation = 1;
};

}  // namespace

std::vector<std::string> ListBlockTexts(const std::vector<const TDefinitionFinds*>& Finds,
                                        const jwbody::TDefinitionsByNumber& ByNumber) {
  // A definition's texts sit in its Texts after a leading separator, each
  // followed by one; a placement records where in them it came.
  struct TStep {
    size_t Def;
    size_t Next;  // the next placement to follow
    size_t From;  // the first of its texts not yet taken
  };
  std::vector<std::string> lists(Finds.size());
  std::vector<size_t> metIn(Finds.size(), SIZE_MAX);
  std::vector<TStep> path;
  std::string list;  // each text followed by the separator
  TSeenTexts seen;
  size_t placements = 0;
  constexpr size_t full = TDefinitionFinds::ListedBytes + 1;
  // Adds the texts of F before byte To that the list does not hold yet.
  auto take = [&](const TDefinitionFinds& F, size_t& From, size_t To) {
    while (From < To && list.size() <= full) {
      const size_t end = F.Texts.find(BlockTextSeparator, From);
      const std::string_view text(F.Texts.data() + From, end - From);
      if (seen.Add(text)) {
        list += text;
        list += BlockTextSeparator;
      }
      From = end + 1;
    }
  };
  for (size_t d = 0; d < Finds.size(); ++d) {
    if (Finds[d]->Placed.empty()) {  // its own texts, each once already
      lists[d] = Listed(std::string_view(Finds[d]->Texts).substr(1));
      continue;
    }
    list.clear();
    seen.Clear();
    metIn[d] = d;
    path.assign(1, TStep{d, 0, 1});
    while (!path.empty() && list.size() <= full) {
      TStep& step = path.back();
      const TDefinitionFinds& f = *Finds[step.Def];
      if (step.Next == f.Placed.size()) {
        take(f, step.From, f.Texts.size());
        path.pop_back();
        continue;
      }
      const auto [at, number] = f.Placed[step.Next++];
      take(f, step.From, at);
      const int32_t placed = ByNumber.Find(number);
      if (placed < 0 || placed >= static_cast<int32_t>(Finds.size())) continue;
      const auto p = static_cast<size_t>(placed);
      if (metIn[p] == d || placements == MaxTextPlacements) continue;
      ++placements;
      metIn[p] = d;
      path.push_back(TStep{p, 0, 1});
    }
    lists[d] = Listed(list);
  }
  return lists;
}

std::vector<std::string_view> SplitBlockTexts(std::string_view Texts) {
  std::vector<std::string_view> texts;
  while (!Texts.empty()) {
    const size_t end = std::min(Texts.find(BlockTextSeparator), Texts.size());
    texts.push_back(Texts.substr(0, end));
    Texts.remove_prefix(std::min(end + 1, Texts.size()));
  }
  return texts;
}

std::string BlockTextsUtf8(std::string_view Texts, std::string_view Joiner) {
  std::string out;
  for (const std::string_view text : SplitBlockTexts(Texts)) {
    if (!out.empty()) out += Joiner;
    out += Cp932ToUtf8(text);
  }
  return out;
}

std::string BlockTextsKey(std::string_view Texts) {
  std::string key;
  bool first = true;
  for (const std::string_view text : SplitBlockTexts(Texts)) {
    if (!first) key += BlockTextSeparator;
    key += NormalizeForSearch(text);
    first = false;
  }
  return key;
}
