#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <vector>

#include "platform/autorelease.h"
#include "platform/encoding.h"
#include "platform/method_body.h"
#include "platform/object.h"

// A small Objective-C-style runtime: interned selectors, classes with a
// superclass chain and method tables keyed by selector, type-checked message
// sending, and per-class method replacement.
namespace tovik {

// Misuse of the runtime by its caller: an unknown selector, a message whose
// types do not match the method's encoding, an argument of the wrong kind.
// These are the only exceptions the window system throws.
class PlatformError : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

struct Selector {
  explicit Selector(std::string selectorName) : name(std::move(selectorName)) {}
  std::string name;
  // Set once a method for this selector has been added or given a new
  // implementation after the window system registered its own classes: from
  // then on some receiver may answer otherwise than the platform does.
  mutable std::atomic<bool> redefined{false};
};

SEL sel_registerName(std::string_view name);
inline const char* sel_getName(SEL sel) { return sel->name.c_str(); }

// The interned form of an encoding: equal encodings give the same pointer.
// `borrowedResult` tells the calling convention of an object result; no two
// encodings and conventions may share a digest.
const char* internEncoding(std::string_view encoding, bool borrowedResult = false);

// A method implementation. `fn` is called as
// R (*)(IMP, Object* self, SEL, Canonical<A>...) for the encoding `types`.
struct Imp;
using IMP = const Imp*;
using ErasedFunction = void (*)();
struct Imp {
  const char* types;
  std::uint64_t digest;  // encodingDigest(types)
  ErasedFunction fn;
  Ref<BlockBase> block;  // the block of a block-made implementation
};

class Method {
 public:
  Method(SEL name, IMP imp) : name_(name), imp_(imp) {}
  [[nodiscard]] SEL name() const { return name_; }
  [[nodiscard]] const char* types() const { return imp_.load(std::memory_order_acquire)->types; }
  [[nodiscard]] IMP imp() const { return imp_.load(std::memory_order_acquire); }
  IMP exchange(IMP imp) { return imp_.exchange(imp, std::memory_order_acq_rel); }

 private:
  SEL name_;
  std::atomic<IMP> imp_;
};

// A per-class cache of resolved selectors: an immutable open-addressing
// table, replaced as a whole when it grows. Readers take no lock; replaced
// tables are kept until the process ends, so a reader never meets a freed one.
struct MethodCache {
  std::uint64_t generation;
  std::size_t mask;
  std::size_t used;
  std::vector<std::pair<SEL, Method*>> slots;
};

// Bumped when any class gains a method: every cache made before is stale.
extern std::atomic<std::uint64_t> gMethodTableGeneration;

using InstanceFactory = Ref<Object> (*)(Class*);

class Class {
 public:
  Class(std::string_view name, Class* superclass, InstanceFactory factory);
  Class(const Class&) = delete;
  Class& operator=(const Class&) = delete;
  ~Class();

  [[nodiscard]] const std::string& name() const { return name_; }
  // The interned name string: one String per class, for the life of the process.
  [[nodiscard]] String* nameString() const;
  [[nodiscard]] Class* superclass() const { return superclass_; }
  // Constant time: a class and its ancestors are listed root first, so
  // `other` is an ancestor exactly when it sits at its own depth there.
  [[nodiscard]] bool isSubclassOf(const Class* other) const {
    return other != nullptr && other->depth_ < ancestors_.size() &&
           ancestors_[other->depth_] == other;
  }

  // The method the class itself defines for `sel`, not an inherited one.
  [[nodiscard]] Method* ownMethod(SEL sel) const;
  // Resolves `sel` along the superclass chain; cached per class. The cache
  // is probed inline, as every message send does it.
  [[nodiscard]] Method* lookup(SEL sel) const {
    const MethodCache* cache = cache_.load(std::memory_order_acquire);
    if (cache != nullptr &&
        cache->generation == gMethodTableGeneration.load(std::memory_order_acquire)) {
      for (std::size_t i = slotOf(sel, cache->mask);; i = (i + 1) & cache->mask) {
        const auto& slot = cache->slots[i];
        if (slot.first == sel) return slot.second;
        if (slot.first == nullptr) break;
      }
    }
    return resolveSlow(sel);
  }
  static std::size_t slotOf(SEL sel, std::size_t mask) {
    return (reinterpret_cast<std::uintptr_t>(sel) >> 4U) & mask;
  }

 private:
  friend bool class_addMethod(Class*, SEL, IMP, const char*);
  friend std::vector<Method*> class_copyMethodList(Class*);
  friend Ref<Object> class_createInstance(Class*);

  Method* resolveSlow(SEL sel) const;

