#pragma once

#include <string>
#include <string_view>

#include "platform/runtime.h"

// Foundation's values and blocks as the plug-in's C++ reaches them.
namespace tovik {

// NSString. Text crosses into C++ as UTF-8.
class String : public Object {
 public:
  static Class* runtimeClass();
  [[nodiscard]] std::string utf8() const;
  [[nodiscard]] bool isEqualToString(const String* other) const;
  // The canonical composed form (NFC), as UTF-8.
  [[nodiscard]] std::string precomposedStringWithCanonicalMapping() const;
};

// A new string of UTF-8 text (bytes that are not UTF-8 are replaced).
Ref<String> str(std::string_view text);
// The class's name.
Ref<String> NSStringFromClass(const Class* cls);

// NSNumber.
class Number : public Object {
 public:
  static Class* runtimeClass();
  static Ref<Number> withDouble(double value);
  [[nodiscard]] double doubleValue() const;
  [[nodiscard]] bool boolValue() const;
};

// NSCharacterSet.
class CharacterSet : public Object {
 public:
  static Class* runtimeClass();
  static CharacterSet* URLQueryAllowedCharacterSet();
};

// -[NSString stringByAddingPercentEncodingWithAllowedCharacters:]: none when
// the string cannot be encoded.
Ref<String> stringByAddingPercentEncodingWithAllowedCharacters(String* string,
                                                               CharacterSet* allowed);

// A block, as the runtime passes it: a pointer to one is the block itself.
// Blocks are kept by Block_copy and Block_release (see RefTraits).
class BlockBase {
 public:
  BlockBase() = delete;
  BlockBase(const BlockBase&) = delete;
  BlockBase& operator=(const BlockBase&) = delete;
  ~BlockBase() = delete;
};

template <class Signature>
class Block;
// A block taking A... and answering R. Calling it calls the block.
template <class R, class... A>
class Block<R(A...)> : public BlockBase {
 public:
  R operator()(A... args) {
    using Native = R (^)(A...);
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-cstyle-cast)
    return ((Native)(static_cast<void*>(this)))(args...);
  }
};

}  // namespace tovik
