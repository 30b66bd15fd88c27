// What both readers hold after their header: the entity lists, the block
// definitions and the insertion tree built from them. The drawing reader and
// the figure reader differ here only in how texts are held.
#pragma once

#include <cstdint>
#include <new>
#include <vector>

#include "jww/blocktree.h"
#include "jww/jwwtype.h"

template <class Moji>
class TContentsOf : public TEntityListsOf<Moji> {
 public:
  std::vector<TBlockDefOf<Moji>> BlockDefs;
  int32_t BlockDefCount = 0;
  std::vector<TEntJwwBlockTree> BlockTree;
  int32_t BlockTreeCount = 0;
  int32_t UsedBlockDefCount = 0;

  // Not part of the file: how many entity records failed to read and were
  // dropped during the last load (a damaged file can still load with true).
  int32_t AbsorbedFailures = 0;

  // Flattens the insertions of the file and of its definitions into
  // BlockTree, and marks and numbers the definitions placed. Reports no
  // error: should memory run out, the tree is left empty.
  void BuildBlockTree() {
    try {
      jwbody::BuildBlockTreeOf(this->BlockInserts, this->BlockInsertCount, BlockDefs, BlockDefCount,
                               BlockTree, BlockTreeCount, UsedBlockDefCount);
    } catch (const std::bad_alloc&) {
      ReleaseVector(BlockTree);
      BlockTreeCount = 0;
    }
  }

 protected:
  // Releases the entity lists of each definition.
  void ReleaseDefinitionLists() {
    for (int32_t i = 0; i < BlockDefCount && i < static_cast<int32_t>(BlockDefs.size()); ++i) {
      BlockDefs[static_cast<size_t>(i)].ClearLists();
    }
  }
  // Empties everything held here and gives the storage back.
  void ResetContents() {
    this->ClearLists();
    ReleaseVector(BlockDefs);
    BlockDefCount = 0;
    ReleaseVector(BlockTree);
    BlockTreeCount = 0;
    UsedBlockDefCount = 0;
    AbsorbedFailures = 0;
  }
};
