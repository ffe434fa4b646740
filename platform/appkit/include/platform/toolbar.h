#pragma once

#include "platform/constants.h"
#include "platform/foundation.h"
#include "platform/geometry.h"
#include "platform/view.h"

namespace tovik {

// NSToolbarItem.
class ToolbarItem : public Object {
 public:
  static Class* runtimeClass();
  void initWithItemIdentifier(String* identifier);
  [[nodiscard]] String* itemIdentifier() const;
  [[nodiscard]] View* view() const;
  void setView(View* view);
  void setMinSize(CGSize size);
  void setMaxSize(CGSize size);
};

// NSToolbar. A setting the running system does not have is left alone.
class Toolbar : public Object {
 public:
  static Class* runtimeClass();
  void initWithIdentifier(String* identifier);
  [[nodiscard]] String* identifier() const;
  [[nodiscard]] Object* delegate() const;
  void setDelegate(Object* delegate);
  void setDisplayMode(std::int64_t mode);
  void setSizeMode(std::int64_t mode);
  void setAllowsUserCustomization(bool allows);
  void setAutosavesConfiguration(bool autosaves);
  void setShowsBaselineSeparator(bool shows);
  [[nodiscard]] bool isVisible() const;
  void setVisible(bool visible);
};

}  // namespace tovik
