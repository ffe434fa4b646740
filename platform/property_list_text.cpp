#include "platform/property_list_text.h"

#include <cstdint>
#include <cstring>

namespace tovik {

namespace detail {

Decoded decodeUTF8(std::string_view bytes) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return {1, lead};
  std::size_t length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1FU, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0FU, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07U, minimum = 0x10000;
  } else {
    return {0, 0};
  }
  if (bytes.size() < length) return {0, 0};
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0U) != 0x80) return {0, 0};
    value = (value << 6U) | (byte(i) & 0x3FU);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
  if (value < minimum || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) return {0, 0};
  return {length, value};
}

}  // namespace detail

void appendUTF8(std::string& out, char32_t c) {
  const auto put = [&out](std::uint32_t bits) { out.push_back(static_cast<char>(bits)); };
  const auto u = static_cast<std::uint32_t>(c);
  if (u < 0x80) {
    put(u);
  } else if (u < 0x800) {
    put(0xC0U | (u >> 6U));
    put(0x80U | (u & 0x3FU));
  } else if (u < 0x10000) {
    put(0xE0U | (u >> 12U));
    put(0x80U | ((u >> 6U) & 0x3FU));
    put(0x80U | (u & 0x3FU));
  } else {
    put(0xF0U | (u >> 18U));
    put(0x80U | ((u >> 12U) & 0x3FU));
    put(0x80U | ((u >> 6U) & 0x3FU));
    put(0x80U | (u & 0x3FU));
  }
}

bool isValidUTF8(std::string_view text) {
  // Runs of ASCII, all of most keys and strings, are passed eight bytes at a
  // time; every byte before them is a whole character.
  constexpr std::uint64_t kHighBits = 0x8080808080808080U;
  std::size_t ascii = 0;
  for (std::uint64_t word = 0; ascii + sizeof word <= text.size(); ascii += sizeof word) {
    std::memcpy(&word, text.data() + ascii, sizeof word);
    if ((word & kHighBits) != 0) break;
  }
  text.remove_prefix(ascii);
  while (!text.empty()) {
    const std::size_t length = detail::decodeUTF8(text).length;
    if (length == 0) return false;
    text.remove_prefix(length);
  }
  return true;
}

std::string withValidUTF8(std::string_view text) {
  if (isValidUTF8(text)) return std::string(text);
  std::string out;
  out.reserve(text.size() + 8);
  forEachCodePoint(text, [&out](char32_t c) { appendUTF8(out, c); });
  return out;
}

}  // namespace tovik
