// Opening the notification settings over the real NSWorkspace: the plug-in's
// requests reach whatever answers openURL: in the running system, here a
// replacement made through the runtime, as a test of a Mac app would.
#import <AppKit/AppKit.h>
#include <gtest/gtest.h>
#include <objc/runtime.h>

#include <string>
#include <vector>

#include "settings/notification_settings.h"

namespace {

std::vector<std::string> gOpened;
BOOL gAnswer = NO;

BOOL recordOpen(id /*self*/, SEL /*cmd*/, NSURL* url) {
  gOpened.emplace_back([[url absoluteString] UTF8String]);
  return gAnswer;
}

void openFor(NSString* identifier) {
  @autoreleasepool {
    tovik::openNotificationSettingsForBundleIdentifier(
        reinterpret_cast<tovik::String*>(identifier));
  }
}

TEST(NotificationSettings, EachPageInTurnUntilTheWorkspaceOpensOneTheIdentifierEncoded) {
  Method openURL = class_getInstanceMethod([NSWorkspace class], @selector(openURL:));
  ASSERT_NE(openURL, nullptr);
  const IMP original = method_setImplementation(openURL, reinterpret_cast<IMP>(&recordOpen));
  // Refused, each page is tried, the identifier percent-encoded by
  // Foundation; opened, the first page is the last. Nil reads as empty.
  gAnswer = NO;
  openFor([NSString stringWithUTF8String:"com.example.mail app/\xC3\xA9"]);
  gAnswer = YES;
  openFor(nil);
  method_setImplementation(openURL, original);
  const std::string appPage =
      "x-apple.systempreferences:com.apple.Notifications-Settings.extension?id=";
  EXPECT_EQ(gOpened, (std::vector<std::string>{
                         appPage + "com.example.mail%20app/%C3%A9",
                         "x-apple.systempreferences:com.apple.Notifications-Settings.extension",
                         "x-apple.systempreferences:com.apple.preference.notifications", appPage}));
}

}  // namespace
