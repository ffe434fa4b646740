#include "platform/xml_property_list.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <utility>
#include <vector>

#include "platform/property_list.h"
#include "platform/property_list_text.h"

namespace tovik {

namespace {

// ---- Calendar: dates are seconds since 2001-01-01T00:00:00Z ----

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kReferenceDay = 11323;  // 2001-01-01, in days since 1970-01-01

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

struct Civil {
  std::int64_t year;
  unsigned month;
  unsigned day;
};

Civil civilFromDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned mp = (5 * dayOfYear + 2) / 153;
  const unsigned month = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
  return {year, month, dayOfYear - (153 * mp + 2) / 5 + 1};
}

// ---- Base64 ----

constexpr std::string_view kBase64 =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t group = 0;
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    for (std::size_t j = 0; j < 3; ++j) {
      group = (group << 8U) | (j < n ? static_cast<unsigned char>(bytes[i + j]) : 0U);
    }
    for (std::size_t j = 0; j < 4; ++j) {
      out.push_back(j <= n ? kBase64[(group >> (18 - 6 * j)) & 0x3FU] : '=');
    }
  }
  return out;
}

// ---- Reading ----

struct Malformed {};

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

Ref<Number> parseInteger(std::string_view text) {
  text = trimmed(text);
  const bool negative = text.starts_with('-');
  if (negative || text.starts_with('+')) text.remove_prefix(1);
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    base = 16;
    text.remove_prefix(2);
  }
  std::uint64_t magnitude = 0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size()) throw Malformed{};
  constexpr auto kMaxSigned = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  if (negative) {
    if (magnitude > kMaxSigned + 1) throw Malformed{};
    return Number::withInteger(static_cast<std::int64_t>(0 - magnitude));
  }
  return magnitude > kMaxSigned ? Number::withUnsignedInteger(magnitude)
                                : Number::withInteger(static_cast<std::int64_t>(magnitude));
}

Ref<Number> parseReal(std::string_view text) {
  text = trimmed(text);
  if (text.starts_with('+')) text.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size()) throw Malformed{};
  return Number::withDouble(value);
}

// YYYY[-MM[-DD[THH[:MM[:SS]]]]]Z, in UTC.
Ref<Date> parseDate(std::string_view text) {
  text = trimmed(text);
  const auto digits = [&text](std::size_t count, unsigned low, unsigned high) {
    unsigned value = 0;
    if (text.size() < count) throw Malformed{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + count, value);
    if (error != std::errc{} || end != text.data() + count || value < low || value > high) {
      throw Malformed{};
    }
    text.remove_prefix(count);
    return value;
  };
  const auto separator = [&text](char c) {
    if (!text.starts_with(c)) return false;
    text.remove_prefix(1);
    return true;
  };
  const unsigned year = digits(4, 0, 9999);
  unsigned month = 1;
  unsigned day = 1;
  unsigned hour = 0;
  unsigned minute = 0;
  unsigned second = 0;
  if (separator('-')) {
    month = digits(2, 1, 12);
    if (separator('-')) {
      day = digits(2, 1, 31);
      if (separator('T')) {
        hour = digits(2, 0, 23);
        if (separator(':')) {
          minute = digits(2, 0, 59);
          if (separator(':')) second = digits(2, 0, 60);
        }
      }
    }
  }
  if (text != "Z") throw Malformed{};
  const std::int64_t days = daysFromCivil(year, month, day) - kReferenceDay;
  return Date::withTimeIntervalSinceReferenceDate(static_cast<double>(
      days * kSecondsPerDay + static_cast<std::int64_t>(hour * 3600 + minute * 60 + second)));
}

Ref<Data> parseBase64(std::string_view text) {
  std::string out;
  std::uint32_t group = 0;
  int bits = 0;
  bool padding = false;
  for (const char c : text) {
    if (isSpace(c)) continue;
    if (c == '=') {
      padding = true;
      continue;
    }
    const std::size_t value = kBase64.find(c);
    if (value == std::string_view::npos || padding) throw Malformed{};
    group = (group << 6U) | static_cast<std::uint32_t>(value);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<char>((group >> static_cast<unsigned>(bits)) & 0xFFU));
    }
  }
  return Data::make(out);
}

