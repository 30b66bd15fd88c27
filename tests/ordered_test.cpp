// The ordered parallel runner behind quillon-cli and the search: results
// come out in input order, with one state per worker thread, streamed as
// they are ready.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "app/ordered.h"

TEST(OrderedRunner, EmitsInOrderWithOneStatePerThread) {
  for (unsigned jobs : {1u, 2u, 4u, 9u}) {
    for (size_t count : {size_t{0}, size_t{1}, size_t{5}, size_t{200}}) {
      std::mutex lock;
      std::set<std::thread::id> threads;
      std::atomic<int> states{0};
      std::vector<size_t> emitted;
      std::mt19937 rng(static_cast<unsigned>(count * 31 + jobs));
      std::vector<int> delays(count);
      for (int& d : delays) d = static_cast<int>(rng() % 300);
      std::atomic<size_t> maxAhead{0};
      std::atomic<size_t> done{0};
      RunOrdered<size_t>(
          count, jobs, 8,
          [&] {
            ++states;
            return std::this_thread::get_id();
          },
          [&](size_t i, std::thread::id& owner) {
            EXPECT_EQ(owner, std::this_thread::get_id());
            {
              std::lock_guard<std::mutex> hold(lock);
              threads.insert(owner);
            }
            const size_t ahead = i - std::min(i, done.load());
            size_t seen = maxAhead.load();
            while (ahead > seen && !maxAhead.compare_exchange_weak(seen, ahead)) {
            }
            std::this_thread::sleep_for(std::chrono::microseconds(delays[i]));
            return i * 3;
          },
          [&](size_t i, size_t&& r) {
            EXPECT_EQ(r, i * 3);
            emitted.push_back(i);
            done = i + 1;
            return true;
          },
          [] {});
      ASSERT_EQ(emitted.size(), count);
      for (size_t i = 0; i < count; ++i) ASSERT_EQ(emitted[i], i);
      EXPECT_LE(static_cast<unsigned>(states), std::max(1u, jobs));
      EXPECT_LE(static_cast<int>(threads.size()), states.load());
      // Emit learns of an index one step after the runner does.
      EXPECT_LE(maxAhead.load(), std::max<size_t>(8, jobs) + 1) << "jobs " << jobs;
    }
  }
}

TEST(OrderedRunner, StreamsTheFirstResultBeforeTheLastIsRead) {
  // The last item's work waits until item 0 has been emitted; a runner that
  // held every result until the end would let it time out.
  std::mutex lock;
  std::condition_variable cv;
  bool firstOut = false;
  bool lastSawFirst = false;
  RunOrdered<int>(
      4, 2, 16, [] { return 0; },
      [&](size_t i, int&) {
        if (i == 3) {
          std::unique_lock<std::mutex> hold(lock);
          lastSawFirst = cv.wait_for(hold, std::chrono::seconds(20), [&] { return firstOut; });
        }
        return static_cast<int>(i);
      },
      [&](size_t i, int&&) {
        if (i == 0) {
          std::lock_guard<std::mutex> hold(lock);
          firstOut = true;
          cv.notify_all();
        }
        return true;
      },
      [] {});
  EXPECT_TRUE(lastSawFirst);
}

TEST(OrderedRunner, StreamsItemsInOrderWithinTheBytesHeld) {
  for (unsigned jobs : {1u, 3u}) {
    // Index i puts i items of 10 bytes and at most 25 bytes may wait, so the
    // workers ahead must wait for room; index 5 sees its first item taken
    // before its work ends.
    std::atomic<bool> firstOfLastTaken{false};
    bool lastSawItsFirst = true;
    std::vector<std::pair<size_t, int>> taken, expected;
    std::vector<size_t> finished;
    RunOrderedStreams<int, size_t>(
        6, jobs, 25, [] { return 0; },
        [&](size_t i, int&, auto& Put) {
          for (int k = 0; k < static_cast<int>(i) && Put(int{k}, 10); ++k) {
            if (i != 5 || k != 0 || jobs == 1) continue;
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!firstOfLastTaken && std::chrono::steady_clock::now() < until)
              std::this_thread::yield();
            lastSawItsFirst = firstOfLastTaken;
          }
          return i;
        },
        [&](size_t i, int&& k) {
          firstOfLastTaken = firstOfLastTaken || i == 5;
          taken.emplace_back(i, k);
          return true;
        },
        [&](size_t i, size_t&& r) { return finished.push_back(r), r == i; });
    for (size_t i = 0; i < 6; ++i)
      for (int k = 0; k < static_cast<int>(i); ++k) expected.emplace_back(i, k);
    EXPECT_EQ(taken, expected) << jobs;
    EXPECT_EQ(finished, (std::vector<size_t>{0, 1, 2, 3, 4, 5})) << jobs;
    EXPECT_TRUE(lastSawItsFirst) << jobs;
  }
}
