#include "platform/notification_center.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/application.h"
#include "platform/window.h"

namespace tovik {
namespace {

using Heard = std::vector<std::string>;
Heard* gHeard = nullptr;  // what was heard, in order, as "<tag> <name>"
std::map<const Object*, std::string> gTags;
std::atomic<int> gCounted{0};   // every delivery, from any thread
Ref<Object>* gOwner = nullptr;  // a delegate releases itself in windowWillClose: through this

void record(const Object* self, Notification* n) {
  gCounted.fetch_add(1);
  if (gHeard == nullptr) return;
  const auto tag = gTags.find(self);
  gHeard->push_back((tag != gTags.end() ? tag->second + " " : "") + n->name()->utf8());
}

Class* observerClass() {
  static Class* const cls = [] {
    Class* c = objc_allocateClassPair(Object::runtimeClass(), "CenterTestObserver");
    addMethod(c, "heard:", [](Object* self, Notification* n) { record(self, n); });
    addMethod(c, "windowDidResize:", [](Object* self, Notification* n) { record(self, n); });
    addMethod(c, "windowWillClose:", [](Object* self, Notification* n) {
      record(self, n);
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
    gTags.clear();
  }
  static Ref<Object> tagged(const std::string& tag) {
    auto observer = class_createInstance(observerClass());
    gTags[observer.get()] = tag;
    return observer;
  }
  static void observe(Object* observer, std::string_view name, Object* object) {
    center->addObserver(observer, sel_registerName("heard:"),
                        name.empty() ? nullptr : str(name).get(), object);
  }
  static void post(std::string_view name, Object* object) {
    center->postNotificationName(str(name).get(), object);
  }

  static inline NotificationCenter* const center = NotificationCenter::defaultCenter();
  Heard heard;
};

TEST_F(NotificationCenterTest, DeliveryFollowsRegistrationOrderAcrossObjectAndNameFilters) {
  auto sender = make<Object>();
  auto other = make<Object>();
  auto a = tagged("a");
  auto b = tagged("b");
  auto c = tagged("c");
  observe(c.get(), "Ping", sender.get());
  observe(a.get(), "", nullptr);       // every name, every object
  observe(b.get(), "", sender.get());  // every name from the sender
  observe(c.get(), "Ping", nullptr);
  observe(a.get(), "Ping", sender.get());

  post("Ping", sender.get());
  post("Pong", other.get());
  post("Ping", nullptr);  // no object: only those observing every object
  EXPECT_EQ(heard, (Heard{"c Ping", "a Ping", "b Ping", "c Ping", "a Ping", "a Pong", "a Ping",
                          "c Ping"}));

  // Removing some registrations leaves the rest in their order.
  heard.clear();
  center->removeObserver(a.get(), nullptr, sender.get());
  post("Ping", sender.get());
  EXPECT_EQ(heard, (Heard{"c Ping", "a Ping", "b Ping", "c Ping"}));

  // Removed for one name, an observer still hears the others.
  heard.clear();
  observe(c.get(), "Pong", nullptr);
  center->removeObserver(c.get(), str("Ping").get(), nullptr);
  post("Ping", sender.get());
  post("Pong", other.get());
  EXPECT_EQ(heard, (Heard{"a Ping", "b Ping", "a Pong", "c Pong"}));
  for (const auto& observer : {a, b, c}) center->removeObserver(observer.get());
}

TEST_F(NotificationCenterTest, ANewObjectAtAFreedAddressIsNotTheOldOneAndGoneObserversAreSwept) {
  auto observer = tagged("watcher");
  auto sender = make<Object>();
  const Object* freedAddress = sender.get();
  observe(observer.get(), "Ping", sender.get());
  sender.reset();
  std::vector<Ref<Object>> spare;  // the allocator commonly hands the block on
  for (spare.push_back(make<Object>()); spare.size() < 64 && spare.back().get() != freedAddress;) {
    spare.push_back(make<Object>());
  }
  Object* next = spare.back().get();
  post("Ping", next);
  EXPECT_TRUE(heard.empty());

  // A gone observer is swept by the next post that meets it.
  const std::size_t registered = center->registrationCount();
  observe(observer.get(), "Ping", next);
  observer.reset();
  post("Ping", next);
  EXPECT_EQ(center->registrationCount(), registered);
}

TEST_F(NotificationCenterTest, ADelegateHearsItsOwnWindowWhileItIsTheDelegateUntilTheClose) {
  const std::size_t before = center->registrationCount();
  // Not key nor main: closing it posts nothing after the will-close.
  auto window = Window::create({{0, 0}, {400, 300}});
  auto other = Window::create({{0, 0}, {400, 300}});
  window->orderFront(nullptr);
  Ref<Object> delegate = class_createInstance(observerClass());
  window->setDelegate(delegate.get());
  window->setFrame({{10, 10}, {400, 300}}, true);  // moved, not resized
  other->setFrame({{0, 0}, {500, 300}}, true);     // another window
  window->setFrame({{0, 0}, {500, 300}}, true);
  // A replaced delegate hears nothing, and one gone is not kept by the window.
  window->setDelegate(class_createInstance(observerClass()).get());
  EXPECT_EQ(window->delegate(), nullptr);
  window->setFrame({{0, 0}, {600, 300}}, true);
  window->setDelegate(delegate.get());
  gOwner = &delegate;
  window->close();
  EXPECT_EQ(heard, (Heard{"NSWindowDidResizeNotification", "NSWindowWillCloseNotification"}));
  EXPECT_EQ(delegate, nullptr);  // released itself in windowWillClose:
  EXPECT_EQ(center->registrationCount(), before);
  // A delegate set after the close hears nothing of the closed window.
  auto kept = class_createInstance(observerClass());
  window->setDelegate(kept.get());
  window->setFrame({{20, 20}, {600, 300}}, true);
  EXPECT_EQ(heard.size(), 2U);
}

TEST_F(NotificationCenterTest, WindowsAndObserversComingAndGoingLeaveTheCountBounded) {
  gHeard = nullptr;
  const std::size_t before = center->registrationCount();
  auto watcher = tagged("watcher");  // outlives every window it observes
  std::size_t peak = 0;
  for (int i = 0; i < 5000; ++i) {
    auto window = Window::create({{0, 0}, {400, 300}});
    window->makeKeyAndOrderFront(nullptr);
    auto delegate = class_createInstance(observerClass());
    window->setDelegate(delegate.get());
    observe(watcher.get(), NSWindowDidResizeNotification, window.get());
    auto quiet = make<Object>();  // never posts: only a sweep finds it dead
    observe(watcher.get(), "Quiet", quiet.get());
    window->setFrame({{0, 0}, {500, 300}}, true);
    if (i % 3 == 0) delegate.reset();  // gone before its window closes
    window->close();
    peak = std::max(peak, center->registrationCount());
  }
  EXPECT_LE(peak, 2 * (before + 8) + 64);
}

TEST_F(NotificationCenterTest, PostingAndRegisteringFromTwoThreadsAtOnce) {
  gHeard = nullptr;
  gCounted = 0;
  auto sender = make<Object>();
  auto steady = class_createInstance(observerClass());
  observe(steady.get(), "Tick", sender.get());
  constexpr int kPosts = 2000;
  std::thread poster([&] {
    for (int i = 0; i < kPosts; ++i) post("Tick", sender.get());
  });
  std::thread churner([&] {
    for (int i = 0; i < kPosts; ++i) {
      auto observer = class_createInstance(observerClass());
      auto object = make<Object>();
      observe(observer.get(), "Tock", object.get());
      post("Tick", sender.get());
      post("Tock", object.get());
      if (i % 2 == 0) center->removeObserver(observer.get());
    }
  });
  poster.join();
  churner.join();
  EXPECT_EQ(gCounted.load(), 3 * kPosts);
  center->removeObserver(steady.get());
}

}  // namespace
}  // namespace tovik
