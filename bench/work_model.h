#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/geometry.h"

// Plain C++ models of two pieces of the plug-in's work, for measuring the
// real ones against: the main-queue hop and the compose window's frame-size
// record.
namespace tovik::bench {

// A queue of work items run one at a time, in submission order, by the
// thread that runs it: a mutex, a deque of std::function and a condition
// variable, taken from one item at a time as the main queue is.
class PlainQueue {
 public:
  using Work = std::function<void()>;

  void async(Work work);
  // Runs everything queued, including items submitted meanwhile; returns
  // how many ran.
  std::size_t runUntilIdle();

 private:
  bool take(Work& out);

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Work> items_;
};

// A frame-size record: {"width", "height"}.
using PlainRecord = std::map<std::string, double, std::less<>>;

// User defaults in memory: records by key, guarded for use from any thread,
// with a write to the file scheduled once per burst of changes.
class PlainDefaults {
 public:
  void setRecord(std::string_view key, PlainRecord record);
  [[nodiscard]] const PlainRecord* recordForKey(std::string_view key) const;
  [[nodiscard]] bool writeScheduled() const { return writeScheduled_; }

 private:
  mutable std::mutex mutex_;
  std::map<std::string, PlainRecord, std::less<>> values_;
  bool dirty_ = false;
  bool writeScheduled_ = false;
};

struct PlainWindow {
  std::string identifier;
  CGRect frame;
};

struct PlainNotification {
  const PlainWindow* window = nullptr;
};

// A compose window's delegate: at every resize of its own window it writes
// the frame size, raised to the minimum, as a record under its key. Virtual,
// as the real delegate is reached by a message.
class PlainCloseDelegate {
 public:
  PlainCloseDelegate(std::string windowIdentifier, std::string defaultsKey, CGSize minimum,
                     PlainDefaults* defaults);
  virtual ~PlainCloseDelegate() = default;
  PlainCloseDelegate(const PlainCloseDelegate&) = delete;
  PlainCloseDelegate& operator=(const PlainCloseDelegate&) = delete;

  virtual void windowDidResize(const PlainNotification& notification);

 private:
  std::string windowIdentifier_;
  std::string defaultsKey_;
  CGSize minimum_;
  PlainDefaults* defaults_;
};

}  // namespace tovik::bench
