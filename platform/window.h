#pragma once

#include <cstdint>
#include <string_view>

#include "platform/foundation.h"
#include "platform/geometry.h"

namespace tovik {

// NSWindowStyleMask bits.
inline constexpr std::uint64_t NSWindowStyleMaskBorderless = 0;
inline constexpr std::uint64_t NSWindowStyleMaskTitled = 1U << 0U;
inline constexpr std::uint64_t NSWindowStyleMaskClosable = 1U << 1U;
inline constexpr std::uint64_t NSWindowStyleMaskMiniaturizable = 1U << 2U;
inline constexpr std::uint64_t NSWindowStyleMaskResizable = 1U << 3U;
inline constexpr std::uint64_t NSWindowStyleMaskFullScreen = 1U << 14U;
inline constexpr std::uint64_t NSWindowStyleMaskFullSizeContentView = 1U << 15U;
// What a standard document window has.
inline constexpr std::uint64_t kStandardWindowStyle =
    NSWindowStyleMaskTitled | NSWindowStyleMaskClosable | NSWindowStyleMaskMiniaturizable |
    NSWindowStyleMaskResizable;

// Window notification names.
inline constexpr std::string_view NSWindowDidResizeNotification = "NSWindowDidResizeNotification";
inline constexpr std::string_view NSWindowDidMoveNotification = "NSWindowDidMoveNotification";
inline constexpr std::string_view NSWindowWillCloseNotification = "NSWindowWillCloseNotification";
inline constexpr std::string_view NSWindowDidBecomeKeyNotification =
    "NSWindowDidBecomeKeyNotification";
inline constexpr std::string_view NSWindowDidResignKeyNotification =
    "NSWindowDidResignKeyNotification";
inline constexpr std::string_view NSWindowDidBecomeMainNotification =
    "NSWindowDidBecomeMainNotification";
inline constexpr std::string_view NSWindowDidResignMainNotification =
    "NSWindowDidResignMainNotification";
inline constexpr std::string_view NSWindowWillEnterFullScreenNotification =
    "NSWindowWillEnterFullScreenNotification";
inline constexpr std::string_view NSWindowDidEnterFullScreenNotification =
    "NSWindowDidEnterFullScreenNotification";
inline constexpr std::string_view NSWindowWillExitFullScreenNotification =
    "NSWindowWillExitFullScreenNotification";
inline constexpr std::string_view NSWindowDidExitFullScreenNotification =
    "NSWindowDidExitFullScreenNotification";

// A window (NSWindow). The application owns its windows from creation until
// they close; everything else refers to them weakly or for the length of a
// call. Main thread only, as in AppKit.
class Window : public Object {
 public:
  using Object::Object;
  static Class* runtimeClass();
  // initWithContentRect:styleMask:backing:defer: — the new window belongs to
  // the application, hidden until it is ordered front.
  static Ref<Window> create(CGRect frame, std::uint64_t styleMask = kStandardWindowStyle);
  void initWithContentRect(CGRect frame, std::uint64_t styleMask);

  [[nodiscard]] String* identifier() const { return identifier_.get(); }
  void setIdentifier(String* identifier);
  [[nodiscard]] bool isVisible() const { return visible_; }
  [[nodiscard]] std::uint64_t styleMask() const { return styleMask_; }
  void setStyleMask(std::uint64_t mask);
  [[nodiscard]] CGRect frame() const { return frame_; }
  // Posts the resize notification when the size changes and the move
  // notification when the origin does. A live resize is a run of these.
  void setFrame(CGRect frame, bool display);
  [[nodiscard]] bool isMovableByWindowBackground() const { return movableByBackground_; }
  void setMovableByWindowBackground(bool movable) { movableByBackground_ = movable; }

  [[nodiscard]] bool canBecomeKeyWindow() const;
  [[nodiscard]] bool canBecomeMainWindow() const;
  [[nodiscard]] bool isKeyWindow() const;
  [[nodiscard]] bool isMainWindow() const;
  // Shows the window in front and makes it key and main where it can be.
  void makeKeyAndOrderFront(Object* sender);
  void orderFront(Object* sender);
  void orderOut(Object* sender);
  // What the close button does: asks the delegate's windowShouldClose: when
  // it answers that selector, and closes when allowed. Windows without the
  // closable style ignore it.
  void performClose(Object* sender);
  // Closes without asking: posts the will-close notification, hides the
  // window and takes it out of the application.
  void close();

  // Not retained; a delegate that is gone reads as none. The delegate
  // receives the window's own notifications through the delegate methods it
  // answers (windowDidResize:, windowWillClose:...).
  [[nodiscard]] Object* delegate() const;
  void setDelegate(Object* delegate);

  // Posts one of the window's own notifications with the window as object.
  void postNotification(std::string_view name);

 private:
  Ref<String> identifier_;
  bool visible_ = false;
  bool closed_ = false;
  std::uint64_t styleMask_ = kStandardWindowStyle;
  CGRect frame_{};
  bool movableByBackground_ = false;
  Weak<Object> delegate_;
};

}  // namespace tovik
