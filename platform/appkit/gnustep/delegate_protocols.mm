#import <AppKit/AppKit.h>

#include "platform/runtime.h"

namespace tovik::detail {

// The delegate protocols the plug-in's classes adopt, referred to so that
// the runtime knows them once the plug-in is loaded. GNUstep declares
// NSWindowDelegate as a protocol, and NSToolbarDelegate only informally (a
// category of NSObject): there is no such protocol to refer to.
void referToDelegateProtocols() {
  static const ::Protocol* const protocols[] = { @protocol(NSWindowDelegate) };
  static_cast<void>(protocols);
}

}  // namespace tovik::detail
