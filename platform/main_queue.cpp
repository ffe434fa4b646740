#include "platform/main_queue.h"

#include <algorithm>

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
  if (clock_ != nullptr) return clock_->now();
  return {std::chrono::duration_cast<Duration>(std::chrono::steady_clock::now() - kProcessStart)};
}

void MainQueue::useClock(ManualClock* clock) {
  std::lock_guard lock(mutex_);
  clock_ = clock;
}

void MainQueue::async(Work work) { enqueue(now(), std::move(work)); }

void MainQueue::asyncAfter(DispatchTime deadline, Work work) { enqueue(deadline, std::move(work)); }

void MainQueue::enqueue(DispatchTime deadline, Work work) {
  if (!work) return;
  {
    std::lock_guard lock(mutex_);
    items_.emplace(Key{deadline, nextSequence_++}, std::move(work));
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
  return items_.size();
}

bool MainQueue::takeDue(DispatchTime limit, Work& out) {
  std::lock_guard lock(mutex_);
  if (items_.empty() || items_.begin()->first.deadline > limit) return false;
  auto node = items_.extract(items_.begin());
  if (clock_ != nullptr && clock_->now() < node.key().deadline) clock_->set(node.key().deadline);
  out = std::move(node.mapped());
  return true;
}

std::size_t MainQueue::runUntilIdle() {
  claimMainThread();
  std::size_t ran = 0;
  Work work;
  while (takeDue(now(), work)) {
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
    if (!items_.empty()) wakeAt = std::min(wakeAt, items_.begin()->first.deadline);
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
      work();
      continue;
    }
    std::unique_lock lock(mutex_);
    if (stopRequested_) continue;
    if (!items_.empty() && clock_ == nullptr) {
      wake_.wait_until(lock, kProcessStart + items_.begin()->first.deadline.sinceStart);
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
