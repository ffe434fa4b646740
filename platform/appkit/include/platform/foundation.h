#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

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
  static Ref<Number> withInteger(std::int64_t value);
  static Ref<Number> withBool(bool value);
  [[nodiscard]] double doubleValue() const;
  [[nodiscard]] bool boolValue() const;
};

// NSDictionary, with string keys.
class Dictionary : public Object {
 public:
  using Entries = std::map<std::string, Ref<Object>, std::less<>>;
  static Class* runtimeClass();
  static Ref<Dictionary> make(const Entries& entries);
  [[nodiscard]] Object* objectForKey(std::string_view key) const;
};

// NSArray.
class Array : public Object {
 public:
  static Class* runtimeClass();
  static Ref<Array> make(const std::vector<Ref<Object>>& items);
  [[nodiscard]] std::size_t count() const;
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
// A block taking A... and answering R. Objects cross it as the runtime
// passes them: an owned answer (Ref<T>) is handed out autoreleased and
// retained on the caller's side.
template <class R, class... A>
class Block<R(A...)> : public BlockBase {
 public:
  using Native = detail::RawOf<R> (^)(detail::RawOf<A>...);
  R operator()(A... args) {
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-cstyle-cast)
    const Native native = (Native)(static_cast<void*>(this));
    if constexpr (std::is_void_v<R>) {
      native(static_cast<detail::RawOf<A>>(args)...);
    } else if constexpr (detail::IsRef<R>::value) {
      return R::retain(native(static_cast<detail::RawOf<A>>(args)...));
    } else {
      return static_cast<R>(native(static_cast<detail::RawOf<A>>(args)...));
    }
  }
};

namespace detail {
template <class Signature>
struct BlockMaker;
template <class R, class... A>
struct BlockMaker<R(A...)> {
  template <class F>
  static Ref<Block<R(A...)>> make(F body) {
    // The block's body is C++ that the runtime's frames call: an error stops
    // here (reportErrorAtBoundary).
    typename Block<R(A...)>::Native native = ^RawOf<R>(RawOf<A>... args) {
      try {
        if constexpr (std::is_void_v<R>) {
          body(static_cast<A>(args)...);
        } else if constexpr (IsRef<R>::value) {
          return static_cast<RawOf<R>>(autoreleaseObject(body(static_cast<A>(args)...).release()));
        } else {
          return static_cast<RawOf<R>>(body(static_cast<A>(args)...));
        }
      } catch (const std::exception& error) {
        reportErrorAtBoundary("a block", error.what());
      } catch (...) {
        reportErrorAtBoundary("a block", nullptr);
      }
      if constexpr (!std::is_void_v<R>) return RawOf<R>{};
    };
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-cstyle-cast)
    return Ref<Block<R(A...)>>::adopt(
        static_cast<Block<R(A...)>*>(const_cast<void*>(copyBlock((const void*)native))));
  }
};
}  // namespace detail

// A block made from any callable, which it keeps.
template <class Signature, class F>
Ref<Block<Signature>> makeBlock(F body) {
  return detail::BlockMaker<Signature>::make(std::move(body));
}

namespace detail {
// Whether `block` is a block (its class is one of the blocks runtime's) whose
// signature, where it carries one (clang's blocks do), is `types` with any
// one-byte truth (BOOL, bool) for another: offsets, class names and type
// qualifiers aside.
bool isBlockOfTypes(const BlockBase* block, std::string_view types);
template <class R, class... A>
std::string blockEncoding(R (*)(A...)) {
  std::string types = encodingOf<R>() + "@?";
  ((types += encodingOf<A>()), ...);
  return types;
}
}  // namespace detail

// The block when it is a block of this signature; none otherwise (an object
// that is not a block, or a block that takes or answers something else). A
// block whose signature was not recorded is taken at its word, as
// Objective-C takes it.
template <class Signature>
Block<Signature>* asBlock(BlockBase* block) {
  static const std::string types = detail::blockEncoding(static_cast<Signature*>(nullptr));
  return block != nullptr && detail::isBlockOfTypes(block, types)
             ? static_cast<Block<Signature>*>(block)
             : nullptr;
}

// A strong reference to a block the host handed over.
template <class Signature>
Ref<Block<Signature>> retainBlock(BlockBase* block) {
  return Ref<Block<Signature>>::retain(asBlock<Signature>(block));
}

}  // namespace tovik
