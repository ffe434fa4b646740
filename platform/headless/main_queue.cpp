#include "platform/main_queue.h"

#include <algorithm>

#include "platform/autorelease.h"
#include "platform/runtime.h"

namespace tovik {

namespace {
const auto kProcessStart = std::chrono::steady_clock::now();
}

DispatchTime DispatchTime::now() { return MainQueue::main().now(); }

MainQueue& MainQueue::main() {
  static auto* queue = new MainQueue;
  return *queue;
}

DispatchTime MainQueue::now() const {
  std::lock_guard lock(mutex_);
  return nowLocked();
}

DispatchTime MainQueue::nowLocked() const {
  if (clock_ != nullptr) return clock_->now();
  return {std::chrono::duration_cast<Duration>(std::chrono::steady_clock::now() - kProcessStart)};
}

void MainQueue::useClock(ManualClock* clock) {
  std::lock_guard lock(mutex_);
  clock_ = clock;
}

void MainQueue::async(Work work) { enqueue(std::nullopt, std::move(work)); }

void MainQueue::asyncAfter(DispatchTime deadline, Work work) { enqueue(deadline, std::move(work)); }

void MainQueue::enqueue(std::optional<DispatchTime> deadline, Work work) {
  if (!work) return;
  {
    std::lock_guard lock(mutex_);
    const Key key{deadline.value_or(nowLocked()), nextSequence_++};
    // In the FIFO only while it keeps key order (a manual clock may have
    // been set back, and delayed items may come due now or earlier).
    if (!deadline.has_value() && (ready_.empty() || ready_.back().first.deadline <= key.deadline)) {
      ready_.emplace_back(key, std::move(work));
    } else {
      delayed_.emplace(key, std::move(work));
    }
  }
  wake_.notify_all();
}

void MainQueue::claimMainThread() {
  std::lock_guard lock(mutex_);
  const auto self = std::this_thread::get_id();
  if (mainThread_ == std::thread::id{}) mainThread_ = self;
  if (mainThread_ != self) throw PlatformError("the main queue runs on the main thread only");
}

bool MainQueue::isMainThread() const {
  std::lock_guard lock(mutex_);
  return mainThread_ == std::this_thread::get_id();
}

std::size_t MainQueue::pendingCount() const {
  std::lock_guard lock(mutex_);
  return ready_.size() + delayed_.size();
}

std::optional<MainQueue::Key> MainQueue::firstKeyLocked() const {
  if (ready_.empty() && delayed_.empty()) return std::nullopt;
  if (delayed_.empty()) return ready_.front().first;
  if (ready_.empty()) return delayed_.begin()->first;
  return std::min(ready_.front().first, delayed_.begin()->first);
}

bool MainQueue::takeDue(DispatchTime limit, Work& out) {
  std::lock_guard lock(mutex_);
  const std::optional<Key> first = firstKeyLocked();
  if (!first.has_value() || first->deadline > limit) return false;
  if (clock_ != nullptr && clock_->now() < first->deadline) clock_->set(first->deadline);
  if (!ready_.empty() && ready_.front().first == *first) {
    out = std::move(ready_.front().second);
    ready_.pop_front();
  } else {
    out = std::move(delayed_.extract(delayed_.begin()).mapped());
  }
  return true;
}

std::size_t MainQueue::runUntilIdle() {
  claimMainThread();
  std::size_t ran = 0;
  Work work;
  while (takeDue(now(), work)) {
    const AutoreleasePool pool;  // around each item, as the run loop around each event
    std::exchange(work, nullptr)();
    ++ran;
  }
  return ran;
}

std::size_t MainQueue::runUntil(DispatchTime deadline) {
  claimMainThread();
  std::size_t ran = 0;
  for (;;) {
    const bool manual = [this] {
      std::lock_guard lock(mutex_);
      return clock_ != nullptr;
    }();
    const DispatchTime current = now();
    Work work;
    if (takeDue(manual ? deadline : std::min(current, deadline), work)) {
      const AutoreleasePool pool;
      work();
      ++ran;
      continue;
    }
    std::unique_lock lock(mutex_);
    if (clock_ != nullptr) {
      if (clock_->now() < deadline) clock_->set(deadline);
      return ran;
    }
    if (current >= deadline) return ran;
    DispatchTime wakeAt = deadline;
    if (const std::optional<Key> first = firstKeyLocked()) {
      wakeAt = std::min(wakeAt, first->deadline);
    }
    wake_.wait_until(lock, kProcessStart + wakeAt.sinceStart);
  }
}

void MainQueue::run() {
  claimMainThread();
  for (;;) {
    Work work;
    {
      std::unique_lock lock(mutex_);
      if (stopRequested_) {
        stopRequested_ = false;
        return;
      }
    }
    if (takeDue(now(), work)) {
      const AutoreleasePool pool;
      work();
      continue;
    }
    std::unique_lock lock(mutex_);
    if (stopRequested_) continue;
    if (const std::optional<Key> first = firstKeyLocked(); first.has_value() && clock_ == nullptr) {
      wake_.wait_until(lock, kProcessStart + first->deadline.sinceStart);
    } else {
      // Nothing queued, or a manual clock, which does not move by itself:
      // wait for new work or stop.
      wake_.wait(lock);
    }
  }
}

void MainQueue::stop() {
  {
    std::lock_guard lock(mutex_);
    stopRequested_ = true;
  }
  wake_.notify_all();
}

}  // namespace tovik
