// Opening the notification settings as a host meets it: through the plug-in
// object, observed in the workspace's record of open requests.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/workspace.h"
#include "plugin/plugin_class.h"

namespace tovik {
namespace {

using namespace std::string_literals;
using Request = Workspace::OpenRequest;
using Requests = std::vector<Request>;

const std::string kAppPage =
    "x-apple.systempreferences:com.apple.Notifications-Settings.extension?id=";
const std::string kNotifications =
    "x-apple.systempreferences:com.apple.Notifications-Settings.extension";
const std::string kOlderPane = "x-apple.systempreferences:com.apple.preference.notifications";

class NotificationSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    workspace->reset();
    plugin = send<Ref<Object>>(class_createInstance(registerPluginClass()).get(), "init");
  }
  void TearDown() override { workspace->reset(); }

  void openFor(const std::optional<std::string>& identifier) {
    send<void>(plugin.get(), "openNotificationSettingsForBundleIdentifier:",
               identifier ? str(*identifier).get() : nullptr);
  }
  // A host-registered settings handler: refuses the URLs `refused` names and
  // hands the rest to the system settings application.
  void refuse(std::function<bool(const std::string&)> refused) {
    Ref<URLSchemeHandler> system = SystemSettings::application();
    workspace->setHandlerForURLScheme(
        SystemSettings::kURLScheme,
        makeBlock<bool(URL*)>([system, refused = std::move(refused)](URL* url) {
          return !refused(url->absoluteString()->utf8()) && (*system)(url);
        }));
  }

  Workspace* workspace = Workspace::sharedWorkspace();
  Ref<Object> plugin;
};

TEST_F(NotificationSettings, TheAppPageWithTheIdentifierEncodedThenEachCandidateInTurn) {
  const std::string page = kAppPage + "com.example.mail";
  const auto appPage = [](const std::string& url) { return url.find('?') != std::string::npos; };
  const auto newPane = [](const std::string& url) { return url.starts_with(kNotifications); };
  const auto everything = [](const std::string&) { return true; };
  const auto nothing = [](const std::string&) { return false; };
  struct Case {
    std::optional<std::string> identifier;  // none: absent, read as the empty string
    std::function<bool(const std::string&)> refused;
    Requests expected;
  };
  for (const Case& c : std::vector<Case>{
           // The identifier query-encoded into the app page ("/&=?:@" kept).
           {"com.example.My App/&=?:@#%\0"s,
            nothing,
            {{kAppPage + "com.example.My%20App/&=?:@%23%25%00", true}}},
           {"com.example.mail", appPage, {{page, false}, {kNotifications, true}}},
           {"com.example.mail",
            newPane,
            {{page, false}, {kNotifications, false}, {kOlderPane, true}}},
           {std::nullopt,
            everything,
            {{kAppPage, false}, {kNotifications, false}, {kOlderPane, false}}},
           // Not UTF-8: the encoding yields none, and the identifier unencoded
           // makes no valid URL, so the app page is skipped.
           {"com.example.\xFF", newPane, {{kNotifications, false}, {kOlderPane, true}}},
       }) {
    workspace->reset();
    refuse(c.refused);
    openFor(c.identifier);
    EXPECT_EQ(workspace->openRequests(), c.expected) << c.identifier.value_or("(absent)");
  }
}

}  // namespace
}  // namespace tovik
