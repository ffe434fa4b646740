#pragma once

// Between the C++ view of runtime objects and Objective-C's own: the same
// pointers, typed either way. Only the backend's Objective-C++ includes this.
#import <Foundation/Foundation.h>

#if __has_feature(objc_arc)
#error "The AppKit backend retains and releases by hand: build it with -fno-objc-arc"
#endif

#include <bit>

#include "platform/runtime.h"

namespace tovik::bridge {

inline id objc(const Object* object) { return std::bit_cast<id>(object); }
inline ::Class objcClass(const tovik::Class* cls) { return std::bit_cast<::Class>(cls); }
inline ::SEL objcSelector(tovik::SEL sel) { return std::bit_cast<::SEL>(sel); }
template <class T = Object>
T* ours(id object) {
  return std::bit_cast<T*>(object);
}
inline tovik::Class* ours(::Class cls) { return std::bit_cast<tovik::Class*>(cls); }
inline tovik::SEL ours(::SEL sel) { return std::bit_cast<tovik::SEL>(sel); }
inline CGRect ours(NSRect rect) {
  return {{rect.origin.x, rect.origin.y}, {rect.size.width, rect.size.height}};
}
inline NSRect ns(CGRect rect) {
  return NSMakeRect(rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
}

// Sends a setting the running system may not have (a later macOS's, or one
// GNUstep lacks): a receiver that does not answer it is left alone.
template <class V>
void setIfAnswered(Object* receiver, const char* selector, V value) {
  const SEL sel = sel_registerName(selector);
  if (receiver->respondsToSelector(sel)) send<void>(receiver, sel, value);
}

}  // namespace tovik::bridge
