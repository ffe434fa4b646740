// The TovikMacPlugin module over GNUstep, driven as a host drives it: the
// module is loaded, its class found by name and made, and every call is a
// message through the real runtime, answered on the real run loop.
#import <AppKit/AppKit.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <objc/runtime.h>

#include <array>
#include <cstdio>
#include <memory>
#include <string>

#include "tests/appkit/support.h"

namespace {

using appkit_test::eventsUntil;
using appkit_test::makeWindow;

id makePlugin() {
  static void* module = dlopen(TOVIK_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) return nil;
  Class cls = objc_getClass("TovikMacWindowPlugin");
  return cls != Nil ? [[[cls alloc] init] autorelease] : nil;
}

// What a second process reads of this process's defaults domain.
std::string readByAnotherProcess(NSString* key) {
  const std::string command = std::string("defaults read ") +
                              [[[NSProcessInfo processInfo] processName] UTF8String] + " " +
                              [key UTF8String] + " 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::string out;
  std::array<char, 256> chunk{};
  while (pipe != nullptr && fgets(chunk.data(), chunk.size(), pipe.get()) != nullptr) {
    out += chunk.data();
  }
  return out;
}

TEST(Module, TheHostFindsTheClassByNameAndConfiguresItsMainWindow) {
  @autoreleasepool {
    id plugin = makePlugin();
    ASSERT_NE(plugin, nil) << dlerror();
    for (NSString* name :
         {@"startUpdater", @"checkForUpdates", @"setUpdateReadyHandler:", @"installPendingUpdate",
          @"configureMainWindowTitlebarWithWindowIdentifier:",
          @"configureComposeWindowWithConfiguration:shouldClose:",
          @"allowComposeWindowCloseWithWindowIdentifier:",
          @"openNotificationSettingsForBundleIdentifier:"}) {
      EXPECT_TRUE([plugin respondsToSelector:NSSelectorFromString(name)]) << [name UTF8String];
    }
    if (Protocol* toolbarDelegate = objc_getProtocol("NSToolbarDelegate")) {
      EXPECT_TRUE([plugin conformsToProtocol:toolbarDelegate]);
    }
    if (Protocol* windowDelegate = objc_getProtocol("NSWindowDelegate")) {
      EXPECT_FALSE([plugin conformsToProtocol:windowDelegate]);
    }

    NSWindow* window = makeWindow(appkit_test::taggedWindowClass());
    [window makeKeyAndOrderFront:nil];
    ASSERT_TRUE(eventsUntil(^{
      return [window isVisible];
    }));
    [plugin performSelector:@selector(configureMainWindowTitlebarWithWindowIdentifier:)
                 withObject:@"main"];
    EXPECT_EQ([window toolbar], nil) << "the work waits for the main queue";
    ASSERT_TRUE(eventsUntil(^{
      return (BOOL)([window toolbar] != nil);
    }));
    NSToolbar* toolbar = [window toolbar];
    EXPECT_TRUE([[toolbar identifier] isEqualToString:@"com.tarnwell.tovik.unified-titlebar"]);
    EXPECT_EQ([toolbar delegate], plugin);
    ASSERT_EQ([[toolbar items] count], 1U) << "the real toolbar asked the plug-in for its item";
    EXPECT_TRUE([[[[toolbar items] objectAtIndex:0] itemIdentifier]
        isEqualToString:@"com.tarnwell.tovik.unified-titlebar.anchor"]);
    [window close];
  }
}

TEST(Module, AComposeWindowAsksTheHostBeforeClosingAndRecordsItsSize) {
  @autoreleasepool {
    id plugin = makePlugin();
    ASSERT_NE(plugin, nil);
    NSWindow* window = makeWindow(appkit_test::taggedWindowClass());
    [window makeKeyAndOrderFront:nil];
    ASSERT_TRUE(eventsUntil(^{
      return [window isVisible];
    }));

    __block int asked = 0;
    __block BOOL allow = NO;
    NSDictionary* configuration = [NSDictionary
        dictionaryWithObjectsAndKeys:@"main", @"windowIdentifier", @"test.composeSize",
                                     @"sizeDefaultsKey", [NSNumber numberWithDouble:300],
                                     @"minimumWidth", [NSNumber numberWithDouble:250],
                                     @"minimumHeight", nil];
    [plugin performSelector:@selector(configureComposeWindowWithConfiguration:shouldClose:)
                 withObject:configuration
                 withObject:^BOOL {
                   ++asked;
                   return allow;
                 }];
    ASSERT_TRUE(eventsUntil(^{
      return (BOOL)([window delegate] != nil);
    }));

    [window performClose:nil];
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE([window isVisible]) << "the host said no";

    // A resize records the frame's size, raised to the minimum, where
    // another process reads it.
    [window setFrame:NSMakeRect(100, 100, 200, 400) display:YES];
    NSDictionary* record =
        [[NSUserDefaults standardUserDefaults] dictionaryForKey:@"test.composeSize"];
    EXPECT_DOUBLE_EQ([[record objectForKey:@"width"] doubleValue], 300);
    EXPECT_DOUBLE_EQ([[record objectForKey:@"height"] doubleValue], 400);
    [[NSUserDefaults standardUserDefaults] synchronize];
    const std::string seen = readByAnotherProcess(@"test.composeSize");
    EXPECT_NE(seen.find("width = 300"), std::string::npos) << seen;

    // The host lets the next close through without being asked.
    [plugin performSelector:@selector(allowComposeWindowCloseWithWindowIdentifier:)
                 withObject:@"main"];
    [[NSRunLoop currentRunLoop] runUntilDate:[NSDate dateWithTimeIntervalSinceNow:0.2]];
    [window performClose:nil];
    EXPECT_FALSE([window isVisible]);
    EXPECT_EQ(asked, 1);
  }
}

}  // namespace