// ---- Encodings ----

// Bytes that are not a property list, and why, for the caller's message.
struct Refused {
  std::string why;
};

// Marks and first characters that name an encoding before any declaration
// is read (XML's byte-order marks, and its rule for UTF-16 and UTF-32
// without one): the encoding, and how many bytes the mark takes.
struct Signature {
  std::string_view prefix;
  std::size_t mark;
  const char* encoding;
};
constexpr std::array<Signature, 9> kSignatures = {{
    {std::string_view("\xEF\xBB\xBF", 3), 3, "UTF-8"},
    {std::string_view("\0\0\xFE\xFF", 4), 4, "UTF-32BE"},
    {std::string_view("\xFF\xFE\0\0", 4), 4, "UTF-32LE"},
    {std::string_view("\xFE\xFF", 2), 2, "UTF-16BE"},
    {std::string_view("\xFF\xFE", 2), 2, "UTF-16LE"},
    {std::string_view("\0\0\0<", 4), 0, "UTF-32BE"},
    {std::string_view("<\0\0\0", 4), 0, "UTF-32LE"},
    {std::string_view("\0<\0?", 4), 0, "UTF-16BE"},
    {std::string_view("<\0?\0", 4), 0, "UTF-16LE"},
}};

bool equalsIgnoringASCIICase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// The encoding the XML declaration at the start names; empty when there is
// no declaration or it names none.
std::string_view declaredEncoding(std::string_view text) {
  if (!text.starts_with("<?xml")) return {};
  text = text.substr(0, text.find("?>"));
  const std::size_t attribute = text.find("encoding");
  if (attribute == std::string_view::npos) return {};
  text.remove_prefix(attribute + 8);
  while (!text.empty() && (isSpace(text.front()) || text.front() == '=')) text.remove_prefix(1);
  const std::size_t end = text.empty() ? std::string_view::npos : text.find(text.front(), 1);
  if (end == std::string_view::npos || (text.front() != '"' && text.front() != '\'')) {
    throw Refused{"the XML declaration's encoding is not a quoted name"};
  }
  const std::string_view name = text.substr(1, end - 1);
  // XML's EncName: a letter, then letters, digits, '.', '_' and '-'; which
  // also keeps iconv's own suffixes ("//TRANSLIT") out.
  const bool wellFormed =
      !name.empty() && std::isalpha(static_cast<unsigned char>(name.front())) != 0 &&
      std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.' || c == '_' || c == '-';
      });
  if (!wellFormed) {
    throw Refused{"the XML declaration names the encoding \"" + std::string(name) +
                  "\", which is not an encoding name"};
  }
  return name;
}

// `bytes` in `encoding`, as UTF-8, by iconv.
std::string transcoded(std::string_view bytes, const std::string& encoding) {
  const iconv_t converter = ::iconv_open("UTF-8", encoding.c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) {  // NOLINT(performance-no-int-to-ptr)
    throw Refused{"the file is in the encoding \"" + encoding +
                  "\", which this system's iconv does not know"};
  }
  std::string out(bytes.size() * 2 + 16, '\0');
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast): iconv takes a mutable pointer
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  std::size_t written = 0;
  for (;;) {
    char* to = out.data() + written;
    std::size_t outLeft = out.size() - written;
    const std::size_t result = ::iconv(converter, &in, &inLeft, &to, &outLeft);
    written = out.size() - outLeft;
    if (result != static_cast<std::size_t>(-1)) break;
    if (errno != E2BIG) {
      ::iconv_close(converter);
      throw Refused{"the file is not valid " + encoding + " text (at byte " +
                    std::to_string(bytes.size() - inLeft) + ")"};
    }
    out.resize(out.size() * 2);
  }
  ::iconv_close(converter);
  out.resize(written);
  return out;
}

