#pragma once

#include <objc/message.h>

#include <type_traits>

#include "platform/object.h"

// On Apple's runtime a message goes through objc_msgSend, cast to the
// method's type, as Objective-C sends it: the method cache, forwarding and
// the runtime's error for an unanswered selector all apply. On x86_64 a
// structure answered in memory (larger than 16 bytes) goes through
// objc_msgSend_stret; arm64 has no such variant.
namespace tovik::detail {

template <class RawResult>
ErasedImp messenger(const Object* /*receiver*/, SEL /*sel*/) {
#if defined(__x86_64__)
  if constexpr (std::is_class_v<RawResult> && sizeof(RawResult) > 16) {
    return reinterpret_cast<ErasedImp>(&objc_msgSend_stret);
  }
#endif
  return reinterpret_cast<ErasedImp>(&objc_msgSend);
}

}  // namespace tovik::detail
