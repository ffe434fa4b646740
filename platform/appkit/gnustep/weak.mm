#include "platform/object.h"

#include <objc/runtime.h>

#include <mutex>
#include <unordered_map>

#include "../bridge.h"

// GCC's runtime has no zeroing weak references. An object that has any is
// forgotten when its deallocation begins: the dealloc of its class is
// wrapped, once per class, by one that forgets the object first and then
// runs the class's own, so no weak reference hands out an object whose
// dealloc has started, even from inside a subclass's dealloc. Only the
// classes of objects that have weak references pay for it.
namespace tovik::detail {

struct WeakCell {
  void* object;
};

namespace {

struct WeakTable {
  std::mutex mutex;
  std::unordered_map<void*, std::weak_ptr<WeakCell>> cells;
  // Each wrapped class's own dealloc, or none when it inherited dealloc
  // (the wrapper then goes on to its superclass's).
  std::unordered_map<::Class, ::IMP> wrapped;
};
WeakTable& table() {
  static auto* weak = new WeakTable;
  return *weak;
}

// The wrapped deallocs running on this thread, innermost first: a class's
// own dealloc calling [super dealloc] comes back to the wrapper, which then
// serves the next wrapped class up the chain.
struct ActiveDealloc {
  id self;
  ::Class cls;
  const ActiveDealloc* outer;
};
thread_local const ActiveDealloc* activeDeallocs = nullptr;

void forgettingDealloc(id self, ::SEL cmd) {
  WeakTable& weak = table();
  ::Class cls = object_getClass(self);
  if (activeDeallocs != nullptr && activeDeallocs->self == self) {
    cls = class_getSuperclass(activeDeallocs->cls);
  }
  ::IMP own = nullptr;
  {
    std::lock_guard lock(weak.mutex);
    if (const auto it = weak.cells.find(static_cast<void*>(self)); it != weak.cells.end()) {
      if (const auto cell = it->second.lock()) cell->object = nullptr;
      weak.cells.erase(it);
    }
    for (; cls != nullptr; cls = class_getSuperclass(cls)) {
      if (const auto it = weak.wrapped.find(cls); it != weak.wrapped.end()) {
        own = it->second;
        break;
      }
    }
  }
  if (cls == nullptr) return;  // not reached: the wrapper is only a wrapped class's dealloc
  if (own == nullptr) own = class_getMethodImplementation(class_getSuperclass(cls), cmd);
  const ActiveDealloc entry{self, cls, activeDeallocs};
  activeDeallocs = &entry;
  reinterpret_cast<void (*)(id, ::SEL)>(own)(self, cmd);
  activeDeallocs = entry.outer;
}

// Gives the class the wrapper in place of its dealloc (the table's lock is
// held).
void wrapDealloc(WeakTable& weak, ::Class cls) {
  if (weak.wrapped.contains(cls)) return;
  const auto wrapper = reinterpret_cast<::IMP>(&forgettingDealloc);
  ::Method inherited = class_getInstanceMethod(cls, @selector(dealloc));
  if (class_addMethod(cls, @selector(dealloc), wrapper, method_getTypeEncoding(inherited))) {
    weak.wrapped.emplace(cls, nullptr);
  } else {
    weak.wrapped.emplace(cls, method_setImplementation(inherited, wrapper));
  }
}

}  // namespace

std::shared_ptr<WeakCell> weakCellOf(void* object) {
  WeakTable& weak = table();
  std::lock_guard lock(weak.mutex);
  wrapDealloc(weak, object_getClass(static_cast<id>(object)));
  std::weak_ptr<WeakCell>& entry = weak.cells[object];
  if (auto cell = entry.lock()) return cell;
  auto cell = std::make_shared<WeakCell>(WeakCell{object});
  entry = cell;
  return cell;
}

void* loadWeakRetained(WeakCell& cell) {
  std::lock_guard lock(table().mutex);
  return cell.object != nullptr ? [static_cast<id>(cell.object) retain] : nil;
}

}  // namespace tovik::detail
