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
const SEL kIsEqual = sel_registerName("isEqual:");
const SEL kIsDescendantOf = sel_registerName("isDescendantOf:");

bool containsIgnoringASCIICase(std::string_view text, std::string_view lowerNeedle) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return std::search(text.begin(), text.end(), lowerNeedle.begin(), lowerNeedle.end(),
                     [&](char a, char b) { return lower(a) == b; }) != text.end();
}

std::uint64_t filterBit(const void* object) {
  return std::uint64_t{1} << ((reinterpret_cast<std::uintptr_t>(object) * 0x9E3779B97F4A7C15ULL) >>
                              58U);
}

struct ActiveHitTest;

// What one hit search has learnt of the window it searches. A search is one
// click's search through the frame view: it begins at the outermost
// replacement on the stack, which starts the thread's answers anew, so
// however many replaced levels the search passes, the window is asked for
// its standard buttons at most once, and no click meets another click's
// answers (a host may change a window's identifier, buttons and views
// between clicks). All of it is asked through the runtime, so a host's
// replacement of any of these methods is what answers.
class HitSearch {
 public:
  // Whether the window is a configured main window.
  bool configuredMain(const Window* window) {
    about(window);
    if (configured_ == Unknown) configured_ = isConfiguredMainWindow(window) ? Yes : No;
    return configured_ == Yes;
  }

  // Whether `view` is one of the window's standard buttons or lies inside
  // one; `level` is the replacement asking (none: a caller outside the
  // search's levels).
  bool holdsButton(View* view, Window* window, const ActiveHitTest* level);

  // The outermost level begins a search.
  void begin() {
    window_ = nullptr;
    clearDepth_ = -1;
  }
  // A level at `depth` below the outermost begins: of the receivers known to
  // lie in no button, those of the levels above it remain.
  void enter(int depth) { clearDepth_ = std::min(clearDepth_, depth - 1); }

 private:
  void about(const Window* window) {
    if (window == window_) return;
    window_ = window;
    configured_ = Unknown;
    buttonsAsked_ = false;
    plainClass_ = nullptr;
    clearDepth_ = -1;
  }

  enum Answer : std::uint8_t { Unknown, Yes, No };
  const Window* window_ = nullptr;  // whom the answers are about
  Answer configured_ = Unknown;
  bool buttonsAsked_ = false;
  std::array<View*, 3> buttons_{};
  // The last class whose isEqual: and isDescendantOf: were found to be
  // NSObject's and NSView's.
  const Class* plainClass_ = nullptr;
  // The receivers of the active levels at this depth and above lie in no
  // button: a walk up through them all met none.
  int clearDepth_ = -1;
};

// The replacements running on this thread, innermost first: which receiver
// each serves, whose recorded implementation it called, and how deep it
// lies. Each entry lives in the frame of the replacement it describes, so
// any depth the stack can hold is tracked without a limit and without
// allocating. When a prior implementation leads back into a replacement for
// the same receiver (a subclass and its superclass both overridden, or a
// subclass passing the message to its superclass), the inner one moves on
// to a class further up the chain, so the chain of prior implementations
// ends. Replacements for other receivers (the views beneath, searched by
// the default hit test) never constrain each other.
struct ActiveHitTest {
  const Object* receiver;
  const Class* entryClass;
  const ActiveHitTest* outer;
  std::uint64_t outerFilter;
  int depth;
};
// The innermost entry; a filter of one bit per active receiver (a hash of
// its address): a receiver whose bit is clear is active nowhere, which
// spares the walk for nearly every view of a search; and the search under
// way, or the last one.
struct ActiveHitTests {
  const ActiveHitTest* innermost = nullptr;
  std::uint64_t filter = 0;
  HitSearch search;
};
thread_local ActiveHitTests activeHitTests;

