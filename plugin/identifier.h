#pragma once

#include <string>

#include "platform/foundation.h"

namespace tovik {

// Window identifiers compare as whole strings, case-sensitive, with
// canonically equivalent Unicode equal: the key is the NFC form (the bytes
// themselves for text that is not valid UTF-8), as the window system keeps
// or makes it.
inline decltype(auto) identifierKey(const String& identifier) {
  return identifier.precomposedStringWithCanonicalMapping();
}

// The same object or the same bytes is the same identifier (a window
// commonly carries the very string it was given); only text that differs
// needs its canonical form compared.
inline bool identifiersEqual(const String* a, const String* b) {
  return a != nullptr && b != nullptr &&
         (a == b || a->isEqualToString(b) || identifierKey(*a) == identifierKey(*b));
}

}  // namespace tovik
