#pragma once

#include <concepts>
#include <string>
#include <string_view>
#include <vector>

#include "platform/contract/object.h"
#include "platform/foundation.h"

namespace tovik::contract {

// NSString: text crosses into C++ as UTF-8.
template <class S, class Text = std::string_view>
concept StringContract = ObjectContract<S> && requires(const S& string, Text text) {
  { string.utf8() } -> std::convertible_to<std::string>;
  { string.isEqualToString(&string) } -> std::same_as<bool>;
  // The canonical composed form (NFC), as UTF-8.
  { string.precomposedStringWithCanonicalMapping() } -> std::convertible_to<std::string>;
  { str(text) } -> std::same_as<Ref<S>>;
};

// NSNumber.
template <class N>
concept NumberContract = ObjectContract<N> && requires(const N& number, double value) {
  { N::withDouble(value) } -> std::same_as<Ref<N>>;
  { number.doubleValue() } -> std::same_as<double>;
  { number.boolValue() } -> std::same_as<bool>;
};

// NSDictionary with string keys, made from C++ entries.
template <class D, class Text = std::string_view>
concept DictionaryContract = ObjectContract<D> &&
    requires(const D& dictionary, typename D::Entries entries, Text key) {
  { D::make(entries) } -> std::same_as<Ref<D>>;
  { dictionary.objectForKey(key) } -> std::same_as<Object*>;
};

// NSArray, made from C++ items.
template <class A>
concept ArrayContract = ObjectContract<A> && requires(const std::vector<Ref<Object>>& items) {
  { A::make(items) } -> std::same_as<Ref<A>>;
};

// A block's body as the plug-in writes one.
struct BlockBody {
  bool operator()() const { return true; }
};

// Blocks: made from a C++ callable, or taken from a host when they are of
// the signature asked for (none otherwise), and called.
template <class B>
concept BlocksContract = requires(B* block, String* text) {
  { (*retainBlock<void(String*)>(block))(text) } -> std::same_as<void>;
  { (*retainBlock<void()>(block))() } -> std::same_as<void>;
  { (*retainBlock<bool()>(block))() } -> std::same_as<bool>;
  { makeBlock<bool()>(BlockBody{}) } -> std::same_as<Ref<Block<bool()>>>;
};

}  // namespace tovik::contract