  std::string name_;
  mutable std::once_flag nameOnce_;
  mutable Ref<String> nameString_;
  Class* superclass_;
  std::size_t depth_;                    // 0 for a root class
  std::vector<const Class*> ancestors_;  // root first, ending with this class
  InstanceFactory factory_;
  std::vector<std::unique_ptr<Method>> methods_;  // in order of addition
  mutable std::atomic<const MethodCache*> cache_{nullptr};
};

inline bool Object::isKindOfClass(const Class* cls) const { return isa_->isSubclassOf(cls); }

// A protocol: a named promise of methods, which may adopt other protocols.
// On the platform a protocol is an object, an instance of the class Protocol
// under NSObject, and a Protocol* argument is encoded "@". It is an Object
// here too, so that a method taking one (NSObject's conformsToProtocol:) has
// the platform's encoding, its argument is checked for kind like any other
// object's, and a host can hold one by strong reference or put it in a
// collection. Protocols are made only by the runtime (objc_allocateProtocol)
// and live as long as the process, as on the platform.
class Protocol final : public Object {
 public:
  static Class* runtimeClass();
  // The root protocol, NSObject, adopted by the NSObject class and by every
  // protocol of the platform; declared on first use, so that each framework
  // can declare its protocols at load in no particular order.
  static Protocol* nsObject();

  [[nodiscard]] const std::string& name() const { return name_; }

 private:
  enum class Stage : std::uint8_t { UnderConstruction, Registered };

  Protocol(Class* isa, std::string_view name) : Object(isa), name_(name) {}
  // Whether this protocol is `other`, or adopts it, at any depth. Protocols
  // are compared by name as well as identity, as the platform's runtime
  // does. The caller holds the runtime's lock.
  [[nodiscard]] bool conformsLocked(const Protocol* other) const;
  // Whether a protocol of `list` conforms to `other`; under the lock too.
  static bool anyConformsLocked(const std::vector<Protocol*>& list, const Protocol* other);

  friend Protocol* objc_allocateProtocol(std::string_view name);
  friend void protocol_addProtocol(Protocol* protocol, Protocol* addition);
  friend void objc_registerProtocol(Protocol* protocol);
  friend bool protocol_conformsToProtocol(const Protocol* protocol, const Protocol* other);
  friend std::vector<Protocol*> protocol_copyProtocolList(const Protocol* protocol);
  friend bool class_addProtocol(Class* cls, Protocol* protocol);
  friend bool class_conformsToProtocol(const Class* cls, const Protocol* protocol);

