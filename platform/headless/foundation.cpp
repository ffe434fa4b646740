#include "platform/foundation.h"

#include <utf8proc.h>

#include <cstdlib>
#include <memory>

#include "platform/property_list_text.h"

namespace tovik {

namespace {
Ref<Object> emptyString(Class* isa) { return std::make_shared<String>(isa, std::string()); }
Ref<Object> zeroNumber(Class* isa) {
  return std::make_shared<Number>(isa, Number::Kind::Integer, 0, 0.0);
}
Ref<Object> emptyData(Class* isa) { return std::make_shared<Data>(isa, std::string()); }
Ref<Object> referenceDate(Class* isa) { return std::make_shared<Date>(isa, 0.0); }
Ref<Object> emptyArray(Class* isa) {
  return std::make_shared<Array>(isa, std::vector<Ref<Object>>{});
}
Ref<Object> emptyDictionary(Class* isa) {
  return std::make_shared<Dictionary>(isa, Dictionary::Entries{});
}
Ref<Object> noBlock(Class* isa) {
  throw PlatformError("instances of " + isa->name() + " are made by copying a callable");
}
}  // namespace

Class* String::runtimeClass() {
  static Class* const cls = [] {
    Class* c = objc_declareClass("NSString", Object::runtimeClass(), emptyString);
    addMethod(c, "isEqual:", [](String* self, Object* other) {
      return self->isEqualToString(as<String>(other));
    });
    return c;
  }();
  return cls;
}

Ref<String> String::make(std::string_view text) {
  return std::make_shared<String>(runtimeClass(), std::string(text));
}

bool String::isValidUTF8() const { return tovik::isValidUTF8(text_); }

const std::string& String::precomposedStringWithCanonicalMapping() const {
  std::call_once(composedOnce_, [this] {
    composed_ = text_;
    if (text_.empty() || !isValidUTF8()) return;
    utf8proc_uint8_t* out = nullptr;
    const utf8proc_ssize_t length =
        utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(text_.data()),
                     static_cast<utf8proc_ssize_t>(text_.size()), &out,
                     static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
    if (length >= 0 && out != nullptr) {
      composed_.assign(reinterpret_cast<const char*>(out), static_cast<std::size_t>(length));
    }
    std::free(out);  // NOLINT(cppcoreguidelines-no-malloc): utf8proc allocates with malloc
  });
  return composed_;
}

Class* Number::runtimeClass() {
  static Class* const cls = [] {
    Class* c = objc_declareClass("NSNumber", Object::runtimeClass(), zeroNumber);
    addMethod(c, "isEqual:", [](Number* self, Object* other) {
      const Number* n = as<Number>(other);
      if (n == nullptr) return false;
      if (self->kind_ == Kind::Real || n->kind_ == Kind::Real) {
        return self->doubleValue() == n->doubleValue();
      }
      // The same bits stand for a negative integer and a large unsigned one.
      return self->integer_ == n->integer_ && self->isNegativeInteger() == n->isNegativeInteger();
    });
    return c;
  }();
  return cls;
}

Ref<Number> Number::withBool(bool value) {
  return std::make_shared<Number>(runtimeClass(), Kind::Boolean, value ? 1 : 0, value ? 1.0 : 0.0);
}
Ref<Number> Number::withInteger(std::int64_t value) {
  return std::make_shared<Number>(runtimeClass(), Kind::Integer, value, static_cast<double>(value));
}
Ref<Number> Number::withUnsignedInteger(std::uint64_t value) {
  return std::make_shared<Number>(runtimeClass(), Kind::Unsigned, static_cast<std::int64_t>(value),
                                  static_cast<double>(value));
}
Ref<Number> Number::withDouble(double value) {
  return std::make_shared<Number>(runtimeClass(), Kind::Real, static_cast<std::int64_t>(0), value);
}

bool Number::boolValue() const { return kind_ == Kind::Real ? real_ != 0.0 : integer_ != 0; }

std::int64_t Number::integerValue() const {
  if (kind_ != Kind::Real) return integer_;
  // Out-of-range reals saturate rather than invoke undefined behaviour.
  if (!(real_ == real_)) return 0;
  if (real_ >= 9.2233720368547758e18) return INT64_MAX;
  if (real_ <= -9.2233720368547758e18) return INT64_MIN;
  return static_cast<std::int64_t>(real_);
}

std::uint64_t Number::unsignedIntegerValue() const {
  if (kind_ != Kind::Real) return static_cast<std::uint64_t>(integer_);
  if (!(real_ > 0)) return 0;  // also NaN
  if (real_ >= 1.8446744073709552e19) return UINT64_MAX;
  return static_cast<std::uint64_t>(real_);
}

double Number::doubleValue() const {
  switch (kind_) {
    case Kind::Real:
      return real_;
    case Kind::Unsigned:
      return static_cast<double>(static_cast<std::uint64_t>(integer_));
    case Kind::Boolean:
    case Kind::Integer:
      break;
  }
  return static_cast<double>(integer_);
}

Class* Data::runtimeClass() {
  static Class* const cls = [] {
    Class* c = objc_declareClass("NSData", Object::runtimeClass(), emptyData);
    addMethod(c, "isEqual:", [](Data* self, Object* other) {
      const Data* data = as<Data>(other);
      return data != nullptr && data->bytes_ == self->bytes_;
    });
    return c;
  }();
  return cls;
}

Ref<Data> Data::make(std::string_view bytes) {
  return std::make_shared<Data>(runtimeClass(), std::string(bytes));
}

Class* Date::runtimeClass() {
  static Class* const cls = [] {
    Class* c = objc_declareClass("NSDate", Object::runtimeClass(), referenceDate);
    addMethod(c, "isEqual:", [](Date* self, Object* other) {
      const Date* date = as<Date>(other);
      return date != nullptr && date->since_ == self->since_;
    });
    return c;
  }();
  return cls;
}

Ref<Date> Date::withTimeIntervalSinceReferenceDate(double seconds) {
  return std::make_shared<Date>(runtimeClass(), seconds);
}

Class* Array::runtimeClass() {
  static Class* const cls = objc_declareClass("NSArray", Object::runtimeClass(), emptyArray);
  return cls;
}

Ref<Array> Array::make(std::vector<Ref<Object>> items) {
  return std::make_shared<Array>(runtimeClass(), std::move(items));
}

Object* Array::objectAtIndex(std::size_t index) const {
  return index < items_.size() ? items_[index].get() : nullptr;
}

Class* Dictionary::runtimeClass() {
  static Class* const cls =
      objc_declareClass("NSDictionary", Object::runtimeClass(), emptyDictionary);
  return cls;
}

Ref<Dictionary> Dictionary::make(Entries entries) {
  return std::make_shared<Dictionary>(runtimeClass(), std::move(entries));
}

Object* Dictionary::objectForKey(std::string_view key) const {
  auto it = entries_.find(key);
  return it != entries_.end() ? it->second.get() : nullptr;
}

Class* BlockBase::runtimeClass() {
  static Class* const cls = objc_declareClass("NSBlock", Object::runtimeClass(), noBlock);
  return cls;
}

}  // namespace tovik
