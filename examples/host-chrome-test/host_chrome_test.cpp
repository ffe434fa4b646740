// A host application's tests of the window chrome TovikMacPlugin gives its
// windows, run on the headless window system. The plug-in is loaded as the
// application loads it, windows are driven as a user drives them, and the
// tests check what the user would see.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/application.h"
#include "platform/main_queue.h"
#include "platform/property_list.h"
#include "platform/updater.h"
#include "platform/user_defaults.h"
#include "platform/window.h"
#include "platform/workspace.h"

using namespace tovik;
using std::chrono::milliseconds;

namespace {

class HostChromeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The module registers TovikMacWindowPlugin in the runtime when it loads.
    ASSERT_NE(dlopen(TOVIK_MODULE_PATH, RTLD_NOW | RTLD_LOCAL), nullptr) << dlerror();
    Class* pluginClass = objc_getClass("TovikMacWindowPlugin");
    ASSERT_NE(pluginClass, nullptr);
    plugin = send<Ref<Object>>(class_createInstance(pluginClass).get(), "init");

    // The main queue runs on a clock that moves only when the test moves it.
    MainQueue::main().useClock(&clock);
    // The application's defaults domain, kept in a folder of the test's own.
    std::string pattern = (std::filesystem::temp_directory_path() / "host-chrome-XXXXXX").string();
    preferences = mkdtemp(pattern.data());
    Application::shared()->setBundleIdentifier("com.example.mailer");
    UserDefaults::setPreferencesFolder(preferences);
    // Only the system's own applications registered, no URL opened yet.
    Workspace::sharedWorkspace()->reset();
  }

  void TearDown() override {
    for (const auto& window : Application::shared()->windows()) window->close();
    MainQueue::main().runFor(seconds(1));  // what the plug-in left on the queue
    MainQueue::main().useClock(nullptr);
    UserDefaults::setPreferencesFolder(preferences);  // writes what is pending
    std::filesystem::remove_all(preferences);
  }

  // A document window showing a content view of the host's own.
  Ref<Window> showWindow(std::string_view identifier) {
    auto window = Window::create({{100, 100}, {900, 600}});
    window->setIdentifier(str(identifier).get());
    content = View::withFrame({{0, 0}, {900, 572}});
    window->setContentView(content.get());
    window->makeKeyAndOrderFront(nullptr);
    return window;
  }

  // The plug-in does its window work on the main queue: run it.
  void configureMainWindow(std::string_view identifier) {
    send<void>(plugin.get(),
               "configureMainWindowTitlebarWithWindowIdentifier:", str(identifier).get());
    MainQueue::main().runUntilIdle();
  }

  // A click in the middle of a standard button.
  static CGPoint centreOf(const View* button) {
    return button->convertPointToView({7, 7}, nullptr);
  }

  ManualClock clock;
  Ref<Object> plugin;
  std::filesystem::path preferences;
  Ref<View> content;
};

TEST_F(HostChromeTest, TheTitlebarStripPassesClicksToTheContentButTheButtonsStillWork) {
  auto window = showWindow("editor");
  EXPECT_NE(window->mouseDown({450, 590}), content);  // the titlebar takes it
  configureMainWindow("editor");

  // The strip, across its whole width, now lets clicks through.
  for (const double x : {80.0, 300.0, 450.0, 700.0, 895.0}) {
    EXPECT_EQ(window->mouseDown({x, 590}), content) << "x = " << x;
  }
  EXPECT_EQ(window->mouseDown({450, 300}), content);

  // The standard buttons answer their own clicks and do their work.
  View* miniaturize = window->standardWindowButton(NSWindowMiniaturizeButton);
  EXPECT_EQ(window->mouseDown(centreOf(miniaturize)).get(), miniaturize);
  EXPECT_TRUE(window->isMiniaturized());
  window->deminiaturize(nullptr);
  window->mouseDown(centreOf(window->standardWindowButton(NSWindowCloseButton)));
  EXPECT_FALSE(window->isVisible());
}

