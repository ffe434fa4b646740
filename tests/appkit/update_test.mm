// The update handshake over the real runtime: the update framework is found
// by its controller's class name, which this test registers at run time as
// a stand-in, and the host's handler and the framework's install action are
// real blocks.
#include <Block.h>
#import <Foundation/Foundation.h>
#include <gtest/gtest.h>
#include <objc/runtime.h>

#include <string>
#include <vector>

#include "update/update_handshake.h"

namespace {

int gControllersMade = 0;
int gChecks = 0;
id gDelegate = nil;
BOOL gStarted = NO;

id initController(id self, SEL /*cmd*/, BOOL starting, id delegate, id /*driver*/) {
  ++gControllersMade;
  gStarted = starting;
  gDelegate = delegate;
  return self;
}
void checkForUpdates(id /*self*/, SEL /*cmd*/, id /*sender*/) { ++gChecks; }
id displayVersion(id /*self*/, SEL /*cmd*/) { return @"2.0"; }

// The update framework's controller, as the stand-in a test registers.
void registerStandInFramework() {
  Class controller = objc_allocateClassPair([NSObject class], "SPUStandardUpdaterController", 0);
  class_addMethod(controller,
                  @selector(initWithStartingUpdater:updaterDelegate:userDriverDelegate:),
                  reinterpret_cast<IMP>(&initController), "@@:C@@");
  class_addMethod(controller, @selector(checkForUpdates:), reinterpret_cast<IMP>(&checkForUpdates),
                  "v@:@");
  objc_registerClassPair(controller);
  Class item = objc_allocateClassPair([NSObject class], "StandInAppcastItem", 0);
  class_addMethod(item, @selector(displayVersionString), reinterpret_cast<IMP>(&displayVersion),
                  "@@:");
  objc_registerClassPair(item);
}

template <class BlockType, class Native>
tovik::Ref<BlockType> kept(Native block) {
  return tovik::Ref<BlockType>::adopt(
      static_cast<BlockType*>(const_cast<void*>(Block_copy(static_cast<const void*>(block)))));
}

tovik::Object* ours(id object) { return reinterpret_cast<tovik::Object*>(object); }

TEST(UpdateHandshake, TheFrameworkIsFoundByNameAndTheHostsBlocksAreCalled) {
  @autoreleasepool {
    NSObject* plugin = [[[NSObject alloc] init] autorelease];
    tovik::startUpdater(ours(plugin));  // without the framework: nothing
    registerStandInFramework();
    tovik::startUpdater(ours(plugin));
    tovik::checkForUpdates();
    EXPECT_EQ(gControllersMade, 1);
    EXPECT_EQ(gStarted, YES);
    EXPECT_EQ(gDelegate, plugin) << "the plug-in object is the updater's delegate";
    EXPECT_EQ(gChecks, 1);

    __block std::vector<std::string> heard;
    __block int installs = 0;
    auto handler = kept<tovik::UpdateReadyHandler>(^(NSString* version) {
      heard.emplace_back([version UTF8String]);
    });
    auto install = kept<tovik::InstallAction>(^{
      ++installs;
    });
    tovik::setUpdateReadyHandler(handler);
    id item = [[[objc_getClass("StandInAppcastItem") alloc] init] autorelease];
    tovik::recordReadyUpdate(ours(item), install);
    tovik::installPendingUpdate();
    EXPECT_EQ(heard, std::vector<std::string>{"2.0"});
    EXPECT_EQ(installs, 1);

    // An item that does not answer displayVersionString reads as the empty
    // string.
    tovik::recordReadyUpdate(ours([[[NSObject alloc] init] autorelease]), install);
    EXPECT_EQ(heard, (std::vector<std::string>{"2.0", ""}));
  }
}

}  // namespace
