#pragma once

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>

#include "platform/geometry.h"
#include "platform/messenger.h"
#include "platform/method_body.h"
#include "platform/object.h"

// The Objective-C runtime as the plug-in's C++ reaches it: classes found by
// name, selectors, and messages sent as the running runtime sends them
// (platform/messenger.h).
namespace tovik {

// A class of the runtime (a Class): a pointer to one is the class itself.
class Class {
 public:
  Class() = delete;
  Class(const Class&) = delete;
  Class& operator=(const Class&) = delete;
  ~Class() = delete;

  [[nodiscard]] std::string name() const;
  [[nodiscard]] Class* superclass() const;
  [[nodiscard]] bool isSubclassOf(const Class* other) const;
};

// A message the receiver's class does not answer, or a class that cannot
// be made: misuse by the caller.
class PlatformError : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

// A method's implementation (IMP), called as R (*)(id, SEL, A...).
using IMP = detail::ErasedImp;

// A method of a class (Method).
class Method {
 public:
  Method() = delete;
  Method(const Method&) = delete;
  Method& operator=(const Method&) = delete;
  ~Method() = delete;
};

// A protocol (Protocol).
class Protocol {
 public:
  Protocol() = delete;
  Protocol(const Protocol&) = delete;
  Protocol& operator=(const Protocol&) = delete;
  ~Protocol() = delete;
};

SEL sel_registerName(std::string_view name);
const char* sel_getName(SEL sel);
// The class registered under `name`; none when the running system has none.
Class* objc_getClass(std::string_view name);
// +alloc: a new instance, not yet initialised, that the caller owns.
Ref<Object> class_createInstance(Class* cls);
// A new class whose instances are plain instances of `superclass` with the
// methods it is given; registered by name unless `registered` is false (a
// class private to the module that makes it, under a name of its own).
// A class of that name already made is answered again.
Class* objc_declareClass(std::string_view name, Class* superclass, bool registered = true);
// The protocol of that name the running system knows; none otherwise.
Protocol* objc_getProtocol(std::string_view name);
bool class_addProtocol(Class* cls, Protocol* protocol);

Method* class_getInstanceMethod(const Class* cls, SEL sel);
IMP class_getMethodImplementation(const Class* cls, SEL sel);
const char* method_getTypeEncoding(const Method* method);
// Returns the previous implementation.
IMP method_setImplementation(Method* method, IMP imp);
// Adds to `cls` only; fails when `cls` itself already defines `sel`.
bool class_addMethod(Class* cls, SEL sel, IMP imp, const char* types);

namespace detail {
// Cocoa's naming rules: the init, new, copy and mutableCopy families answer
// an object the caller owns, and init consumes its receiver.
bool answersOwned(SEL sel);
bool consumesReceiver(SEL sel);
void* autoreleaseObject(void* object);
// The running system's encodings of BOOL and of the geometry structures.
const char* boolEncoding();
const char* pointEncoding();
const char* sizeEncoding();
const char* rectEncoding();
// Where C++ code returns to the runtime's frames (a method's trampoline, a
// block, a main-queue item), every error is caught: no exception may unwind
// through Objective-C or AppKit. The first of the process is written to the
// standard error (`what`: the C++ exception's text, none for another kind);
// the code then answers as if nothing was found (nil, zero, NO).
void reportErrorAtBoundary(const char* where, const char* what) noexcept;
// Refers to the delegate protocols the plug-in's classes adopt, so that the
// runtime has them (platform/appkit/{mac,gnustep}/delegate_protocols.mm).
void referToDelegateProtocols();

template <class T>
struct IsRef : std::false_type {};
template <class T>
struct IsRef<Ref<T>> : std::true_type {};

// How a C++ type travels through a message: objects and blocks as their
// pointers, truth as a one-byte BOOL, the rest as it is.
template <class T>
struct Raw {
  using type = T;
};
template <>
struct Raw<bool> {
  using type = unsigned char;
};
template <class T>
struct Raw<Ref<T>> {
  using type = T*;
};
template <class T>
using RawOf = typename Raw<std::remove_cvref_t<T>>::type;

}  // namespace detail

// Sends a message. A message to nil does nothing and answers zero; one the
// receiver neither answers nor forwards raises the runtime's own error. An
// owned answer (Ref<T>) follows Cocoa's naming rules: an object of the
// init, new or copy families is taken over, any other is retained.
template <class R, class... A>
R send(Object* receiver, SEL sel, A... args) {
  if (receiver == nullptr) {
    if constexpr (std::is_void_v<R>) {
      return;
    } else {
      return R{};
    }
  }
  const detail::ErasedImp erased = detail::messenger<detail::RawOf<R>>(receiver, sel);
  using Fn = detail::RawOf<R> (*)(Object*, SEL, detail::RawOf<A>...);
  const auto imp =
      reinterpret_cast<Fn>(erased);  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast)
  if constexpr (std::is_void_v<R>) {
    imp(receiver, sel, static_cast<detail::RawOf<A>>(args)...);
  } else if constexpr (std::is_same_v<R, bool>) {
    return imp(receiver, sel, static_cast<detail::RawOf<A>>(args)...) != 0;
  } else if constexpr (detail::IsRef<R>::value) {
    using T = typename R::element_type;
    // The init family consumes the reference its receiver came with, which
    // stays the caller's: one more is taken for the message to consume.
    if (detail::consumesReceiver(sel)) static_cast<void>(receiver->retain().release());
    T* answer = imp(receiver, sel, static_cast<detail::RawOf<A>>(args)...);
    return detail::answersOwned(sel) ? R::adopt(answer) : R::retain(answer);
  } else {
    return imp(receiver, sel, static_cast<detail::RawOf<A>>(args)...);
  }
}
template <class R, class... A>
R send(Object* receiver, std::string_view selector, A... args) {
  return send<R>(receiver, sel_registerName(selector), args...);
}

