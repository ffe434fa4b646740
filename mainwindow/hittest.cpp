#include "mainwindow/hittest.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "plugin/identifier.h"
#include "plugin/static_state.h"

namespace tovik {

namespace {

const SEL kHitTest = sel_registerName("hitTest:");

bool containsIgnoringASCIICase(std::string_view text, std::string_view lowerNeedle) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return std::search(text.begin(), text.end(), lowerNeedle.begin(), lowerNeedle.end(),
                     [&](char a, char b) { return lower(a) == b; }) != text.end();
}

// The replacements running on this thread, innermost first: which receiver
// each serves and whose recorded implementation it called. Each entry lives
// in the frame of the replacement it describes, so any depth the stack can
// hold is tracked without a limit and without allocating. When a prior
// implementation leads back into a replacement for the same receiver (a
// subclass and its superclass both overridden, or a subclass passing the
// message to its superclass), the inner one moves on to a class further up
// the chain, so the chain of prior implementations ends. Replacements for
// other receivers (the views beneath, searched by the default hit test)
// never constrain each other.
struct ActiveHitTest {
  const Object* receiver;
  const Class* entryClass;
  const ActiveHitTest* outer;
  std::uint64_t outerFilter;
};
// The innermost entry, and a filter of one bit per active receiver (a hash
// of its address): a receiver whose bit is clear is active nowhere, which
// spares the walk for nearly every view of a search.
struct ActiveHitTests {
  const ActiveHitTest* innermost = nullptr;
  std::uint64_t filter = 0;
};
thread_local ActiveHitTests activeHitTests;

std::uint64_t filterBit(const Object* receiver) {
  return std::uint64_t{1} << ((reinterpret_cast<std::uintptr_t>(receiver) *
                               0x9E3779B97F4A7C15ULL) >>
                              58U);
}

bool inUse(const Object* receiver, const Class* cls) {
  if ((activeHitTests.filter & filterBit(receiver)) == 0) return false;
  for (const ActiveHitTest* active = activeHitTests.innermost; active != nullptr;
       active = active->outer) {
    if (active->receiver == receiver && active->entryClass == cls) return true;
  }
  return false;
}

// The implementation recorded for an overridden class, none for another.
// A class's record never changes once made, so the records met are kept in
// a small table by class, in front of the map.
IMP recordedPrior(const Class* cls) {
  struct Slot {
    const Class* cls = nullptr;
    IMP prior = nullptr;
  };
  static constexpr std::size_t kSlots = 16;
  thread_local std::array<Slot, kSlots> met;
  Slot& slot = met[(reinterpret_cast<std::uintptr_t>(cls) >> 4U) % kSlots];
  if (slot.cls == cls) return slot.prior;
  const auto& priors = priorHitTestImplementations();
  const auto it = priors.find(cls);
  if (it == priors.end()) return nullptr;
  slot = {cls, it->second};
  return it->second;
}

class ActiveScope {
 public:
  ActiveScope(const Object* receiver, const Class* cls)
      : entry_{receiver, cls, activeHitTests.innermost, activeHitTests.filter} {
    activeHitTests.innermost = &entry_;
    activeHitTests.filter |= filterBit(receiver);
  }
  ~ActiveScope() {
    activeHitTests.innermost = entry_.outer;
    activeHitTests.filter = entry_.outerFilter;
  }
  ActiveScope(const ActiveScope&) = delete;
  ActiveScope& operator=(const ActiveScope&) = delete;

 private:
  ActiveHitTest entry_;
};

}  // namespace

std::vector<View*> collectDescendantViews(View* view) {
  std::vector<View*> views;
  if (view == nullptr) return views;
  views.reserve(view->subviews().size());
  for (const Ref<View>& sub : view->subviews()) views.push_back(sub.get());
  // Each level is appended after the one above it has been listed, which
  // gives the order without copying any list.
  const auto appendBelow = [&views](auto& self, std::size_t from, std::size_t to) -> void {
    for (std::size_t i = from; i < to; ++i) {
      const std::size_t start = views.size();
      for (const Ref<View>& sub : views[i]->subviews()) views.push_back(sub.get());
      self(self, start, views.size());
    }
  };
  appendBelow(appendBelow, 0, views.size());
  return views;
}

void installTitlebarHitTesting(Window* window) {
  View* content = window != nullptr ? window->contentView() : nullptr;
  View* frameView = content != nullptr ? content->superview() : nullptr;
  if (frameView == nullptr) return;
  // A class's name decides once: a class is looked at again only while its
  // replacement has not been made.
  auto& settled = titlebarWalkSettledClasses();
  const Class* lastSettled = nullptr;  // neighbours are mostly of one class
  for (View* view : collectDescendantViews(frameView)) {
    Class* cls = view->isa();
    if (cls == lastSettled) continue;
    if (settled.contains(cls)) {
      lastSettled = cls;
      continue;
    }
    const std::string& name = NSStringFromClass(cls)->utf8();
    if (containsIgnoringASCIICase(name, "titlebar") || containsIgnoringASCIICase(name, "toolbar")) {
      overrideHitTest(cls);
      if (!hitTestOverriddenClassNames().contains(cls)) continue;
    }
    settled.insert(cls);
  }
}