bool HitSearch::holdsButton(View* view, Window* window, const ActiveHitTest* level) {
  about(window);
  if (!buttonsAsked_) {
    buttons_ = {window->standardWindowButton(NSWindowCloseButton),
                window->standardWindowButton(NSWindowMiniaturizeButton),
                window->standardWindowButton(NSWindowZoomButton)};
    buttonsAsked_ = true;
  }
  // isEqual: is identity, and isDescendantOf: a walk up the superviews,
  // unless the view's class says otherwise; only then is each asked
  // through the runtime.
  Class* const cls = view->isa();
  if (cls != plainClass_) {
    static const IMP identity = class_getMethodImplementation(Object::runtimeClass(), kIsEqual);
    static const IMP ownDescent =
        class_getMethodImplementation(View::runtimeClass(), kIsDescendantOf);
    const bool ownEquality = class_getMethodImplementation(cls, kIsEqual) == identity;
    if (!ownEquality && std::any_of(buttons_.begin(), buttons_.end(), [view](View* button) {
          return button != nullptr && view->isEqual(button);
        })) {
      return true;
    }
    if (class_getMethodImplementation(cls, kIsDescendantOf) != ownDescent) {
      return std::any_of(buttons_.begin(), buttons_.end(), [view](const View* button) {
        return button != nullptr && view->isDescendantOf(button);
      });
    }
    if (ownEquality) plainClass_ = cls;
  }
  // One walk up from the view meets a button when the view is one or lies
  // inside one. A level's answer lies inside its receiver, and that inside
  // the receivers of the levels above, so the walk passes them in turn. It
  // stops at one known to lie in no button: the levels of a search hand up
  // their own views, each the superview of the one below, so after the
  // first walk the others are short.
  const ActiveHitTest* next = level;  // the next receiver the walk should pass
  for (const View* v = view; v != nullptr; v = v->superview()) {
    if (v == buttons_[0] || v == buttons_[1] || v == buttons_[2]) return true;
    for (; next != nullptr && next->receiver == v; next = next->outer) {
      if (next->depth <= clearDepth_) {
        clearDepth_ = level->depth;
        return false;
      }
    }
  }
  // Every receiver passed, in turn, up to the outermost: all lie in no button.
  if (level != nullptr && next == nullptr) clearDepth_ = level->depth;
  return false;
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
  // Classes are alike in size, so their addresses are spaced alike: the slot
  // is taken from a multiplicative hash, not from the address's low bits.
  Slot& slot =
      met[((reinterpret_cast<std::uintptr_t>(cls) * 0x9E3779B97F4A7C15ULL) >> 32U) % kSlots];
  if (slot.cls == cls) return slot.prior;
  const auto& priors = priorHitTestImplementations();
  const auto it = priors.find(cls);
  if (it == priors.end()) return nullptr;
  slot = {cls, it->second};
  return it->second;
}

// A replacement's entry, from its call of the prior implementation until
// it returns.
class ActiveScope {
 public:
  ActiveScope(const Object* receiver, const Class* cls)
      : entry_{receiver, cls, activeHitTests.innermost, activeHitTests.filter, 0} {
    if (entry_.outer == nullptr) {
      activeHitTests.search.begin();
    } else {
      entry_.depth = entry_.outer->depth + 1;
      activeHitTests.search.enter(entry_.depth);
    }
    activeHitTests.innermost = &entry_;
    activeHitTests.filter |= filterBit(receiver);
  }
  ~ActiveScope() {
    activeHitTests.innermost = entry_.outer;
    activeHitTests.filter = entry_.outerFilter;
  }
  ActiveScope(const ActiveScope&) = delete;
  ActiveScope& operator=(const ActiveScope&) = delete;

  [[nodiscard]] const ActiveHitTest& entry() const { return entry_; }

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

  const ActiveScope active(receiver, entryClass);
  View* hit = callHitTest(prior, receiver, point);
  if (hit == nullptr) return nullptr;
  Window* window = receiver->window();
  HitSearch& search = activeHitTests.search;
  if (window == nullptr || !search.configuredMain(window)) return hit;
  return search.holdsButton(hit, window, &active.entry()) ? hit : nullptr;
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
  // Inside a replaced hitTest:, the search's answers; outside, the window's now.
  if (activeHitTests.innermost != nullptr) {
    return activeHitTests.search.holdsButton(view, window, nullptr);
  }
  return HitSearch().holdsButton(view, window, nullptr);
}

}  // namespace tovik
