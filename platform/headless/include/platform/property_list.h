#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation.h"

// Property lists: strings, numbers, data, dates, and arrays and dictionaries
// of them. The file forms are in binary_property_list.h (the form macOS
// writes preferences in) and xml_property_list.h.
namespace tovik {

// What the readers take, and so all the writers write:
// - depth: arrays and dictionaries nest at most kMaxPropertyListDepth
//   levels, the top one counted (in a domain's file, the top dictionary is
//   the first level, so its values hold at most kMaxPropertyListDepth - 1).
//   A container that several places share counts from each place it is met
//   in, in memory as in a file. Enough for any preferences, little enough
//   that reading and writing never run out of stack.
// - counts: any number of objects, items and keys the bytes hold; a binary
//   file's references and offsets are checked against its length before
//   anything is allocated, so memory is bounded by the file's size.
// - size: any file the process can hold in memory.
inline constexpr int kMaxPropertyListDepth = 512;

// Whether `value` is a property-list object: a string, a number, data, a
// date, or an array or dictionary of property-list objects nested at most
// kMaxPropertyListDepth deep.
bool isPropertyListObject(const Object* value);

// The property-list object as it reads back from a file: strings and keys
// holding bytes that are not UTF-8 have them replaced by U+FFFD (see
// withValidUTF8). The object itself when all its text is valid.
Ref<Object> withValidText(const Ref<Object>& value);

// Both of the above in one: null when `value` is not a property-list object
// that fits within the depth limit where it is written, `depth` containers
// below the top (1 for a value of a domain's top dictionary), else the value
// as withValidText gives it. A value of a few members, such as a record of a
// handful of numbers, is checked in one walk that allocates nothing.
Ref<Object> asValidPropertyList(Object* value, int depth = 0);

// The top-level dictionary of a property list in binary or XML form; none,
// with the reason in `why`, when the bytes are not a property list or hold
// something else at the top.
std::optional<Dictionary::Entries> parsePropertyListDictionary(std::string_view bytes,
                                                               std::string* why = nullptr);

}  // namespace tovik
