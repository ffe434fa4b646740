#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/constants.h"
#include "platform/foundation.h"
#include "platform/geometry.h"
#include "platform/selectors.h"
#include "platform/toolbar.h"
#include "platform/view.h"

namespace tovik {

class Event;

// A window (NSWindow). The application owns its windows from creation until
// they close; everything else refers to them weakly or for the length of a
// call. Main thread only, as in AppKit.
//
// A window has AppKit's view tree, under a frame view (NSThemeFrame) that
// fills the window: the content view and, above it in a titled window, the
// titlebar container (NSTitlebarContainerView) along the top edge, holding
// _NSTitlebarDecorationView and NSTitlebarView; the latter holds the
// titlebar's material (NSVisualEffectView), the three standard buttons
// (_NSThemeCloseWidget, _NSThemeZoomWidget, _NSThemeWidget for miniaturise)
// and, while a toolbar is attached and visible, NSToolbarView with an
// NSToolbarItemViewer per item holding the item's view. The window lays the
// tree out again when its frame, style or toolbar changes.
class Window : public Object {
 public:
  explicit Window(Class* isa);
  ~Window() override;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  static Class* runtimeClass();
  // initWithContentRect:styleMask:backing:defer: — the new window belongs to
  // the application, hidden until it is ordered front.
  static Ref<Window> create(CGRect frame, std::uint64_t styleMask = kStandardWindowStyle);
  void initWithContentRect(CGRect frame, std::uint64_t styleMask);

  // The window's operations are messages through the runtime (see
  // message()), so a host's subclass or replacement of one is what every
  // caller meets, the plug-in included.
  [[nodiscard]] String* identifier() const {
    return message<String*>(this, selectors::identifier, [this] { return identifier_.get(); });
  }
  void setIdentifier(String* identifier) { send<void>(this, selectors::setIdentifier, identifier); }
  // On screen: ordered in, and not hidden while the application is inactive
  // (see hidesOnDeactivate).
  [[nodiscard]] bool isVisible() const {
    return message<bool>(this, selectors::isVisible, [this] { return onScreen(); });
  }
  [[nodiscard]] std::uint64_t styleMask() const {
    return message<std::uint64_t>(this, selectors::styleMask, [this] { return styleMask_; });
  }
  void setStyleMask(std::uint64_t mask) { send<void>(this, selectors::setStyleMask, mask); }
  [[nodiscard]] CGRect frame() const {
    return message<CGRect>(this, selectors::frame, [this] { return frame_; });
  }
  // Posts the resize notification when the size changes and the move
  // notification when the origin does. A live resize is a run of these.
  void setFrame(CGRect frame, bool display);
  [[nodiscard]] bool isMovableByWindowBackground() const { return movableByBackground_; }
  void setMovableByWindowBackground(bool movable) {
    send<void>(this, selectors::setMovableByWindowBackground, movable);
  }

  // Sent through the runtime, so a host's subclass that overrides either is
  // what the application asks. NSWindow answers YES to canBecomeKeyWindow
  // for a window with a titlebar or a resize bar, and to canBecomeMainWindow
  // for such a window while it is visible; an NSPanel is never main.
  [[nodiscard]] bool canBecomeKeyWindow();
  [[nodiscard]] bool canBecomeMainWindow();
  // Whether the application reports the window as its key or main window:
  // never while the application is inactive.
  [[nodiscard]] bool isKeyWindow() const;
  [[nodiscard]] bool isMainWindow() const;
  // Shows the window at the front of its level and makes it key and main
  // where it can be. In an inactive application the window is ordered front
  // and becomes key (and main) when the application is next activated.
  void makeKeyAndOrderFront(Object* sender);
  // Shows the window at the front of its level; key and main stay where they
  // are.
  void orderFront(Object* sender);
  // Takes the window off the screen. If it was key, key passes to the main
  // window, else to the frontmost window that can be key; if it was main,
  // main passes to the frontmost window that can be main.
  void orderOut(Object* sender);
  [[nodiscard]] std::int64_t level() const { return level_; }
  // A visible window moves to the front of its new level.
  void setLevel(std::int64_t level);
  // Whether the window leaves the screen while the application is inactive
  // (and comes back when it is active again). NO for a window, YES for a
  // panel.
  [[nodiscard]] bool hidesOnDeactivate() const { return hidesOnDeactivate_; }
  void setHidesOnDeactivate(bool hides) { hidesOnDeactivate_ = hides; }
  // What the close button does: asks the delegate's windowShouldClose: when
  // it answers that selector, and closes when allowed. Windows without the
  // closable style ignore it.
  void performClose(Object* sender);
  // Closes without asking: posts the will-close notification, hides the
  // window and takes it out of the application (which may post the resign
  // notifications). From then on the delegate receives none of the window's
  // notifications.
  void close();

