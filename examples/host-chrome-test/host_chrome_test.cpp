// A host application's tests of the window chrome TovikMacPlugin gives its
// windows, run on the headless window system. The plug-in is loaded as the
// application loads it, windows are driven as a user drives them, and the
// tests check what the user would see.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/plugin_test.h"
#include "platform/updater.h"
#include "platform/user_defaults.h"
#include "platform/workspace.h"

using namespace tovik;
using namespace tovik::testing;
using std::chrono::milliseconds;

namespace {

// The fixture loads the installed module and makes the plug-in object, runs
// the main queue on a clock that moves only when the test moves it, keeps
// the user defaults in a folder of the test's own and resets the workspace.
class HostChromeTest : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    // The application's defaults domain is named by its bundle identifier.
    Application::shared()->setBundleIdentifier("com.example.mailer");
  }

  // The plug-in does its window work on the main queue: run it.
  void configureMainWindow(std::string_view identifier) {
    send<void>(plugin.get(),
               "configureMainWindowTitlebarWithWindowIdentifier:", str(identifier).get());
    turn();
  }
};

TEST_F(HostChromeTest, TheTitlebarStripPassesClicksToTheContentButTheButtonsStillWork) {
  const auto [window, content, strip] = makeHostWindow("editor");
  EXPECT_NE(clickStrip(window.get(), 450), content);  // the titlebar takes it
  configureMainWindow("editor");

  // The strip, across its whole width, now lets clicks through.
  for (const double x : {80.0, 300.0, 450.0, 700.0, 895.0}) {
    EXPECT_EQ(clickStrip(window.get(), x), content) << "x = " << x;
  }
  EXPECT_EQ(click(window.get(), {450, 300}), content);

  // The standard buttons answer their own clicks and do their work.
  View* miniaturize = window->standardWindowButton(NSWindowMiniaturizeButton);
  EXPECT_EQ(click(miniaturize).get(), miniaturize);
  EXPECT_TRUE(window->isMiniaturized());
  window->deminiaturize(nullptr);
  click(window->standardWindowButton(NSWindowCloseButton));
  EXPECT_FALSE(window->isVisible());
}

TEST_F(HostChromeTest, FullScreenHidesTheToolbarAndTheDelayedRefreshesKeepItSo) {
  const auto [window, content, strip] = makeHostWindow("editor");
  const CGRect frame = window->frame();
  configureMainWindow("editor");
  Toolbar* toolbar = window->toolbar();
  ASSERT_NE(toolbar, nullptr);
  EXPECT_TRUE(toolbar->isVisible());

  // The zoom button takes the window into full screen.
  click(window->standardWindowButton(NSWindowZoomButton));
  EXPECT_NE(window->styleMask() & NSWindowStyleMaskFullScreen, 0U);
  EXPECT_FALSE(toolbar->isVisible());

  // Something shows the toolbar again; the plug-in's refresh 0.1 s after
  // the transition hides it.
  toolbar->setVisible(true);
  queue().advance(milliseconds(99));
  turn();
  EXPECT_TRUE(toolbar->isVisible());
  queue().advance(milliseconds(1));
  turn();
  EXPECT_FALSE(toolbar->isVisible());

  // Out of full screen: the frame comes back and so does the toolbar, and
  // the remaining refreshes (up to 1 s after each transition) keep it.
  window->toggleFullScreen(nullptr);
  EXPECT_EQ(window->styleMask() & NSWindowStyleMaskFullScreen, 0U);
  EXPECT_EQ(window->frame(), frame);
  queue().runFor(seconds(1));
  EXPECT_TRUE(toolbar->isVisible());
  EXPECT_EQ(clickStrip(window.get(), 450), content);
}

// The compose window's record as the defaults file on disk holds it.
CGSize recordedSize(std::string_view key) {
  const Ref<Dictionary> record = as<Dictionary>(readStoredDefault(key));
  if (record == nullptr) return {-1, -1};
  return {as<Number>(record->objectForKey("width"))->doubleValue(),
          as<Number>(record->objectForKey("height"))->doubleValue()};
}

