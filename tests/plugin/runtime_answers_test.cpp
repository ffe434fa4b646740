// The plug-in sees what the runtime answers: a host's subclass or
// replacement of a window-system method is what it meets, even when the
// method was first asked before the host redefined it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mainwindow/hittest.h"
#include "platform/application.h"
#include "platform/main_queue.h"
#include "platform/testing.h"
#include "platform/window.h"
#include "platform/workspace.h"
#include "tests/support/plugin_host_test.h"

namespace tovik {
namespace {

constexpr CGRect kFrame{{0, 0}, {800, 600}};

using testing::hostClass;

Ref<Window> windowOf(Class* cls) {
  Ref<Window> window = as<Window>(class_createInstance(cls));
  send<Ref<Object>>(window.get(), "initWithContentRect:styleMask:", kFrame, kStandardWindowStyle);
  window->makeKeyAndOrderFront(nullptr);
  return window;
}

bool isConfigured(const Window& window) {
  return window.toolbar() != nullptr &&
         window.toolbar()->identifier()->utf8() == "com.tarnwell.tovik.unified-titlebar";
}

using RuntimeAnswersTest = PluginHostTest;

TEST_F(RuntimeAnswersTest, AWindowSubclassesIdentifierAndVisibilityAreWhatTheLookupMeets) {
  // Asked once before any class redefines them.
  auto hidden = Window::create(kFrame);
  hidden->setIdentifier(str("main").get());
  hidden->makeKeyAndOrderFront(nullptr);
  ASSERT_TRUE(hidden->isVisible());

  // A window that claims to be off screen, and one that names itself
  // (with a new string at each call, which the caller borrows).
  Class* offScreen = hostClass("HostOffScreenWindow", Window::runtimeClass());
  addMethod(offScreen, "isVisible", [](Window*) { return false; });
  Class* named = hostClass("HostNamedWindow", Window::runtimeClass());
  addMethod(named, "identifier", [](Window*) { return str("main"); });

  auto claimsHidden = windowOf(offScreen);
  claimsHidden->setIdentifier(str("main").get());
  auto selfNamed = windowOf(named);
  auto key = Window::create(kFrame);
  key->makeKeyAndOrderFront(nullptr);

  configureMainWindow("main");
  EXPECT_TRUE(isConfigured(*hidden)) << "the plain window carrying the identifier comes first";
  hidden->close();
  configureMainWindow("main");
  EXPECT_FALSE(isConfigured(*claimsHidden)) << "a window answering isVisible NO was taken";
  EXPECT_TRUE(isConfigured(*selfNamed)) << "the identifier the window answers was not seen";
  EXPECT_FALSE(isConfigured(*key)) << "fell back to the key window";
}

// The windows the replaced method answers: the second window first.
std::vector<Ref<Object>>& answeredWindows() {
  static std::vector<Ref<Object>> windows;
  return windows;
}

TEST_F(RuntimeAnswersTest, AReplacedApplicationWindowsListIsWhatTheLookupMeets) {
  auto first = Window::create(kFrame);
  auto second = Window::create(kFrame);
  for (const auto& w : {first, second}) {
    w->setIdentifier(str("twin").get());
    w->makeKeyAndOrderFront(nullptr);
  }
  Method* windows = class_getInstanceMethod(Application::runtimeClass(), selectors::windows);
  answeredWindows() = {second, first};
  const IMP original = method_setImplementation(
      windows, makeImp([](Application*) { return Array::make(answeredWindows()); }));
  configureMainWindow("twin");
  method_setImplementation(windows, original);
  answeredWindows().clear();
  EXPECT_TRUE(isConfigured(*second));
  EXPECT_FALSE(isConfigured(*first));
}

TEST_F(RuntimeAnswersTest, AViewsOwnIsDescendantOfAndIsEqualDecideWhichStripClicksItKeeps) {
  auto window = Window::create(kFrame);
  window->setIdentifier(str("main").get());
  window->makeKeyAndOrderFront(nullptr);
  configureMainWindow("main");
  View* titlebar = window->standardWindowButton(NSWindowCloseButton)->superview();

  // Two host badges in the strip, left of the buttons' row: one counts
  // itself inside whatever it is asked about, the other equal to anything.
  Class* inside = hostClass("HostInsideBadge", View::runtimeClass());
  addMethod(inside, "isDescendantOf:", [](View*, View* other) { return other != nullptr; });
  Class* equal = hostClass("HostEqualBadge", View::runtimeClass());
  addMethod(equal, "isEqual:", [](View*, Object* other) { return other != nullptr; });
  auto insideBadge = View::withFrame(inside, {{300, 2}, {20, 20}});
  auto equalBadge = View::withFrame(equal, {{340, 2}, {20, 20}});
  auto plainBadge = View::withFrame({{380, 2}, {20, 20}});
  for (const auto& badge : {insideBadge, equalBadge, plainBadge}) titlebar->addSubview(badge.get());
  const auto inWindow = [&](const View& badge) {
    return badge.convertPointToView({10, 10}, nullptr);
  };

  EXPECT_EQ(window->mouseDown(inWindow(*plainBadge)).get(), window->contentView())
      << "a plain host view in the strip lets the click through";
  EXPECT_EQ(window->mouseDown(inWindow(*equalBadge)), equalBadge);
  // A titlebar class of the host's that defines isEqual: after a click is
  // asked at the next one.
  Class* late = hostClass("HostLateTitlebarBadge", View::runtimeClass());
  auto lateBadge = View::withFrame(late, {{100, 100}, {20, 20}});
  window->contentView()->addSubview(lateBadge.get());
  installTitlebarHitTesting(window.get());
  View* frameView = window->contentView()->superview();
  EXPECT_EQ(frameView->hitTest(inWindow(*lateBadge)).get(), window->contentView());
  addMethod(late, "isEqual:", [](View*, Object* other) { return other != nullptr; });
  EXPECT_EQ(frameView->hitTest(inWindow(*lateBadge)), lateBadge);
  EXPECT_EQ(window->mouseDown(inWindow(*insideBadge)), insideBadge);
  EXPECT_FALSE(window->isVisible()) << "the window's own button action asks isDescendantOf: too";
}

// A host's window class names its own zoom button and counts the asks.
int buttonSends = 0;
View* hostZoomButton = nullptr;

View* ownStandardButton(Window* window, std::int64_t kind) {
  const SEL sel = selectors::standardWindowButton;
  return callImplementation<View*>(class_getMethodImplementation(Window::runtimeClass(), sel),
                                   window, sel, kind);
}

TEST_F(RuntimeAnswersTest, AHostsStandardButtonsAreAskedOncePerClickAndAreTheOnesKept) {
  Class* cls = hostClass("HostZoomButtonWindow", Window::runtimeClass());
  addMethod(cls, "standardWindowButton:", [](Window* self, std::int64_t kind) {
    ++buttonSends;
    return kind == NSWindowZoomButton ? hostZoomButton : ownStandardButton(self, kind);
  });
  auto window = windowOf(cls);
  window->setIdentifier(str("main").get());
  configureMainWindow("main");
  View* ownZoom = ownStandardButton(window.get(), NSWindowZoomButton);
  auto badge = View::withFrame({{300, 2}, {20, 20}});
  ownZoom->superview()->addSubview(badge.get());
  hostZoomButton = badge.get();

  // The strip's toolbar lies under several replaced levels: one search (the
  // frame view's hitTest:, as a mouse-down asks it), one ask.
  buttonSends = 0;
  EXPECT_EQ(window->contentView()->superview()->hitTest({450, 590}).get(), window->contentView());
  EXPECT_EQ(buttonSends, 3);
  EXPECT_EQ(window->mouseDown(badge->convertPointToView({10, 10}, nullptr)), badge);
  EXPECT_EQ(window->mouseDown(ownZoom->convertPointToView({5, 5}, nullptr)).get(),
            window->contentView())
      << "the window's own zoom button is not the one the host names";
  hostZoomButton = nullptr;
}

// The requests the replaced openURL: saw.
std::vector<std::string>& seenURLs() {
  static std::vector<std::string> urls;
  return urls;
}

TEST_F(RuntimeAnswersTest, AReplacedOpenURLIsWhatTheSettingsOpenerCalls) {
  Workspace::sharedWorkspace()->reset();
  Method* openURL = class_getInstanceMethod(Workspace::runtimeClass(), selectors::openURL);
  const IMP original =
      method_setImplementation(openURL, makeImp([](Workspace*, URL* url) {
                                 seenURLs().push_back(url->absoluteString()->utf8());
                                 return false;
                               }));
  send<void>(plugin.get(), "openNotificationSettingsForBundleIdentifier:", str("com.x").get());
  method_setImplementation(openURL, original);
  EXPECT_EQ(seenURLs().size(), 3U) << "each refused candidate is tried in turn";
  EXPECT_TRUE(Workspace::sharedWorkspace()->openRequests().empty())
      << "the workspace's own openURL: was called";
}

}  // namespace
}  // namespace tovik
