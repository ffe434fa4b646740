#include "mainwindow/titlebar.h"

#include "mainwindow/lookup.h"
#include "plugin/identifier.h"
#include "plugin/static_state.h"

namespace tovik {

void configureMainWindowTitlebar(String* identifier, Object* /*plugin*/) {
  Window* window = resolveWindowWithIdentifier(identifier);
  if (window == nullptr) return;
  window->setIdentifier(identifier);
  window->setMovableByWindowBackground(true);
  configuredMainWindowIdentifiers().insert(identifierKey(*identifier));
}

}  // namespace tovik
