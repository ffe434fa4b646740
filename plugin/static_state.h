#pragma once

#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "platform/foundation.h"

namespace tovik {

class ComposeWindowCloseDelegate;

// The plug-in's process-wide state. Each container is created empty on first
// use, once, even when two threads arrive at once, and is never freed.
std::unordered_set<std::string>& configuredMainWindowIdentifiers();

// The identifier of the unified toolbar's only item.
String* anchorItemIdentifier();

// The view classes whose hitTest: the titlebar hit test has replaced, and
// the implementation each resolved hitTest: to when it was replaced. Both are
// keyed by the class's name string as NSStringFromClass returns it: one
// interned string per class, so a lookup compares no text.
std::unordered_set<const String*>& hitTestOverriddenClassNames();
std::unordered_map<const String*, IMP>& priorHitTestImplementations();

// The windows whose full-screen transitions the plug-in observes. Entries
// are weak and ordered by the object they belong to, not by address, so a
// new window that takes a freed window's address is a new entry. The entries
// of windows that are gone are dropped as the set grows, whenever it has
// doubled since they last were, so the set stays within a constant factor
// of the observed windows still alive.
class WindowIdentitySet {
 public:
  // Adds the window's entry; false when it has one already.
  bool insert(const Weak<Object>& window);
  [[nodiscard]] bool contains(const Weak<Object>& window) const {
    return entries_.contains(window);
  }
  // Entries, including those of windows gone since the last drop.
  [[nodiscard]] std::size_t size() const { return entries_.size(); }

 private:
  static constexpr std::size_t kFirstPrune = 32;
  std::set<Weak<Object>, std::owner_less<Weak<Object>>> entries_;
  std::size_t pruneAt_ = kFirstPrune;
};
WindowIdentitySet& fullscreenObservedWindows();

// The compose windows' close delegates, by window identifier (its NFC form).
// The registry owns them; their windows do not.
std::unordered_map<std::string, Ref<ComposeWindowCloseDelegate>>& composeCloseDelegates();

}  // namespace tovik
