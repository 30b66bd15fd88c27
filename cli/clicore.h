// The parts of quillon-cli that do not touch the command line: gathering the
// files to read, reading one file into rows, the row filter, the output
// formats and the runner that reads files in parallel but hands their rows
// out in argument order.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/outcome.h"

class TJwwData;
class TJwsData;

namespace qcli {

// ---------------------------------------------------------------------------
// Files to read

struct TInput {
  std::string Path;      // as given, or as found in a folder; used in messages
  std::string FullPath;  // absolute form of Path, the row's path column
  std::string Problem;   // when not empty the input is not read; this is why
};

// Turns the PATH arguments into inputs, in argument order. A folder is
// searched (with Recursive) for files with a drawing or figure extension in
// any letter case, in byte order of their paths; without Recursive it becomes
// an input carrying a problem. Everything else is left for the reader to
// judge, so a missing file is reported in its place in the output.
std::vector<TInput> CollectInputs(const std::vector<std::string>& Args, bool Recursive);

// Absolute, lexically normal form of a path, relative ones taken from
// WorkingFolder (or the current folder); the path itself when that is not
// known.
std::string FullPathOf(const std::string& Path, const std::string& WorkingFolder);
std::string FullPathOf(const std::string& Path);

// ---------------------------------------------------------------------------
// Rows

struct TRow {
  std::string File;   // the path's last component
  std::string Path;   // full path
  std::string Block;  // block name, UTF-8
};

// Keeps the rows whose block name contains the search text under the
// results window's comparison. Without a text every row is kept; a text
// that code page 932 cannot hold, or that normalises to nothing, keeps none.
class TBlockFilter {
 public:
  TBlockFilter() = default;
  explicit TBlockFilter(std::string_view FindUtf8);

  bool Active() const { return Active_; }
  // True when the text holds a character that code page 932 cannot represent.
  bool Unrepresentable() const { return Unrepresentable_; }
  bool Matches(std::string_view NameCp932) const;

 private:
  bool Active_ = false;
  bool Unrepresentable_ = false;
  std::string Key;  // normalised CP932 search text
};

// How reading one input went, ready for output.
struct TFileResult {
  std::vector<TRow> Rows;
  std::string Error;     // diagnostic reason; not empty when not read completely
  std::string Warning;   // diagnostic for a file that loaded but skipped records
  TFileOutcome Outcome;  // how reading went (for inputs that were read)
};

// Reads one input with the given readers (which must belong to the calling
// thread) and turns its block definitions into rows. Never throws.
TFileResult ReadInput(const TInput& Input, const TBlockFilter& Filter, TJwwData& Jww,
                      TJwsData& Jws);

// ---------------------------------------------------------------------------
// Output

enum class TOutputFormat { Tsv, Csv, Json };

// One CSV field as RFC 4180 writes it: quoted when it holds a comma, a double
// quote, CR or LF, with each double quote doubled.
std::string CsvField(std::string_view S);
// One TSV field: a tab, CR or LF (possible only in a path) written as \t, \r,
// \n so that every row stays one line of three columns.
std::string TsvField(std::string_view S);

// Writes rows in one format, one at a time. Begin and End frame the output
// (the JSON array); Row may be called any number of times in between.
class TRowWriter {
 public:
  TRowWriter(std::ostream& Out, TOutputFormat Format) : Out(Out), Format(Format) {}
  void Begin();
  void Row(const TRow& R);
  void End();

 private:
  std::ostream& Out;
  TOutputFormat Format;
  bool First = true;
};

// ---------------------------------------------------------------------------
// The ordered parallel runner

// Runs Work(i, State&) for every i below Count on Jobs threads, each thread
// with its own State from MakeState(), and hands every result to Emit(i, R&&)
// on the calling thread in ascending i, each as soon as it and all results
// before it are ready. Before the calling thread blocks waiting for the next
// result it calls BeforeWait() (to flush output). Work may not run more than
// Ahead indices past the last emitted one, which bounds the results held.
// Work must not throw. With Jobs <= 1 everything runs on the calling thread.
template <class Result, class MakeState, class Work, class Emit, class BeforeWaitFn>
void RunOrdered(size_t Count, unsigned Jobs, size_t Ahead, MakeState&& MakeStateFn, Work&& WorkFn,
                Emit&& EmitFn, BeforeWaitFn&& BeforeWait) {
  if (Count == 0) return;
  if (Jobs <= 1 || Count == 1) {
    auto State = MakeStateFn();
    for (size_t i = 0; i < Count; ++i) EmitFn(i, WorkFn(i, State));
    return;
  }
  if (Jobs > Count) Jobs = static_cast<unsigned>(Count);
  if (Ahead < Jobs) Ahead = Jobs;

  std::vector<std::optional<Result>> Slots(Count);
  std::mutex Lock;
  std::condition_variable Ready;  // a slot was filled
  std::condition_variable Room;   // a slot was emitted, or the run stops
  size_t Next = 0;                // next index to claim
  size_t Emitted = 0;             // indices below this are handed out
  bool Stop = false;

  auto Worker = [&] {
    auto State = MakeStateFn();
    for (;;) {
      size_t i;
      {
        std::unique_lock<std::mutex> Hold(Lock);
        Room.wait(Hold, [&] { return Stop || Next >= Count || Next < Emitted + Ahead; });
        if (Stop || Next >= Count) return;
        i = Next++;
      }
      Result R = WorkFn(i, State);
      {
        std::lock_guard<std::mutex> Hold(Lock);
        Slots[i].emplace(std::move(R));
      }
      Ready.notify_one();
    }
  };

  std::vector<std::thread> Threads;
  // Stops and joins the workers however the loop below is left.
  struct TJoin {
    std::vector<std::thread>& Threads;
    std::mutex& Lock;
    bool& Stop;
    std::condition_variable& Room;
    ~TJoin() {
      {
        std::lock_guard<std::mutex> Hold(Lock);
        Stop = true;
      }
      Room.notify_all();
      for (auto& T : Threads) T.join();
    }
  } Join{Threads, Lock, Stop, Room};
  Threads.reserve(Jobs);
  for (unsigned t = 0; t < Jobs; ++t) Threads.emplace_back(Worker);

  for (size_t k = 0; k < Count; ++k) {
    std::unique_lock<std::mutex> Hold(Lock);
    if (!Slots[k]) {
      Hold.unlock();
      BeforeWait();
      Hold.lock();
      Ready.wait(Hold, [&] { return Slots[k].has_value(); });
    }
    Result R = std::move(*Slots[k]);
    Slots[k].reset();
    Emitted = k + 1;
    Hold.unlock();
    Room.notify_all();
    EmitFn(k, std::move(R));
  }
}

}  // namespace qcli