// The document's text as UTF-8: a byte-order mark (or UTF-16 or UTF-32
// first characters) decides its encoding, else the one its declaration
// names, else it is UTF-8. Text already in UTF-8 is `bytes` less any mark;
// other text is transcoded into `storage`.
std::string_view asUTF8(std::string_view bytes, std::string& storage) {
  for (const Signature& signature : kSignatures) {
    if (!bytes.starts_with(signature.prefix)) continue;
    bytes.remove_prefix(signature.mark);
    if (std::string_view(signature.encoding) == "UTF-8") return bytes;
    storage = transcoded(bytes, signature.encoding);
    return storage;
  }
  const std::string_view encoding = declaredEncoding(bytes);
  if (encoding.empty() || equalsIgnoringASCIICase(encoding, "UTF-8") ||
      equalsIgnoringASCIICase(encoding, "UTF8")) {
    return bytes;
  }
  storage = transcoded(bytes, std::string(encoding));
  return storage;
}

class Reader {
 public:
  explicit Reader(std::string_view in) : in_(in) {}

  Ref<Object> read() {
    skipMarkup();
    const Tag tag = startTag();
    Ref<Object> root;
    if (tag.name == "plist") {
      if (tag.empty) throw Malformed{};
      skipMarkup();
      root = value(startTag(), 0);
      skipMarkup();
      endTag("plist");
    } else {
      root = value(tag, 0);
    }
    skipMarkup();
    if (pos_ != in_.size()) throw Malformed{};
    return root;
  }

 private:
  struct Tag {
    std::string_view name;
    bool empty;  // <name/>
  };

  [[nodiscard]] bool at(std::string_view text) const { return in_.substr(pos_).starts_with(text); }

  void skipPast(std::string_view end) {
    const std::size_t found = in_.find(end, pos_);
    if (found == std::string_view::npos) throw Malformed{};
    pos_ = found + end.size();
  }

  // White space, comments, processing instructions and the document type.
  void skipMarkup() {
    for (;;) {
      while (pos_ < in_.size() && isSpace(in_[pos_])) ++pos_;
      if (at("<?")) {
        skipPast("?>");
      } else if (at("<!--")) {
        skipPast("-->");
      } else if (at("<!DOCTYPE")) {
        skipDoctype();
      } else {
        return;
      }
    }
  }

  void skipDoctype() {
    int brackets = 0;
    for (pos_ += 9; pos_ < in_.size();) {
      const char c = in_[pos_++];
      if (c == '"' || c == '\'') {
        skipPast(std::string_view(&c, 1));
      } else if (c == '[') {
        ++brackets;
      } else if (c == ']') {
        --brackets;
      } else if (c == '>' && brackets <= 0) {
        return;
      }
    }
    throw Malformed{};
  }

  // A name: ASCII letters, digits and "_-:.", and any character past ASCII
  // (XML's names take letters of every script; attributes' are ignored).
  std::string_view name() {
    const std::size_t begin = pos_;
    while (pos_ < in_.size() &&
           (std::isalnum(static_cast<unsigned char>(in_[pos_])) != 0 || in_[pos_] == '_' ||
            in_[pos_] == '-' || in_[pos_] == ':' || in_[pos_] == '.' ||
            static_cast<unsigned char>(in_[pos_]) >= 0x80)) {
      ++pos_;
    }
    if (pos_ == begin) throw Malformed{};
    return in_.substr(begin, pos_ - begin);
  }

  void skipSpace() {
    while (pos_ < in_.size() && isSpace(in_[pos_])) ++pos_;
  }

  Tag startTag() {
    if (!at("<")) throw Malformed{};
    ++pos_;
    const Tag tag{name(), false};
    for (;;) {
      skipSpace();
      if (at("/>")) {
        pos_ += 2;
        return {tag.name, true};
      }
      if (at(">")) {
        ++pos_;
        return tag;
      }
      name();  // an attribute, ignored
      skipSpace();
      if (!at("=")) throw Malformed{};
      ++pos_;
      skipSpace();
      if (!at("\"") && !at("'")) throw Malformed{};
      const char quote = in_[pos_++];
      skipPast(std::string_view(&quote, 1));
    }
  }

  void endTag(std::string_view expected) {
    if (!at("</")) throw Malformed{};
    pos_ += 2;
    if (name() != expected) throw Malformed{};
    skipSpace();
    if (!at(">")) throw Malformed{};
    ++pos_;
  }

