#pragma once

#include <concepts>
#include <cstdint>

#include "platform/contract/object.h"
#include "platform/geometry.h"
#include "platform/toolbar.h"

namespace tovik::contract {

// NSToolbarItem, made by the plug-in as the toolbar's delegate.
template <class I>
concept ToolbarItemContract = ObjectContract<I> &&
    requires(I& item, String* identifier, View* view, CGSize size) {
  { make<I>() } -> std::same_as<Ref<I>>;
  item.initWithItemIdentifier(identifier);
  item.setView(view);
  item.setMinSize(size);
  item.setMaxSize(size);
};

// NSToolbar. A setting the running system does not have is left alone.
template <class T>
concept ToolbarContract = ObjectContract<T> &&
    requires(T& toolbar, const T& constToolbar, String* identifier, Object* delegate,
             std::int64_t mode, bool flag) {
  { make<T>() } -> std::same_as<Ref<T>>;
  toolbar.initWithIdentifier(identifier);
  { constToolbar.identifier() } -> std::same_as<String*>;
  toolbar.setDelegate(delegate);
  toolbar.setDisplayMode(mode);
  toolbar.setSizeMode(mode);
  toolbar.setAllowsUserCustomization(flag);
  toolbar.setAutosavesConfiguration(flag);
  toolbar.setShowsBaselineSeparator(flag);
  { constToolbar.isVisible() } -> std::same_as<bool>;
  toolbar.setVisible(flag);
};

}  // namespace tovik::contract
