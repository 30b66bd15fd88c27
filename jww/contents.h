// What both readers hold after their header: the entity lists, the block
// definitions and the insertion tree built from them. The drawing reader and
// the figure reader differ here only in how texts are held.
#pragma once

#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "jww/blocktree.h"
#include "jww/body.h"
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
  // Not part of the file: why the last load failed (Failed is false after a
  // load that read everything), and what the body reader is reading now.
  TReadFailure LastError;
  TReadPlace Place;

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
  // What a reader's header step found.
  enum class THeaderResult { Read, StopUnpublished };

  // The load both readers share: everything reset, the file opened (or the
  // bytes in memory taken), the header, the body with its block definitions,
  // then the published values and the insertion tree. R supplies the points
  // where the two file kinds differ: ResetFields(), ReadHeaderPart(Src),
  // ReadBodyPart(Src) and Publish(). A failed read ends the load with false
  // and LastError set; what was read before it stays.
  template <class Reader>
  bool LoadWith(Reader& R, ByteSource* Memory, const std::string& Path) {
    R.ResetFields();
    // The names-only and the drawings' loads publish nothing: they run on
    // worker threads, which must not build the published per-thread values
    // only to tear them down again when they end.
    if (Mode == TLoadMode::Full) LoadedFileName = Path;
    bool result = false;
    try {
      std::optional<ByteSource> file;
      ByteSource* src = Memory ? Memory : &file.emplace(Path);
      Place = {TReadPlace::Header};
      if (R.ReadHeaderPart(*src) == THeaderResult::StopUnpublished) {
        Fail(src->Position(), "the version is older than any this program reads");
        return false;  // nothing published, no tree
      }
      R.ReadBodyPart(*src);
      result = true;
    } catch (const EOpenError& e) {
      Fail(0, e.what());
      LastError.Open = e.Error;
    } catch (const EReadError& e) {
      Fail(e.Offset, e.what());
    } catch (const std::exception& e) {
      // Memory for a record list could not be had.
      Fail(0, e.what());
    }
    if (Mode == TLoadMode::Full) {
      R.Publish();
      BuildBlockTree();
    }
    return result;
  }

  // What a load keeps: everything; every entity and definition but no tree
  // and no published value (for drawing definitions); or only the block
  // definitions' headers and names (for the search). Every mode reads and
  // checks every record alike, with the same outcome.
  enum class TLoadMode { Full, Drawings, NamesOnly };

  // LoadWith in another mode than the full load's.
  template <class Reader>
  bool LoadInMode(Reader& R, ByteSource* Memory, const std::string& Path, TLoadMode InMode) {
    Mode = InMode;
    struct TReset {
      TLoadMode& Mode;
      ~TReset() { Mode = TLoadMode::Full; }
    } reset{Mode};
    return LoadWith(R, Memory, Path);
  }
  template <class Reader>
  bool LoadNamesWith(Reader& R, ByteSource* Memory, const std::string& Path) {
    return LoadInMode(R, Memory, Path, TLoadMode::NamesOnly);
  }

  // The body both readers share: the entity list, then the block
  // definitions, each stored or only walked as the load's mode says.
  void ReadEntitiesAndDefinitions(ByteSource& Src, int32_t Version, size_t ClassNameCapacity,
                                  int32_t& EntityCount, int32_t& DefTotal) {
    if (Mode == TLoadMode::NamesOnly) {
      jwbody::TBodyReader<Moji, true> body(Src, Version, ClassNameCapacity, AbsorbedFailures,
                                           Place);
      TEntityListsOf<Moji> none;
      body.ReadEntityList(none, EntityCount);
      body.ReadBlockDefs(BlockDefs, BlockDefCount, DefTotal);
    } else {
      jwbody::TBodyReader<Moji> body(Src, Version, ClassNameCapacity, AbsorbedFailures, Place);
      body.ReadEntityList(*this, EntityCount);
      body.ReadBlockDefs(BlockDefs, BlockDefCount, DefTotal);
    }
  }

  TLoadMode Mode = TLoadMode::Full;

  void Fail(uint64_t Offset, const std::string& Message) {
    LastError.Failed = true;
    LastError.Offset = Offset;
    LastError.Place = Place;
    LastError.Message = Message;
  }

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
    LastError = {};
    Place = {};
  }
};