  const std::string name_;
  // Both guarded by the runtime's lock. A protocol gains adopted protocols
  // only while under construction, and only registered ones, so adoption
  // never makes a cycle.
  std::vector<Protocol*> adopted_;
  Stage stage_ = Stage::UnderConstruction;
};

// ---- Runtime functions, with the platform's semantics ----

Class* objc_getClass(std::string_view name);
Class* NSClassFromString(const String* name);
String* NSStringFromClass(const Class* cls);
inline Class* object_getClass(const Object* object) {
  return object != nullptr ? object->isa() : nullptr;
}
inline Class* class_getSuperclass(const Class* cls) {
  return cls != nullptr ? cls->superclass() : nullptr;
}
// A new class under `superclass`, not yet visible by name; nullptr when the
// name is taken by a registered class.
Class* objc_allocateClassPair(Class* superclass, std::string_view name);
void objc_registerClassPair(Class* cls);
// A C++-declared class; registered by name unless `registered` is false
// (a class private to the module that declares it).
Class* objc_declareClass(std::string_view name, Class* superclass, InstanceFactory factory,
                         bool registered = true);
// A class whose instances add no C++ state to their superclass's: they are
// made as the superclass's are (as objc_allocateClassPair's are).
Class* objc_declareClass(std::string_view name, Class* superclass, bool registered = true);

Ref<Object> class_createInstance(Class* cls);
// Inline, as a message send's lookup is: hit testing asks them per click.
inline Method* class_getInstanceMethod(const Class* cls, SEL sel) {
  return cls != nullptr ? cls->lookup(sel) : nullptr;
}
bool class_respondsToSelector(const Class* cls, SEL sel);
// Adds to `cls` only; fails when `cls` itself already defines `sel`.
bool class_addMethod(Class* cls, SEL sel, IMP imp, const char* types);
std::vector<Method*> class_copyMethodList(Class* cls);
inline const char* method_getTypeEncoding(const Method* m) {
  return m != nullptr ? m->types() : nullptr;
}
inline IMP method_getImplementation(const Method* m) { return m != nullptr ? m->imp() : nullptr; }
inline IMP class_getMethodImplementation(const Class* cls, SEL sel) {
  return method_getImplementation(class_getInstanceMethod(cls, sel));
}
// Returns the previous implementation. The new one must have the method's encoding.
IMP method_setImplementation(Method* method, IMP imp);

// ---- Protocols, with the platform's semantics. They are kept in tables of
// their own: nothing of them is on the path of a message send. ----

// The registered protocol of that name; nullptr for an unknown name or one
// still under construction.
Protocol* objc_getProtocol(std::string_view name);
// A new protocol under construction; nullptr when a registered protocol has
// the name. Not found by name until registered.
Protocol* objc_allocateProtocol(std::string_view name);
// Makes `protocol` adopt `addition`. Does nothing unless `protocol` is still
// under construction and `addition` is registered.
void protocol_addProtocol(Protocol* protocol, Protocol* addition);
// Registers a protocol made by objc_allocateProtocol, making it found by
// name and closed to further change. Does nothing when it is registered
// already, or when another protocol of its name was registered since it was
// allocated (it then stays under construction).
void objc_registerProtocol(Protocol* protocol);
// A protocol of the platform, made, adopting `adopted` and registered at
// once; throws PlatformError when the name is taken.
Protocol* objc_declareProtocol(std::string_view name, std::initializer_list<Protocol*> adopted);
// "nil" for no protocol, as on the platform.
inline const char* protocol_getName(const Protocol* protocol) {
  return protocol != nullptr ? protocol->name().c_str() : "nil";
}
// YES when `protocol` is `other` or adopts it, directly or through the
// protocols it adopts.
bool protocol_conformsToProtocol(const Protocol* protocol, const Protocol* other);
// The protocols `protocol` itself adopts, in order of adoption.
std::vector<Protocol*> protocol_copyProtocolList(const Protocol* protocol);
// Adds `protocol` to the class's own list; NO when the class already
// conforms to it by class_conformsToProtocol (it adopts it, or adopts a
// protocol that adopts it).
bool class_addProtocol(Class* cls, Protocol* protocol);
// Whether a protocol in the class's own list conforms to `protocol`. The
// superclasses are not looked at, as on the platform; NSObject's
// conformsToProtocol: is what walks the superclass chain.
bool class_conformsToProtocol(const Class* cls, const Protocol* protocol);
// The protocols the class itself adopts, in order of adoption.
std::vector<Protocol*> class_copyProtocolList(const Class* cls);

[[noreturn]] void throwUnrecognizedSelector(const Object* receiver, SEL sel);
[[noreturn]] void throwEncodingMismatch(const Object* receiver, SEL sel, const char* methodTypes,
                                        const char* sentTypes);
[[noreturn]] void throwArgumentKind(SEL sel, const Object* argument, const Class* expected);

// Keeps a made implementation for the life of the process.
IMP retainImp(std::unique_ptr<Imp> imp);

namespace detail {

template <class R, class... A>
const char* signatureId() {
  static const char* const id =
      internEncoding(tovik::encodingOf<R, A...>(), kBorrowedResult<std::remove_cvref_t<R>>);
  return id;
}

template <class T>
struct IsRef : std::false_type {};
template <class T>
struct IsRef<Ref<T>> : std::true_type {};

// Converts a canonical argument to the parameter type a method body declares.
template <class P>
P fromCanonical(SEL sel, Canonical<P> value) {
  if constexpr (std::is_pointer_v<P> &&
                std::is_base_of_v<Object, std::remove_cv_t<std::remove_pointer_t<P>>>) {
    using T = std::remove_cv_t<std::remove_pointer_t<P>>;
    if constexpr (std::is_same_v<T, Object>) {
      return value;
    } else {
      T* typed = as<T>(value);
      if (value != nullptr && typed == nullptr) throwArgumentKind(sel, value, T::runtimeClass());
      return typed;
    }
  } else {
    return static_cast<P>(value);
  }
}

template <class R, class Tuple>
struct SignatureOf;
template <class R, class... A>
struct SignatureOf<R, std::tuple<A...>> {
  static const char* id() { return signatureId<R, A...>(); }
  static constexpr std::uint64_t kDigest = kEncodingDigest<R, A...>;
};

template <class F, class R, class Self, class Tuple>
struct Trampoline;
template <class F, class R, class Self, class... A>
struct Trampoline<F, R, Self, std::tuple<A...>> {
  static Canonical<R> call(IMP /*imp*/, Object* self, SEL sel, Canonical<A>... args) {
    if constexpr (std::is_same_v<R, void>) {
      F{}(static_cast<Self*>(self), fromCanonical<A>(sel, args)...);
    } else {
      return F{}(static_cast<Self*>(self), fromCanonical<A>(sel, args)...);
    }
  }
};

}  // namespace detail

// An implementation from a captureless lambda taking the receiver (typed as
// the class's C++ type) and the method's arguments.
template <class F>
IMP makeImp(F /*body*/) {
  using Traits = detail::CallableTraits<F>;
  using R = typename Traits::Result;
  using Self = typename Traits::Receiver;
  using Tr = detail::Trampoline<F, R, Self, typename Traits::Args>;
  static const Imp imp{detail::SignatureOf<R, typename Traits::Args>::id(),
                       detail::SignatureOf<R, typename Traits::Args>::kDigest,
                       reinterpret_cast<ErasedFunction>(&Tr::call), nullptr};
  return &imp;
}

// Adds a C++-written method to a class being declared.
template <class F>
void addMethod(Class* cls, std::string_view selector, F body) {
  IMP imp = makeImp(body);
  class_addMethod(cls, sel_registerName(selector), imp, imp->types);
}

// Calls an implementation directly with the receiver and selector, as a
// method replacement calls the implementation it replaced. The argument and
// result types must match the implementation's encoding.
template <class R, class... A>
R callImplementation(IMP imp, Object* receiver, SEL sel, A... args) {
  using CR = Canonical<R>;
  if constexpr (detail::IsRef<R>::value) {
    // An owned answer asked of a method that answers a borrowed one: the
    // caller takes its own reference.
    using T = typename R::element_type;
    if (imp->digest == kEncodingDigest<T*, A...>) {
      T* borrowed = callImplementation<T*>(imp, receiver, sel, args...);
      return borrowed != nullptr ? borrowed->template retainAs<T>() : nullptr;
    }
  }
  if (imp->digest != kEncodingDigest<R, A...>) {
    throwEncodingMismatch(receiver, sel, imp->types, detail::signatureId<R, A...>());
  }
  auto fn = reinterpret_cast<CR (*)(IMP, Object*, SEL, Canonical<A>...)>(imp->fn);
  if constexpr (std::is_same_v<R, void>) {
    fn(imp, receiver, sel, static_cast<Canonical<A>>(args)...);
  } else if constexpr (detail::IsRef<R>::value) {
    using T = typename R::element_type;
    Ref<Object> result = fn(imp, receiver, sel, static_cast<Canonical<A>>(args)...);
    if constexpr (std::is_same_v<T, Object>) {
      return result;
    } else {
      // Moved, not copied: the answer changes hands without touching its count.
      return as<T>(result.get()) != nullptr ? std::static_pointer_cast<T>(std::move(result))
                                            : nullptr;
    }
  } else if constexpr (kBorrowedResult<R>) {
    using T = std::remove_cv_t<std::remove_pointer_t<R>>;
    Object* result = fn(imp, receiver, sel, static_cast<Canonical<A>>(args)...);
    if constexpr (std::is_same_v<T, Object>) {
      return result;
    } else {
      return as<T>(result);
    }
  } else {
    return fn(imp, receiver, sel, static_cast<Canonical<A>>(args)...);
  }
}

// Marks the window system's own classes as complete: every method added or
// replaced from now on marks its selector as redefined. Called once, when
// the window system has registered its classes.
void objc_sealPlatformClasses();

// Sends a message: looks the selector up along the receiver's class chain,
// checks the encoding, and calls the implementation. A message to nil does
// nothing and answers zero, as on the platform.
template <class R, class... A>
R send(Object* receiver, SEL sel, A... args) {
  if (receiver == nullptr) {
    if constexpr (std::is_void_v<R>) {
      return;
    } else {
      return R{};
    }
  }
  const Method* method = receiver->isa()->lookup(sel);
  if (method == nullptr) throwUnrecognizedSelector(receiver, sel);
  return callImplementation<R>(method->imp(), receiver, sel, args...);
}
template <class R, class... A>
R send(Object* receiver, std::string_view selector, A... args) {
  return send<R>(receiver, sel_registerName(selector), args...);
}

// Whether every receiver answers `sel` with the platform's own
// implementation: no method for it has been added or replaced since the
// window system registered its classes.
inline bool answeredByPlatform(SEL sel) { return !sel->redefined.load(std::memory_order_relaxed); }

// A message from one of the window system's typed operations (a window's
// identifier, a view's superview...). While no method for `sel` has been
// added or replaced outside the platform's own registration, every receiver
// answers with the platform's implementation, so `own` (what that
// implementation does) runs in place of the lookup; after that the message
// is sent, and a host's subclass or replacement answers. An object answer is
// borrowed, as the platform's getters hand theirs out: one the sender gets
// owned (a host's method that made it) is autoreleased.
template <class R, class Own, class... A>
[[gnu::always_inline]] inline R message(const Object* receiver, SEL sel, Own own, A... args) {
  if (answeredByPlatform(sel)) return own();
  auto* self = const_cast<Object*>(receiver);  // NOLINT(cppcoreguidelines-pro-type-const-cast)
  if constexpr (kBorrowedResult<R>) {
    using T = std::remove_cv_t<std::remove_pointer_t<R>>;
    return autorelease(send<Ref<T>>(self, sel, args...));
  } else {
    return send<R>(self, sel, args...);
  }
}

}  // namespace tovik
