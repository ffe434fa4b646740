#include "settings/notification_settings.h"

#include <array>
#include <string>
#include <string_view>

#include "platform/url.h"
#include "platform/workspace.h"

namespace tovik {

namespace {
constexpr std::string_view kSettingsScheme = "x-apple.systempreferences";
constexpr std::string_view kNotificationsExtension = "com.apple.Notifications-Settings.extension";
constexpr std::string_view kNotificationsPreferencePane = "com.apple.preference.notifications";

std::string settingsURL(std::string_view pane, std::string_view query = {}) {
  std::string url;
  url.reserve(kSettingsScheme.size() + 1 + pane.size() + query.size());
  url.append(kSettingsScheme).append(":").append(pane).append(query);
  return url;
}
}  // namespace

void openNotificationSettingsForBundleIdentifier(String* bundleIdentifier) {
  const Ref<String> identifier =
      bundleIdentifier != nullptr ? bundleIdentifier->retainAs<String>() : str("");
  // The query set keeps '&' and '=': the value is appended as it comes out.
  const Ref<String> encoded = stringByAddingPercentEncodingWithAllowedCharacters(
      identifier.get(), CharacterSet::URLQueryAllowedCharacterSet());
  const std::string& value = (encoded != nullptr ? encoded : identifier)->utf8();

  const std::array<std::string, 3> candidates = {
      settingsURL(kNotificationsExtension, "?id=" + value),
      settingsURL(kNotificationsExtension),
      settingsURL(kNotificationsPreferencePane),
  };
  Workspace* workspace = Workspace::sharedWorkspace();
  for (const std::string& candidate : candidates) {
    const Ref<URL> url = URL::URLWithString(candidate);
    if (url == nullptr) continue;  // not a valid URL: the next candidate
    if (workspace->openURL(url.get())) return;
  }
}

}  // namespace tovik
