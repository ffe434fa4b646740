#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "platform/foundation.h"

namespace tovik {

class ComposeWindowCloseDelegate;

// The identifiers (NFC forms) of the windows configured as main windows.
// Every change counts a new generation, so a reader may keep an answer for
// as long as the set and the identifier it asked about stay the same.
class IdentifierSet {
 public:
  [[nodiscard]] bool contains(const std::string& key) const { return keys_.contains(key); }
  void insert(std::string key) {
    if (keys_.insert(std::move(key)).second) ++generation_;
  }
  void erase(const std::string& key) {
    if (keys_.erase(key) != 0) ++generation_;
  }
  [[nodiscard]] bool empty() const { return keys_.empty(); }
  [[nodiscard]] std::size_t size() const { return keys_.size(); }
  [[nodiscard]] std::uint64_t generation() const { return generation_; }
  [[nodiscard]] const std::unordered_set<std::string>& keys() const { return keys_; }

 private:
  std::unordered_set<std::string> keys_;
  std::uint64_t generation_ = 0;
};

// The plug-in's process-wide state. Each container is created empty on first
// use, once, even when two threads arrive at once, and is never freed.
IdentifierSet& configuredMainWindowIdentifiers();

// The identifier of the unified toolbar's only item.
String* anchorItemIdentifier();

// The view classes whose hitTest: the titlebar hit test has replaced, and
// the implementation each resolved hitTest: to when it was replaced. Both are
// keyed by the class itself, which stands for its name (NSStringFromClass)
// without making or comparing any text.
std::unordered_set<const Class*>& hitTestOverriddenClassNames();
std::unordered_map<const Class*, IMP>& priorHitTestImplementations();
// The classes the installation walk need not look at again: those whose
// names do not call for a replacement, and those already replaced.
std::unordered_set<const Class*>& titlebarWalkSettledClasses();

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
  std::set<Weak<Object>, std::owner_less<>> entries_;
  std::size_t pruneAt_ = kFirstPrune;
};
WindowIdentitySet& fullscreenObservedWindows();

// The local event monitor that performs the titlebar double-click of
// configured main windows; none until the first is configured.
Ref<Object>& titlebarDoubleClickMonitor();

// The compose windows' close delegates, by window identifier (its NFC form).
// The registry owns them; their windows do not. Kept with the compose
// windows' code, which alone knows the delegate's type.
std::unordered_map<std::string, std::shared_ptr<ComposeWindowCloseDelegate>>&
composeCloseDelegates();

}  // namespace tovik