  // Not retained; a delegate that is gone reads as none. The delegate
  // receives the window's own notifications through the delegate methods it
  // answers (windowDidResize:, windowWillClose:...) until the window closes;
  // a delegate set on a closed window receives none.
  [[nodiscard]] Object* delegate() const;
  void setDelegate(Object* delegate) { send<void>(this, selectors::setDelegate, delegate); }

  // Posts one of the window's own notifications with the window as object.
  void postNotification(std::string_view name);

  // The host's view, filling the window with the full-size-content style and
  // ending below the titlebar strip without it.
  [[nodiscard]] View* contentView() const {
    return message<View*>(this, selectors::contentView, [this] { return contentView_.get(); });
  }
  // Replaces the content view; none leaves the window without one.
  void setContentView(View* view);
  // The button of a kind (NSWindowCloseButton...); none for a window without
  // a titlebar and once the host has taken the button out of the window.
  [[nodiscard]] View* standardWindowButton(std::int64_t kind) const {
    return message<View*>(
        this, selectors::standardWindowButton, [this, kind] { return ownButton(kind); }, kind);
  }

  // sendEvent: — a left mouse event of this window. A mouse-down asks the
  // frame view's hitTest: through the runtime for the view the click
  // reaches, which is answered (none when nothing is hit or the window is
  // not on screen; other events answer none). What the press does:
  // - on a standard button, or a view inside one that leaves the click to
  //   it, the button's action: performClose:, miniaturize:, or the zoom
  //   button's toggleFullScreen:;
  // - on a view whose mouseDownCanMoveWindow is NO (a control, an opaque
  //   view), nothing more: the view takes the click;
  // - on the titlebar view or a view in it, what NSTitlebarView does: the
  //   second press of a double-click performs the user's double-click
  //   action ("AppleActionOnDoubleClick" of the standard defaults: zoom for
  //   "Maximize", "Fill", an unknown value or none, miniaturize for
  //   "Minimize", nothing for "None"; without it, the older boolean
  //   "AppleMiniaturizeOnDoubleClick" chooses miniaturize), and a drag
  //   moves the window;
  // - elsewhere, in a window movable by its background, a drag moves the
  //   window.
  // Moving, the window's origin follows the pointer from where it was
  // pressed, through setFrame:display:, until the mouse-up or the next
  // mouse-down. A window in full screen neither moves nor answers a
  // double-click on its titlebar.
  Ref<View> sendEvent(Event* event);
  // A press of one click at a point in window coordinates, sent through
  // the application as the window server sends it (the local event
  // monitors see it): what Application::sendEvent answers.
  Ref<View> mouseDown(CGPoint pointInWindow);

  // convertPointToScreen: / convertPointFromScreen:, between window and
  // screen coordinates at the window's current frame.
  [[nodiscard]] CGPoint convertPointToScreen(CGPoint point) const {
    return {point.x + frame_.origin.x, point.y + frame_.origin.y};
  }
  [[nodiscard]] CGPoint convertPointFromScreen(CGPoint point) const {
    return {point.x - frame_.origin.x, point.y - frame_.origin.y};
  }
  // The part of the window, in window coordinates, that the titlebar strip
  // does not cover: the whole window without a titlebar.
  [[nodiscard]] CGRect contentLayoutRect() const {
    return message<CGRect>(this, selectors::contentLayoutRect, [this] { return contentArea(); });
  }

  [[nodiscard]] bool titlebarAppearsTransparent() const { return titlebarAppearsTransparent_; }
  void setTitlebarAppearsTransparent(bool transparent) {
    send<void>(this, selectors::setTitlebarAppearsTransparent, transparent);
  }
  [[nodiscard]] std::int64_t titleVisibility() const { return titleVisibility_; }
  void setTitleVisibility(std::int64_t visibility) {
    send<void>(this, selectors::setTitleVisibility, visibility);
  }
  [[nodiscard]] std::int64_t toolbarStyle() const { return toolbarStyle_; }
  void setToolbarStyle(std::int64_t style) { send<void>(this, selectors::setToolbarStyle, style); }
  [[nodiscard]] std::int64_t titlebarSeparatorStyle() const { return titlebarSeparatorStyle_; }
  void setTitlebarSeparatorStyle(std::int64_t style) {
    send<void>(this, selectors::setTitlebarSeparatorStyle, style);
  }

  [[nodiscard]] Toolbar* toolbar() const {
    return message<Toolbar*>(this, selectors::toolbar, [this] { return toolbar_.get(); });
  }
  // Attaches `toolbar` (taking it from any other window) and detaches the
  // previous one, whose views leave the tree.
  void setToolbar(Toolbar* toolbar) { send<void>(this, selectors::setToolbar, toolbar); }
  // Called by the attached toolbar when its items or visibility change.
  void toolbarDidChange();

  [[nodiscard]] bool isMiniaturized() const { return miniaturized_; }
  // Takes a miniaturisable window off the screen into the Dock.
  void miniaturize(Object* sender) { send<void>(this, selectors::miniaturize, sender); }
  void deminiaturize(Object* sender);

