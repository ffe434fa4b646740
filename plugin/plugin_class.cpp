#include "plugin/plugin_class.h"

#include "mainwindow/titlebar.h"
#include "platform/foundation.h"
#include "plugin/hop.h"

namespace tovik {

namespace {

Class* declarePluginClass() {
  Class* cls = objc_declareClass("TovikMacWindowPlugin", Object::runtimeClass(),
                                 [](Class* isa) { return std::make_shared<Object>(isa); });
  addMethod(
      cls,
      "configureMainWindowTitlebarWithWindowIdentifier:", [](Object* self, String* identifier) {
        if (identifier == nullptr) return;
        // The work item keeps the identifier and the plug-in object.
        hopToMainQueue([identifier = identifier->retainAs<String>(), plugin = self->retain()] {
          configureMainWindowTitlebar(identifier.get(), plugin.get());
        });
      });
  addMethod(cls, "init", [](Object* self) { return self->retain(); });
  return cls;
}

}  // namespace

Class* registerPluginClass() {
  static Class* const cls = declarePluginClass();
  return cls;
}

}  // namespace tovik
