#include "platform/url.h"

#include <uriparser/Uri.h>

#include <string>

namespace tovik {

CharacterSet::CharacterSet(Class* isa, std::string_view members) : Object(isa) {
  for (const char c : members) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 128) ascii_.at(byte >> 6U) |= std::uint64_t{1} << (byte & 63U);
  }
}

Class* CharacterSet::runtimeClass() {
  static Class* const cls = objc_declareClass(
      "NSCharacterSet", Object::runtimeClass(),
      [](Class* isa) -> Ref<Object> { return std::make_shared<CharacterSet>(isa); });
  return cls;
}

CharacterSet* CharacterSet::URLQueryAllowedCharacterSet() {
  static auto* set = new Ref<CharacterSet>(
      make<CharacterSet>("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"
                         "-._~"         // unreserved
                         "!$&'()*+,;="  // sub-delims
                         ":@/?"));      // the rest of what a query may hold
  return set->get();
}

Ref<String> stringByAddingPercentEncodingWithAllowedCharacters(String* string,
                                                               const CharacterSet* allowed) {
  if (string == nullptr) return nullptr;
  static const auto* const nothing = new Ref<CharacterSet>(make<CharacterSet>());
  const CharacterSet& set = allowed != nullptr ? *allowed : **nothing;
  const std::string& text = string->utf8();

  // One pass to size the result exactly and to see whether the text needs
  // checking as UTF-8 at all.
  std::size_t escaped = 0;
  bool ascii = true;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    ascii = ascii && byte < 128;
    escaped += set.characterIsMember(byte) ? 0 : 1;
  }
  if (!ascii && !string->isValidUTF8()) return nullptr;
  if (escaped == 0) return string->retainAs<String>();

  static constexpr std::string_view kHex = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() + 2 * escaped);
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (set.characterIsMember(byte)) {
      out.push_back(c);
    } else {
      out.push_back('%');
      out.push_back(kHex[byte >> 4U]);
      out.push_back(kHex[byte & 15U]);
    }
  }
  return std::make_shared<String>(String::runtimeClass(), std::move(out));
}

Class* URL::runtimeClass() {
  static Class* const cls = [] {
    Class* c = objc_declareClass("NSURL", Object::runtimeClass(), [](Class* isa) -> Ref<Object> {
      return std::make_shared<URL>(isa);
    });
    addMethod(c, "absoluteString", [](URL* self) { return self->text_; });
    addMethod(c, "scheme", [](URL* self) { return self->scheme_; });
    addMethod(c, "isEqual:", [](URL* self, Object* other) {
      const URL* url = as<URL>(other);
      return url != nullptr && self->text_->isEqualToString(url->text_.get());
    });
    // The NSURLUtilities additions to NSString arrive with the URL class.
    addMethod(String::runtimeClass(), "stringByAddingPercentEncodingWithAllowedCharacters:",
              [](String* self, CharacterSet* allowed) {
                return stringByAddingPercentEncodingWithAllowedCharacters(self, allowed);
              });
    return c;
  }();
  return cls;
}

Ref<URL> URL::URLWithString(String* string) {
  // The platform answers an empty string with no URL, although RFC 3986
  // would read it as the empty relative reference.
  if (string == nullptr || string->utf8().empty()) return nullptr;
  const std::string& text = string->utf8();
  UriUriA uri;
  const char* errorPos = nullptr;
  // The end is given, so a NUL inside the text is a syntax error, not the end.
  if (uriParseSingleUriExA(&uri, text.data(), text.data() + text.size(), &errorPos) !=
      URI_SUCCESS) {
    return nullptr;  // uriparser has freed what it built
  }
  Ref<String> scheme;
  if (uri.scheme.first != nullptr && uri.scheme.afterLast != nullptr) {
    scheme = str(std::string_view(
        uri.scheme.first, static_cast<std::size_t>(uri.scheme.afterLast - uri.scheme.first)));
  }
  uriFreeUriMembersA(&uri);
  return make<URL>(string->retainAs<String>(), std::move(scheme));
}

Ref<URL> URL::URLWithString(std::string_view string) { return URLWithString(str(string).get()); }

}  // namespace tovik
