// The AppKit tests run in an application that has finished launching, as a
// host's code does.
#import <AppKit/AppKit.h>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  @autoreleasepool {
    [NSApplication sharedApplication];
#ifdef __APPLE__
    // A test executable is not an application bundle: on a Mac it becomes a
    // regular, active application, or no window of it ever becomes key.
    [NSApp setActivationPolicy:NSApplicationActivationPolicyRegular];
    [NSApp activate];
#endif
    [NSApp finishLaunching];
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
  }
}
