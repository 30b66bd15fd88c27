// The texts drawn inside a block definition, as its result row lists them:
// the texts of its text records and of its dimensions, then, where the
// definition places other blocks, theirs (and so on through every level; a
// definition met again on the way adds nothing, so placements that go round
// in a circle end). Each distinct text is listed once, in the order met, as
// CP932 bytes (the file's own, after cleaning), separated by
// BlockTextSeparator; a list longer than TDefinitionFinds::ListedBytes bytes
// is cut on a character boundary and ends with "…".
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "jww/blocktree.h"
#include "jww/jwwtype.h"

// Between two texts of one list (never inside a cleaned text).
inline constexpr char BlockTextSeparator = '\n';
// How the texts are joined for people: in the results table, the
// command-line tool's TSV and CSV, the catalog.
inline constexpr std::string_view BlockTextsJoiner = " / ";
// A file's definitions together follow at most this many placements while
// their lists are made, so that a small file that places much cannot make
// the lists cost without end (as the insertion tree has its bound).
inline constexpr size_t MaxTextPlacements = 1'000'000;

// The texts listed for each of Finds, in order; Numbers[i] is the number of
// the definition Finds[i] belongs to (a placement finds the first
// definition of its number).
std::vector<std::string> ListBlockTexts(const std::vector<const TDefinitionFinds*>& Finds,
                                        const jwbody::TDefinitionsByNumber& ByNumber);

// The lists of the definitions a load read: from the finds a names-only
// load kept, or from the entities a whole load kept.
template <class Def>
std::vector<std::string> BlockTextsOf(const std::vector<Def>& Defs, int32_t DefCount,
                                      bool NamesOnly) {
  const size_t count =
      static_cast<size_t>(std::max<int64_t>(0, std::min<int64_t>(DefCount, Defs.size())));
  std::vector<TDefinitionFinds> made;
  std::vector<const TDefinitionFinds*> finds(count);
  if (!NamesOnly) made.resize(count);
  for (size_t k = 0; k < count; ++k) {
    if (NamesOnly) {
      finds[k] = &Defs[k].Finds;
      continue;
    }
    const Def& d = Defs[k];
    TDefinitionFinds& f = made[k];
    for (const TEntJwwOrder& o : d.EntityOrder) {
      const auto i = static_cast<size_t>(o.Index);
      if (o.Kind == KindText && i < d.Texts.size()) {
        f.AddText(d.Texts[i].Text2);
      } else if (o.Kind == KindDimension && i < d.Dimensions.size()) {
        f.AddText(d.Dimensions[i].DimText.Text2);
      } else if (o.Kind == KindBlock && i < d.BlockInserts.size()) {
        f.AddPlacement(d.BlockInserts[i].BlockNumber);
      }
    }
    finds[k] = &f;
  }
  return ListBlockTexts(finds, jwbody::TDefinitionsByNumber(Defs, static_cast<int32_t>(count)));
}

// The texts of a list one by one.
std::vector<std::string_view> SplitBlockTexts(std::string_view Texts);
// A list as UTF-8 for people, the texts joined by Joiner.
std::string BlockTextsUtf8(std::string_view Texts, std::string_view Joiner = BlockTextsJoiner);
// The comparison form of a list: each text normalised (NormalizeForSearch)
// on its own, separated as before, so that no word is found across two.
std::string BlockTextsKey(std::string_view Texts);
