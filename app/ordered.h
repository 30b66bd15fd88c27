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

namespace ordered_detail {

// The worker threads of a run. When it goes, Stop is set under Lock, every
// worker waiting on Room is woken, and all are joined.
class TWorkers {
 public:
  TWorkers(std::mutex& Lock, bool& Stop, std::condition_variable& Room)
      : Lock(Lock), Stop(Stop), Room(Room) {}
  ~TWorkers() {
    {
      std::lock_guard<std::mutex> Hold(Lock);
      Stop = true;
    }
    Room.notify_all();
    for (std::thread& t : Threads) t.join();
  }
  TWorkers(const TWorkers&) = delete;
  TWorkers& operator=(const TWorkers&) = delete;
  template <class Fn>
  void Start(unsigned Jobs, const Fn& Worker) {
    Threads.reserve(Jobs);
    for (unsigned t = 0; t < Jobs; ++t) Threads.emplace_back(Worker);
  }

 private:
  std::mutex& Lock;
  bool& Stop;
  std::condition_variable& Room;
  std::vector<std::thread> Threads;
};

}  // namespace ordered_detail

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

  // Stopped and joined however the loop below is left.
  ordered_detail::TWorkers Workers(Lock, Stop, Room);
  Workers.Start(Jobs, Worker);

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

// Like RunOrdered, but each piece of work hands out items as it makes them
// (Work(i, State&, Put) calls Put(Item&&, Bytes) for each, which answers
// false once the run stops), and the calling thread takes them in the same
// order as one thread doing the work in turn would make them: Take(i,
// Item&&) for each item of i, then Finish(i, Result&&) when i's work is done;
// either answering false ends the run. Items wait to be taken only within
// MaxHeld bytes in all (counted as Put says), so memory does not grow with
// the work's output: a worker ahead of the one being taken from waits for
// room; the one being taken from never waits on the others.
template <class Item, class Result, class MakeState, class Work, class Take, class Finish>
void RunOrderedStreams(size_t Count, unsigned Jobs, size_t MaxHeld, MakeState&& MakeStateFn,
                       Work&& WorkFn, Take&& TakeFn, Finish&& FinishFn) {
  if (Count == 0) return;
  if (Jobs <= 1 || Count == 1) {
    auto State = MakeStateFn();
    for (size_t i = 0; i < Count; ++i) {
      bool taking = true;
      auto Put = [&](Item&& It, size_t) {
        taking = taking && TakeFn(i, std::move(It));
        return taking;
      };
      Result R = WorkFn(i, State, Put);
      if (!taking || !FinishFn(i, std::move(R))) return;
    }
    return;
  }
  if (Jobs > Count) Jobs = static_cast<unsigned>(Count);

  struct TSlot {
    std::vector<std::pair<Item, size_t>> Items;  // put, not yet taken
    size_t Front = 0;                            // the next to take
    std::optional<Result> Done;
  };
  std::vector<TSlot> Slots(Count);
  std::mutex Lock;
  std::condition_variable Ready;  // an item was put or a result is done
  std::condition_variable Room;   // items were taken, the head moved, or the run stops
  size_t Next = 0;                // next index to claim
  size_t Head = 0;                // the index being taken from
  size_t Held = 0;                // bytes put and not taken
  bool Stop = false;

  auto Worker = [&] {
    auto State = MakeStateFn();
    for (;;) {
      size_t i;
      {
        std::unique_lock<std::mutex> Hold(Lock);
        // At most one piece of work per thread ahead of the head.
        Room.wait(Hold, [&] { return Stop || Next >= Count || Next < Head + Jobs; });
        if (Stop || Next >= Count) return;
        i = Next++;
      }
      auto Put = [&](Item&& It, size_t Bytes) {
        std::unique_lock<std::mutex> Hold(Lock);
        Room.wait(Hold, [&] { return Stop || i == Head || Held + Bytes <= MaxHeld; });
        if (Stop) return false;
        // The head waits only on the taker, and for its own items alone.
        if (i == Head && Held + Bytes > MaxHeld) {
          Room.wait(Hold, [&] {
            const TSlot& s = Slots[i];
            return Stop || s.Front == s.Items.size();
          });
          if (Stop) return false;
        }
        Slots[i].Items.emplace_back(std::move(It), Bytes);
        Held += Bytes;
        const bool awaited = i == Head;
        Hold.unlock();
        if (awaited) Ready.notify_one();
        return true;
      };
      Result R = WorkFn(i, State, Put);
      bool awaited;
      {
        std::lock_guard<std::mutex> Hold(Lock);
        Slots[i].Done.emplace(std::move(R));
        awaited = i == Head;
      }
      if (awaited) Ready.notify_one();
    }
  };

  ordered_detail::TWorkers Workers(Lock, Stop, Room);
  Workers.Start(Jobs, Worker);

  for (size_t k = 0; k < Count; ++k) {
    for (;;) {
      std::unique_lock<std::mutex> Hold(Lock);
      TSlot& s = Slots[k];
      Ready.wait(Hold, [&] { return s.Front < s.Items.size() || s.Done.has_value(); });
      if (s.Front < s.Items.size()) {
        auto [It, Bytes] = std::move(s.Items[s.Front]);
        ++s.Front;
        Held -= Bytes;
        if (s.Front == s.Items.size()) {
          s.Items.clear();
          s.Front = 0;
        }
        Hold.unlock();
        Room.notify_all();
        if (!TakeFn(k, std::move(It))) return;
        continue;
      }
      Result R = std::move(*s.Done);
      s.Done.reset();
      std::vector<std::pair<Item, size_t>>().swap(s.Items);
      Head = k + 1;
      Hold.unlock();
      Room.notify_all();
      if (!FinishFn(k, std::move(R))) return;
      break;
    }
  }
}