namespace detail {

template <class F, class R, class Self, class Tuple>
struct Trampoline;
// The runtime calls a method written in C++ through this. It is compiled
// where the method is written, in C++ (a C++ catch does not work in
// Objective-C++ built for GCC's runtime).
template <class F, class R, class Self, class... A>
struct Trampoline<F, R, Self, std::tuple<A...>> {
  static RawOf<R> call(Object* self, SEL cmd, RawOf<A>... args) noexcept {
    try {
      if constexpr (std::is_void_v<R>) {
        F{}(static_cast<Self*>(self), static_cast<A>(args)...);
      } else if constexpr (IsRef<R>::value) {
        // An owned answer is handed out as Cocoa's naming rules say: taken
        // over by the caller of an init, new or copy, autoreleased otherwise.
        auto* answer = F{}(static_cast<Self*>(self), static_cast<A>(args)...).release();
        return answersOwned(cmd) ? answer : static_cast<RawOf<R>>(autoreleaseObject(answer));
      } else if constexpr (std::is_same_v<R, bool>) {
        return F{}(static_cast<Self*>(self), static_cast<A>(args)...) ? 1 : 0;
      } else {
        return static_cast<RawOf<R>>(F{}(static_cast<Self*>(self), static_cast<A>(args)...));
      }
    } catch (const std::exception& error) {
      reportErrorAtBoundary(sel_getName(cmd), error.what());
    } catch (...) {
      reportErrorAtBoundary(sel_getName(cmd), nullptr);
    }
    if constexpr (!std::is_void_v<R>) return RawOf<R>{};
  }
};

// The type encoding of a C++ type as it crosses a message.
template <class T>
std::string encodingOf() {
  using U = std::remove_cvref_t<T>;
  if constexpr (std::is_void_v<U>) {
    return "v";
  } else if constexpr (std::is_same_v<U, bool>) {
    return boolEncoding();
  } else if constexpr (IsRef<U>::value) {
    return encodingOf<typename U::element_type*>();
  } else if constexpr (std::is_pointer_v<U> &&
                       std::is_base_of_v<BlockBase, std::remove_pointer_t<U>>) {
    return "@?";
  } else if constexpr (std::is_pointer_v<U>) {
    return "@";
  } else if constexpr (std::is_same_v<U, SEL>) {
    return ":";
  } else if constexpr (std::is_same_v<U, double>) {
    return "d";
  } else if constexpr (std::is_same_v<U, std::int64_t>) {
    return "q";
  } else if constexpr (std::is_same_v<U, std::uint64_t>) {
    return "Q";
  } else if constexpr (std::is_same_v<U, CGPoint>) {
    return pointEncoding();
  } else if constexpr (std::is_same_v<U, CGSize>) {
    return sizeEncoding();
  } else {
    static_assert(std::is_same_v<U, CGRect>, "no encoding for this type");
    return rectEncoding();
  }
}

template <class R, class Args>
struct MethodEncoding;
template <class R, class... A>
struct MethodEncoding<R, std::tuple<A...>> {
  static std::string types() {
    std::string types = encodingOf<R>() + "@:";
    ((types += encodingOf<A>()), ...);
    return types;
  }
};

}  // namespace detail

// An implementation from a captureless lambda taking the receiver (typed as
// the class's C++ type) and the method's arguments, answering a value or a
// borrowed object.
template <class F>
IMP makeImp(F /*body*/) {
  using Traits = detail::CallableTraits<F>;
  using Tr = detail::Trampoline<F, typename Traits::Result, typename Traits::Receiver,
                                typename Traits::Args>;
  return reinterpret_cast<IMP>(&Tr::call);  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast)
}

// Adds a method written as a captureless lambda to a class being declared,
// with the type encoding its C++ signature gives.
template <class F>
void addMethod(Class* cls, std::string_view selector, F body) {
  using Traits = detail::CallableTraits<F>;
  const std::string types =
      detail::MethodEncoding<typename Traits::Result, typename Traits::Args>::types();
  class_addMethod(cls, sel_registerName(selector), makeImp(body), types.c_str());
}

}  // namespace tovik
