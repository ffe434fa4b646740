#include "bench/work_model.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

namespace tovik::bench {

void PlainQueue::async(Work work) {
  if (!work) return;
  {
    const std::lock_guard lock(mutex_);
    items_.push_back(std::move(work));
  }
  wake_.notify_all();
}

bool PlainQueue::take(Work& out) {
  const std::lock_guard lock(mutex_);
  if (items_.empty()) return false;
  out = std::move(items_.front());
  items_.pop_front();
  return true;
}

std::size_t PlainQueue::runUntilIdle() {
  std::size_t ran = 0;
  Work work;
  while (take(work)) {
    std::exchange(work, nullptr)();
    ++ran;
  }
  return ran;
}

void PlainDefaults::setRecord(std::string_view key, PlainRecord record) {
  const std::lock_guard lock(mutex_);
  // The key is copied only when it is new.
  if (auto it = values_.find(key); it != values_.end()) {
    it->second = std::move(record);
  } else {
    values_.emplace(std::string(key), std::move(record));
  }
  dirty_ = true;
  // The file write itself is not modelled: the real one is scheduled once
  // per burst and is not part of a resize either.
  writeScheduled_ = true;
}

const PlainRecord* PlainDefaults::recordForKey(std::string_view key) const {
  const std::lock_guard lock(mutex_);
  auto it = values_.find(key);
  return it != values_.end() ? &it->second : nullptr;
}

PlainCloseDelegate::PlainCloseDelegate(std::string windowIdentifier, std::string defaultsKey,
                                       CGSize minimum, PlainDefaults* defaults)
    : windowIdentifier_(std::move(windowIdentifier)),
      defaultsKey_(std::move(defaultsKey)),
      minimum_(minimum),
      defaults_(defaults) {}

namespace {
std::optional<double> storedDimension(double frame, double minimum) {
  const bool hasMinimum = std::isfinite(minimum);
  if (!std::isfinite(frame)) return hasMinimum ? std::optional(minimum) : std::nullopt;
  return hasMinimum ? std::max(frame, minimum) : frame;
}
}  // namespace

void PlainCloseDelegate::windowDidResize(const PlainNotification& notification) {
  const PlainWindow* window = notification.window;
  if (window == nullptr || window->identifier != windowIdentifier_) return;
  const std::optional<double> width = storedDimension(window->frame.size.width, minimum_.width);
  const std::optional<double> height = storedDimension(window->frame.size.height, minimum_.height);
  if (!width || !height) return;
  defaults_->setRecord(defaultsKey_, PlainRecord{{"width", *width}, {"height", *height}});
}

}  // namespace tovik::bench
