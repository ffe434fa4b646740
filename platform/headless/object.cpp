#include "platform/object.h"

#include "platform/runtime.h"

namespace tovik {

Class* Object::runtimeClass() {
  static Class* const cls = [] {
    Class* c = objc_declareClass("NSObject", nullptr,
                                 [](Class* isa) { return std::make_shared<Object>(isa); });
    addMethod(c, "init", [](Object* self) { return self->retain(); });
    addMethod(c, "isEqual:", [](Object* self, Object* other) { return self == other; });
    addMethod(c, "respondsToSelector:", [](Object* self, SEL sel) {
      return class_respondsToSelector(self->isa(), sel);
    });
    addMethod(c, "isKindOfClass:", [](Object* self, Class* cls) {
      return self->isa()->isSubclassOf(cls);
    });
    // The class or one of its superclasses adopts the protocol, or adopts
    // one that adopts it. NO for no protocol.
    addMethod(c, "conformsToProtocol:", [](Object* self, Protocol* protocol) {
      for (const Class* cls = self->isa(); cls != nullptr; cls = cls->superclass()) {
        if (class_conformsToProtocol(cls, protocol)) return true;
      }
      return false;
    });
    return c;
  }();
  return cls;
}

bool Object::respondsToSelector(SEL sel) const { return class_respondsToSelector(isa_, sel); }

bool Object::isEqual(Object* other) {
  static const SEL isEqualSel = sel_registerName("isEqual:");
  return send<bool>(this, isEqualSel, other);
}

}  // namespace tovik
