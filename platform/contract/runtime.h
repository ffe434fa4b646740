#pragma once

#include <concepts>
#include <string>
#include <string_view>

#include "platform/contract/object.h"
#include "platform/geometry.h"

namespace tovik::contract {

// A method written in C++ as the plug-in writes them: the receiver, then
// the arguments.
struct MethodBody {
  void operator()(Object* /*self*/, Object* /*argument*/) const {}
};

// The Objective-C runtime: classes (found and declared by name), selectors,
// method tables and their replacement, protocols, and messages.
template <class C, class Text = std::string_view>
concept RuntimeContract = requires(C* cls, const C* constCls, Text name, Object* object, IMP imp,
                                   Protocol* protocol, const char* types) {
  { constCls->name() } -> std::convertible_to<std::string>;
  { constCls->superclass() } -> std::same_as<C*>;
  { constCls->isSubclassOf(constCls) } -> std::same_as<bool>;
  { NSStringFromClass(constCls)->utf8() } -> std::convertible_to<std::string>;

  { sel_registerName(name) } -> std::same_as<SEL>;
  // None when the running system has no class of that name.
  { objc_getClass(name) } -> std::same_as<C*>;
  // A new class under `cls`, registered by name; the one of that name when
  // it was made already.
  { objc_declareClass(name, cls) } -> std::same_as<C*>;
  { class_createInstance(cls) } -> std::same_as<Ref<Object>>;
  { objc_getProtocol(name) } -> std::same_as<Protocol*>;
  { class_addProtocol(cls, protocol) } -> std::same_as<bool>;

  { class_getInstanceMethod(constCls, sel_registerName(name)) } -> std::same_as<Method*>;
  { class_getMethodImplementation(constCls, sel_registerName(name)) } -> std::same_as<IMP>;
  {
    method_getTypeEncoding(class_getInstanceMethod(constCls, sel_registerName(name)))
    } -> std::same_as<const char*>;
  // Answers the implementation it replaced.
  {
    method_setImplementation(class_getInstanceMethod(constCls, sel_registerName(name)), imp)
    } -> std::same_as<IMP>;
  // Fails when the class itself defines the selector already.
  { class_addMethod(cls, sel_registerName(name), imp, types) } -> std::same_as<bool>;
  { makeImp(MethodBody{}) } -> std::same_as<IMP>;
  addMethod(cls, name, MethodBody{});

  // Messages by selector or by name; an owned answer follows Cocoa's
  // naming rules.
  { send<bool>(object, sel_registerName(name)) } -> std::same_as<bool>;
  { send<Ref<Object>>(object, name) } -> std::same_as<Ref<Object>>;
  send<void>(object, name, object);
};

}  // namespace tovik::contract
