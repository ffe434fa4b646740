#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/foundation.h"

// URLs and percent-encoding, as Foundation's NSURL and its NSString
// additions (NSURLUtilities) have them.
namespace tovik {

// A set of characters (NSCharacterSet). The headless system models the sets
// that URLs use, whose members are all ASCII: a character outside ASCII is
// never a member.
class CharacterSet : public Object {
 public:
  CharacterSet(Class* isa, std::string_view members = {});
  static Class* runtimeClass();

  // What RFC 3986 allows in a query: the unreserved characters (letters,
  // digits, "-._~"), the sub-delimiters ("!$&'()*+,;="), ':', '@', '/' and
  // '?'. One set for the process (URLQueryAllowedCharacterSet).
  static CharacterSet* URLQueryAllowedCharacterSet();

  [[nodiscard]] bool characterIsMember(char32_t character) const {
    return character < 128 && ((ascii_[character >> 6U] >> (character & 63U)) & 1U) != 0;
  }

 private:
  std::array<std::uint64_t, 2> ascii_{};
};

// -[NSString stringByAddingPercentEncodingWithAllowedCharacters:]: every byte
// of the UTF-8 form of a character outside `allowed` becomes "%XX" with
// upper-case hex digits; the others stay. None when the string is not valid
// UTF-8 (a string the platform could not represent). A null set allows
// nothing. A string with nothing to encode is answered with itself.
Ref<String> stringByAddingPercentEncodingWithAllowedCharacters(String* string,
                                                               const CharacterSet* allowed);

// A URL (NSURL): an RFC 3986 URI reference, kept as written. Immutable, so
// safe to share between threads.
class URL : public Object {
 public:
  URL(Class* isa, Ref<String> text = str(""), Ref<String> scheme = nullptr)
      : Object(isa), text_(std::move(text)), scheme_(std::move(scheme)) {}
  static Class* runtimeClass();

  // +[NSURL URLWithString:]: none when the string is absent, empty or not a
  // valid URI reference by RFC 3986 (checked by uriparser; nothing is
  // encoded or repaired on the caller's behalf).
  static Ref<URL> URLWithString(String* string);
  static Ref<URL> URLWithString(std::string_view string);

  // The string the URL was made from (there is no base URL).
  [[nodiscard]] String* absoluteString() const { return text_.get(); }
  // The scheme as written, without its colon; none for a relative reference.
  [[nodiscard]] String* scheme() const { return scheme_.get(); }

 private:
  Ref<String> text_;
  Ref<String> scheme_;
};

}  // namespace tovik
