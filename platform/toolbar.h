#pragma once

#include <cstdint>
#include <vector>

#include "platform/foundation.h"
#include "platform/geometry.h"
#include "platform/view.h"

namespace tovik {

class Window;

// NSToolbarDisplayMode and NSToolbarSizeMode.
inline constexpr std::int64_t NSToolbarDisplayModeDefault = 0;
inline constexpr std::int64_t NSToolbarDisplayModeIconAndLabel = 1;
inline constexpr std::int64_t NSToolbarDisplayModeIconOnly = 2;
inline constexpr std::int64_t NSToolbarDisplayModeLabelOnly = 3;
inline constexpr std::int64_t NSToolbarSizeModeDefault = 0;
inline constexpr std::int64_t NSToolbarSizeModeRegular = 1;
inline constexpr std::int64_t NSToolbarSizeModeSmall = 2;

// A toolbar item (NSToolbarItem) showing a view of its own.
class ToolbarItem : public Object {
 public:
  using Object::Object;
  static Class* runtimeClass();

  void initWithItemIdentifier(String* identifier);
  [[nodiscard]] String* itemIdentifier() const { return identifier_.get(); }
  [[nodiscard]] View* view() const { return view_.get(); }
  void setView(View* view) { view_ = view != nullptr ? view->retainAs<View>() : nullptr; }
  [[nodiscard]] CGSize minSize() const { return minSize_; }
  void setMinSize(CGSize size) { minSize_ = size; }
  [[nodiscard]] CGSize maxSize() const { return maxSize_; }
  void setMaxSize(CGSize size) { maxSize_ = size; }

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

  void initWithIdentifier(String* identifier);
  [[nodiscard]] String* identifier() const { return identifier_.get(); }
  [[nodiscard]] Object* delegate() const { return delegate_.lock().get(); }
  void setDelegate(Object* delegate);
  [[nodiscard]] std::int64_t displayMode() const { return displayMode_; }
  void setDisplayMode(std::int64_t mode) { displayMode_ = mode; }
  [[nodiscard]] std::int64_t sizeMode() const { return sizeMode_; }
  void setSizeMode(std::int64_t mode) { sizeMode_ = mode; }
  [[nodiscard]] bool allowsUserCustomization() const { return allowsUserCustomization_; }
  void setAllowsUserCustomization(bool allows) { allowsUserCustomization_ = allows; }
  [[nodiscard]] bool autosavesConfiguration() const { return autosavesConfiguration_; }
  void setAutosavesConfiguration(bool autosaves) { autosavesConfiguration_ = autosaves; }
  [[nodiscard]] bool showsBaselineSeparator() const { return showsBaselineSeparator_; }
  void setShowsBaselineSeparator(bool shows) { showsBaselineSeparator_ = shows; }
  [[nodiscard]] bool isVisible() const { return visible_; }
  // A hidden toolbar's views leave the window's view tree.
  void setVisible(bool visible);
  [[nodiscard]] const std::vector<Ref<ToolbarItem>>& items() const { return items_; }
  // The window the toolbar is attached to, if any.
  [[nodiscard]] Window* window() const { return window_; }

 private:
  friend class Window;
  void attach(Window* window);  // by the window's setToolbar:, none to detach
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
