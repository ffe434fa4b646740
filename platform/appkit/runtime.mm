#include "platform/runtime.h"

#include <objc/runtime.h>

#include <Block.h>

#include <bit>
#include <cctype>

#include "bridge.h"

namespace tovik {

using bridge::objc;
using bridge::objcClass;
using bridge::objcSelector;
using bridge::ours;

std::string Class::name() const { return class_getName(objcClass(this)); }

Class* Class::superclass() const { return ours(class_getSuperclass(objcClass(this))); }

bool Class::isSubclassOf(const Class* other) const {
  for (::Class c = objcClass(this); c != nullptr; c = class_getSuperclass(c)) {
    if (c == objcClass(other)) return true;
  }
  return false;
}

SEL sel_registerName(std::string_view name) {
  return ours(::sel_registerName(std::string(name).c_str()));
}

const char* sel_getName(SEL sel) { return ::sel_getName(objcSelector(sel)); }

Class* objc_getClass(std::string_view name) {
  return ours(static_cast<::Class>(::objc_getClass(std::string(name).c_str())));
}

Ref<Object> class_createInstance(Class* cls) {
  if (cls == nullptr) throw PlatformError("class_createInstance: no class");
  return Ref<Object>::adopt(ours([objcClass(cls) alloc]));
}

Class* objc_declareClass(std::string_view name, Class* superclass, bool /*registered*/) {
  // Every class of the runtime is found by name; a private one keeps to a
  // name of its own.
  const std::string className(name);
  if (::Class existing = ::objc_getClass(className.c_str())) return ours(existing);
  ::Class cls = objc_allocateClassPair(objcClass(superclass), className.c_str(), 0);
  if (cls == nullptr) throw PlatformError("class " + className + " cannot be made");
  objc_registerClassPair(cls);
  return ours(cls);
}

Protocol* objc_getProtocol(std::string_view name) {
  detail::referToDelegateProtocols();
  return std::bit_cast<Protocol*>(::objc_getProtocol(std::string(name).c_str()));
}

bool class_addProtocol(Class* cls, Protocol* protocol) {
  return protocol != nullptr &&
         ::class_addProtocol(objcClass(cls), std::bit_cast<::Protocol*>(protocol)) != NO;
}

Method* class_getInstanceMethod(const Class* cls, SEL sel) {
  return std::bit_cast<Method*>(::class_getInstanceMethod(objcClass(cls), objcSelector(sel)));
}

IMP class_getMethodImplementation(const Class* cls, SEL sel) {
  if (cls == nullptr || !class_respondsToSelector(objcClass(cls), objcSelector(sel)))
    return nullptr;
  return std::bit_cast<IMP>(::class_getMethodImplementation(objcClass(cls), objcSelector(sel)));
}

const char* method_getTypeEncoding(const Method* method) {
  return method != nullptr ? ::method_getTypeEncoding(std::bit_cast<::Method>(method)) : nullptr;
}

IMP method_setImplementation(Method* method, IMP imp) {
  return std::bit_cast<IMP>(
      ::method_setImplementation(std::bit_cast<::Method>(method), std::bit_cast<::IMP>(imp)));
}

bool class_addMethod(Class* cls, SEL sel, IMP imp, const char* types) {
  return ::class_addMethod(objcClass(cls), objcSelector(sel), std::bit_cast<::IMP>(imp), types) !=
         NO;
}

// Asked by name, not by a message: the module registers its classes while
// it is loaded, and on GCC's runtime the Objective-C code of the module's
// own files may not have been registered with the runtime yet.
Class* Object::runtimeClass() { return ours(static_cast<::Class>(::objc_getClass("NSObject"))); }

Class* Object::isa() const { return ours(object_getClass(objc(this))); }

bool Object::isKindOfClass(const Class* cls) const {
  return [objc(this) isKindOfClass:objcClass(cls)] != NO;
}

bool Object::respondsToSelector(SEL sel) const {
  return [objc(this) respondsToSelector:objcSelector(sel)] != NO;
}

bool Object::isEqual(Object* other) { return [objc(this) isEqual:objc(other)] != NO; }

namespace detail {

void* allocate(const Class* cls) { return [objcClass(cls) alloc]; }

void retainObject(const void* object) { [static_cast<id>(const_cast<void*>(object)) retain]; }
void releaseObject(const void* object) { [static_cast<id>(const_cast<void*>(object)) release]; }
void* autoreleaseObject(void* object) { return [static_cast<id>(object) autorelease]; }
const void* copyBlock(const void* block) { return _Block_copy(block); }
void releaseBlock(const void* block) { _Block_release(block); }

namespace {
// A selector of a method family: its name starts with the family's word,
// not followed by a lower-case letter ("initWithFrame:", not "initialize").
bool inFamily(SEL sel, std::string_view family) {
  const std::string_view name = sel_getName(sel);
  return name.starts_with(family) &&
         (name.size() == family.size() ||
          !std::islower(static_cast<unsigned char>(name[family.size()])));
}
}  // namespace

bool answersOwned(SEL sel) {
  return inFamily(sel, "init") || inFamily(sel, "new") || inFamily(sel, "copy") ||
         inFamily(sel, "mutableCopy") || inFamily(sel, "alloc");
}

bool consumesReceiver(SEL sel) { return inFamily(sel, "init"); }

const char* boolEncoding() { return @encode(BOOL); }
const char* pointEncoding() { return @encode(NSPoint); }
const char* sizeEncoding() { return @encode(NSSize); }
const char* rectEncoding() { return @encode(NSRect); }

}  // namespace detail
}  // namespace tovik
