#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation.h"

// Property lists through libplist: the file form of user defaults.
namespace tovik {

// Whether `value` is a property-list object: a string, a number, or an
// array or dictionary of property-list objects.
bool isPropertyListObject(const Object* value);

// The top-level dictionary of a property list in XML or binary form; none
// when the bytes are not a property list or hold something else at the top.
// Values this Foundation has no class for (data, dates, identifiers) are
// left out.
std::optional<Dictionary::Entries> parsePropertyListDictionary(std::string_view bytes);

// The XML form of a property-list object. Numbers keep their kind: a real is
// written as <real> also when it holds a whole number.
std::string xmlPropertyList(const Object* value);

}  // namespace tovik
