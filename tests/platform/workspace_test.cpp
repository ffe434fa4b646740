#include "platform/workspace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace tovik {
namespace {

using Request = Workspace::OpenRequest;

class WorkspaceTest : public ::testing::Test {
 protected:
  void SetUp() override { workspace->reset(); }
  void TearDown() override { workspace->reset(); }
  bool open(std::string_view text) {
    Ref<URL> url = URL::URLWithString(text);
    EXPECT_NE(url, nullptr) << text;
    return workspace->openURL(url.get());
  }
  Workspace* workspace = Workspace::sharedWorkspace();
};

TEST_F(WorkspaceTest, SystemSettingsOpensThePanesItKnows) {
  EXPECT_TRUE(open("x-apple.systempreferences:com.apple.Notifications-Settings.extension"));
  EXPECT_TRUE(open("x-apple.systempreferences:com.apple.Notifications-Settings.extension?id=a"));
  EXPECT_TRUE(open("x-apple.systempreferences:com.apple.preference.notifications"));
  EXPECT_TRUE(open("x-apple.systempreferences:com.apple.preference.security?Privacy_Camera"));
  EXPECT_TRUE(open("X-Apple.SystemPreferences:com.apple.preference.notifications"));  // any case
  EXPECT_FALSE(open("x-apple.systempreferences:com.apple.preference.nonesuch"));
  EXPECT_FALSE(open("x-apple.systempreferences:com.apple.Preference.Notifications"));
  EXPECT_FALSE(open("x-apple.systempreferences:"));
  EXPECT_FALSE(open("x-apple.systempreferences://com.apple.preference.notifications"));
  EXPECT_FALSE(open("https://example.com/"));                // no application for the scheme
  EXPECT_FALSE(open("com.apple.preference.notifications"));  // no scheme
  EXPECT_FALSE(workspace->openURL(nullptr));                 // refused, not recorded
  EXPECT_EQ(workspace->openRequests(),
            (std::vector<Request>{
                {"x-apple.systempreferences:com.apple.Notifications-Settings.extension", true},
                {"x-apple.systempreferences:com.apple.Notifications-Settings.extension?id=a", true},
                {"x-apple.systempreferences:com.apple.preference.notifications", true},
                {"x-apple.systempreferences:com.apple.preference.security?Privacy_Camera", true},
                {"X-Apple.SystemPreferences:com.apple.preference.notifications", true},
                {"x-apple.systempreferences:com.apple.preference.nonesuch", false},
                {"x-apple.systempreferences:com.apple.Preference.Notifications", false},
                {"x-apple.systempreferences:", false},
                {"x-apple.systempreferences://com.apple.preference.notifications", false},
                {"https://example.com/", false},
                {"com.apple.preference.notifications", false},
            }));

  const auto panes = SystemSettings::paneIdentifiers();
  EXPECT_NE(std::find(panes.begin(), panes.end(), "com.apple.Notifications-Settings.extension"),
            panes.end());
  EXPECT_NE(std::find(panes.begin(), panes.end(), "com.apple.preference.notifications"),
            panes.end());
  auto withQuery = URL::URLWithString("x-apple.systempreferences:com.apple.x?id=1#f");
  EXPECT_EQ(SystemSettings::paneOfURL(*withQuery), "com.apple.x");
  EXPECT_EQ(SystemSettings::paneOfURL(*URL::URLWithString("x-apple.systempreferences:p#f")), "p");
  EXPECT_EQ(SystemSettings::paneOfURL(*URL::URLWithString("mailto:p")), std::nullopt);
}

TEST_F(WorkspaceTest, HandlersRegisteredReplacedRemovedAndReset) {
  std::vector<std::string> heard;
  auto accepting = makeBlock<bool(URL*)>([&](URL* url) {
    heard.push_back("accepting " + url->absoluteString()->utf8());
    return true;
  });
  EXPECT_FALSE(open("tovik-test:one"));
  workspace->setHandlerForURLScheme("Tovik-Test", accepting);
  EXPECT_EQ(workspace->handlerForURLScheme("tovik-test"), accepting);
  EXPECT_TRUE(open("TOVIK-TEST:two"));
  workspace->setHandlerForURLScheme("tovik-test", makeBlock<bool(URL*)>([&](URL* url) {
                                      heard.push_back("refusing " + url->absoluteString()->utf8());
                                      return false;
                                    }));
  EXPECT_FALSE(open("tovik-test:three"));
  workspace->setHandlerForURLScheme("tovik-test", nullptr);  // a null handler removes
  EXPECT_FALSE(open("tovik-test:four"));
  EXPECT_EQ(heard,
            (std::vector<std::string>{"accepting TOVIK-TEST:two", "refusing tovik-test:three"}));

  // A host wraps the system settings application: refuses one pane and hands
  // the rest on.
  Ref<URLSchemeHandler> settings = workspace->handlerForURLScheme(SystemSettings::kURLScheme);
  EXPECT_EQ(settings, SystemSettings::application());
  workspace->setHandlerForURLScheme(
      SystemSettings::kURLScheme, makeBlock<bool(URL*)>([settings](URL* url) {
        return SystemSettings::paneOfURL(*url) != "com.apple.preference.notifications" &&
               (*settings)(url);
      }));
  EXPECT_FALSE(open("x-apple.systempreferences:com.apple.preference.notifications"));
  EXPECT_TRUE(open("x-apple.systempreferences:com.apple.preference.sound"));
  workspace->removeHandlerForURLScheme("X-APPLE.SYSTEMPREFERENCES");
  EXPECT_EQ(workspace->handlerForURLScheme(SystemSettings::kURLScheme), nullptr);
  EXPECT_FALSE(open("x-apple.systempreferences:com.apple.preference.sound"));
  EXPECT_EQ(workspace->openRequests().size(), 7U);

  workspace->setHandlerForURLScheme("tovik-test", accepting);
  workspace->reset();  // the system's applications only, nothing recorded
  EXPECT_TRUE(workspace->openRequests().empty());
  EXPECT_EQ(workspace->handlerForURLScheme("tovik-test"), nullptr);
  EXPECT_EQ(workspace->handlerForURLScheme(SystemSettings::kURLScheme),
            SystemSettings::application());
  EXPECT_TRUE(open("x-apple.systempreferences:com.apple.preference.notifications"));

  // A reset while an open is in progress: that open is not recorded.
  workspace->setHandlerForURLScheme("tovik-test", makeBlock<bool(URL*)>([this](URL*) {
                                      workspace->reset();
                                      return true;
                                    }));
  EXPECT_TRUE(open("tovik-test:reset"));
  EXPECT_TRUE(workspace->openRequests().empty());
  EXPECT_EQ(workspace->handlerForURLScheme("tovik-test"), nullptr);
}

TEST_F(WorkspaceTest, SeenThroughTheRuntime) {
  EXPECT_EQ(objc_getClass("NSWorkspace"), Workspace::runtimeClass());
  EXPECT_EQ(Workspace::sharedWorkspace(), workspace);
  auto url = URL::URLWithString("x-apple.systempreferences:com.apple.preference.notifications");
  EXPECT_TRUE(send<bool>(workspace, "openURL:", url.get()));
  EXPECT_FALSE(send<bool>(workspace, "openURL:", URL::URLWithString("a:b").get()));
  EXPECT_EQ(workspace->openRequests().size(), 2U);
}

TEST_F(WorkspaceTest, OpensFromSeveralThreadsAreEachRecordedInTheirOrder) {
  // A handler that opens another URL itself, while other threads open and
  // the registration changes under them.
  workspace->setHandlerForURLScheme(
      "tovik-outer", makeBlock<bool(URL*)>([this](URL* url) {
        auto inner = URL::URLWithString("tovik-inner:" + url->absoluteString()->utf8().substr(12));
        workspace->openURL(inner.get());
        return true;
      }));
  constexpr int kThreads = 4;
  constexpr int kOpens = 50;
  std::atomic<bool> done{false};
  std::thread churn([&] {
    auto accept = makeBlock<bool(URL*)>([](URL*) { return true; });
    while (!done.load()) {
      workspace->setHandlerForURLScheme("tovik-inner", accept);
      workspace->removeHandlerForURLScheme("tovik-inner");
    }
  });
  std::vector<std::thread> threads;
  threads.reserve(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kOpens; ++i) {
        auto url = URL::URLWithString("tovik-outer:" + std::to_string(t) + "-" + std::to_string(i));
        EXPECT_TRUE(workspace->openURL(url.get()));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  done = true;
  churn.join();

  const std::vector<Request> requests = workspace->openRequests();
  ASSERT_EQ(requests.size(), static_cast<std::size_t>(2 * kThreads * kOpens));
  std::vector<int> next(kThreads, 0);
  std::vector<std::string> pendingInner(kThreads);
  for (const Request& r : requests) {
    const bool outer = r.url.starts_with("tovik-outer:");
    const std::string rest = r.url.substr(r.url.find(':') + 1);
    const int t = std::stoi(rest);
    const std::string expected = std::to_string(t) + "-" + std::to_string(next[t]);
    ASSERT_EQ(rest, expected);
    if (outer) {
      // Asked before the URL it opened itself, and answered YES.
      EXPECT_TRUE(r.opened);
      EXPECT_TRUE(pendingInner[t].empty());
      pendingInner[t] = rest;
    } else {
      EXPECT_EQ(pendingInner[t], rest);
      pendingInner[t].clear();
      ++next[t];
    }
  }
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(next[t], kOpens);
}

}  // namespace
}  // namespace tovik
