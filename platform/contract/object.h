#pragma once

#include <concepts>
#include <set>

#include "platform/object.h"
#include "platform/runtime.h"

// What the plug-in needs of a window system, written once: each header here
// states, as C++20 concepts, the operations the plug-in calls on one part of
// the seam and what they answer. Every backend's build checks its classes
// against them (check.cpp), so a backend that lacks an operation fails to
// build with a message naming it. The seam's own headers
// (platform/object.h...) are each backend's; these are what they must give.
namespace tovik::contract {

// An object of class T as an answer: borrowed (T*) or owned (Ref<T>).
template <class A, class T>
concept ObjectAnswer = std::same_as<A, T*> || std::same_as<A, Ref<T>>;

// Strong references: one taken of an object kept elsewhere, given up when
// dropped, compared with none.
template <class R, class T>
concept StrongReference = std::copyable<R> && requires(const R& ref) {
  { ref.get() } -> std::same_as<T*>;
  { ref.operator->() } -> std::same_as<T*>;
  { static_cast<bool>(ref) } -> std::same_as<bool>;
  { ref == nullptr } -> std::same_as<bool>;
};

// Zeroing weak references, ordered by the object they refer to (so a set of
// them keeps one entry per object, and an object that takes a freed one's
// address is another).
template <class W, class T>
concept WeakReference = std::constructible_from < W,
        const Ref<T>
& > &&requires(const W& weak) {
  { weak.lock() } -> std::same_as<Ref<T>>;
  { weak.expired() } -> std::same_as<bool>;
  { weak.owner_before(weak) } -> std::same_as<bool>;
};

// NSObject, and the downcasts and references the plug-in takes of objects.
template <class O>
concept ObjectContract = StrongReference<Ref<O>, O> && WeakReference<Weak<O>, O> &&
    requires(O& object, const O& constObject, SEL sel, const Ref<Object>& owned) {
  { O::runtimeClass() } -> std::same_as<Class*>;
  { constObject.isa() } -> std::same_as<Class*>;
  { object.retain() } -> std::same_as<Ref<Object>>;
  { object.template retainAs<O>() } -> std::same_as<Ref<O>>;
  { constObject.respondsToSelector(sel) } -> std::same_as<bool>;
  { object.isEqual(&object) } -> std::same_as<bool>;
  // A checked downcast: none when the object is not of the class.
  { as<O>(&object) } -> std::same_as<O*>;
  { as<O>(owned) } -> std::same_as<Ref<O>>;
};

}  // namespace tovik::contract