void overrideHitTest(Class* cls) {
  // Only views are hit-tested; a class outside NSView is never replaced, so
  // every receiver of the replacement is a view.
  if (cls == nullptr || !cls->isSubclassOf(View::runtimeClass())) return;
  if (hitTestOverriddenClassNames().contains(cls)) return;
  const Method* base = class_getInstanceMethod(View::runtimeClass(), kHitTest);
  const char* types = method_getTypeEncoding(base);
  if (base == nullptr || types == nullptr) return;  // tried again on a later call
  // A class whose hitTest: takes or answers something else than NSView's
  // can be neither called as a prior implementation nor given the
  // replacement: it is left as it is, unrecorded, and tried again later.
  if (const char* own = method_getTypeEncoding(class_getInstanceMethod(cls, kHitTest));
      own == nullptr || std::strcmp(own, types) != 0) {
    return;
  }

  auto& priors = priorHitTestImplementations();
  const IMP current = class_getMethodImplementation(cls, kHitTest);
  if (current != nullptr) {
    priors.insert_or_assign(cls, current);
  } else {
    priors.erase(cls);
  }
  static const IMP replacement =
      makeImp([](View* self, CGPoint point) { return titlebarHitTest(self, point); });
  if (!class_addMethod(cls, kHitTest, replacement, types)) {
    if (Method* own = class_getInstanceMethod(cls, kHitTest))
      method_setImplementation(own, replacement);
  }
  hitTestOverriddenClassNames().insert(cls);
}

View* titlebarHitTest(View* receiver, CGPoint point) {
  if (receiver == nullptr) return nullptr;
  // The prior implementation of the receiver's own class, or else of its
  // nearest overridden superclass; a class whose entry already serves this
  // receiver further out is passed over.
  const Class* entryClass = receiver->isa();
  IMP prior = nullptr;
  for (; entryClass != nullptr; entryClass = entryClass->superclass()) {
    prior = recordedPrior(entryClass);
    if (prior != nullptr && !inUse(receiver, entryClass)) break;
  }
  if (prior == nullptr) return nullptr;

  View* hit = nullptr;
  {
    const ActiveScope active(receiver, entryClass);
    hit = callHitTest(prior, receiver, point);
  }
  if (hit == nullptr) return nullptr;
  Window* window = receiver->window();
  if (window == nullptr || !isConfiguredMainWindow(window)) return hit;
  return isStandardWindowButtonView(hit, window) ? hit : nullptr;
}

bool isConfiguredMainWindow(const Window* window) {
  String* identifier = window->identifier();
  if (identifier == nullptr) return false;
  // The last answer holds while the window carries the same identifier
  // object (strings do not change, and the answer keeps the string alive,
  // so no other string takes its address) and the set is unchanged.
  struct Answer {
    const String* identifier = nullptr;
    std::uint64_t generation = 0;
    bool configured = false;
    Ref<String>* kept = nullptr;  // one per thread, for the thread's life
  };
  thread_local Answer last;
  static const IdentifierSet& configured = configuredMainWindowIdentifiers();
  if (last.identifier != identifier || last.generation != configured.generation()) {
    if (last.kept == nullptr)
      last.kept = new Ref<String>;  // NOLINT(cppcoreguidelines-owning-memory)
    *last.kept = identifier->retainAs<String>();
    last.identifier = identifier;
    last.generation = configured.generation();
    last.configured = configured.contains(identifierKey(*identifier));
  }
  return last.configured;
}

bool isStandardWindowButtonView(View* view, Window* window) {
  if (window == nullptr || view == nullptr) return false;
  const std::array<View*, 3> buttons{window->standardWindowButton(NSWindowCloseButton),
                                     window->standardWindowButton(NSWindowMiniaturizeButton),
                                     window->standardWindowButton(NSWindowZoomButton)};
  // isEqual: is identity, and isDescendantOf: a walk up the superviews,
  // unless the view's class says otherwise; only then is each asked through
  // the runtime.
  static const SEL isEqualSel = sel_registerName("isEqual:");
  static const SEL isDescendantOfSel = sel_registerName("isDescendantOf:");
  static const IMP identity = class_getMethodImplementation(Object::runtimeClass(), isEqualSel);
  static const IMP ownDescent =
      class_getMethodImplementation(View::runtimeClass(), isDescendantOfSel);
  Class* const cls = view->isa();
  if (class_getMethodImplementation(cls, isEqualSel) != identity) {
    for (View* button : buttons) {
      if (button != nullptr && view->isEqual(button)) return true;
    }
  }
  if (class_getMethodImplementation(cls, isDescendantOfSel) != ownDescent) {
    return std::any_of(buttons.begin(), buttons.end(), [view](const View* button) {
      return button != nullptr && view->isDescendantOf(button);
    });
  }
  // One walk up from the view meets a button when the view is one or lies
  // inside one.
  for (const View* v = view; v != nullptr; v = v->superview()) {
    if (v == buttons[0] || v == buttons[1] || v == buttons[2]) return true;
  }
  return false;
}

}  // namespace tovik
