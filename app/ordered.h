// Reads many files on worker threads but hands the results out in list
// order, so that what a reader of the output sees is what one thread
// reading the files one after another would show.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Runs Work(i, State&) for every i below Count on Jobs threads, each thread
// with its own State from MakeState(), and hands every result to Emit(i, R&&)
// on the calling thread in ascending i, each as soon as it and all results
// before it are ready; when Emit answers false the run ends there (the
// workers finish the work in hand and nothing more is emitted). Before the
// calling thread blocks waiting for the next result it calls BeforeWait(). Work may not run more
// than Ahead indices past the last emitted one, which bounds the results held. Work must not throw.
// With Jobs <= 1 everything runs on the calling thread.
template <class Result, class MakeState, class Work, class Emit, class BeforeWaitFn>
void RunOrdered(size_t Count, unsigned Jobs, size_t Ahead, MakeState&& MakeStateFn, Work&& WorkFn,
                Emit&& EmitFn, BeforeWaitFn&& BeforeWait) {
  if (Count == 0) return;
  if (Jobs <= 1 || Count == 1) {
    auto State = MakeStateFn();
    for (size_t i = 0; i < Count; ++i) {
      if (!EmitFn(i, WorkFn(i, State))) return;
    }
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
      bool awaited;
      {
        std::lock_guard<std::mutex> Hold(Lock);
        Slots[i].emplace(std::move(R));
        awaited = i == Emitted;  // the one result the calling thread may wait for
      }
      if (awaited) Ready.notify_one();
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
    // One more index may be claimed: one waiting worker is enough (waking
    // all of them for it made 64 jobs many times slower than 2).
    Room.notify_one();
    if (!EmitFn(k, std::move(R))) return;
  }
}
