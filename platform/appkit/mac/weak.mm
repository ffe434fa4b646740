#include "platform/object.h"

#include <objc/runtime.h>

#include <mutex>
#include <unordered_map>

#include "../bridge.h"

// Apple's runtime keeps zeroing weak references itself, through the
// functions ARC compiles to (documented with Clang's ARC): a cell holds one
// weak slot, which the runtime clears once the object's deallocation has
// begun.
extern "C" {
id objc_initWeak(id* location, id object);
id objc_loadWeakRetained(id* location);
void objc_destroyWeak(id* location);
}

namespace tovik::detail {

struct WeakCell {
  explicit WeakCell(id object) { objc_initWeak(&slot, object); }
  WeakCell(const WeakCell&) = delete;
  WeakCell& operator=(const WeakCell&) = delete;
  ~WeakCell() { objc_destroyWeak(&slot); }
  id slot = nil;
};

namespace {
// The cells by object, so that the weak references to one object share
// one; a cell whose object is gone is replaced when its address is reused.
struct WeakTable {
  std::mutex mutex;
  std::unordered_map<void*, std::weak_ptr<WeakCell>> cells;
};
WeakTable& table() {
  static auto* weak = new WeakTable;
  return *weak;
}
}  // namespace

std::shared_ptr<WeakCell> weakCellOf(void* object) {
  WeakTable& weak = table();
  std::shared_ptr<WeakCell> stale;  // a dead object's, dropped once the lock is released
  std::lock_guard lock(weak.mutex);
  std::weak_ptr<WeakCell>& entry = weak.cells[object];
  if (auto cell = entry.lock()) {
    if (id live = objc_loadWeakRetained(&cell->slot)) {
      [live release];
      return cell;
    }
    stale = std::move(cell);
  }
  // The table forgets the cell with its last reference.
  auto cell =
      std::shared_ptr<WeakCell>(new WeakCell(static_cast<id>(object)), [object](WeakCell* gone) {
        {
          std::lock_guard lock(table().mutex);
          const auto it = table().cells.find(object);
          if (it != table().cells.end() && it->second.expired()) table().cells.erase(it);
        }
        delete gone;
      });
  entry = cell;
  return cell;
}

void* loadWeakRetained(WeakCell& cell) { return objc_loadWeakRetained(&cell.slot); }

}  // namespace tovik::detail
