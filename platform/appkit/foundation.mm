#include "platform/foundation.h"

#include <string>

#include "bridge.h"

namespace tovik {

using bridge::objc;
using bridge::ours;

namespace {

NSString* ns(const String* string) { return static_cast<NSString*>(objc(string)); }

// The text with every byte that does not begin or continue a well-formed
// UTF-8 sequence replaced by U+FFFD, as NSString's lossy decoding does.
std::string wellFormed(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80                    ? 1
                         : lead >= 0xC2 && lead <= 0xDF ? 2
                         : lead >= 0xE0 && lead <= 0xEF ? 3
                         : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                        : 0;
    if (length > 1 && i + length <= text.size()) {
      const auto second = static_cast<unsigned char>(text[i + 1]);
      const bool secondOk = (lead == 0xE0   ? second >= 0xA0
                             : lead == 0xED ? second <= 0x9F
                             : lead == 0xF0 ? second >= 0x90
                             : lead == 0xF4 ? second <= 0x8F
                                            : true) &&
                            (second & 0xC0) == 0x80;
      bool restOk = secondOk;
      for (std::size_t k = 2; restOk && k < length; ++k) {
        restOk = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
      }
      if (!restOk) length = 0;
    } else if (length > 1) {
      length = 0;
    }
    if (length == 0) {
      out.append("\xEF\xBF\xBD");
      ++i;
    } else {
      out.append(text.substr(i, length));
      i += length;
    }
  }
  return out;
}

}  // namespace

Class* String::runtimeClass() { return ours([NSString class]); }

std::string String::utf8() const {
  NSData* bytes = [ns(this) dataUsingEncoding:NSUTF8StringEncoding];
  return {static_cast<const char*>([bytes bytes]), [bytes length]};
}

bool String::isEqualToString(const String* other) const {
  return other != nullptr && [ns(this) isEqualToString:ns(other)] != NO;
}

std::string String::precomposedStringWithCanonicalMapping() const {
  NSData* bytes =
      [[ns(this) precomposedStringWithCanonicalMapping] dataUsingEncoding:NSUTF8StringEncoding];
  return {static_cast<const char*>([bytes bytes]), [bytes length]};
}

Ref<String> str(std::string_view text) {
  const std::string utf8 = wellFormed(text);
  return Ref<String>::adopt(ours<String>([[NSString alloc] initWithBytes:utf8.data()
                                                                  length:utf8.size()
                                                                encoding:NSUTF8StringEncoding]));
}

Class* Number::runtimeClass() { return ours([NSNumber class]); }

Ref<Number> Number::withDouble(double value) {
  return Ref<Number>::adopt(ours<Number>([[NSNumber alloc] initWithDouble:value]));
}

Ref<Number> Number::withInteger(std::int64_t value) {
  return Ref<Number>::adopt(ours<Number>([[NSNumber alloc] initWithLongLong:value]));
}

Ref<Number> Number::withBool(bool value) {
  return Ref<Number>::adopt(ours<Number>([[NSNumber alloc] initWithBool:value ? YES : NO]));
}

double Number::doubleValue() const { return [static_cast<NSNumber*>(objc(this)) doubleValue]; }

bool Number::boolValue() const { return [static_cast<NSNumber*>(objc(this)) boolValue] != NO; }

Class* Dictionary::runtimeClass() { return ours([NSDictionary class]); }

Ref<Dictionary> Dictionary::make(const Entries& entries) {
  NSMutableDictionary* dictionary = [[NSMutableDictionary alloc] initWithCapacity:entries.size()];
  for (const auto& [key, value] : entries) {
    const Ref<String> name = str(key);
    [dictionary setObject:objc(value.get()) forKey:static_cast<NSString*>(objc(name.get()))];
  }
  return Ref<Dictionary>::adopt(ours<Dictionary>(dictionary));
}

Object* Dictionary::objectForKey(std::string_view key) const {
  const Ref<String> name = str(key);
  return ours([static_cast<NSDictionary*>(objc(this))
      objectForKey:static_cast<NSString*>(objc(name.get()))]);
}

Class* Array::runtimeClass() { return ours([NSArray class]); }

Ref<Array> Array::make(const std::vector<Ref<Object>>& items) {
  NSMutableArray* array = [[NSMutableArray alloc] initWithCapacity:items.size()];
  for (const Ref<Object>& item : items) [array addObject:objc(item.get())];
  return Ref<Array>::adopt(ours<Array>(array));
}

std::size_t Array::count() const { return [static_cast<NSArray*>(objc(this)) count]; }

Class* CharacterSet::runtimeClass() { return ours([NSCharacterSet class]); }

CharacterSet* CharacterSet::URLQueryAllowedCharacterSet() {
  return ours<CharacterSet>([NSCharacterSet URLQueryAllowedCharacterSet]);
}

Ref<String> stringByAddingPercentEncodingWithAllowedCharacters(String* string,
                                                               CharacterSet* allowed) {
  if (string == nullptr || allowed == nullptr) return nullptr;
  return Ref<String>::retain(ours<String>(
      [ns(string) stringByAddingPercentEncodingWithAllowedCharacters:static_cast<NSCharacterSet*>(
                                                                         objc(allowed))]));
}

}  // namespace tovik
