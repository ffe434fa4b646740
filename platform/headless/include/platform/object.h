#pragma once

#include <memory>

#include "platform/encoding.h"

namespace tovik {

class String;

// The root object (NSObject). Objects are reference counted through Ref
// (strong) and Weak (zeroing); an object is destroyed when its last strong
// reference goes. Identity is the address; equality is `isEqual:`, sent
// through the runtime so a class can redefine it.
class Object : public std::enable_shared_from_this<Object> {
 public:
  explicit Object(Class* isa) : isa_(isa) {}
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object() = default;

  static Class* runtimeClass();

  [[nodiscard]] Class* isa() const { return isa_; }
  // A strong reference to an object already owned elsewhere.
  Ref<Object> retain() { return shared_from_this(); }
  template <class T>
  Ref<T> retainAs() {
    return std::static_pointer_cast<T>(shared_from_this());
  }

  [[nodiscard]] bool isKindOfClass(const Class* cls) const;  // inline in runtime.h
  [[nodiscard]] bool respondsToSelector(SEL sel) const;
  bool isEqual(Object* other);

 private:
  Class* isa_;
};

// Makes an instance of a C++-declared class with its own runtime class. The
// object is allocated apart from its reference counts: objects are commonly
// referred to weakly (windows, delegates, observers), and a weak reference
// that outlives the object then keeps only the small block of counts, where
// one allocation for both (std::make_shared) would keep the object's storage
// until the last weak reference goes.
template <class T, class... A>
Ref<T> make(A&&... args) {
  return Ref<T>(new T(T::runtimeClass(), std::forward<A>(args)...));
}

// T's runtime class, asked of T once.
template <class T>
Class* runtimeClassOf() {
  static Class* const cls = T::runtimeClass();
  return cls;
}

// A checked downcast: null when the object is not an instance of T's class.
template <class T>
[[gnu::always_inline]] inline T* as(Object* object) {
  return object != nullptr && object->isKindOfClass(runtimeClassOf<T>()) ? static_cast<T*>(object)
                                                                         : nullptr;
}
template <class T>
Ref<T> as(const Ref<Object>& object) {
  return as<T>(object.get()) != nullptr ? std::static_pointer_cast<T>(object) : nullptr;
}

}  // namespace tovik
