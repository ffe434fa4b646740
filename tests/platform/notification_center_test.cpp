#include "platform/notification_center.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/application.h"
#include "platform/window.h"

namespace tovik {
namespace {

// What the observers below heard, in order.
std::vector<std::string>* gHeard = nullptr;
// Counts deliveries to the counting observer class, from any thread.
std::atomic<int> gCounted{0};

// An observer that records "<tag> <notification name>" for what it hears.
class TaggedObserver : public Object {
 public:
  TaggedObserver(Class* isa, std::string tag) : Object(isa), tag_(std::move(tag)) {}
  static Class* runtimeClass() {
    static Class* const cls = [] {
      Class* c = objc_declareClass(
          "CenterTestTaggedObserver", Object::runtimeClass(),
          [](Class*) -> Ref<Object> { return nullptr; }, /*registered=*/false);
      addMethod(c, "heard:", [](TaggedObserver* self, Notification* n) {
        if (gHeard != nullptr) gHeard->push_back(self->tag_ + " " + n->name()->utf8());
      });
      return c;
    }();
    return cls;
  }

 private:
  std::string tag_;
};

Class* countingObserverClass() {
  static Class* const cls = [] {
    Class* c = objc_allocateClassPair(Object::runtimeClass(), "CenterTestCountingObserver");
    addMethod(c, "count:", [](Object*, Notification*) { gCounted.fetch_add(1); });
    return c;
  }();
  return cls;
}

// A window delegate that records what it hears and, like a compose window's
// delegate, lets go of itself in windowWillClose: through `gOwner`.
Ref<Object>* gOwner = nullptr;
Class* windowDelegateClass() {
  static Class* const cls = [] {
    Class* c = objc_allocateClassPair(Object::runtimeClass(), "CenterTestWindowDelegate");
    addMethod(c, "windowDidResize:", [](Object*, Notification* n) {
      if (gHeard != nullptr) gHeard->push_back(n->name()->utf8());
    });
    addMethod(c, "windowDidMove:", [](Object*, Notification* n) {
      if (gHeard != nullptr) gHeard->push_back(n->name()->utf8());
    });
    addMethod(c, "windowWillClose:", [](Object* self, Notification* n) {
      if (gHeard != nullptr) gHeard->push_back(n->name()->utf8());
      if (gOwner != nullptr && gOwner->get() == self) gOwner->reset();
    });
    return c;
  }();
  return cls;
}

class NotificationCenterTest : public ::testing::Test {
 protected:
  void SetUp() override { gHeard = &heard; }
  void TearDown() override {
    for (const auto& w : Application::shared()->windows()) w->close();
    gHeard = nullptr;
    gOwner = nullptr;
  }
  static Ref<Object> tagged(std::string tag) { return make<TaggedObserver>(std::move(tag)); }
  static void observe(Object* observer, std::string_view name, Object* object) {
    NotificationCenter::defaultCenter()->addObserver(
        observer, sel_registerName("heard:"), name.empty() ? nullptr : str(name).get(), object);
  }
  static void post(std::string_view name, Object* object) {
    NotificationCenter::defaultCenter()->postNotificationName(str(name).get(), object);
  }

