#pragma once

#include <concepts>
#include <cstdint>

#include "platform/contract/object.h"
#include "platform/geometry.h"
#include "platform/window.h"

namespace tovik::contract {

// NSWindow, as the plug-in finds, styles and observes one. A titlebar
// setting the running system does not have is left alone.
template <class W>
concept WindowContract = ObjectContract<W> &&
    requires(W& window, const W& constWindow, String* text, Object* object, Toolbar* toolbar,
             std::uint64_t mask, std::int64_t number, bool flag) {
  // None where the running system has no identifiers.
  { constWindow.identifier() } -> std::same_as<String*>;
  window.setIdentifier(text);
  { constWindow.isVisible() } -> std::same_as<bool>;
  { constWindow.styleMask() } -> std::same_as<std::uint64_t>;
  window.setStyleMask(mask);
  { constWindow.frame() } -> std::same_as<CGRect>;
  window.setMovableByWindowBackground(flag);
  window.setTitlebarAppearsTransparent(flag);
  window.setTitleVisibility(number);
  window.setToolbarStyle(number);
  window.setTitlebarSeparatorStyle(number);
  window.setDelegate(object);
  { constWindow.toolbar() } -> std::same_as<Toolbar*>;
  window.setToolbar(toolbar);
  window.zoom(object);
  window.miniaturize(object);
  // In window coordinates: the part the titlebar leaves to the content.
  { constWindow.contentLayoutRect() } -> std::same_as<CGRect>;
  // Its superview is the frame view, whose hitTest: a mouse-down asks.
  { constWindow.contentView() } -> std::same_as<View*>;
  // NSWindowCloseButton...; none where there is no such button.
  { constWindow.standardWindowButton(number) } -> std::same_as<View*>;
};

}  // namespace tovik::contract
