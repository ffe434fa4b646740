// The AppKit tests run in an application that has finished launching, as a
// host's code does.
#import <AppKit/AppKit.h>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  @autoreleasepool {
    [NSApplication sharedApplication];
    [NSApp finishLaunching];
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
  }
}
