#pragma once

#include <cstddef>
#include <memory>
#include <type_traits>
#include <utility>

// Objects of the Objective-C runtime as the plug-in's C++ sees them. A
// pointer to one of these classes is the object itself (an id): the classes
// have no state and are never made or destroyed by C++, the way metal-cpp
// wraps Objective-C objects. Each operation is a message through the runtime.
namespace tovik {

class Class;
struct Selector;
using SEL = const Selector*;

class Object;
class BlockBase;

namespace detail {
// A method's implementation with its type erased: called as R (*)(id, SEL, A...).
using ErasedImp = void (*)();
// -retain and -release; Block_copy and Block_release for blocks, which are
// not objects of every runtime (GCC's).
void retainObject(const void* object);
void releaseObject(const void* object);
const void* copyBlock(const void* block);
void releaseBlock(const void* block);
}  // namespace detail

// How a strong reference keeps what it points to, and what it then points
// to: an object itself, retained; a block's copy (Block_copy moves a block
// made on the stack to the heap; a heap block's copy is the block, one count
// more).
template <class T>
struct RefTraits {
  static T* retain(T* p) {
    if constexpr (std::is_base_of_v<BlockBase, T>) {
      return static_cast<T*>(const_cast<void*>(detail::copyBlock(p)));
    } else {
      detail::retainObject(p);
      return p;
    }
  }
  static void release(const T* p) {
    if constexpr (std::is_base_of_v<BlockBase, T>) {
      detail::releaseBlock(p);
    } else {
      detail::releaseObject(p);
    }
  }
};

// A strong reference: -retain when taken, -release when dropped.
template <class T>
class Ref {
 public:
  using element_type = T;

  Ref() noexcept = default;
  Ref(std::nullptr_t) noexcept {}  // NOLINT(google-explicit-constructor)
  // Takes over a reference the caller owns (what alloc, new and copy give).
  static Ref adopt(T* object) noexcept {
    Ref ref;
    ref.object_ = object;
    return ref;
  }
  // Takes a reference of its own to an object kept elsewhere.
  static Ref retain(T* object) {
    return adopt(object != nullptr ? RefTraits<T>::retain(object) : nullptr);
  }

  Ref(const Ref& other)
      : object_(other.object_ != nullptr ? RefTraits<T>::retain(other.object_) : nullptr) {}
  Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  template <class U>
  requires std::is_convertible_v<U*, T*> Ref(const Ref<U>& other)
      : Ref(retain(other.get())) {}  // NOLINT(google-explicit-constructor)
  template <class U>
  requires std::is_convertible_v<U*, T*> Ref(Ref<U>&& other)
  noexcept  // NOLINT(google-explicit-constructor)
      : object_(other.release()) {}
  Ref& operator=(Ref other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~Ref() {
    if (object_ != nullptr) RefTraits<T>::release(object_);
  }

  [[nodiscard]] T* get() const noexcept { return object_; }
  T* operator->() const noexcept { return object_; }
  T& operator*() const noexcept { return *object_; }
  explicit operator bool() const noexcept { return object_ != nullptr; }
  // Gives up the reference without releasing it.
  [[nodiscard]] T* release() noexcept { return std::exchange(object_, nullptr); }

  friend bool operator==(const Ref& a, std::nullptr_t) noexcept { return a.object_ == nullptr; }
  template <class U>
  friend bool operator==(const Ref& a, const Ref<U>& b) noexcept {
    return a.get() == b.get();
  }

 private:
  T* object_ = nullptr;
};

namespace detail {
// What the weak references to one object share, kept as the runtime allows
// (mac/weak.mm: a slot the runtime zeroes; gnustep/weak.mm: the object,
// forgotten when its deallocation begins).
struct WeakCell;
// The cell of an object, made on first use; one cell per living object.
std::shared_ptr<WeakCell> weakCellOf(void* object);
// The object, retained, while its deallocation has not begun; none after.
void* loadWeakRetained(WeakCell& cell);
}  // namespace detail

// A zeroing weak reference: lock() gives a strong reference while the
// object lives, none once its deallocation has begun. Weak references to
// one object share an owner, which orders them (owner_before), so a new
// object at a freed one's address is another owner.
template <class T>
class Weak {
 public:
  Weak() = default;
  Weak(const Ref<T>& object)  // NOLINT(google-explicit-constructor)
      : cell_(object != nullptr ? detail::weakCellOf(object.get()) : nullptr) {}
  template <class U>
  requires std::is_convertible_v<U*, T*> Weak(
      const Ref<U>& object)  // NOLINT(google-explicit-constructor)
      : Weak(Ref<T>(object)) {}

  [[nodiscard]] Ref<T> lock() const {
    return cell_ != nullptr ? Ref<T>::adopt(static_cast<T*>(detail::loadWeakRetained(*cell_)))
                            : nullptr;
  }
  [[nodiscard]] bool expired() const { return lock() == nullptr; }
  [[nodiscard]] bool owner_before(const Weak& other) const { return cell_ < other.cell_; }

 private:
  std::shared_ptr<detail::WeakCell> cell_;
};

// NSObject.
class Object {
 public:
  Object() = delete;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  ~Object() = delete;

  static Class* runtimeClass();

  // The object's class (object_getClass).
  [[nodiscard]] Class* isa() const;
  // A strong reference to an object already owned elsewhere.
  Ref<Object> retain() { return Ref<Object>::retain(this); }
  template <class T>
  Ref<T> retainAs() {
    return Ref<T>::retain(static_cast<T*>(this));
  }

  [[nodiscard]] bool isKindOfClass(const Class* cls) const;
  [[nodiscard]] bool respondsToSelector(SEL sel) const;
  bool isEqual(Object* other);
};

// +alloc of T's class: a new instance, not yet initialised, that the caller
// owns.
namespace detail {
void* allocate(const Class* cls);
}  // namespace detail
template <class T>
Ref<T> make() {
  return Ref<T>::adopt(static_cast<T*>(detail::allocate(T::runtimeClass())));
}

// A checked downcast: null when the object is not an instance of T's class.
template <class T>
T* as(Object* object) {
  static Class* const cls = T::runtimeClass();
  return object != nullptr && cls != nullptr && object->isKindOfClass(cls) ? static_cast<T*>(object)
                                                                           : nullptr;
}
template <class T>
Ref<T> as(const Ref<Object>& object) {
  return Ref<T>::retain(as<T>(object.get()));
}

}  // namespace tovik
