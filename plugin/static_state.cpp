#include "plugin/static_state.h"

#include <algorithm>

namespace tovik {

IdentifierSet& configuredMainWindowIdentifiers() {
  static auto* identifiers = new IdentifierSet;
  return *identifiers;
}

String* anchorItemIdentifier() {
  static auto* identifier = new Ref<String>(str("com.tarnwell.tovik.unified-titlebar.anchor"));
  return identifier->get();
}

std::unordered_set<const Class*>& hitTestOverriddenClassNames() {
  static auto* classes = new std::unordered_set<const Class*>;
  return *classes;
}

std::unordered_map<const Class*, IMP>& priorHitTestImplementations() {
  static auto* priors = new std::unordered_map<const Class*, IMP>;
  return *priors;
}

std::unordered_set<const Class*>& titlebarWalkSettledClasses() {
  static auto* classes = new std::unordered_set<const Class*>;
  return *classes;
}

Ref<Object>& titlebarDoubleClickMonitor() {
  static auto* monitor = new Ref<Object>;
  return *monitor;
}

bool WindowIdentitySet::insert(const Weak<Object>& window) {
  if (entries_.size() >= pruneAt_) {
    std::erase_if(entries_, [](const Weak<Object>& entry) { return entry.expired(); });
    pruneAt_ = std::max(kFirstPrune, 2 * entries_.size());
  }
  return entries_.insert(window).second;
}

WindowIdentitySet& fullscreenObservedWindows() {
  static auto* windows = new WindowIdentitySet;
  return *windows;
}

}  // namespace tovik
