#pragma once

#include <concepts>
#include <string_view>

#include "platform/contract/object.h"
#include "platform/foundation.h"
#include "platform/url.h"

namespace tovik::contract {

// NSURL, made from text: none for text that is not a valid URL.
template <class U, class Text = std::string_view>
concept URLContract = ObjectContract<U> && requires(Text text) {
  { U::URLWithString(text) } -> std::same_as<Ref<U>>;
};

// NSCharacterSet, for percent-encoding a URL's query: none when the string
// cannot be encoded.
template <class C>
concept CharacterSetContract = ObjectContract<C> && requires(String* string) {
  { C::URLQueryAllowedCharacterSet() } -> std::same_as<C*>;
  {
    stringByAddingPercentEncodingWithAllowedCharacters(string, C::URLQueryAllowedCharacterSet())
    } -> std::same_as<Ref<String>>;
};

}  // namespace tovik::contract