  // An element's text up to its end tag, with references resolved, CDATA
  // sections taken as they are and line ends as XML reads them.
  std::string text(std::string_view element) {
    std::string out;
    for (;;) {
      if (pos_ >= in_.size()) throw Malformed{};
      const char c = in_[pos_];
      if (c == '<') {
        if (at("</")) {
          endTag(element);
          return out;
        }
        if (at("<![CDATA[")) {
          const std::size_t begin = pos_ + 9;
          skipPast("]]>");
          out.append(in_.substr(begin, pos_ - 3 - begin));
        } else if (at("<!--")) {
          skipPast("-->");
        } else {
          throw Malformed{};
        }
      } else if (c == '&') {
        reference(out);
      } else if (c == '\r') {
        out.push_back('\n');
        pos_ += at("\r\n") ? 2 : 1;
      } else {
        out.push_back(c);
        ++pos_;
      }
    }
  }

  void reference(std::string& out) {
    const std::size_t semicolon = in_.find(';', pos_);
    if (semicolon == std::string_view::npos || semicolon - pos_ > 12) throw Malformed{};
    const std::string_view entity = in_.substr(pos_ + 1, semicolon - pos_ - 1);
    pos_ = semicolon + 1;
    if (entity == "lt") return out.push_back('<');
    if (entity == "gt") return out.push_back('>');
    if (entity == "amp") return out.push_back('&');
    if (entity == "quot") return out.push_back('"');
    if (entity == "apos") return out.push_back('\'');
    if (!entity.starts_with('#')) throw Malformed{};
    const bool hex = entity.starts_with("#x");
    const std::string_view digits = entity.substr(hex ? 2 : 1);
    std::uint32_t value = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, hex ? 16 : 10);
    if (digits.empty() || error != std::errc{} || end != digits.data() + digits.size() ||
        value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
      throw Malformed{};
    }
    appendUTF8(out, value);
  }

  Ref<Object> value(const Tag& tag, int depth) {
    const std::string_view kind = tag.name;
    if (kind == "dict" || kind == "array") {
      if (depth >= kMaxPropertyListDepth) throw Malformed{};
      return kind == "dict" ? dictionary(tag, depth) : array(tag, depth);
    }
    if (kind == "true" || kind == "false") {
      if (!tag.empty && !trimmed(text(kind)).empty()) throw Malformed{};
      return Number::withBool(kind == "true");
    }
    const std::string contents = tag.empty ? std::string() : text(kind);
    if (kind == "string") return str(withValidUTF8(contents));
    if (kind == "integer") return parseInteger(contents);
    if (kind == "real") return parseReal(contents);
    if (kind == "date") return parseDate(contents);
    if (kind == "data") return parseBase64(contents);
    throw Malformed{};
  }

  Ref<Object> dictionary(const Tag& tag, int depth) {
    Dictionary::Entries entries;
    while (!tag.empty) {
      skipMarkup();
      if (at("</")) {
        endTag("dict");
        break;
      }
      const Tag key = startTag();
      if (key.name != "key") throw Malformed{};
      std::string name = withValidUTF8(key.empty ? std::string() : text("key"));
      skipMarkup();
      entries.insert_or_assign(std::move(name), value(startTag(), depth + 1));
    }
    return Dictionary::make(std::move(entries));
  }

  Ref<Object> array(const Tag& tag, int depth) {
    std::vector<Ref<Object>> items;
    while (!tag.empty) {
      skipMarkup();
      if (at("</")) {
        endTag("array");
        break;
      }
      items.push_back(value(startTag(), depth + 1));
    }
    return Array::make(std::move(items));
  }

  std::string_view in_;
  std::size_t pos_ = 0;
};

// ---- Writing ----

// Text as XML carries it; see xmlPropertyList for what it cannot carry.
void appendEscaped(std::string& out, std::string_view text) {
  forEachCodePoint(text, [&out](char32_t c) {
    switch (c) {
      case '&':
        out += "&amp;";
        return;
      case '<':
        out += "&lt;";
        return;
      case '>':
        out += "&gt;";
        return;
      case '\r':
        out += "&#13;";  // a raw one would read back as a line feed
        return;
      case '\t':
      case '\n':
        out.push_back(static_cast<char>(c));
        return;
      default:
        appendUTF8(out, c < 0x20 || c == 0xFFFE || c == 0xFFFF ? kReplacementCharacter : c);
    }
  });
}

