#include "platform/toolbar.h"

#include "platform/window.h"

namespace tovik {

Class* ToolbarItem::runtimeClass() {
  static Class* const cls = [] {
    Class* c = objc_declareClass(
        "NSToolbarItem", Object::runtimeClass(),
        [](Class* isa) -> Ref<Object> { return std::make_shared<ToolbarItem>(isa); });
    addMethod(c, "initWithItemIdentifier:", [](ToolbarItem* self, String* identifier) {
      self->identifier_ = identifier != nullptr ? identifier->retainAs<String>() : nullptr;
      return self->retain();
    });
    addMethod(c, "itemIdentifier", [](ToolbarItem* self) { return self->identifier_; });
    addMethod(c, "view", [](ToolbarItem* self) { return self->view_; });
    addMethod(c, "setView:", [](ToolbarItem* self, View* view) {
      self->view_ = view != nullptr ? view->retainAs<View>() : nullptr;
    });
    addMethod(c, "minSize", [](ToolbarItem* self) { return self->minSize(); });
    addMethod(c, "setMinSize:", [](ToolbarItem* self, CGSize size) { self->minSize_ = size; });
    addMethod(c, "maxSize", [](ToolbarItem* self) { return self->maxSize(); });
    addMethod(c, "setMaxSize:", [](ToolbarItem* self, CGSize size) { self->maxSize_ = size; });
    return c;
  }();
  return cls;
}

Class* Toolbar::runtimeClass() {
  static Class* const cls = [] {
    Class* c =
        objc_declareClass("NSToolbar", Object::runtimeClass(),
                          [](Class* isa) -> Ref<Object> { return std::make_shared<Toolbar>(isa); });
    addMethod(c, "initWithIdentifier:", [](Toolbar* self, String* identifier) {
      self->identifier_ = identifier != nullptr ? identifier->retainAs<String>() : nullptr;
      return self->retain();
    });
    addMethod(c, "identifier", [](Toolbar* self) { return self->identifier_.get(); });
    addMethod(c, "delegate", [](Toolbar* self) { return self->delegate_.lock(); });
    addMethod(
        c, "setDelegate:", [](Toolbar* self, Object* delegate) { self->assignDelegate(delegate); });
    addMethod(c, "displayMode", [](Toolbar* self) { return self->displayMode(); });
    addMethod(
        c, "setDisplayMode:", [](Toolbar* self, std::int64_t mode) { self->displayMode_ = mode; });
    addMethod(c, "sizeMode", [](Toolbar* self) { return self->sizeMode(); });
    addMethod(c, "setSizeMode:", [](Toolbar* self, std::int64_t mode) { self->sizeMode_ = mode; });
    addMethod(c, "allowsUserCustomization",
              [](Toolbar* self) { return self->allowsUserCustomization(); });
    addMethod(c, "setAllowsUserCustomization:", [](Toolbar* self, bool allows) {
      self->allowsUserCustomization_ = allows;
    });
    addMethod(c, "autosavesConfiguration",
              [](Toolbar* self) { return self->autosavesConfiguration(); });
    addMethod(c, "setAutosavesConfiguration:", [](Toolbar* self, bool autosaves) {
      self->autosavesConfiguration_ = autosaves;
    });
    addMethod(c, "showsBaselineSeparator",
              [](Toolbar* self) { return self->showsBaselineSeparator(); });
    addMethod(c, "setShowsBaselineSeparator:", [](Toolbar* self, bool shows) {
      self->showsBaselineSeparator_ = shows;
    });
    addMethod(c, "isVisible", [](Toolbar* self) { return self->isVisible(); });
    addMethod(c, "setVisible:", [](Toolbar* self, bool visible) { self->applyVisible(visible); });
    addMethod(c, "items", [](Toolbar* self) {
      return Array::make({self->items_.begin(), self->items_.end()});
    });
    return c;
  }();
  return cls;
}

void Toolbar::assignDelegate(Object* delegate) {
  delegate_ = delegate != nullptr ? delegate->retain() : Weak<Object>{};
  loadItemsIfReady();
}

void Toolbar::applyVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  if (window_ != nullptr) window_->toolbarDidChange();
}

void Toolbar::attach(Window* window) {
  window_ = window;
  loadItemsIfReady();
}

void Toolbar::loadItemsIfReady() {
  Ref<Object> delegate = delegate_.lock();
  if (itemsLoaded_ || window_ == nullptr || delegate == nullptr) return;
  itemsLoaded_ = true;
  static const SEL defaults = sel_registerName("toolbarDefaultItemIdentifiers:");
  static const SEL itemFor =
      sel_registerName("toolbar:itemForItemIdentifier:willBeInsertedIntoToolbar:");
  if (!delegate->respondsToSelector(defaults) || !delegate->respondsToSelector(itemFor)) return;
  const Ref<Array> identifiers = send<Ref<Array>>(delegate.get(), defaults, this);
  if (identifiers == nullptr) return;
  for (const Ref<Object>& identifier : identifiers->items()) {
    auto* name = as<String>(identifier.get());
    if (name == nullptr) continue;
    if (Ref<ToolbarItem> item = send<Ref<ToolbarItem>>(delegate.get(), itemFor, this, name, true)) {
      items_.push_back(std::move(item));
    }
  }
  if (window_ != nullptr) window_->toolbarDidChange();
}

}  // namespace tovik
