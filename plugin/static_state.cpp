#include "plugin/static_state.h"

namespace tovik {

std::unordered_set<std::string>& configuredMainWindowIdentifiers() {
  static auto* identifiers = new std::unordered_set<std::string>;
  return *identifiers;
}

}  // namespace tovik
