#include "platform/testing.h"

namespace tovik::testing {

namespace {

// A toolbar delegate as a host writes one: it names its items and makes each
// when the toolbar asks. The items are the C++ object's own.
class ItemsDelegate : public Object {
 public:
  ItemsDelegate(Class* isa, std::vector<HostToolbarItem> items)
      : Object(isa), items_(std::move(items)) {}

  static Class* runtimeClass() {
    static Class* const cls = [] {
      Class* c = objc_allocateClassPair(Object::runtimeClass(), "TovikTestingToolbarDelegate");
      addMethod(c, "toolbarDefaultItemIdentifiers:", [](Object* self, Toolbar*) {
        std::vector<Ref<Object>> identifiers;
        for (const HostToolbarItem& wanted : static_cast<ItemsDelegate*>(self)->items_) {
          identifiers.push_back(str(wanted.className));
        }
        return Array::make(std::move(identifiers));
      });
      addMethod(c, "toolbar:itemForItemIdentifier:willBeInsertedIntoToolbar:",
                [](Object* self, Toolbar*, String* identifier, bool) -> Ref<ToolbarItem> {
                  for (const HostToolbarItem& wanted : static_cast<ItemsDelegate*>(self)->items_) {
                    if (identifier->utf8() != wanted.className) continue;
                    auto item = make<ToolbarItem>();
                    item->initWithItemIdentifier(identifier);
                    item->setView(
                        View::withFrame(hostClass(wanted.className), {{0, 0}, wanted.size}).get());
                    return item;
                  }
                  return nullptr;
                });
      objc_registerClassPair(c);
      return c;
    }();
    return cls;
  }

 private:
  std::vector<HostToolbarItem> items_;
};

// Where a host strip starts: clear of the three standard buttons.
constexpr double kStripLeft = 80;
// The strip views' top edge lies this far below the window's top edge, so
// they are centred in the title row.
constexpr double kStripViewTopInset = 3;

}  // namespace

Class* hostClass(const char* name, Class* superclass) {
  if (Class* existing = objc_getClass(name)) return existing;
  Class* cls = objc_allocateClassPair(superclass, name);
  objc_registerClassPair(cls);
  return cls;
}

HostWindow makeHostWindow(std::string_view identifier,
                          std::initializer_list<const char*> stripClassNames, CGSize size) {
  HostWindow made;
  made.window = Window::create({{100, 100}, size},
                               kStandardWindowStyle | NSWindowStyleMaskFullSizeContentView);
  made.window->setIdentifier(str(identifier).get());
  made.content = View::withFrame({{0, 0}, size});
  made.window->setContentView(made.content.get());
  double x = kStripLeft;
  for (const char* name : stripClassNames) {
    const double y = size.height - kStripViewTopInset - kStripViewSize.height;
    made.stripViews.push_back(View::withFrame(hostClass(name), {{x, y}, kStripViewSize}));
    made.content->addSubview(made.stripViews.back().get());
    x += kStripViewSize.width + kStripViewGap;
  }
  made.window->makeKeyAndOrderFront(nullptr);
  return made;
}

HostToolbar makeHostToolbar(std::string_view identifier, std::vector<HostToolbarItem> items) {
  HostToolbar made{make<Toolbar>(), make<ItemsDelegate>(std::move(items))};
  made.toolbar->initWithIdentifier(str(identifier).get());
  made.toolbar->setDelegate(made.delegate.get());
  return made;
}

}  // namespace tovik::testing