  std::vector<std::string> heard;
};

TEST_F(NotificationCenterTest, DeliveryFollowsRegistrationOrderAcrossObjectAndNameFilters) {
  auto sender = make<Object>();
  auto other = make<Object>();
  auto a = tagged("a");
  auto b = tagged("b");
  auto c = tagged("c");
  auto d = tagged("d");
  // Interleaved: for the sender, for every object, for another object.
  observe(c.get(), "Ping", sender.get());
  observe(a.get(), "", nullptr);  // every name, every object
  observe(d.get(), "Ping", other.get());
  observe(b.get(), "", sender.get());  // every name from the sender
  observe(d.get(), "Ping", nullptr);
  observe(a.get(), "Ping", sender.get());

  post("Ping", sender.get());
  EXPECT_EQ(heard, (std::vector<std::string>{"c Ping", "a Ping", "b Ping", "d Ping", "a Ping"}));

  heard.clear();
  post("Pong", other.get());
  post("Ping", nullptr);  // no object: only those observing every object
  EXPECT_EQ(heard, (std::vector<std::string>{"a Pong", "a Ping", "d Ping"}));

  // Removing some registrations leaves the rest in their order.
  heard.clear();
  NotificationCenter::defaultCenter()->removeObserver(a.get(), nullptr, sender.get());
  NotificationCenter::defaultCenter()->removeObserver(d.get(), str("Ping").get(), nullptr);
  post("Ping", sender.get());
  post("Ping", other.get());
  EXPECT_EQ(heard, (std::vector<std::string>{"c Ping", "a Ping", "b Ping", "a Ping"}));

  for (const auto& observer : {a, b, c, d}) {
    NotificationCenter::defaultCenter()->removeObserver(observer.get());
  }
}

TEST_F(NotificationCenterTest, NeitherObserversNorObjectsAreRetainedNorMistakenForNewOnes) {
  NotificationCenter* center = NotificationCenter::defaultCenter();
  auto observer = tagged("watcher");
  auto sender = make<Object>();
  const Object* freedAddress = sender.get();
  const Weak<Object> weakSender = sender;
  const Weak<Object> weakObserver = observer;
  observe(observer.get(), "Ping", sender.get());

  sender.reset();
  EXPECT_TRUE(weakSender.expired());  // the registration does not retain its object
  // The allocator commonly hands the freed block to the next object of the
  // same size; whatever the address, a new object is not the old one.
  std::vector<Ref<Object>> spare;
  Ref<Object> next;
  for (int i = 0; i < 64 && (next == nullptr || next.get() != freedAddress); ++i) {
    if (next != nullptr) spare.push_back(next);
    next = make<Object>();
  }
  post("Ping", next.get());
  EXPECT_TRUE(heard.empty());

  // A registration does not retain its observer; one that is gone hears
  // nothing and its registration goes at the next post that meets it.
  const std::size_t registered = center->registrationCount();
  observe(observer.get(), "Ping", next.get());
  auto listener = tagged("listener");
  observe(listener.get(), "Ping", next.get());
  observer.reset();
  EXPECT_TRUE(weakObserver.expired());
  post("Ping", next.get());
  EXPECT_EQ(heard, (std::vector<std::string>{"listener Ping"}));
  EXPECT_EQ(center->registrationCount(), registered + 1);
  center->removeObserver(listener.get());
}

TEST_F(NotificationCenterTest, AClosedWindowsDelegateHearsWillCloseAndNothingAfter) {
  NotificationCenter* center = NotificationCenter::defaultCenter();
  const std::size_t before = center->registrationCount();
  // Not key nor main, so that closing it posts nothing after the will-close.
  auto window = Window::create({{0, 0}, {400, 300}});
  window->orderFront(nullptr);
  Ref<Object> delegate = class_createInstance(windowDelegateClass());
  const Weak<Object> weakDelegate = delegate;
  window->setDelegate(delegate.get());
  EXPECT_EQ(center->registrationCount(), before + 3);  // resize, move, will-close

  // The delegate lets go of itself in windowWillClose:, as a compose window's
  // does; it has heard the close and its registrations still go.
  gOwner = &delegate;
  window->setFrame({{0, 0}, {500, 300}}, true);
  window->close();
  EXPECT_EQ(heard, (std::vector<std::string>{"NSWindowDidResizeNotification",
                                             "NSWindowWillCloseNotification"}));
  EXPECT_TRUE(weakDelegate.expired());
  EXPECT_EQ(center->registrationCount(), before);

  // A delegate that outlives its closed window hears nothing more of it, nor
  // does one set after the close.
  heard.clear();
  auto other = Window::create({{0, 0}, {400, 300}});
  auto kept = class_createInstance(windowDelegateClass());
  other->setDelegate(kept.get());
  other->close();
  other->setFrame({{10, 10}, {500, 300}}, true);
  auto late = class_createInstance(windowDelegateClass());
  other->setDelegate(late.get());
  other->setFrame({{20, 20}, {600, 300}}, true);
  EXPECT_EQ(heard, (std::vector<std::string>{"NSWindowWillCloseNotification"}));
  EXPECT_EQ(center->registrationCount(), before);
}

TEST_F(NotificationCenterTest, WindowsAndObserversComingAndGoingLeaveTheCountBounded) {
  NotificationCenter* center = NotificationCenter::defaultCenter();
  gHeard = nullptr;  // thousands of deliveries are not of interest here
  const std::size_t before = center->registrationCount();
  auto watcher = tagged("watcher");  // outlives every window it observes
  std::size_t peak = 0;
  for (int i = 0; i < 5000; ++i) {
    auto window = Window::create({{0, 0}, {400, 300}});
    window->makeKeyAndOrderFront(nullptr);
    auto delegate = class_createInstance(windowDelegateClass());
    window->setDelegate(delegate.get());
    observe(watcher.get(), NSWindowDidResizeNotification, window.get());
    // An object observed that goes without ever posting: only a sweep finds
    // its registration dead.
    auto quiet = make<Object>();
    observe(watcher.get(), "Quiet", quiet.get());
    window->setFrame({{0, 0}, {500, 300}}, true);
    // Every third delegate goes before its window closes: the window cannot
    // name it any more, so its registrations are left to the centre.
    if (i % 3 == 0) delegate.reset();
    window->close();
    peak = std::max(peak, center->registrationCount());
  }
  // What is live at any time is a handful of registrations beyond those
  // already there; the count stays within a constant factor of that, not of
  // the 10,000 registrations made.
  EXPECT_LE(peak, 2 * (before + 8) + 64);
  EXPECT_LE(center->registrationCount(), 2 * (before + 8) + 64);
}

TEST_F(NotificationCenterTest, PostingAndRegisteringFromTwoThreadsAtOnce) {
  NotificationCenter* center = NotificationCenter::defaultCenter();
  gCounted = 0;
  auto sender = make<Object>();
  auto steady = class_createInstance(countingObserverClass());
  center->addObserver(steady.get(), sel_registerName("count:"), str("Tick").get(), sender.get());
  constexpr int kPosts = 2000;
  // One thread posts for the sender while the other posts too, and makes
  // observers and objects that come and go, so registrations are added,
  // removed, found dead and swept while posts walk them.
  std::thread poster([&] {
    for (int i = 0; i < kPosts; ++i) center->postNotificationName(str("Tick").get(), sender.get());
  });
  std::thread churner([&] {
    for (int i = 0; i < kPosts; ++i) {
      auto observer = class_createInstance(countingObserverClass());
      auto object = make<Object>();
      center->addObserver(observer.get(), sel_registerName("count:"), str("Tock").get(),
                          object.get());
      center->addObserver(observer.get(), sel_registerName("count:"), str("Tock").get(), nullptr);
      center->postNotificationName(str("Tick").get(), sender.get());
      center->postNotificationName(str("Tock").get(), object.get());  // heard twice
      if (i % 2 == 0) center->removeObserver(observer.get());
    }
  });
  poster.join();
  churner.join();
  EXPECT_EQ(gCounted.load(), 4 * kPosts);
  center->removeObserver(steady.get());
}

}  // namespace
}  // namespace tovik