std::string formatReal(double value) {
  std::array<char, 64> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return {buffer.data(), result.ptr};
}

// The dates XML carries as they are: years 1 to 9999, as every reader's
// calendar has them.
constexpr double kFirstWritableDate = -63113904000;  // 0001-01-01T00:00:00Z
constexpr double kLastWritableDate = 252423993599;   // 9999-12-31T23:59:59Z

std::string formatDate(double sinceReferenceDate) {
  // See xmlPropertyList for the dates that cannot be written as they are.
  const double clamped =
      std::isnan(sinceReferenceDate)
          ? 0
          : std::clamp(sinceReferenceDate, kFirstWritableDate, kLastWritableDate);
  const auto seconds = static_cast<std::int64_t>(std::floor(clamped));
  std::int64_t days = seconds / kSecondsPerDay;
  std::int64_t rest = seconds % kSecondsPerDay;
  if (rest < 0) {
    rest += kSecondsPerDay;
    --days;
  }
  const Civil date = civilFromDays(days + kReferenceDay);
  std::array<char, 64> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%04lld-%02u-%02uT%02lld:%02lld:%02lldZ",
                static_cast<long long>(date.year), date.month, date.day,
                static_cast<long long>(rest / 3600), static_cast<long long>(rest / 60 % 60),
                static_cast<long long>(rest % 60));
  return buffer.data();
}

void writeValue(std::string& out, Object* value, std::size_t indent) {
  out.append(indent, '\t');
  if (const auto* string = as<String>(value)) {
    out += "<string>";
    appendEscaped(out, string->utf8());
    out += "</string>\n";
  } else if (const auto* number = as<Number>(value)) {
    switch (number->kind()) {
      case Number::Kind::Boolean:
        out += number->boolValue() ? "<true/>\n" : "<false/>\n";
        break;
      case Number::Kind::Integer:
        out += "<integer>" + std::to_string(number->integerValue()) + "</integer>\n";
        break;
      case Number::Kind::Unsigned:
        out += "<integer>" + std::to_string(number->unsignedIntegerValue()) + "</integer>\n";
        break;
      case Number::Kind::Real:
        out += "<real>" + formatReal(number->doubleValue()) + "</real>\n";
        break;
    }
  } else if (const auto* data = as<Data>(value)) {
    out += "<data>" + base64(data->bytes()) + "</data>\n";
  } else if (const auto* date = as<Date>(value)) {
    out += "<date>" + formatDate(date->timeIntervalSinceReferenceDate()) + "</date>\n";
  } else if (const auto* array = as<Array>(value)) {
    if (array->count() == 0) {
      out += "<array/>\n";
      return;
    }
    out += "<array>\n";
    for (const Ref<Object>& item : array->items()) writeValue(out, item.get(), indent + 1);
    out.append(indent, '\t');
    out += "</array>\n";
  } else if (const auto* dictionary = as<Dictionary>(value)) {
    if (dictionary->count() == 0) {
      out += "<dict/>\n";
      return;
    }
    out += "<dict>\n";
    for (const auto& [key, item] : dictionary->entries()) {
      out.append(indent + 1, '\t');
      out += "<key>";
      appendEscaped(out, key);
      out += "</key>\n";
      writeValue(out, item.get(), indent + 1);
    }
    out.append(indent, '\t');
    out += "</dict>\n";
  } else {
    throw PlatformError(std::string("not a property-list object: ") +
                        (value != nullptr ? value->isa()->name() : "nil"));
  }
}

}  // namespace

Ref<Object> parseXmlPropertyList(std::string_view bytes, std::string* why) {
  try {
    std::string storage;
    return Reader(asUTF8(bytes, storage)).read();
  } catch (const Malformed&) {
    if (why != nullptr) *why = "not a well-formed XML property list";
  } catch (const Refused& refused) {
    if (why != nullptr) {
      *why = refused.why;
    }
  }
  return nullptr;
}

std::string xmlPropertyList(const Object* value) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\">\n";
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast): as<> takes a mutable pointer
  writeValue(out, const_cast<Object*>(value), 0);
  out += "</plist>\n";
  return out;
}

}  // namespace tovik
