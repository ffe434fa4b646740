#pragma once

#include <optional>
#include <string_view>

#include "platform/foundation.h"

// Property lists: strings, numbers, data, dates, and arrays and dictionaries
// of them. The file forms are in binary_property_list.h (the form macOS
// writes preferences in) and xml_property_list.h.
namespace tovik {

// How deeply arrays and dictionaries may nest, in memory and in a file:
// enough for any preferences, little enough that reading and writing never
// run out of stack.
inline constexpr int kMaxPropertyListDepth = 512;

// Whether `value` is a property-list object: a string, a number, data, a
// date, or an array or dictionary of property-list objects nested at most
// kMaxPropertyListDepth deep.
bool isPropertyListObject(const Object* value);

// The property-list object as it reads back from a file: strings and keys
// holding bytes that are not UTF-8 have them replaced by U+FFFD (see
// withValidUTF8). The object itself when all its text is valid.
Ref<Object> withValidText(const Ref<Object>& value);

// Both of the above in one: null when `value` is not a property-list object,
// else the value as withValidText gives it. A value of a few members, such
// as a record of a handful of numbers, is checked in one walk that
// allocates nothing.
Ref<Object> asValidPropertyList(Object* value);

// The top-level dictionary of a property list in binary or XML form; none
// when the bytes are not a property list or hold something else at the top.
std::optional<Dictionary::Entries> parsePropertyListDictionary(std::string_view bytes);

}  // namespace tovik
