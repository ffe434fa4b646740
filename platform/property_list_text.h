#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Text as both backends take it in (strings made from bytes, property
// lists): Unicode scalar values, read from UTF-8 that may hold bytes that are
// not UTF-8.
namespace tovik {

inline constexpr char32_t kReplacementCharacter = U'\uFFFD';

// Calls `visit(codePoint)` for each character of `utf8`. Each byte that does
// not begin a valid sequence reads as U+FFFD, as NSString and Python's
// "replace" error handler read them.
template <class F>
void forEachCodePoint(std::string_view utf8, F&& visit);

// Appends the UTF-8 form of a Unicode scalar value.
void appendUTF8(std::string& out, char32_t codePoint);

// The text with every byte that does not begin a valid UTF-8 sequence
// replaced by U+FFFD; valid text comes back as it is.
std::string withValidUTF8(std::string_view text);
bool isValidUTF8(std::string_view text);

namespace detail {
// The length of the valid UTF-8 sequence at the start of `bytes` and its
// value; length 0 when the bytes do not begin one.
struct Decoded {
  std::size_t length;
  char32_t codePoint;
};
Decoded decodeUTF8(std::string_view bytes);
}  // namespace detail

template <class F>
void forEachCodePoint(std::string_view utf8, F&& visit) {
  while (!utf8.empty()) {
    const detail::Decoded decoded = detail::decodeUTF8(utf8);
    if (decoded.length == 0) {
      visit(kReplacementCharacter);
      utf8.remove_prefix(1);
    } else {
      visit(decoded.codePoint);
      utf8.remove_prefix(decoded.length);
    }
  }
}

}  // namespace tovik
