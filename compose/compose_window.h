#pragma once

#include "compose/close_delegate.h"

// Handing a compose window to the plug-in, and letting its next close through.
namespace tovik {

// configureComposeWindowWithConfiguration:shouldClose:, on the caller's
// thread: reads "windowIdentifier" (required, a string), "sizeDefaultsKey"
// (a string), "minimumWidth" and "minimumHeight" (numbers) with their
// defaults, then applies them on the main queue. Without an identifier or
// without a block of the right kind it does nothing.
void configureComposeWindow(Object* configuration, BlockBase* shouldClose);

// On the main thread: finds and tags the window, and makes a new close
// delegate, registered under the identifier, its delegate.
void applyComposeConfiguration(String* identifier, String* defaultsKey, double minimumWidth,
                               double minimumHeight, const Ref<ShouldCloseBlock>& shouldClose);

// On the main thread: the delegate registered under the identifier, if any,
// lets its window's next close through without asking the host.
void allowComposeWindowClose(String* identifier);

}  // namespace tovik
