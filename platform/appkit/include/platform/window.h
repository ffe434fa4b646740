#pragma once

#include <cstdint>

#include "platform/constants.h"
#include "platform/foundation.h"
#include "platform/toolbar.h"
#include "platform/view.h"

namespace tovik {

// NSWindow.
class Window : public Object {
 public:
  static Class* runtimeClass();
  // The window's identifier, where the running system has one (NSWindow
  // answers identifier since macOS 10.7; GNUstep's does not, and a window
  // there has none unless its class defines it).
  [[nodiscard]] String* identifier() const;
  void setIdentifier(String* identifier);
  [[nodiscard]] bool isVisible() const;
  [[nodiscard]] std::uint64_t styleMask() const;
  void setStyleMask(std::uint64_t mask);
  [[nodiscard]] CGRect frame() const;
  void setMovableByWindowBackground(bool movable);
  // The titlebar's settings of later systems, each left alone where the
  // running system does not have it.
  void setTitlebarAppearsTransparent(bool transparent);
  void setTitleVisibility(std::int64_t visibility);
  void setToolbarStyle(std::int64_t style);
  void setTitlebarSeparatorStyle(std::int64_t style);
  // Not retained, as AppKit keeps it.
  [[nodiscard]] Object* delegate() const;
  void setDelegate(Object* delegate);
  void performClose(Object* sender);
  [[nodiscard]] Toolbar* toolbar() const;
  void setToolbar(Toolbar* toolbar);
  void zoom(Object* sender);
  void miniaturize(Object* sender);
  // The part of the window the titlebar leaves to the content, in window
  // coordinates; where the running system does not say, the content view's
  // frame.
  [[nodiscard]] CGRect contentLayoutRect() const;
  [[nodiscard]] View* contentView() const;
  // The button of a kind (NSWindowCloseButton...); none where the running
  // system draws no such button.
  [[nodiscard]] View* standardWindowButton(std::int64_t kind) const;
};

}  // namespace tovik
