// Opening the notification settings as a host meets it: through the plug-in
// object, observed in the workspace's record of open requests.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
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

  void openFor(String* identifier) {
    send<void>(plugin.get(), "openNotificationSettingsForBundleIdentifier:", identifier);
  }
  void openFor(const std::string& identifier) { openFor(str(identifier).get()); }

  // A host-registered settings handler: refuses what `refuse` names, hands
  // the rest to the system settings application, and counts what it is asked.
  void refuse(std::function<bool(const std::string&)> refuseURL) {
    Ref<URLSchemeHandler> system = SystemSettings::application();
    workspace->setHandlerForURLScheme(
        SystemSettings::kURLScheme,
        makeBlock<bool(URL*)>([this, system, refuseURL = std::move(refuseURL)](URL* url) {
          ++asked;
          return !refuseURL(url->absoluteString()->utf8()) && (*system)(url);
        }));
  }
  void refuseTheAppPage() {
    refuse([](const std::string& url) { return url.find('?') != std::string::npos; });
  }
  void refuseTheNewPane() {
    refuse([](const std::string& url) { return url.starts_with(kNotifications); });
  }
  void refuseEverything() {
    refuse([](const std::string&) { return true; });
  }

  Workspace* workspace = Workspace::sharedWorkspace();
  Ref<Object> plugin;
  std::atomic<int> asked{0};
};

TEST_F(NotificationSettings, TheIdentifierIsQueryEncodedIntoTheFirstCandidate) {
  struct Case {
    std::string identifier;
    std::string idValue;  // worked out by hand
  };
  const std::vector<Case> cases = {
      {"com.example.Mail-2", "com.example.Mail-2"},  // letters, digits, dots, hyphens: unchanged
      {"com.example.My App", "com.example.My%20App"},
      {"com.example.Caf\xC3\xA9", "com.example.Caf%C3%A9"},
      {"\xE6\x97\xA5\xE6\x9C\xAC.app", "%E6%97%A5%E6%9C%AC.app"},
      {"a&b=c", "a&b=c"},  // '&' and '=' stay: the query set allows them
      {"x#y%z", "x%23y%25z"},
      {"id?x:y@z/w", "id?x:y@z/w"},
      {"a\0b"s, "a%00b"},
  };
  for (const Case& c : cases) {
    workspace->reset();
    openFor(c.identifier);
    EXPECT_EQ(workspace->openRequests(), (std::vector<Request>{{kAppPage + c.idValue, true}}))
        << c.identifier;
  }
}

TEST_F(NotificationSettings, EmptyOrAbsentIdentifierStillTriesTheAppPageFirst) {
  openFor("");
  openFor(static_cast<String*>(nullptr));
  EXPECT_EQ(workspace->openRequests(), (std::vector<Request>{{kAppPage, true}, {kAppPage, true}}));

  workspace->reset();
  refuseEverything();
  openFor(static_cast<String*>(nullptr));
  EXPECT_EQ(workspace->openRequests(), (std::vector<Request>{
                                           {kAppPage, false},
                                           {kNotifications, false},
                                           {kOlderPane, false},
                                       }));
}

TEST_F(NotificationSettings, StopsAtTheFirstCandidateThatOpens) {
  const std::string page = kAppPage + "com.example.mail";
  openFor("com.example.mail");  // the system settings application knows the pane
  EXPECT_EQ(workspace->openRequests(), (std::vector<Request>{{page, true}}));

  workspace->reset();
  refuseTheAppPage();  // fails once
  openFor("com.example.mail");
  EXPECT_EQ(workspace->openRequests(),
            (std::vector<Request>{{page, false}, {kNotifications, true}}));
  EXPECT_EQ(asked, 2);

  workspace->reset();
  asked = 0;
  refuseTheNewPane();  // fails twice
  openFor("com.example.mail");
  EXPECT_EQ(workspace->openRequests(),
            (std::vector<Request>{{page, false}, {kNotifications, false}, {kOlderPane, true}}));
  EXPECT_EQ(asked, 3);

  workspace->reset();
  asked = 0;
  refuseEverything();  // all three fail: nothing more happens
  openFor("com.example.mail");
  EXPECT_EQ(workspace->openRequests(),
            (std::vector<Request>{{page, false}, {kNotifications, false}, {kOlderPane, false}}));
  EXPECT_EQ(asked, 3);

  workspace->reset();
  workspace->removeHandlerForURLScheme(SystemSettings::kURLScheme);  // no settings application
  openFor("com.example.mail");
  EXPECT_EQ(workspace->openRequests(),
            (std::vector<Request>{{page, false}, {kNotifications, false}, {kOlderPane, false}}));
}

TEST_F(NotificationSettings, AnIdentifierThatIsNotUTF8SkipsTheAppPage) {
  // The encoding yields none, so the identifier goes in unencoded, and a
  // URL with a raw 0xFF byte is not a valid URL: the first candidate is skipped.
  openFor("com.example.\xFF");
  EXPECT_EQ(workspace->openRequests(), (std::vector<Request>{{kNotifications, true}}));

  workspace->reset();
  refuseTheNewPane();
  openFor("com.example.\xC3");
  EXPECT_EQ(workspace->openRequests(),
            (std::vector<Request>{{kNotifications, false}, {kOlderPane, true}}));
  EXPECT_EQ(asked, 2);
}

TEST_F(NotificationSettings, RunsAtOnceOnTheCallersThread) {
  std::thread([&] { openFor("com.example.elsewhere"); }).join();
  EXPECT_EQ(workspace->openRequests(),
            (std::vector<Request>{{kAppPage + "com.example.elsewhere", true}}));
  EXPECT_EQ(MainQueue::main().pendingCount(), 0U);  // nothing hopped
}

TEST_F(NotificationSettings, CallsFromSeveralThreadsAtOnce) {
  // Odd threads' app pages are refused, so each of their calls falls back once.
  refuse([](const std::string& url) {
    return url.find("?id=com.example.refused.") != std::string::npos;
  });
  constexpr int kThreads = 6;
  constexpr int kCalls = 40;
  std::vector<std::thread> threads;
  threads.reserve(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const std::string prefix = t % 2 == 1 ? "com.example.refused." : "com.example.ok.";
      for (int i = 0; i < kCalls; ++i) {
        openFor(prefix + "t" + std::to_string(t) + " c" + std::to_string(i));
      }
    });
  }
  for (auto& thread : threads) thread.join();

  const std::vector<Request> requests = workspace->openRequests();
  const int refusedCalls = (kThreads / 2) * kCalls;
  ASSERT_EQ(requests.size(), static_cast<std::size_t>(kThreads * kCalls + refusedCalls));
  for (int t = 0; t < kThreads; ++t) {
    const std::string prefix = t % 2 == 1 ? "com.example.refused." : "com.example.ok.";
    for (int i = 0; i < kCalls; ++i) {
      const std::string page =
          kAppPage + prefix + "t" + std::to_string(t) + "%20c" + std::to_string(i);
      EXPECT_EQ(std::count(requests.begin(), requests.end(), Request{page, t % 2 == 0}), 1) << page;
    }
  }
  EXPECT_EQ(std::count(requests.begin(), requests.end(), Request{kNotifications, true}),
            refusedCalls);
  EXPECT_EQ(asked, kThreads * kCalls + refusedCalls);
}

}  // namespace
}  // namespace tovik
