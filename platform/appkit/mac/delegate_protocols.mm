#import <AppKit/AppKit.h>

#include "platform/runtime.h"

namespace tovik::detail {

// The delegate protocols the plug-in's classes adopt. The runtime knows a
// protocol only once some loaded code refers to it, and AppKit's own classes
// need not: referring to them here puts them in the bundle, registered when
// it is loaded, before the plug-in's classes ask for them by name.
void referToDelegateProtocols() {
  static const ::Protocol* const protocols[] = {
    @protocol(NSToolbarDelegate),
    @protocol(NSWindowDelegate)
  };
  static_cast<void>(protocols);
}

}  // namespace tovik::detail
