#include "platform/object.h"

#include <objc/runtime.h>

#include <mutex>
#include <unordered_map>

#include "bridge.h"

namespace tovik::detail {

namespace {

// The cells of the objects that have weak references, by object. -dealloc
// of every object passes here first: NSObject's is replaced once, when the
// first cell is made, by one that clears the object's cell and then runs
// the original.
struct WeakTable {
  std::mutex mutex;
  std::unordered_map<void*, std::weak_ptr<WeakCell>> cells;
  ::IMP originalDealloc = nullptr;
};
WeakTable& table() {
  static auto* weak = new WeakTable;
  return *weak;
}

void clearingDealloc(id self, ::SEL cmd) {
  WeakTable& weak = table();
  ::IMP original = nullptr;
  {
    std::lock_guard lock(weak.mutex);
    original = weak.originalDealloc;
    const auto it = weak.cells.find(static_cast<void*>(self));
    if (it != weak.cells.end()) {
      if (const auto cell = it->second.lock()) cell->object = nullptr;
      weak.cells.erase(it);
    }
  }
  reinterpret_cast<void (*)(id, ::SEL)>(original)(self, cmd);
}

}  // namespace

std::shared_ptr<WeakCell> weakCellOf(void* object) {
  WeakTable& weak = table();
  std::lock_guard lock(weak.mutex);
  if (weak.originalDealloc == nullptr) {
    ::Method dealloc = ::class_getInstanceMethod([NSObject class], @selector(dealloc));
    weak.originalDealloc =
        ::method_setImplementation(dealloc, reinterpret_cast<::IMP>(&clearingDealloc));
  }
  std::weak_ptr<WeakCell>& entry = weak.cells[object];
  if (auto cell = entry.lock()) return cell;
  auto cell = std::make_shared<WeakCell>(WeakCell{object});
  entry = cell;
  return cell;
}

}  // namespace tovik::detail
