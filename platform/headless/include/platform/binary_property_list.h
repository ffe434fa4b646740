#pragma once

#include <string>
#include <string_view>

#include "platform/foundation.h"

// The binary property-list form (bplist00), in which macOS writes
// preferences: a header, the objects, a table of their offsets and a
// trailer saying where the table is.
namespace tovik {

// Whether the bytes begin as a binary property list does.
bool isBinaryPropertyList(std::string_view bytes);

// The top object of a binary property list; null when the bytes are not a
// well-formed one. Any bytes are safe to hand over: references that loop,
// counts past the end, objects that run into the offset table, nesting
// deeper than kMaxPropertyListDepth, and objects outside the property-list
// kinds (sets, UIDs, null) all read as not well-formed, and what is
// allocated is bounded by the length of the bytes. An object referenced
// many times is read once and shared, and its levels count on every path
// to it. Offsets and references may be of any width the trailer gives.
// Integers keep their kind: those past INT64_MAX read as unsigned numbers.
// Strings read as UTF-8; a UTF-16 surrogate without its pair reads as
// U+FFFD.
Ref<Object> parseBinaryPropertyList(std::string_view bytes);

// The binary form of a property-list object (see isPropertyListObject).
// Strings of ASCII are written as ASCII, other strings as UTF-16; a string's
// bytes that are not UTF-8 are written as U+FFFD. Integers past INT64_MAX
// are written in 16 bytes, as Foundation and Python's plistlib write them.
// Equal strings, numbers, data and dates are written once.
std::string binaryPropertyList(const Object* value);

}  // namespace tovik
