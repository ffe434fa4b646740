#include "platform/runtime.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation.h"

namespace tovik {
namespace {

TEST(Runtime, AddMethodOnlyWhereTheClassDoesNotDefineIt) {
  Class* base = objc_allocateClassPair(Object::runtimeClass(), "RtBase");
  Class* child = objc_allocateClassPair(base, "RtChild");
  Class* sibling = objc_allocateClassPair(base, "RtSibling");
  objc_registerClassPair(base);

  IMP one = makeImp([](Object*) -> long { return 1; });
  IMP two = makeImp([](Object*) -> long { return 2; });
  const SEL sel = sel_registerName("value");
  EXPECT_TRUE(class_addMethod(base, sel, one, one->types));
  EXPECT_FALSE(class_addMethod(base, sel, two, two->types));  // defined by the class itself
  EXPECT_TRUE(class_addMethod(child, sel, two, two->types));  // only inherited
  auto c = class_createInstance(child);
  auto s = class_createInstance(sibling);
  EXPECT_EQ(send<long>(c.get(), sel), 2);
  EXPECT_EQ(send<long>(s.get(), sel), 1);

  // A replaced base method reaches the sibling, not the child.
  IMP three = makeImp([](Object*) -> long { return 3; });
  EXPECT_EQ(method_setImplementation(class_getInstanceMethod(base, sel), three), one);
  EXPECT_EQ(send<long>(s.get(), sel), 3);
  EXPECT_EQ(send<long>(c.get(), sel), 2);
}

TEST(Runtime, MisuseIsReportedWithThePlatformsMessage) {
  auto object = class_createInstance(Object::runtimeClass());
  try {
    send<void>(object.get(), "noSuchThing:", 1);
    FAIL();
  } catch (const PlatformError& e) {
    EXPECT_NE(std::string(e.what()).find(
                  "-[NSObject noSuchThing:]: unrecognized selector sent to instance"),
              std::string::npos);
  }
  EXPECT_FALSE(send<bool>(nullptr, "isEqual:", object.get()));  // nil answers zero
}

TEST(Runtime, AMethodAddedLaterReachesCachedSubclasses) {
  Class* base = objc_allocateClassPair(Object::runtimeClass(), "RtLateBase");
  Class* child = objc_allocateClassPair(base, "RtLateChild");
  auto object = class_createInstance(child);
  const SEL sel = sel_registerName("lateAnswer");
  EXPECT_FALSE(object->respondsToSelector(sel));  // caches the miss
  addMethod(base, "lateAnswer", [](Object*) -> long { return 42; });
  EXPECT_TRUE(object->respondsToSelector(sel));
  EXPECT_EQ(send<long>(object.get(), sel), 42);
  // An implementation of another encoding is refused.
  IMP wrong = makeImp([](Object*) { return true; });
  EXPECT_THROW(method_setImplementation(class_getInstanceMethod(base, sel), wrong), PlatformError);
  EXPECT_EQ(send<long>(object.get(), sel), 42);
  // So is an argument of the wrong kind.
  addMethod(base, "lengthOf:", [](Object*, String* s) -> long {
    return s != nullptr ? static_cast<long>(s->utf8().size()) : -1;
  });
  EXPECT_EQ(send<long>(object.get(), "lengthOf:", nullptr), -1);
  EXPECT_THROW(send<long>(object.get(), "lengthOf:", Number::withInteger(4).get()), PlatformError);
}

bool conforms(Object* object, Protocol* protocol) {
  return send<bool>(object, "conformsToProtocol:", protocol);
}

TEST(Protocols, AdoptedOnceAndConformanceFollowsSuperclassesOnlyThroughNSObjectsMethod) {
  Protocol* nsObject = objc_getProtocol("NSObject");
  ASSERT_EQ(nsObject, Protocol::nsObject());
  for (const char* name :
       {"NSToolbarDelegate", "NSWindowDelegate", "NSApplicationDelegate", "SPUUpdaterDelegate"}) {
    Protocol* protocol = objc_getProtocol(name);
    ASSERT_NE(protocol, nullptr) << name;
    EXPECT_EQ(protocol_copyProtocolList(protocol), std::vector<Protocol*>{nsObject}) << name;
  }

  // A class adopts a protocol once, NSObject included through its protocols,
  // and lists its own in order of adoption.
  Class* base = objc_allocateClassPair(Object::runtimeClass(), "RtAdopting");
  Class* child = objc_allocateClassPair(base, "RtAdoptingChild");
  Protocol* toolbar = objc_getProtocol("NSToolbarDelegate");
  Protocol* window = objc_getProtocol("NSWindowDelegate");
  Protocol* application = objc_getProtocol("NSApplicationDelegate");
  EXPECT_TRUE(class_addProtocol(base, window));
  EXPECT_TRUE(class_addProtocol(base, toolbar));
  EXPECT_FALSE(class_addProtocol(base, window));
  EXPECT_FALSE(class_addProtocol(base, nsObject));
  EXPECT_EQ(class_copyProtocolList(base), (std::vector<Protocol*>{window, toolbar}));

  // class_conformsToProtocol: the class's own list only, never a superclass's;
  // -conformsToProtocol: walks the superclasses as well, as they are now.
  EXPECT_TRUE(class_conformsToProtocol(base, nsObject));
  EXPECT_FALSE(class_conformsToProtocol(child, toolbar));
  EXPECT_FALSE(class_conformsToProtocol(child, nsObject));
  auto instance = class_createInstance(child);
  EXPECT_TRUE(conforms(instance.get(), toolbar));
  EXPECT_FALSE(conforms(instance.get(), application));
  ASSERT_TRUE(class_addProtocol(base, application));
  EXPECT_TRUE(conforms(instance.get(), application));
}

TEST(Protocols, AHostDeclaresItsOwnOnceAndOnlyWhileUnderConstruction) {
  Protocol* nsObject = Protocol::nsObject();
  Protocol* base = objc_allocateProtocol("RtHostBase");
  protocol_addProtocol(base, nsObject);
  EXPECT_EQ(objc_getProtocol("RtHostBase"), nullptr);  // under construction
  objc_registerProtocol(base);
  EXPECT_EQ(objc_getProtocol("RtHostBase"), base);
  protocol_addProtocol(base, objc_getProtocol("NSToolbarDelegate"));  // registered: closed
  EXPECT_EQ(protocol_copyProtocolList(base), std::vector<Protocol*>{nsObject});

  // Only registered protocols are adopted; conformance is transitive.
  Protocol* derived = objc_allocateProtocol("RtHostDerived");
  Protocol* pending = objc_allocateProtocol("RtHostPending");
  ASSERT_TRUE(derived != nullptr && pending != nullptr);
  protocol_addProtocol(derived, pending);
  protocol_addProtocol(derived, base);
  objc_registerProtocol(derived);
  EXPECT_EQ(protocol_copyProtocolList(derived), std::vector<Protocol*>{base});
  EXPECT_TRUE(protocol_conformsToProtocol(derived, nsObject));
  EXPECT_FALSE(protocol_conformsToProtocol(base, derived));

  // A registered name, the platform's included, is not declared again.
  EXPECT_EQ(objc_allocateProtocol("RtHostBase"), nullptr);
  EXPECT_THROW(objc_declareProtocol("NSObject", {}), PlatformError);
}

TEST(Protocols, AdoptionsAndDeclarationsFromManyThreads) {
  Protocol* toolbar = objc_getProtocol("NSToolbarDelegate");
  Class* shared = objc_allocateClassPair(Object::runtimeClass(), "RtSharedAdopter");
  auto instance = class_createInstance(objc_allocateClassPair(shared, "RtSharedAdopterChild"));
  std::atomic<int> adoptions{0};
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads(16);
  for (int t = 0; t < 16; ++t) {
    threads[t] = std::thread([&, t] {
      if (class_addProtocol(shared, toolbar)) ++adoptions;
      const std::string name = "RtThreadProtocol" + std::to_string(t);
      Protocol* own = objc_declareProtocol(name, {Protocol::nsObject()});
      if (objc_getProtocol(name) != own || conforms(instance.get(), own)) ++wrong;
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(adoptions.load(), 1);
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_TRUE(conforms(instance.get(), toolbar));
}

}  // namespace
}  // namespace tovik
