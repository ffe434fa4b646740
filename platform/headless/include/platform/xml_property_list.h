#pragma once

#include <string>
#include <string_view>

#include "platform/foundation.h"

// The XML property-list form: the form earlier versions of this store wrote
// preferences in, and the view of them shown to people.
namespace tovik {

// The top object of an XML property list, with or without the <plist>
// element around it; null when the bytes are not one, with the reason in
// `why` when given. Any bytes are safe to hand over: nesting deeper than
// kMaxPropertyListDepth reads as not a property list. Integers keep their
// kind (past INT64_MAX: unsigned).
// The text is UTF-8 unless a byte-order mark says otherwise (UTF-8, UTF-16
// or UTF-32, either byte order), or UTF-16 or UTF-32 characters begin it
// without one, or its XML declaration names another encoding: these are
// transcoded by iconv, and an encoding iconv does not know, or text that is
// not valid in its encoding, is not a property list. In UTF-8 text, bytes
// that are not UTF-8 read as U+FFFD.
Ref<Object> parseXmlPropertyList(std::string_view bytes, std::string* why = nullptr);

// The XML form of a property-list object, laid out for people to read.
// XML cannot carry every value a binary property list can: characters XML
// does not allow (NUL and the other control characters but tab, line feed
// and carriage return) and bytes that are not UTF-8 are shown as U+FFFD;
// dates are shown to the second.
std::string xmlPropertyList(const Object* value);

}  // namespace tovik
