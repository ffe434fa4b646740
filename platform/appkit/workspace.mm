#include "platform/workspace.h"

#import <AppKit/AppKit.h>

#include "bridge.h"

namespace tovik {

using bridge::objc;
using bridge::ours;

Class* Workspace::runtimeClass() { return ours([NSWorkspace class]); }

Workspace* Workspace::sharedWorkspace() { return ours<Workspace>([NSWorkspace sharedWorkspace]); }

bool Workspace::openURL(URL* url) {
  return [static_cast<NSWorkspace*>(objc(this)) openURL:static_cast<NSURL*>(objc(url))] != NO;
}

}  // namespace tovik
