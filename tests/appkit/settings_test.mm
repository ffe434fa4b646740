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

class NotificationSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    gOpened.clear();
    method_ = class_getInstanceMethod([NSWorkspace class], @selector(openURL:));
    ASSERT_NE(method_, nullptr);
    original_ = method_setImplementation(method_, reinterpret_cast<IMP>(&recordOpen));
  }
  void TearDown() override { method_setImplementation(method_, original_); }

  static void openFor(NSString* identifier) {
    @autoreleasepool {
      tovik::openNotificationSettingsForBundleIdentifier(
          reinterpret_cast<tovik::String*>(identifier));
    }
  }

  Method method_ = nullptr;
  IMP original_ = nullptr;
};

const std::string kAppPage =
    "x-apple.systempreferences:com.apple.Notifications-Settings.extension?id=";

TEST_F(NotificationSettings, EachCandidateIsTriedInTurnUntilTheWorkspaceOpensOne) {
  gAnswer = NO;
  openFor(@"com.example.mail");
  ASSERT_EQ(gOpened.size(), 3U);
  EXPECT_EQ(gOpened[0], kAppPage + "com.example.mail");
  EXPECT_EQ(gOpened[1], "x-apple.systempreferences:com.apple.Notifications-Settings.extension");
  EXPECT_EQ(gOpened[2], "x-apple.systempreferences:com.apple.preference.notifications");

  gOpened.clear();
  gAnswer = YES;
  openFor(@"com.example.mail");
  EXPECT_EQ(gOpened.size(), 1U) << "stops at the first page the workspace opens";
}

TEST_F(NotificationSettings, TheIdentifierIsPercentEncodedByFoundationAndNilReadsAsEmpty) {
  gAnswer = YES;
  openFor([NSString stringWithUTF8String:"com.example.mail app/\xC3\xA9"]);
  openFor(nil);
  ASSERT_EQ(gOpened.size(), 2U);
  EXPECT_EQ(gOpened[0], kAppPage + "com.example.mail%20app/%C3%A9");
  EXPECT_EQ(gOpened[1], kAppPage);
}

}  // namespace
