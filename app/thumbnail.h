// Thumbnails of block drawings: each definition's display list simplified to
// the largest thumbnail's size and kept as a few bytes, so that a grid of
// thousands of blocks is drawn without reading their files again.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "app/displaylist.h"
#include "app/fingerprint.h"
#include "app/resultsplace.h"
#include "app/resulttable.h"

// A compact drawing holds at most this many bytes; what does not fit is left
// out and the drawing is marked cut short.
inline constexpr size_t MaxThumbnailBytes = 4096;

// The drawing fitted into a square of MaxThumbnailSize grid steps with every
// coordinate on a whole step: arcs become polylines as fine as that size
// needs, lines join into polylines, segments that shrink to one point or
// repeat another are dropped, and texts keep their frame and at most 64
// bytes. Never more than MaxThumbnailBytes.
std::string CompactThumbnail(const TDisplayList& List);

// The compact drawing back as a display list in grid coordinates (y up),
// with the bounds of the whole drawing, so that a pane fits it as it would
// fit the drawing itself; nothing for bytes that are not a compact drawing.
std::optional<TDisplayList> ExpandThumbnail(std::string_view Bytes);

// One definition's thumbnail as a worker made it.
struct TMadeThumbnail {
  std::string Path;
  int Position = 0;      // in file order, from 0; -1 for a file that gave none
  std::string Name;      // CP932, cut before the marker, as the search lists it
  std::string Compact;   // CompactThumbnail's bytes
  TFingerprint Print{};  // of the same display list
  bool Draws = false;    // the definition draws something
};

// Makes thumbnails on a thread of its own: each file wanted is read once,
// whole, and every definition in it drawn (within the catalog's bounds) and
// kept compact, with its fingerprint. The files wanted last come first, so that the rows on screen
// are drawn before those the user scrolled past.
class TThumbnailWorker {
 public:
  // Ready is called on the worker's thread whenever thumbnails wait to be
  // taken; a window hands it over to its own thread and calls Take. With an
  // IndexPath, a file the saved index holds unchanged with its drawings is
  // not read at all, and the drawings of a file read are kept there.
  explicit TThumbnailWorker(std::function<void()> Ready, std::string IndexPath = {});
  ~TThumbnailWorker();  // finishes the file in hand, drops the rest
  TThumbnailWorker(const TThumbnailWorker&) = delete;
  TThumbnailWorker& operator=(const TThumbnailWorker&) = delete;

  // Files to draw, the most wanted first; they go before any still waiting
  // (a file being read is not read again).
  void Want(const std::vector<std::string>& Paths);
  // Drops every file still waiting.
  void Cancel();
  std::vector<TMadeThumbnail> Take();

 private:
  void Run();
  std::function<void()> Ready;
  const std::string IndexPath;
  std::mutex Lock;
  std::condition_variable Wake;
  std::deque<std::string> Waiting;
  std::string InHand;  // the file being read
  std::vector<TMadeThumbnail> Made;
  bool Stopping = false;
  std::thread Thread;
};

// The thumbnails one results window holds, by file and position, and the
// files it has asked for.
class TThumbnailCache {
 public:
  // The compact drawing of definition Position of Path when it was drawn and
  // still has the name the row lists; nothing while it is not drawn.
  const std::string* Find(const std::string& Path, int Position, std::string_view Name) const;
  // True once Path was read (whether or not it gave thumbnails).
  bool FileDone(const std::string& Path) const { return Done.count(Path) != 0; }
  // The fingerprint of definition Position of Path, as Find.
  const TPrintedRow* FindPrint(const std::string& Path, int Position, std::string_view Name) const;
  // The thumbnail of result row Row of Table, as Find.
  const std::string* ForRow(const TResultTable& Table, int Row) const;
  void Add(std::vector<TMadeThumbnail> Made);
  // The files of the rows drawn at positions First..Last of Table that are
  // not read yet, in order, each once.
  std::vector<std::string> ToAsk(const TResultTable& Table, int First, int Last) const;
  // Of Paths (the files of the rows on screen, in order), those not read
  // yet, each once: to be wanted again, ahead of those scrolled past.
  std::vector<std::string> ToAsk(const std::vector<std::string>& Paths) const;
  // A new run: everything is forgotten.
  void Clear();
  size_t Bytes() const { return Held; }

 private:
  struct TKept {
    std::string Name;  // CP932
    std::string Compact;
    TPrintedRow Print;
  };
  std::map<std::pair<std::string, int>, TKept> Kept;
  std::set<std::string> Done;
  size_t Held = 0;
};

// The problem of the file result row Row lists, when the run had one with
// it (the thumbnail's mark); null otherwise.
const TProblemFile* ProblemOfRow(const TResultTable& Table, int Row);
