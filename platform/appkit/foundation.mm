#include "platform/foundation.h"

#include <string>

#include "bridge.h"
#include "platform/property_list_text.h"

namespace tovik {

using bridge::objc;
using bridge::ours;

namespace {

NSString* ns(const String* string) { return static_cast<NSString*>(objc(string)); }

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
  const std::string utf8 = withValidUTF8(text);
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
