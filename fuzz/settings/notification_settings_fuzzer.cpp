// Opening the notification settings for any bundle identifier, with the
// settings application refusing any of the three candidates, against a
// plain model of what the workspace must be asked: the application's page
// with the identifier percent-encoded as a query keeps it (skipped when the
// identifier is not UTF-8, which makes no URL), then the notification
// settings, then the older pane, each once, stopping at the first opened.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/property_list_text.h"
#include "platform/workspace.h"
#include "plugin/plugin_class.h"

namespace {

using namespace tovik;

// The URL query's characters as RFC 3986 allows them, percent-encoded
// otherwise, written out by rule rather than taken from a character set.
std::string queryEncoded(std::string_view text) {
  constexpr std::string_view kKept = "-._~!$&'()*+,;=:@/?";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x80 && std::isalnum(byte) != 0) || kKept.find(c) != std::string_view::npos) {
      out.push_back(c);
    } else {
      std::array<char, 4> hex{};
      std::snprintf(hex.data(), hex.size(), "%%%02X", byte);
      out += hex.data();
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Ref<Object> plugin =
      send<Ref<Object>>(class_createInstance(registerPluginClass()).get(), "init");
  if (size == 0) return 0;
  // The first byte says which candidates the settings application refuses.
  const unsigned refusals = data[0];
  const std::string identifier(reinterpret_cast<const char*>(data) + 1, size - 1);

  const std::string settings = "x-apple.systempreferences:";
  const std::array<std::string, 3> candidates = {
      settings + "com.apple.Notifications-Settings.extension?id=" + queryEncoded(identifier),
      settings + "com.apple.Notifications-Settings.extension",
      settings + "com.apple.preference.notifications"};
  std::vector<Workspace::OpenRequest> expected;
  for (std::size_t i = isValidUTF8(identifier) ? 0 : 1; i < candidates.size(); ++i) {
    const bool opens = (refusals & (1U << i)) == 0;
    expected.push_back({candidates[i], opens});
    if (opens) break;
  }

  Workspace* workspace = Workspace::sharedWorkspace();
  workspace->reset();
  const Ref<URLSchemeHandler> system = SystemSettings::application();
  workspace->setHandlerForURLScheme(SystemSettings::kURLScheme,
                                    makeBlock<bool(URL*)>([&](URL* url) {
                                      const std::string& asked = url->absoluteString()->utf8();
                                      for (std::size_t i = 0; i < candidates.size(); ++i) {
                                        if (asked == candidates[i] && (refusals & (1U << i)) != 0)
                                          return false;
                                      }
                                      return (*system)(url);
                                    }));
  send<void>(plugin.get(), "openNotificationSettingsForBundleIdentifier:", str(identifier).get());
  if (workspace->openRequests() != expected) std::abort();
  return 0;
}
