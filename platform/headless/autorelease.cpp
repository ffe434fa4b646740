#include "platform/autorelease.h"

#include <iterator>
#include <utility>
#include <vector>

namespace tovik {

namespace {
// The thread's autoreleased answers; a pool is a mark in them. Made on the
// first answer a thread autoreleases and kept for the thread's life, so a
// pool with nothing to release costs two counter updates.
struct Pending {
  std::vector<std::shared_ptr<const void>> kept;
};
[[gnu::tls_model("initial-exec")]] thread_local Pending* pending = nullptr;
[[gnu::tls_model("initial-exec")]] thread_local std::size_t openPools = 0;
}  // namespace

void detail::keepUntilDrained(std::shared_ptr<const void> kept) {
  if (pending == nullptr) pending = new Pending;  // NOLINT(cppcoreguidelines-owning-memory)
  pending->kept.push_back(std::move(kept));
}

// The outermost pool also takes what was autoreleased outside any pool.
AutoreleasePool::AutoreleasePool()
    : mark_(openPools++ == 0 || pending == nullptr ? 0 : pending->kept.size()) {}

AutoreleasePool::~AutoreleasePool() {
  --openPools;
  if (pending == nullptr || pending->kept.size() <= mark_) return;
  std::vector<std::shared_ptr<const void>>& kept = pending->kept;
  const auto from = kept.begin() + static_cast<std::ptrdiff_t>(mark_);
  // Moved out before they go: releasing an answer may autorelease others.
  const std::vector<std::shared_ptr<const void>> released(std::make_move_iterator(from),
                                                          std::make_move_iterator(kept.end()));
  kept.erase(from, kept.end());
}

}  // namespace tovik
