#pragma once

#include "platform/object.h"

// GCC's runtime has no objc_msgSend: a message calls the implementation
// objc_msg_lookup finds for the receiver, as Objective-C's own sends do
// there, which is the runtime's forwarding when the receiver's class does
// not answer the selector.
namespace tovik::detail {

ErasedImp lookUpMessage(const Object* receiver, SEL sel);

template <class RawResult>
ErasedImp messenger(const Object* receiver, SEL sel) {
  return lookUpMessage(receiver, sel);
}

}  // namespace tovik::detail