  // zoom: toggles a resizable window between the user's frame and the
  // standard frame, the screen's visible frame; isZoomed is whether the
  // window has the standard frame. Neither a window in full screen nor a
  // window off screen zooms.
  [[nodiscard]] bool isZoomed() const;
  void zoom(Object* sender) { send<void>(this, selectors::zoom, sender); }

  // Into full screen and out again, with AppKit's notifications. A toggle
  // that arrives while a transition is running is ignored, as AppKit treats
  // it as part of that transition. Windows without the resizable style do not
  // go full screen.
  void toggleFullScreen(Object* sender);

 protected:
  // NSWindow's rule for taking key: a titlebar or a resize bar.
  [[nodiscard]] bool styleAllowsKey() const {
    return (styleMask_ & (NSWindowStyleMaskTitled | NSWindowStyleMaskResizable)) != 0;
  }

 private:
  // NSWindow's own implementations of the operations above, which its
  // runtime methods run.
  [[nodiscard]] bool onScreen() const;
  [[nodiscard]] CGRect contentArea() const;
  void miniaturizeNow();
  void toggleZoom();
  [[nodiscard]] View* ownButton(std::int64_t kind) const {
    if (kind < 0 || kind >= static_cast<std::int64_t>(buttons_.size())) return nullptr;
    View* button = buttons_[static_cast<std::size_t>(kind)].get();
    return button != nullptr && button->window_ == this ? button : nullptr;
  }
  void applyStyleMask(std::uint64_t mask);
  void applyToolbarStyle(std::int64_t style);
  void attachToolbar(Toolbar* toolbar);
  void assignDelegate(Object* delegate);

  void buildViewTree();
  void layoutViews();
  void rebuildToolbarView();
  [[nodiscard]] double titlebarStripHeight() const;
  [[nodiscard]] bool toolbarShown() const;
  // Performs the action of the standard button `hit` is (in); false when it
  // is in none.
  bool performButtonAction(const View* hit);
  Ref<View> leftMouseDown(const Event& event);
  void leftMouseDragged(const Event& event);
  void performTitlebarDoubleClickAction();

  Ref<String> identifier_;
  bool orderedIn_ = false;  // in the application's screen list
  bool closed_ = false;
  std::int64_t level_ = NSNormalWindowLevel;
  bool hidesOnDeactivate_ = false;
  std::uint64_t styleMask_ = kStandardWindowStyle;
  CGRect frame_{};
  bool movableByBackground_ = false;
  Weak<Object> delegate_;

  Ref<View> frameView_;
  Ref<View> contentView_;
  Ref<View> titlebarContainer_;
  Ref<View> titlebarView_;
  std::array<Ref<View>, 3> buttons_;
  Ref<View> toolbarView_;
  Ref<Toolbar> toolbar_;
  bool titlebarAppearsTransparent_ = false;
  std::int64_t titleVisibility_ = NSWindowTitleVisible;
  std::int64_t toolbarStyle_ = NSWindowToolbarStyleAutomatic;
  std::int64_t titlebarSeparatorStyle_ = NSTitlebarSeparatorStyleAutomatic;
  bool miniaturized_ = false;
  bool inFullScreenTransition_ = false;
  CGRect frameBeforeFullScreen_{};
  // The frame zoom: returns to; none before the first zoom.
  std::optional<CGRect> userFrame_;
  // A drag moving the window: where the pointer was pressed, on screen,
  // and the window's origin then.
  struct Move {
    CGPoint pressedOnScreen;
    CGPoint origin;
  };
  std::optional<Move> move_;
};

// A panel (NSPanel): a utility or floating window that can be key but is
// never main, so a document window stays main while a panel takes the
// keyboard. Panels hide while the application is inactive.
class Panel : public Window {
 public:
  explicit Panel(Class* isa);
  static Class* runtimeClass();
  // initWithContentRect:styleMask:backing:defer: of NSPanel.
  static Ref<Panel> create(CGRect frame, std::uint64_t styleMask = kStandardPanelStyle);

  // A panel that becomes key only when needed is not handed key when
  // another window leaves the screen or the application is activated; only
  // makeKeyAndOrderFront: makes it key. Default NO.
  [[nodiscard]] bool becomesKeyOnlyIfNeeded() const { return becomesKeyOnlyIfNeeded_; }
  void setBecomesKeyOnlyIfNeeded(bool flag) { becomesKeyOnlyIfNeeded_ = flag; }
  // A floating panel sits at NSFloatingWindowLevel, above document windows;
  // setting it NO puts the panel back at NSNormalWindowLevel.
  [[nodiscard]] bool isFloatingPanel() const { return level() == NSFloatingWindowLevel; }
  void setFloatingPanel(bool floating) {
    setLevel(floating ? NSFloatingWindowLevel : NSNormalWindowLevel);
  }

 private:
  bool becomesKeyOnlyIfNeeded_ = false;
};

}  // namespace tovik
