#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

// The thread that does the process's file writing, so that the threads that
// hand writes over (the main thread above all) never wait on the disk.
namespace tovik {

class BackgroundWriter {
 public:
  using Work = std::function<void()>;

  // The process's writer; its thread starts with the first work handed to
  // it and lives as long as the process.
  static BackgroundWriter& shared();

  // Runs `work` on the writer's thread, after what was handed over before
  // it. Returns at once.
  void submit(Work work);

 private:
  BackgroundWriter() = default;
  [[noreturn]] void run();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Work> work_;
  bool started_ = false;
};

}  // namespace tovik
