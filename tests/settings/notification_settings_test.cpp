// Opening the notification settings as a host meets it: through the plug-in
// object, observed in the workspace's record of open requests.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/main_queue.h"
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

TEST_F(NotificationSettings, TheIdentifierIsQueryEncodedIntoTheAppPage) {
  for (const auto& [identifier, idValue] : std::vector<std::pair<std::string, std::string>>{
           {"com.example.My App", "com.example.My%20App"},  // worked out by hand
           {"a&b=c?x:y@z/w", "a&b=c?x:y@z/w"},              // the query set keeps these
           {"x#y%z", "x%23y%25z"},
           {"a\0b"s, "a%00b"},
           {"", ""},
       }) {
    workspace->reset();
    openFor(identifier);
    EXPECT_EQ(workspace->openRequests(), (Requests{{kAppPage + idValue, true}})) << identifier;
  }
}

TEST_F(NotificationSettings, EachCandidateIsTriedInTurnUntilOneOpens) {
  const std::string page = kAppPage + "com.example.mail";
  const auto appPage = [](const std::string& url) { return url.find('?') != std::string::npos; };
  const auto newPane = [](const std::string& url) { return url.starts_with(kNotifications); };
  const auto everything = [](const std::string&) { return true; };
  struct Case {
    std::optional<std::string> identifier;  // none: absent, read as the empty string
    std::function<bool(const std::string&)> refused;
    Requests expected;
  };
  for (const Case& c : std::vector<Case>{
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

TEST_F(NotificationSettings, RunsAtOnceOnEachCallersThreadSeveralAtOnce) {
  constexpr int kThreads = 6;
  constexpr int kCalls = 40;
  const auto identifier = [](int t, int i, const std::string& space) {
    return "t" + std::to_string(t) + space + std::to_string(i);
  };
  std::vector<std::thread> threads;
  threads.reserve(kThreads);
  Requests expected;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kCalls; ++i) openFor(identifier(t, i, " "));
    });
    for (int i = 0; i < kCalls; ++i) expected.push_back({kAppPage + identifier(t, i, "%20"), true});
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(MainQueue::main().pendingCount(), 0U);  // nothing hopped to the main queue
  Requests requests = workspace->openRequests();
  const auto byURL = [](const Request& a, const Request& b) { return a.url < b.url; };
  std::sort(requests.begin(), requests.end(), byURL);
  std::sort(expected.begin(), expected.end(), byURL);
  EXPECT_EQ(requests, expected);
}

}  // namespace
}  // namespace tovik
