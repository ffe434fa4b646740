#pragma once

#include "platform/url.h"

namespace tovik {

// NSWorkspace.
class Workspace : public Object {
 public:
  static Class* runtimeClass();
  static Workspace* sharedWorkspace();
  // openURL:, as the running system (or a replacement of it) answers.
  bool openURL(URL* url);
};

}  // namespace tovik
