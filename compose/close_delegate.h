#pragma once

#include <memory>

#include "platform/foundation.h"
#include "platform/geometry.h"
#include "platform/window.h"

namespace tovik {

// The host's answer to whether a compose window may close.
using ShouldCloseBlock = Block<bool()>;

inline constexpr std::string_view kDefaultComposeSizeDefaultsKey =
    "com.tarnwell.tovik.composeWindowFrameSize";

// The delegate of one compose window: it asks the host before the window
// closes (unless the host allowed the next close), records the window's
// frame size in the user defaults at every resize and at close, and leaves
// the plug-in's registry when the window closes. The window is given the
// delegate's runtime object, an instance of a class private to the plug-in
// (not found by name) that adopts NSWindowDelegate and answers
// windowShouldClose:, windowDidResize: and windowWillClose: with this
// delegate's answers; the delegate keeps it.
class ComposeWindowCloseDelegate : public std::enable_shared_from_this<ComposeWindowCloseDelegate> {
 public:
  ComposeWindowCloseDelegate(Ref<String> windowIdentifier, Ref<String> defaultsKey,
                             CGSize minimumFrameSize, Ref<ShouldCloseBlock> shouldClose);

  [[nodiscard]] Object* object() const { return object_.get(); }
  [[nodiscard]] String* windowIdentifier() const { return windowIdentifier_.get(); }
  [[nodiscard]] String* defaultsKey() const { return defaultsKey_.get(); }
  [[nodiscard]] CGSize minimumFrameSize() const { return minimumFrameSize_; }
  [[nodiscard]] bool allowsNextClose() const { return allowsNextClose_; }
  // One permission: allowing twice still lets one close through.
  void allowNextClose() { allowsNextClose_ = true; }

  bool windowShouldClose(Object* window);
  void windowDidResize(Object* notification);
  void windowWillClose(Object* notification);

 private:
  // The window, when it is one and carries this delegate's identifier.
  [[nodiscard]] Window* servedWindow(Object* candidate) const;

  Ref<Object> object_;
  Ref<String> windowIdentifier_;
  Ref<String> defaultsKey_;
  CGSize minimumFrameSize_;
  Ref<ShouldCloseBlock> shouldClose_;
  bool allowsNextClose_ = false;
};

// The registered delegate whose runtime object is `object`; none for any
// other object.
ComposeWindowCloseDelegate* composeCloseDelegateOf(const Object* object);

// Writes {"width", "height"} under `defaultsKey` in the standard user
// defaults: each dimension the frame's, raised to the minimum. The record
// never holds a number that is not finite: a non-finite minimum counts as
// none, a non-finite frame value gives way to the minimum, and when a
// dimension has neither, nothing is written and the previous record stays.
void saveFrameSize(String* defaultsKey, double width, double height, double minimumWidth,
                   double minimumHeight);

}  // namespace tovik
