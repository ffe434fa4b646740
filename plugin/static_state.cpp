#include "plugin/static_state.h"

#include "compose/close_delegate.h"

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

std::unordered_map<std::string, Ref<ComposeWindowCloseDelegate>>& composeCloseDelegates() {
  static auto* delegates = new std::unordered_map<std::string, Ref<ComposeWindowCloseDelegate>>;
  return *delegates;
}

WindowIdentitySet& fullscreenObservedWindows() {
  static auto* windows = new WindowIdentitySet;
  return *windows;
}

}  // namespace tovik
