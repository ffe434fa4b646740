#include "platform/runtime.h"

#include <gtest/gtest.h>

#include "platform/foundation.h"

namespace tovik {
namespace {

TEST(Runtime, AddMethodOnlyWhereTheClassDoesNotDefineIt) {
  Class* base = objc_allocateClassPair(Object::runtimeClass(), "RtBase");
  Class* child = objc_allocateClassPair(base, "RtChild");
  Class* sibling = objc_allocateClassPair(base, "RtSibling");
  objc_registerClassPair(base);
  EXPECT_EQ(objc_getClass("RtBase"), base);
  EXPECT_EQ(objc_getClass("RtChild"), nullptr);  // allocated, not registered

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
  EXPECT_STREQ(method_getTypeEncoding(class_getInstanceMethod(child, sel)), "q@:");

  // Replacing the superclass's method reaches the sibling, not the child.
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
  EXPECT_THROW(send<long>(object.get(), "isEqual:", object.get()), PlatformError);
  EXPECT_FALSE(send<bool>(nullptr, "isEqual:", object.get()));  // nil answers zero
}

TEST(Runtime, BlockImplementationsAndWeakReferences) {
  Class* cls = objc_allocateClassPair(Object::runtimeClass(), "RtBlocky");
  auto block = makeBlock<double(Object*, double)>([](Object*, double x) { return x * 2; });
  IMP imp = imp_implementationWithBlock(block);
  ASSERT_TRUE(class_addMethod(cls, sel_registerName("twice:"), imp, imp->types));
  Weak<Object> weak;
  {
    auto obj = class_createInstance(cls);
    weak = obj;
    EXPECT_DOUBLE_EQ(send<double>(obj.get(), "twice:", 2.5), 5.0);
  }
  EXPECT_EQ(weak.lock(), nullptr);
}

TEST(Foundation, CanonicallyEquivalentStringsComposeAlike) {
  auto composed = str("caf\xC3\xA9");
  auto decomposed = str("cafe\xCC\x81");
  EXPECT_FALSE(composed->isEqual(decomposed.get()));
  EXPECT_EQ(composed->precomposedStringWithCanonicalMapping(),
            decomposed->precomposedStringWithCanonicalMapping());
  auto invalid = str("a\xFF");
  EXPECT_FALSE(invalid->isValidUTF8());
  EXPECT_EQ(invalid->precomposedStringWithCanonicalMapping(), "a\xFF");
}

}  // namespace
}  // namespace tovik

namespace tovik {
namespace {

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
}

TEST(Runtime, ArgumentsOfTheWrongKindAreRefused) {
  Class* cls = objc_allocateClassPair(Object::runtimeClass(), "RtTyped");
  addMethod(cls, "lengthOf:", [](Object*, String* s) -> long {
    return s != nullptr ? static_cast<long>(s->utf8().size()) : -1;
  });
  auto object = class_createInstance(cls);
  EXPECT_EQ(send<long>(object.get(), "lengthOf:", str("four").get()), 4);
  EXPECT_EQ(send<long>(object.get(), "lengthOf:", nullptr), -1);
  EXPECT_THROW(send<long>(object.get(), "lengthOf:", Number::withInteger(4).get()), PlatformError);
}

}  // namespace
}  // namespace tovik
