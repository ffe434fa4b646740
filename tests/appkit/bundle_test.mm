// TovikMacPlugin.bundle as a Cocoa host loads it: [NSBundle bundleWithPath:],
// -load, -principalClass, alloc and init. Every call after that is a message
// through the real runtime, answered on the real run loop; none of the
// plug-in's code is linked into this test.
#import <AppKit/AppKit.h>
#include <gtest/gtest.h>
#include <objc/runtime.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/appkit/support.h"

// The plug-in's calls, as a host declares them.
@interface NSObject (TovikMacWindowPlugin)
- (void)startUpdater;
- (void)configureComposeWindowWithConfiguration:(NSDictionary*)configuration
                                    shouldClose:(BOOL (^)(void))shouldClose;
@end

namespace {

using appkit_test::eventsUntil;
using appkit_test::makeWindow;

// The bundle this build made, or the one the environment's TOVIK_BUNDLE_PATH
// names (an installed copy).
NSString* bundlePath() {
  const char* path = std::getenv("TOVIK_BUNDLE_PATH");
  return path != nullptr ? [NSString stringWithUTF8String:path] : @TOVIK_BUNDLE_PATH;
}

NSBundle* pluginBundle() { return [NSBundle bundleWithPath:bundlePath()]; }

id makePlugin() {
  NSBundle* bundle = pluginBundle();
  if (![bundle load]) return nil;
  return [[[[bundle principalClass] alloc] init] autorelease];
}

// What `work` writes to the standard error.
std::string standardErrorOf(void (^work)(void)) {
  std::fflush(stderr);
  const int saved = dup(STDERR_FILENO);
  FILE* captured = std::tmpfile();
  dup2(fileno(captured), STDERR_FILENO);
  work();
  std::fflush(stderr);
  dup2(saved, STDERR_FILENO);
  close(saved);
  std::rewind(captured);
  std::string text;
  for (int c = std::fgetc(captured); c != EOF; c = std::fgetc(captured))
    text += static_cast<char>(c);
  std::fclose(captured);
  return text;
}

int gPluginsDeallocated = 0;
void countingDealloc(id self, SEL cmd) {
  ++gPluginsDeallocated;
  reinterpret_cast<void (*)(id, SEL)>(class_getMethodImplementation([NSObject class], cmd))(self,
                                                                                            cmd);
}

TEST(Bundle, AHostLoadsItOnceMakesItsPrincipalClassAndLetsTheObjectGo) {
  NSBundle* bundle = pluginBundle();
  ASSERT_NE(bundle, nil);
  EXPECT_GT([[[bundle infoDictionary] objectForKey:@"CFBundleShortVersionString"] length], 0U);
  ASSERT_TRUE([bundle load]);
  Class principal = [bundle principalClass];
  ASSERT_NE(principal, Nil);
  EXPECT_EQ(principal, objc_getClass("TovikMacWindowPlugin"));
  // Asked again, the same bundle answers, already loaded.
  EXPECT_EQ(pluginBundle(), bundle);
  EXPECT_TRUE([bundle load]);
  EXPECT_EQ([bundle principalClass], principal);

  if (Protocol* toolbarDelegate = objc_getProtocol("NSToolbarDelegate")) {
    EXPECT_TRUE([principal conformsToProtocol:toolbarDelegate]);
  }

  // alloc and init give the host the only reference: releasing it frees the
  // object.
  class_addMethod(principal, @selector(dealloc), reinterpret_cast<IMP>(&countingDealloc), "v@:");
  id plugin = [[principal alloc] init];
  EXPECT_EQ([plugin retainCount], 1U);
  [plugin release];
  EXPECT_EQ(gPluginsDeallocated, 1);
}

TEST(Bundle, ABundleWithoutALoadableExecutableIsRefusedWithoutHarm) {
  NSFileManager* files = [NSFileManager defaultManager];
  NSString* folder = [NSTemporaryDirectory()
      stringByAppendingPathComponent:[NSString stringWithFormat:@"tovik-bundles-%d", getpid()]];
  NSString* executable = [pluginBundle() executablePath];
  ASSERT_NE(executable, nil);
  NSString* inside = [executable substringFromIndex:[bundlePath() length] + 1];
  for (NSString* kind : {@"missing", @"not-a-library"}) {
    NSString* copy =
        [folder stringByAppendingPathComponent:[kind stringByAppendingString:@".bundle"]];
    ASSERT_TRUE([files createDirectoryAtPath:folder
                 withIntermediateDirectories:YES
                                  attributes:nil
                                       error:nullptr]);
    ASSERT_TRUE([files copyItemAtPath:bundlePath() toPath:copy error:nullptr]);
    // A bundle of its own: GNUstep answers an already loaded bundle of the
    // same identifier in its place.
    for (NSString* file in [files enumeratorAtPath:copy]) {
      if (![[file lastPathComponent] hasPrefix:@"Info"]) continue;
      NSString* plist = [copy stringByAppendingPathComponent:file];
      NSMutableDictionary* info = [NSMutableDictionary dictionaryWithContentsOfFile:plist];
      [info setObject:[@"com.tarnwell.tovik.test." stringByAppendingString:kind]
               forKey:@"CFBundleIdentifier"];
      ASSERT_TRUE([info writeToFile:plist atomically:YES]);
    }
    NSString* broken = [copy stringByAppendingPathComponent:inside];
    ASSERT_TRUE([files removeItemAtPath:broken error:nullptr]);
    if ([kind isEqual:@"not-a-library"]) {
      ASSERT_TRUE([[@"#!/bin/sh\n" dataUsingEncoding:NSUTF8StringEncoding] writeToFile:broken
                                                                            atomically:YES]);
    }
    NSBundle* bundle = [NSBundle bundleWithPath:copy];
    EXPECT_FALSE([bundle load]) << [kind UTF8String];
    EXPECT_FALSE([bundle isLoaded]) << [kind UTF8String];
  }
  [files removeItemAtPath:folder error:nullptr];
}

TEST(Bundle, AComposeWindowIsConfiguredOnTheMainQueueByAShouldCloseBlockOnly) {
  @autoreleasepool {
    id plugin = makePlugin();
    ASSERT_NE(plugin, nil);
    NSWindow* window = makeWindow(appkit_test::taggedWindowClass());
    [window makeKeyAndOrderFront:nil];
    ASSERT_TRUE(eventsUntil(^{
      return [window isVisible];
    }));
    NSDictionary* configuration = [NSDictionary dictionaryWithObject:@"main"
                                                              forKey:@"windowIdentifier"];

    // What is not a should-close block of the right type configures nothing.
    id notABlock = @"not a block";
    void (^anotherSignature)(NSString*) = ^(NSString* /*unused*/) {
    };
    [plugin configureComposeWindowWithConfiguration:configuration shouldClose:notABlock];
    [plugin configureComposeWindowWithConfiguration:configuration
                                        shouldClose:static_cast<id>(anotherSignature)];
    [[NSRunLoop currentRunLoop] runUntilDate:[NSDate dateWithTimeIntervalSinceNow:0.2]];
    EXPECT_EQ([window delegate], nil);

    __block int asked = 0;
    [plugin configureComposeWindowWithConfiguration:configuration
                                        shouldClose:^BOOL {
                                          ++asked;
                                          return NO;
                                        }];
    EXPECT_EQ([window delegate], nil) << "the work waits for the main queue";
    ASSERT_TRUE(eventsUntil(^{
      return (BOOL)([window delegate] != nil);
    }));
    if (Protocol* windowDelegate = objc_getProtocol("NSWindowDelegate")) {
      EXPECT_TRUE([[window delegate] conformsToProtocol:windowDelegate]);
      EXPECT_FALSE([plugin conformsToProtocol:windowDelegate]);
    }
    [window performClose:nil];
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE([window isVisible]) << "the host said no";
    [window setDelegate:nil];
    [window close];
  }
}

// An update framework whose controller lacks the initializer the plug-in
// sends: the runtime's error stops inside the plug-in, which answers
// nothing and says so once.
TEST(Bundle, AnErrorInsideThePluginStopsAtItsBoundaryAndIsReportedOnce) {
  @autoreleasepool {
    id plugin = makePlugin();
    ASSERT_NE(plugin, nil);
    Class broken = objc_allocateClassPair([NSObject class], "SPUStandardUpdaterController", 0);
    ASSERT_NE(broken, Nil);
    objc_registerClassPair(broken);
    const std::string first = standardErrorOf(^{
      [plugin startUpdater];
    });
    EXPECT_NE(first.find("TovikMacPlugin: an error"), std::string::npos) << first;
    EXPECT_NE(first.find("startUpdater"), std::string::npos) << first;
    const std::string second = standardErrorOf(^{
      [plugin startUpdater];
    });
    EXPECT_EQ(second.find("TovikMacPlugin"), std::string::npos) << second;
  }
}

}  // namespace