TEST_F(HostChromeTest, AComposeWindowAsksBeforeClosingAndRecordsItsSize) {
  const Ref<Window> window = makeHostWindow("compose").window;
  int asked = 0;
  auto shouldClose = makeBlock<bool()>([&asked] {
    ++asked;
    return false;  // the draft is not saved
  });
  send<void>(plugin.get(), "configureComposeWindowWithConfiguration:shouldClose:",
             Dictionary::make({{"windowIdentifier", str("compose")},
                               {"sizeDefaultsKey", str("ComposeWindowSize")},
                               {"minimumWidth", Number::withDouble(560)},
                               {"minimumHeight", Number::withDouble(520)}})
                 .get(),
             shouldClose.get());
  turn();

  window->setFrame({{100, 100}, {720, 540}}, true);
  EXPECT_EQ(recordedSize("ComposeWindowSize"), (CGSize{720, 540}));
  window->setFrame({{100, 100}, {500, 400}}, true);  // recorded no smaller than the minimum
  EXPECT_EQ(recordedSize("ComposeWindowSize"), (CGSize{560, 520}));
  EXPECT_EQ(UserDefaults::standardUserDefaults()->file(),
            preferences() / "com.example.mailer.plist");

  click(window->standardWindowButton(NSWindowCloseButton));
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(window->isVisible());
}

TEST_F(HostChromeTest, NotificationSettingsOpenTheApplicationsOwnPane) {
  Workspace* workspace = Workspace::sharedWorkspace();
  send<void>(plugin.get(),
             "openNotificationSettingsForBundleIdentifier:", str("com.example.mailer").get());
  const std::string pane = "x-apple.systempreferences:com.apple.Notifications-Settings.extension";
  EXPECT_EQ(workspace->openRequests(),
            (std::vector<Workspace::OpenRequest>{{pane + "?id=com.example.mailer", true}}));

  // Settings that know only the older pane: the plug-in falls back to the
  // new pane without the query, then to the older pane.
  auto olderSettings = makeBlock<bool(URL*)>([](URL* url) {
    return SystemSettings::paneOfURL(*url) == "com.apple.preference.notifications";
  });
  workspace->reset();
  workspace->setHandlerForURLScheme(SystemSettings::kURLScheme, olderSettings);
  send<void>(plugin.get(),
             "openNotificationSettingsForBundleIdentifier:", str("com.example.mailer").get());
  EXPECT_EQ(workspace->openRequests(),
            (std::vector<Workspace::OpenRequest>{
                {pane + "?id=com.example.mailer", false},
                {pane, false},
                {"x-apple.systempreferences:com.apple.preference.notifications", true}}));
}

TEST_F(HostChromeTest, AnUpdateWaitingForQuitIsInstalledWhenTheHostSaysSo) {
  send<void>(plugin.get(), "startUpdater");
  send<void>(plugin.get(), "checkForUpdates");
  auto ready = std::make_shared<std::vector<std::string>>();
  auto onReady = makeBlock<void(String*)>([ready](String* version) {
    ready->push_back(version->utf8());  // e.g. offer "Restart to update"
  });
  send<void>(plugin.get(), "setUpdateReadyHandler:", onReady.get());
  turn();

  // The test plays the update framework through the controller the plug-in made.
  ASSERT_EQ(UpdaterController::liveInstances().size(), 1U);
  Updater* updater = UpdaterController::liveInstances().front()->updater();
  EXPECT_TRUE(updater->isStarted());
  EXPECT_EQ(updater->userInitiatedChecks(), 1U);
  EXPECT_TRUE(
      updater->presentUpdateInstalledOnQuit(AppcastItem::withDisplayVersion("2.4.1").get()));
  turn();
  EXPECT_EQ(*ready, std::vector<std::string>{"2.4.1"});
  EXPECT_TRUE(updater->immediateInstalls().empty());

  send<void>(plugin.get(), "installPendingUpdate");
  turn();
  EXPECT_EQ(updater->immediateInstalls(), std::vector<std::string>{"2.4.1"});
}

}  // namespace
