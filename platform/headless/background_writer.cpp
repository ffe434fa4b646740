#include "platform/background_writer.h"

#include <thread>
#include <utility>

namespace tovik {

BackgroundWriter& BackgroundWriter::shared() {
  static auto* writer = new BackgroundWriter;
  return *writer;
}

void BackgroundWriter::submit(Work work) {
  {
    std::lock_guard lock(mutex_);
    work_.push_back(std::move(work));
    if (!started_) {
      started_ = true;
      std::thread([this] { run(); }).detach();
    }
  }
  wake_.notify_one();
}

void BackgroundWriter::run() {
  for (;;) {
    Work work;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return !work_.empty(); });
      work = std::move(work_.front());
      work_.pop_front();
    }
    work();
  }
}

}  // namespace tovik
