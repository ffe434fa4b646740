#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "platform/dispatch_time.h"

// The main dispatch queue and its run loop.
namespace tovik {

// A clock that moves only when told to. Advancing it runs nothing; the queue's
// runFor / runUntil move it through the due work in order.
class ManualClock {
 public:
  [[nodiscard]] DispatchTime now() const { return now_; }
  void advance(Duration d) { now_ = now_ + d; }
  void set(DispatchTime t) { now_ = t; }

 private:
  DispatchTime now_{};
};

// Work items run one at a time, in submission order, on the main thread: the
// thread that runs the queue. Submitting never runs the item inline, even on
// the main thread. Delayed items run at their deadlines, items with equal
// deadlines in submission order.
class MainQueue {
 public:
  using Work = std::function<void()>;

  static MainQueue& main();

  void async(Work work);
  void asyncAfter(DispatchTime deadline, Work work);
  [[nodiscard]] DispatchTime now() const;

  // Tests drive the queue with a manual clock (nullptr returns to the real
  // monotonic clock). The clock outlives its use by the queue.
  void useClock(ManualClock* clock);

  // Runs everything due now, including items submitted meanwhile that are
  // due; returns how many ran. Future items stay queued.
  std::size_t runUntilIdle();
  // Runs due items in deadline order until `deadline`, moving a manual clock
  // to each item's deadline and finally to `deadline`; with the real clock it
  // sleeps. Work that keeps re-submitting itself makes this run until then.
  std::size_t runUntil(DispatchTime deadline);
  std::size_t runFor(Duration d) { return runUntil(now() + d); }
  // Runs until stop() is called, from any thread or from a work item.
  void run();
  void stop();

  [[nodiscard]] bool isMainThread() const;
  [[nodiscard]] std::size_t pendingCount() const;

 private:
  struct Key {
    DispatchTime deadline;
    std::uint64_t sequence;
    friend auto operator<=>(const Key&, const Key&) = default;
  };

  // Queues `work` at `deadline`, or at the queue's present time when none.
  void enqueue(std::optional<DispatchTime> deadline, Work work);
  void claimMainThread();
  [[nodiscard]] DispatchTime nowLocked() const;
  // The key of the item that runs first; none when nothing is queued.
  [[nodiscard]] std::optional<Key> firstKeyLocked() const;
  // Takes the first item if it is due by `limit`.
  bool takeDue(DispatchTime limit, Work& out);

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  // Items due at their submission come in key order already, so they wait
  // in a plain FIFO; delayed items are kept sorted. The first item is the
  // earlier of the two fronts.
  std::deque<std::pair<Key, Work>> ready_;
  std::map<Key, Work> delayed_;
  std::uint64_t nextSequence_ = 0;
  ManualClock* clock_ = nullptr;
  std::thread::id mainThread_;
  bool stopRequested_ = false;
};

}  // namespace tovik
