#include "platform/url.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovik {
namespace {

using namespace std::string_literals;

struct EncodingCase {
  std::string text;
  std::optional<std::string> encoded;  // none: the encoding yields none
};

// Worked out by hand from RFC 3986: a query keeps the unreserved characters
// (ALPHA DIGIT "-._~"), the sub-delims ("!$&'()*+,;="), ':', '@', '/' and
// '?'; every other byte of the UTF-8 form is "%" and two upper-case hex digits.
const std::vector<EncodingCase> kEncodings = {
    {"", ""},
    {"\t\n\r\x7F", "%09%0A%0D%7F"},
    {"a\0b"s, "a%00b"},
    // Every printable ASCII character, in order.
    {" !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`"
     "abcdefghijklmnopqrstuvwxyz{|}~",
     "%20!%22%23$%25&'()*+,-./0123456789:;%3C=%3E?@ABCDEFGHIJKLMNOPQRSTUVWXYZ%5B%5C%5D%5E_%60"
     "abcdefghijklmnopqrstuvwxyz%7B%7C%7D~"},
    // U+00E9 (C3 A9), precomposed and as e + U+0301 (CC 81): not normalised;
    // U+65E5 (E6 97 A5) and U+1F600 (F0 9F 98 80).
    {"Caf\xC3\xA9 Cafe\xCC\x81", "Caf%C3%A9%20Cafe%CC%81"},
    {"\xE6\x97\xA5\xF0\x9F\x98\x80", "%E6%97%A5%F0%9F%98%80"},
    // Not valid UTF-8: a stray byte, a cut-off sequence, an overlong form,
    // an encoded surrogate.
    {"com.example.\xFF", std::nullopt},
    {"caf\xC3", std::nullopt},
    {"\xC0\xAF", std::nullopt},
    {"\xED\xA0\x80", std::nullopt},
};

TEST(PercentEncoding, QueryAllowedSetAgainstHandWorkedCases) {
  CharacterSet* query = CharacterSet::URLQueryAllowedCharacterSet();
  for (const EncodingCase& c : kEncodings) {
    auto text = str(c.text);
    Ref<String> out = stringByAddingPercentEncodingWithAllowedCharacters(text.get(), query);
    if (!c.encoded.has_value()) {
      EXPECT_EQ(out, nullptr) << c.text;
    } else {
      ASSERT_NE(out, nullptr) << c.text;
      EXPECT_EQ(out->utf8(), *c.encoded) << c.text;
      // Sent through the runtime, as the platform's NSString addition.
      auto sent = send<Ref<String>>(text.get(),
                                    "stringByAddingPercentEncodingWithAllowedCharacters:", query);
      ASSERT_NE(sent, nullptr);
      EXPECT_EQ(sent->utf8(), *c.encoded);
    }
  }
}

TEST(PercentEncoding, SetMembershipNullArgumentsAndUnchangedText) {
  CharacterSet* query = CharacterSet::URLQueryAllowedCharacterSet();
  EXPECT_TRUE(query->characterIsMember(U'~'));
  EXPECT_FALSE(query->characterIsMember(U'#'));
  EXPECT_FALSE(query->characterIsMember(U'\u00E9'));  // no member outside ASCII
  EXPECT_TRUE(query->isKindOfClass(objc_getClass("NSCharacterSet")));

  EXPECT_EQ(stringByAddingPercentEncodingWithAllowedCharacters(nullptr, query), nullptr);
  auto ab = str("a/b");
  EXPECT_EQ(stringByAddingPercentEncodingWithAllowedCharacters(ab.get(), nullptr)->utf8(),
            "%61%2F%62");  // a null set allows nothing
  // Nothing to encode: the immutable string itself, no copy.
  EXPECT_EQ(stringByAddingPercentEncodingWithAllowedCharacters(ab.get(), query), ab);
}

struct URLCase {
  std::string text;
  bool valid;
  std::optional<std::string> scheme;
};

TEST(URL, ValidRFC3986ReferencesOnly) {
  const std::vector<URLCase> cases = {
      {"x-apple.systempreferences:com.apple.preference.notifications", true,
       "x-apple.systempreferences"},
      {"x-apple.systempreferences:com.apple.Notifications-Settings.extension?id=a%20b&c=d", true,
       "x-apple.systempreferences"},
      {"X-Apple.SystemPreferences:pane", true, "X-Apple.SystemPreferences"},  // as written
      {"https://example.com:8080/a/b?q=1#frag", true, "https"},
      {"mailto:someone@example.com", true, "mailto"},
      {"a:", true, "a"},
      {"urn:isbn:0451450523", true, "urn"},
      {"http://[::1]/", true, "http"},
      {"//host/path", true, std::nullopt},  // relative references have no scheme
      {"relative/path?x=1", true, std::nullopt},
      {"?id=", true, std::nullopt},
      {"#top", true, std::nullopt},
      {"", false, std::nullopt},  // the platform gives no URL for the empty string
      {"a b", false, std::nullopt},
      {"x:%ZZ", false, std::nullopt},
      {"x:%2", false, std::nullopt},
      {"x:caf\xC3\xA9", false, std::nullopt},  // not encoded
      {"x:a<b>", false, std::nullopt},
      {"x:{}", false, std::nullopt},
      {"x:a\\b", false, std::nullopt},
      {"x:a#b#c", false, std::nullopt},
      {"1abc:def", false, std::nullopt},  // no scheme starts with a digit, no first segment has ':'
      {"http://[::1/", false, std::nullopt},
      {"x:a\0b"s, false, std::nullopt},  // a NUL is a character, not the end
  };
  for (const URLCase& c : cases) {
    Ref<URL> url = URL::URLWithString(c.text);
    if (!c.valid) {
      EXPECT_EQ(url, nullptr) << c.text;
      continue;
    }
    ASSERT_NE(url, nullptr) << c.text;
    EXPECT_EQ(url->absoluteString()->utf8(), c.text);
    if (c.scheme.has_value()) {
      ASSERT_NE(url->scheme(), nullptr) << c.text;
      EXPECT_EQ(url->scheme()->utf8(), *c.scheme);
    } else {
      EXPECT_EQ(url->scheme(), nullptr) << c.text;
    }
  }
  EXPECT_EQ(URL::URLWithString(static_cast<String*>(nullptr)), nullptr);
}

TEST(URL, SeenThroughTheRuntime) {
  Class* cls = objc_getClass("NSURL");
  ASSERT_EQ(cls, URL::runtimeClass());
  auto text = str("https://example.com/");
  Ref<URL> url = URL::URLWithString(text.get());
  ASSERT_NE(url, nullptr);
  EXPECT_EQ(url->absoluteString(), text.get());  // the immutable string is kept, not copied
  EXPECT_EQ(send<Ref<String>>(url.get(), "absoluteString")->utf8(), "https://example.com/");
  EXPECT_EQ(send<Ref<String>>(url.get(), "scheme")->utf8(), "https");
  EXPECT_EQ(send<Ref<String>>(URL::URLWithString("a/b").get(), "scheme"), nullptr);
  EXPECT_TRUE(url->isEqual(URL::URLWithString("https://example.com/").get()));
  EXPECT_FALSE(url->isEqual(URL::URLWithString("https://example.com").get()));
  EXPECT_FALSE(url->isEqual(text.get()));
}

}  // namespace
}  // namespace tovik
