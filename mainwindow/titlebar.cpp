#include "mainwindow/titlebar.h"

#include "mainwindow/double_click.h"
#include "mainwindow/fullscreen.h"
#include "mainwindow/hittest.h"
#include "mainwindow/lookup.h"
#include "platform/main_queue.h"
#include "plugin/identifier.h"
#include "plugin/static_state.h"

namespace tovik {

namespace {
bool isUnifiedToolbar(const Toolbar* toolbar) {
  return toolbar != nullptr && toolbar->identifier() != nullptr &&
         toolbar->identifier()->utf8() == kUnifiedToolbarIdentifier;
}
}  // namespace

void configureMainWindowTitlebar(String* identifier, Object* plugin) {
  Window* window = resolveWindowWithIdentifier(identifier);
  if (window == nullptr) return;
  window->setIdentifier(identifier);
  window->setMovableByWindowBackground(true);
  configuredMainWindowIdentifiers().insert(identifierKey(*identifier));
  applyUnifiedTitlebarStyle(window);
  installUnifiedToolbar(window, plugin);
  updateUnifiedToolbarVisibility(window);
  installTitlebarHitTesting(window);
  observeFullscreenTransitions(window, plugin);
  installTitlebarDoubleClickMonitor();
  scheduleTitlebarRefresh(window, identifier);
}

void applyUnifiedTitlebarStyle(Window* window) {
  window->setStyleMask(window->styleMask() | NSWindowStyleMaskFullSizeContentView);
  window->setTitlebarAppearsTransparent(true);
  window->setTitleVisibility(NSWindowTitleHidden);
  window->setToolbarStyle(NSWindowToolbarStyleUnified);
  window->setTitlebarSeparatorStyle(NSTitlebarSeparatorStyleNone);
}

void installUnifiedToolbar(Window* window, Object* plugin) {
  if (Toolbar* existing = window->toolbar(); isUnifiedToolbar(existing)) {
    existing->setDelegate(plugin);
    existing->setVisible(true);
    return;
  }
  auto toolbar = make<Toolbar>();
  toolbar->initWithIdentifier(str(kUnifiedToolbarIdentifier).get());
  toolbar->setAllowsUserCustomization(false);
  toolbar->setAutosavesConfiguration(false);
  toolbar->setDisplayMode(NSToolbarDisplayModeIconOnly);
  toolbar->setSizeMode(NSToolbarSizeModeRegular);
  toolbar->setShowsBaselineSeparator(false);
  window->setToolbar(toolbar.get());
  toolbar->setDelegate(plugin);
  toolbar->setVisible(true);
}

void updateUnifiedToolbarVisibility(Window* window) {
  Toolbar* toolbar = window->toolbar();
  if (!isUnifiedToolbar(toolbar)) return;
  toolbar->setVisible((window->styleMask() & NSWindowStyleMaskFullScreen) == 0);
}

void scheduleTitlebarRefresh(Window* window, String* identifier) {
  MainQueue& queue = MainQueue::main();
  const DispatchTime now = queue.now();
  const Weak<Window> weakWindow = window->retainAs<Window>();
  const Ref<String> kept = identifier->retainAs<String>();
  for (const double delay : {0.1, 0.5, 1.0}) {
    queue.asyncAfter(now + seconds(delay), [weakWindow, kept] {
      const Ref<Window> current = weakWindow.lock();
      refreshTitlebarIfCurrent(current.get(), kept.get());
    });
  }
}

void refreshTitlebarIfCurrent(Window* window, String* identifier) {
  if (window == nullptr || !window->isVisible()) return;
  if (!identifiersEqual(window->identifier(), identifier)) return;
  updateUnifiedToolbarVisibility(window);
  installTitlebarHitTesting(window);
}

Ref<Array> unifiedToolbarItemIdentifiers() {
  return Array::make({anchorItemIdentifier()->retain()});
}

Ref<ToolbarItem> unifiedToolbarItem(Object* itemIdentifier) {
  auto* requested = as<String>(itemIdentifier);
  if (requested == nullptr || !requested->isEqualToString(anchorItemIdentifier())) return nullptr;
  auto item = make<ToolbarItem>();
  item->initWithItemIdentifier(requested);
  item->setView(View::withFrame({{0, 0}, {1, 1}}).get());
  item->setMinSize({1, 1});
  item->setMaxSize({1, 1});
  return item;
}

}  // namespace tovik
