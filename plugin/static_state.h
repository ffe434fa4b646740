#pragma once

#include <string>
#include <unordered_set>

namespace tovik {

// The plug-in's process-wide state. Each container is created empty on first
// use, once, even when two threads arrive at once, and is never freed.
std::unordered_set<std::string>& configuredMainWindowIdentifiers();

}  // namespace tovik