TEST_F(HostChromeTest, FullScreenHidesTheToolbarAndTheDelayedRefreshesKeepItSo) {
  auto window = showWindow("editor");
  const CGRect frame = window->frame();
  configureMainWindow("editor");
  Toolbar* toolbar = window->toolbar();
  ASSERT_NE(toolbar, nullptr);
  EXPECT_TRUE(toolbar->isVisible());

  // The zoom button takes the window into full screen.
  window->mouseDown(centreOf(window->standardWindowButton(NSWindowZoomButton)));
  EXPECT_NE(window->styleMask() & NSWindowStyleMaskFullScreen, 0U);
  EXPECT_FALSE(toolbar->isVisible());

  // Something shows the toolbar again; the plug-in's refresh 0.1 s after
  // the transition hides it.
  toolbar->setVisible(true);
  clock.advance(milliseconds(99));
  MainQueue::main().runUntilIdle();
  EXPECT_TRUE(toolbar->isVisible());
  clock.advance(milliseconds(1));
  MainQueue::main().runUntilIdle();
  EXPECT_FALSE(toolbar->isVisible());

  // Out of full screen: the frame comes back and so does the toolbar, and
  // the remaining refreshes (up to 1 s after each transition) keep it.
  window->toggleFullScreen(nullptr);
  EXPECT_EQ(window->styleMask() & NSWindowStyleMaskFullScreen, 0U);
  EXPECT_EQ(window->frame(), frame);
  MainQueue::main().runFor(seconds(1));
  EXPECT_TRUE(toolbar->isVisible());
  EXPECT_EQ(window->mouseDown({450, 590}), content);
}

// The compose window's record as the defaults file on disk holds it.
CGSize recordedSize(std::string_view key) {
  UserDefaults* defaults = UserDefaults::standardUserDefaults();
  EXPECT_TRUE(defaults->synchronize());
  std::ifstream in(defaults->file(), std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const auto entries = parsePropertyListDictionary(bytes);
  if (!entries || !entries->contains(key)) return {-1, -1};
  const auto* record = as<Dictionary>(entries->find(key)->second.get());
  return {as<Number>(record->objectForKey("width"))->doubleValue(),
          as<Number>(record->objectForKey("height"))->doubleValue()};
}

TEST_F(HostChromeTest, AComposeWindowAsksBeforeClosingAndRecordsItsSize) {
  auto window = showWindow("compose");
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
  MainQueue::main().runUntilIdle();

  window->setFrame({{100, 100}, {720, 540}}, true);
  EXPECT_EQ(recordedSize("ComposeWindowSize"), (CGSize{720, 540}));
  window->setFrame({{100, 100}, {500, 400}}, true);  // recorded no smaller than the minimum
  EXPECT_EQ(recordedSize("ComposeWindowSize"), (CGSize{560, 520}));
  EXPECT_EQ(UserDefaults::standardUserDefaults()->file(), preferences / "com.example.mailer.plist");

  window->mouseDown(centreOf(window->standardWindowButton(NSWindowCloseButton)));
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
  MainQueue::main().runUntilIdle();

  // The test plays the update framework through the controller the plug-in made.
  ASSERT_EQ(UpdaterController::liveInstances().size(), 1U);
  Updater* updater = UpdaterController::liveInstances().front()->updater();
  EXPECT_TRUE(updater->isStarted());
  EXPECT_EQ(updater->userInitiatedChecks(), 1U);
  EXPECT_TRUE(
      updater->presentUpdateInstalledOnQuit(AppcastItem::withDisplayVersion("2.4.1").get()));
  MainQueue::main().runUntilIdle();
  EXPECT_EQ(*ready, std::vector<std::string>{"2.4.1"});
  EXPECT_TRUE(updater->immediateInstalls().empty());

  send<void>(plugin.get(), "installPendingUpdate");
  MainQueue::main().runUntilIdle();
  EXPECT_EQ(updater->immediateInstalls(), std::vector<std::string>{"2.4.1"});
}

}  // namespace
