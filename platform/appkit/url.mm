#include "platform/url.h"

#include <string>

#include "bridge.h"

namespace tovik {

using bridge::objc;
using bridge::ours;

Class* URL::runtimeClass() { return ours([NSURL class]); }

Ref<URL> URL::URLWithString(std::string_view text) {
  const Ref<String> string = str(text);
  return Ref<URL>::adopt(
      ours<URL>([[NSURL alloc] initWithString:static_cast<NSString*>(objc(string.get()))]));
}

String* URL::absoluteString() const {
  return ours<String>([static_cast<NSURL*>(objc(this)) absoluteString]);
}

}  // namespace tovik
