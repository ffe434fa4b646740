#pragma once

#include <cstdint>
#include <vector>

#include "platform/constants.h"
#include "platform/foundation.h"
#include "platform/geometry.h"
#include "platform/selectors.h"
#include "platform/view.h"

namespace tovik {

class Window;

// A toolbar item (NSToolbarItem) showing a view of its own.
class ToolbarItem : public Object {
 public:
  using Object::Object;
  static Class* runtimeClass();

  // The item's set-up is messages through the runtime, so a host's
  // subclass that overrides one is what the plug-in meets.
  void initWithItemIdentifier(String* identifier) {
    send<Ref<Object>>(this, selectors::initWithItemIdentifier, identifier);
  }
  [[nodiscard]] String* itemIdentifier() const { return identifier_.get(); }
  [[nodiscard]] View* view() const { return view_.get(); }
  void setView(View* view) { send<void>(this, selectors::setView, view); }
  [[nodiscard]] CGSize minSize() const { return minSize_; }
  void setMinSize(CGSize size) { send<void>(this, selectors::setMinSize, size); }
  [[nodiscard]] CGSize maxSize() const { return maxSize_; }
  void setMaxSize(CGSize size) { send<void>(this, selectors::setMaxSize, size); }

 private:
  Ref<String> identifier_;
  Ref<View> view_;
  CGSize minSize_{};
  CGSize maxSize_{};
};

// A toolbar (NSToolbar). Its delegate is weak. Once the toolbar has both a
// window and a delegate it loads its items, once, the way AppKit asks a
// delegate: toolbarDefaultItemIdentifiers:, then
// toolbar:itemForItemIdentifier:willBeInsertedIntoToolbar: with YES for each
// identifier, through the runtime; a selector the delegate does not answer
// gives no items. Main thread only.
class Toolbar : public Object {
 public:
  using Object::Object;
  static Class* runtimeClass();

  // The operations the plug-in uses are messages through the runtime, so a
  // host's subclass that overrides one is what it meets.
  void initWithIdentifier(String* identifier) {
    send<Ref<Object>>(this, selectors::initWithIdentifier, identifier);
  }
  [[nodiscard]] String* identifier() const {
    return message<String*>(this, selectors::identifier, [this] { return identifier_.get(); });
  }
  [[nodiscard]] Object* delegate() const { return delegate_.lock().get(); }
  void setDelegate(Object* delegate) { send<void>(this, selectors::setDelegate, delegate); }
  [[nodiscard]] std::int64_t displayMode() const { return displayMode_; }
  void setDisplayMode(std::int64_t mode) { send<void>(this, selectors::setDisplayMode, mode); }
  [[nodiscard]] std::int64_t sizeMode() const { return sizeMode_; }
  void setSizeMode(std::int64_t mode) { send<void>(this, selectors::setSizeMode, mode); }
  [[nodiscard]] bool allowsUserCustomization() const { return allowsUserCustomization_; }
  void setAllowsUserCustomization(bool allows) {
    send<void>(this, selectors::setAllowsUserCustomization, allows);
  }
  [[nodiscard]] bool autosavesConfiguration() const { return autosavesConfiguration_; }
  void setAutosavesConfiguration(bool autosaves) {
    send<void>(this, selectors::setAutosavesConfiguration, autosaves);
  }
  [[nodiscard]] bool showsBaselineSeparator() const { return showsBaselineSeparator_; }
  void setShowsBaselineSeparator(bool shows) {
    send<void>(this, selectors::setShowsBaselineSeparator, shows);
  }
  [[nodiscard]] bool isVisible() const { return visible_; }
  // A hidden toolbar's views leave the window's view tree.
  void setVisible(bool visible) { send<void>(this, selectors::setVisible, visible); }
  [[nodiscard]] const std::vector<Ref<ToolbarItem>>& items() const { return items_; }
  // The window the toolbar is attached to, if any.
  [[nodiscard]] Window* window() const { return window_; }

 private:
  friend class Window;
  void attach(Window* window);  // by the window's setToolbar:, none to detach
  // NSToolbar's own setDelegate: and setVisible:.
  void assignDelegate(Object* delegate);
  void applyVisible(bool visible);
  void loadItemsIfReady();

  Ref<String> identifier_;
  Weak<Object> delegate_;
  std::int64_t displayMode_ = NSToolbarDisplayModeDefault;
  std::int64_t sizeMode_ = NSToolbarSizeModeDefault;
  bool allowsUserCustomization_ = false;
  bool autosavesConfiguration_ = false;
  bool showsBaselineSeparator_ = true;
  bool visible_ = true;
  bool itemsLoaded_ = false;
  std::vector<Ref<ToolbarItem>> items_;
  Window* window_ = nullptr;
};

}  // namespace tovik
