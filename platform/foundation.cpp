#include "platform/foundation.h"

#include <utf8proc.h>

#include <cstdlib>
#include <memory>

namespace tovik {

namespace {
Ref<Object> emptyString(Class* isa) { return std::make_shared<String>(isa, std::string()); }
Ref<Object> zeroNumber(Class* isa) {
  return std::make_shared<Number>(isa, Number::Kind::Integer, 0, 0.0);
}
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

bool String::isValidUTF8() const {
  const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text_.data());
  auto remaining = static_cast<utf8proc_ssize_t>(text_.size());
  while (remaining > 0) {
    utf8proc_int32_t codepoint = 0;
    const utf8proc_ssize_t used = utf8proc_iterate(bytes, remaining, &codepoint);
    if (used <= 0) return false;
    bytes += used;
    remaining -= used;
  }
  return true;
}

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
      return self->integer_ == n->integer_;
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

double Number::doubleValue() const {
  return kind_ == Kind::Real ? real_ : static_cast<double>(integer_);
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
