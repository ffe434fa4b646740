#pragma once

#include <string>
#include <string_view>

#include "platform/foundation.h"

// The XML property-list form: the form earlier versions of this store wrote
// preferences in, and the view of them shown to people.
namespace tovik {

// The top object of an XML property list, with or without the <plist>
// element around it; null when the bytes are not one. Any bytes are safe
// to hand over: nesting deeper than kMaxPropertyListDepth reads as not a
// property list. Integers keep their kind (past INT64_MAX: unsigned);
// strings read as UTF-8, with bytes that are not UTF-8 read as U+FFFD.
Ref<Object> parseXmlPropertyList(std::string_view bytes);

// The XML form of a property-list object, laid out for people to read.
// XML cannot carry every value a binary property list can: characters XML
// does not allow (NUL and the other control characters but tab, line feed
// and carriage return) and bytes that are not UTF-8 are shown as U+FFFD;
// dates are shown to the second.
std::string xmlPropertyList(const Object* value);

}  // namespace tovik
