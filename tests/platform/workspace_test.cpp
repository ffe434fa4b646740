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
  const std::vector<Request> table = {
      {"x-apple.systempreferences:com.apple.Notifications-Settings.extension", true},
      {"x-apple.systempreferences:com.apple.Notifications-Settings.extension?id=a", true},
      {"x-apple.systempreferences:com.apple.preference.notifications", true},
      {"x-apple.systempreferences:com.apple.preference.security?Privacy_Camera", true},
      {"X-Apple.SystemPreferences:com.apple.preference.notifications#f", true},  // any case
      {"x-apple.systempreferences:com.apple.preference.nonesuch", false},
      {"x-apple.systempreferences:com.apple.Preference.Notifications", false},
      {"x-apple.systempreferences:", false},
      {"x-apple.systempreferences://com.apple.preference.notifications", false},
      {"https://example.com/", false},                // no application for the scheme
      {"com.apple.preference.notifications", false},  // no scheme
  };
  for (const Request& r : table) EXPECT_EQ(open(r.url), r.opened) << r.url;
  EXPECT_FALSE(workspace->openURL(nullptr));  // refused, not recorded
  EXPECT_EQ(workspace->openRequests(), table);
  EXPECT_EQ(objc_getClass("NSWorkspace"), Workspace::runtimeClass());
  EXPECT_EQ(SystemSettings::paneOfURL(*URL::URLWithString("mailto:p")), std::nullopt);
}

TEST_F(WorkspaceTest, HandlersRegisteredReplacedRemovedAndReset) {
  std::vector<std::string> heard;
  const auto handler = [&heard](const std::string& name, bool answer) {
    return makeBlock<bool(URL*)>([&heard, name, answer](URL* url) {
      heard.push_back(name + " " + url->absoluteString()->utf8());
      return answer;
    });
  };
  EXPECT_FALSE(open("tovik-test:one"));
  auto accepting = handler("accepting", true);
  workspace->setHandlerForURLScheme("Tovik-Test", accepting);
  EXPECT_EQ(workspace->handlerForURLScheme("tovik-test"), accepting);
  EXPECT_TRUE(open("TOVIK-TEST:two"));
  workspace->setHandlerForURLScheme("tovik-test", handler("refusing", false));
  EXPECT_FALSE(open("tovik-test:three"));
  workspace->setHandlerForURLScheme("tovik-test", nullptr);  // a null handler removes
  EXPECT_FALSE(open("tovik-test:four"));
  workspace->setHandlerForURLScheme("tovik-test", accepting);
  workspace->removeHandlerForURLScheme("TOVIK-test");
  EXPECT_FALSE(open("tovik-test:five"));
  EXPECT_EQ(heard,
            (std::vector<std::string>{"accepting TOVIK-TEST:two", "refusing tovik-test:three"}));

  workspace->setHandlerForURLScheme("tovik-test", accepting);
  workspace->removeHandlerForURLScheme(SystemSettings::kURLScheme);
  workspace->reset();  // the system's applications only, nothing recorded
  EXPECT_TRUE(workspace->openRequests().empty());
  EXPECT_EQ(workspace->handlerForURLScheme("tovik-test"), nullptr);
  EXPECT_EQ(workspace->handlerForURLScheme(SystemSettings::kURLScheme),
            SystemSettings::application());

  // A reset while an open is in progress: that open is not recorded.
  workspace->setHandlerForURLScheme("tovik-test", makeBlock<bool(URL*)>([this](URL*) {
                                      workspace->reset();
                                      return true;
                                    }));
  EXPECT_TRUE(open("tovik-test:reset"));
  EXPECT_TRUE(workspace->openRequests().empty());
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
  // Each thread's in its order, each asked before the URL it opened itself
  // and answered YES.
  for (int t = 0; t < kThreads; ++t) {
    std::vector<std::string> seen;
    std::vector<std::string> expected;
    for (const Request& r : requests) {
      if (std::stoi(r.url.substr(r.url.find(':') + 1)) != t) continue;
      seen.push_back(r.url);
      EXPECT_TRUE(r.opened || r.url.starts_with("tovik-inner:")) << r.url;
    }
    for (int i = 0; i < kOpens; ++i) {
      for (const std::string scheme : {"tovik-outer:", "tovik-inner:"}) {
        expected.push_back(scheme + std::to_string(t) + "-" + std::to_string(i));
      }
    }
    EXPECT_EQ(seen, expected) << "thread " << t;
  }
}

}  // namespace
}  // namespace tovik
