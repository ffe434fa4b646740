#include "platform/toolbar.h"

#import <AppKit/AppKit.h>

#include "bridge.h"

namespace tovik {

using bridge::objc;
using bridge::ours;
using bridge::setIfAnswered;

namespace {
NSToolbar* ns(const Toolbar* toolbar) { return static_cast<NSToolbar*>(objc(toolbar)); }
NSToolbarItem* ns(const ToolbarItem* item) { return static_cast<NSToolbarItem*>(objc(item)); }

}  // namespace

Class* ToolbarItem::runtimeClass() { return ours([NSToolbarItem class]); }

void ToolbarItem::initWithItemIdentifier(String* identifier) {
  [ns(this) initWithItemIdentifier:static_cast<NSString*>(objc(identifier))];
}

String* ToolbarItem::itemIdentifier() const { return ours<String>([ns(this) itemIdentifier]); }

View* ToolbarItem::view() const { return ours<View>([ns(this) view]); }

void ToolbarItem::setView(View* view) { [ns(this) setView:static_cast<NSView*>(objc(view))]; }

// Deprecated since macOS 12, where an item takes its size from its view (the
// anchor's view is 1 x 1 already); still sent, as the anchor item is made
// with both sizes, and GNUstep sizes an item by them.
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wdeprecated-declarations"
void ToolbarItem::setMinSize(CGSize size) {
  [ns(this) setMinSize:NSMakeSize(size.width, size.height)];
}

void ToolbarItem::setMaxSize(CGSize size) {
  [ns(this) setMaxSize:NSMakeSize(size.width, size.height)];
}
#pragma clang diagnostic pop

Class* Toolbar::runtimeClass() { return ours([NSToolbar class]); }

void Toolbar::initWithIdentifier(String* identifier) {
  [ns(this) initWithIdentifier:static_cast<NSString*>(objc(identifier))];
}

String* Toolbar::identifier() const { return ours<String>([ns(this) identifier]); }

Object* Toolbar::delegate() const { return ours([ns(this) delegate]); }

void Toolbar::setDelegate(Object* delegate) { [ns(this) setDelegate:objc(delegate)]; }

void Toolbar::setDisplayMode(std::int64_t mode) {
  [ns(this) setDisplayMode:static_cast<NSToolbarDisplayMode>(mode)];
}

void Toolbar::setSizeMode(std::int64_t mode) {
  [ns(this) setSizeMode:static_cast<NSToolbarSizeMode>(mode)];
}

void Toolbar::setAllowsUserCustomization(bool allows) {
  [ns(this) setAllowsUserCustomization:allows ? YES : NO];
}

void Toolbar::setAutosavesConfiguration(bool autosaves) {
  [ns(this) setAutosavesConfiguration:autosaves ? YES : NO];
}

void Toolbar::setShowsBaselineSeparator(bool shows) {
  setIfAnswered(this, "setShowsBaselineSeparator:", shows);
}

bool Toolbar::isVisible() const { return [ns(this) isVisible] != NO; }

void Toolbar::setVisible(bool visible) { [ns(this) setVisible:visible ? YES : NO]; }

}  // namespace tovik
