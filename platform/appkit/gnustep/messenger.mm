#include "platform/messenger.h"

#include <objc/message.h>

#include "../bridge.h"

namespace tovik::detail {

ErasedImp lookUpMessage(const Object* receiver, SEL sel) {
  return reinterpret_cast<ErasedImp>(
      objc_msg_lookup(bridge::objc(receiver), bridge::objcSelector(sel)));
}

}  // namespace tovik::detail
