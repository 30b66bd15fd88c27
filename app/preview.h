// Previews of block definitions for the results window: built by re-reading
// the file the search listed, off the window's thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/displaylist.h"
#include "app/outcome.h"
#include "app/resulttable.h"

// A built display list, or why there is none.
struct TPreview {
  std::shared_ptr<const TDisplayList> List;
  std::string Problem;    // Japanese (UTF-8) reason when List is null
  std::string ProblemEn;  // the same in English, for the command-line tool
};

// Builds previews by re-reading files, keeping the last file read so that
// moving between the definitions of one file reads it once. Safe to call
// from one worker thread while the window thread holds earlier results.
class TPreviewSource {
 public:
  TPreviewSource();
  ~TPreviewSource();
  TPreviewSource(const TPreviewSource&) = delete;
  TPreviewSource& operator=(const TPreviewSource&) = delete;

  // The drawing of definition Position (0-based, file order) of Path, which
  // the search listed as ExpectedName (CP932, cut before the marker). A file
  // that went away, cannot be read or no longer holds that definition gives
  // the reason instead.
  TPreview Build(const std::string& Path, int Position, std::string_view ExpectedName);
  // Drops the file kept from the last call.
  void Forget();

 private:
  struct TKept;
  std::mutex Lock;
  std::unique_ptr<TKept> Kept;
};

// Builds previews on a thread of its own, so that a window never waits for
// a file. Only the latest request counts: one asked for while another is
// being built replaces any still waiting.
class TPreviewWorker {
 public:
  // Done is called on the worker thread with the ticket of the request and
  // its preview; a window hands it over to its own thread and shows it when
  // the ticket is still the latest one it asked for.
  using TDone = std::function<void(uint64_t Ticket, TPreview Preview)>;
  explicit TPreviewWorker(TDone Done);
  ~TPreviewWorker();  // waits for the preview being built, drops the rest
  TPreviewWorker(const TPreviewWorker&) = delete;
  TPreviewWorker& operator=(const TPreviewWorker&) = delete;

  // Asks for a preview (see TPreviewSource::Build); returns its ticket.
  uint64_t Request(const std::string& Path, int Position, const std::string& ExpectedName);

 private:
  struct TRequest {
    uint64_t Ticket;
    std::string Path;
    int Position;
    std::string Name;
  };
  void Run();
  TDone Done;
  TPreviewSource Source;
  std::mutex Lock;
  std::condition_variable Wake;
  std::optional<TRequest> Waiting;
  uint64_t LastTicket = 0;
  bool Stopping = false;
  std::thread Thread;
};

// The preview of a results window's current row: which definition to ask
// the worker for (each once), and which answer the pane still wants. Both
// front-ends follow their table through it.
class TPreviewFollower {
 public:
  // Done as for TPreviewWorker: called on the worker thread; the window
  // hands the answer to its own thread and shows it when Take says so.
  explicit TPreviewFollower(TPreviewWorker::TDone Done) : Worker(std::move(Done)) {}

  enum class TStep {
    Unchanged,  // the current row's drawing was asked for already
    Cleared,    // no row to show: the pane shows nothing
    Asked,      // its drawing was asked for; the answer follows
  };
  TStep Follow(const TResultTable& Table);
  // A new run: the same row may now list another file's definition.
  void Forget() { Key.clear(); }
  // True when the answer with Ticket is the one the pane waits for; it is
  // then the one shown.
  bool Take(uint64_t Ticket);
  // True while the latest request has no answer.
  bool Waiting() const { return Shown != Ticket; }

 private:
  TPreviewWorker Worker;
  uint64_t Ticket = 0;  // of the latest request
  uint64_t Shown = 0;   // of the answer the pane shows
  std::string Key;      // file, position and name of the latest request
};

// Margin around a drawing fitted into a preview pane, in pixels.
inline constexpr double PreviewMargin = 8;

// Texts of a drawing are laid out at this font size (pixels) before their
// frame scales them; a text smaller than PreviewLegibleHeight pixels on
// screen is drawn as its baseline.
inline constexpr int PreviewTextPixels = 64;
inline constexpr double PreviewLegibleHeight = 4;

// An affine map of layout points (u, v) to pane pixels:
// (M11 u + M21 v + Dx, M12 u + M22 v + Dy).
struct TTextMap {
  double M11 = 1, M12 = 0, M21 = 0, M22 = 1, Dx = 0, Dy = 0;
};

// What a pane draws a preview with, in pane pixels, in the order the shapes
// are handed over. Each front-end implements it with its own calls.
class TPreviewPainter {
 public:
  enum class TNote { EmptyDrawing, CutShort };
  virtual ~TPreviewPainter() = default;
  virtual void Solid(const TVec2 (&Corners)[4], uint32_t Color) = 0;
  virtual void Line(TVec2 A, TVec2 B, uint32_t Color) = 0;
  virtual void Polyline(const std::vector<TVec2>& Points, uint32_t Color) = 0;
  virtual void Dot(TVec2 At, uint32_t Color) = 0;
  // The advance of Utf8 in the pane's font at PreviewTextPixels.
  virtual double TextWidth(const std::string& Utf8) = 0;
  // Utf8 in that font, its baseline starting at (0, 0), drawn through Map.
  virtual void Text(const std::string& Utf8, const TTextMap& Map, uint32_t Color) = 0;
  // A note in the pane's own font: an empty drawing's text, centred, or the
  // note on a drawing cut short, at the bottom left.
  virtual void Note(const std::string& Utf8, TNote Kind) = 0;
};

// Draws List fitted into the pane area (Left, Top, Width, Height) with
// PreviewMargin: solids, lines, arcs, points, then texts (a text too small
// to read as its baseline), then the note of a drawing cut short.
void PaintPreview(const TDisplayList& List, double Left, double Top, double Width, double Height,
                  TPreviewPainter& Painter);

// Shown when an answer takes long.
extern const std::string PreviewLoadingText;  // "読み込み中…"
