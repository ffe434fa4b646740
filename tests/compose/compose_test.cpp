#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "compose/close_delegate.h"
#include "platform/application.h"
#include "platform/main_queue.h"
#include "platform/notification_center.h"
#include "platform/testing.h"
#include "platform/user_defaults.h"
#include "platform/window.h"
#include "plugin/plugin_class.h"
#include "tests/support/plugin_host_test.h"

namespace tovik {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class ComposeTest : public PluginHostTest {
 protected:
  void SetUp() override {
    PluginHostTest::SetUp();
    window = Window::create({{0, 0}, {800, 600}});
    window->makeKeyAndOrderFront(nullptr);
    shouldClose = makeBlock<bool()>([this] {
      ++asked;
      return answer;
    });
  }
  void configure(Dictionary::Entries entries, BlockBase* block) {
    send<void>(plugin.get(), "configureComposeWindowWithConfiguration:shouldClose:",
               Dictionary::make(std::move(entries)).get(), block);
    MainQueue::main().runUntilIdle();
  }
  void configure(std::string_view identifier) {
    configure({{"windowIdentifier", str(identifier)}}, shouldClose.get());
  }
  void allow(std::string_view identifier) {
    send<void>(plugin.get(), "allowComposeWindowCloseWithWindowIdentifier:", str(identifier).get());
    MainQueue::main().runUntilIdle();
  }
  static void clickClose(Window* w) {
    testing::click(w->standardWindowButton(NSWindowCloseButton));
  }
  // The record as the file on disk holds it: {"width", "height"} as reals.
  [[nodiscard]] static CGSize record(std::string_view key = kDefaultComposeSizeDefaultsKey) {
    const Ref<Dictionary> value = as<Dictionary>(testing::readStoredDefault(key));
    if (value == nullptr) return {-1, -1};
    const auto* w = as<Number>(value->objectForKey("width"));
    const auto* h = as<Number>(value->objectForKey("height"));
    EXPECT_EQ(w->kind(), Number::Kind::Real);
    EXPECT_EQ(h->kind(), Number::Kind::Real);
    return {w->doubleValue(), h->doubleValue()};
  }

  Ref<Window> window;
  Ref<ShouldCloseBlock> shouldClose;
  int asked = 0;
  bool answer = false;
};

TEST_F(ComposeTest, TheCloseButtonAsksTheHostUnlessTheNextCloseWasAllowed) {
  configure("compose-1");
  clickClose(window.get());
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(window->isVisible());  // vetoed
  answer = true;
  clickClose(window.get());
  EXPECT_EQ(asked, 2);
  EXPECT_FALSE(window->isVisible());

  // Allowed twice: one close goes through unasked, the next asks again.
  auto second = Window::create({{0, 0}, {700, 500}});
  second->makeKeyAndOrderFront(nullptr);
  answer = false;
  configure("compose-2");
  allow("compose-2");
  allow("compose-2");
  EXPECT_TRUE(send<bool>(second->delegate(), "windowShouldClose:", second.get()));
  EXPECT_FALSE(send<bool>(second->delegate(), "windowShouldClose:", second.get()));
  EXPECT_EQ(asked, 3);

  // An allow before the configure, and a second configure, leave no permission.
  allow("compose-3");
  configure("compose-3");
  allow("compose-3");
  configure("compose-3");  // replaces the delegate, disarmed
  second->performClose(nullptr);
  EXPECT_EQ(asked, 4);
}

TEST_F(ComposeTest, TheConfigurationsKeysTheirTypesAndDefaultsAndTheDelegatesProtocol) {
  // Nothing without a string identifier or a block of the right signature.
  configure({}, shouldClose.get());
  configure({{"windowIdentifier", Number::withInteger(7)}}, shouldClose.get());
  configure({{"windowIdentifier", str("compose-a")}}, makeBlock<void()>([] {}).get());
  configure({{"windowIdentifier", str("compose-a")}},
            makeBlock<bool(String*)>([](String*) { return true; }).get());
  EXPECT_EQ(window->delegate(), nullptr);
  // By default the record goes under the default key, at least 560 by 520;
  // the delegate says it is a window delegate when asked.
  configure("compose-a");
  ASSERT_NE(window->delegate(), nullptr);
  EXPECT_TRUE(
      send<bool>(window->delegate(), "conformsToProtocol:", objc_getProtocol("NSWindowDelegate")));
  window->setFrame({{0, 0}, {100, 0.5}}, true);
  EXPECT_EQ(record(), (CGSize{560, 520}));

  // An empty key is a key; digits are not a number, and YES is 1.
  configure({{"windowIdentifier", str("compose-a")},
             {"sizeDefaultsKey", str("")},
             {"minimumWidth", str("600")},
             {"minimumHeight", Number::withBool(true)}},
            shouldClose.get());
  Object* configured = window->delegate();
  window->setFrame({{0, 0}, {90, 0.25}}, true);
  EXPECT_EQ(record(""), (CGSize{560, 1}));
  configure({{"windowIdentifier", str("compose-a")}}, nullptr);  // no block: nothing
  EXPECT_EQ(window->delegate(), configured);
}

TEST_F(ComposeTest, TheFrameRecordOnDiskIsTheFrameRaisedToTheMinimum) {
  configure("compose");
  window->setFrame({{0, 0}, {500, 400}}, true);
  EXPECT_EQ(record(), (CGSize{560, 520}));
  window->setFrame({{0, 0}, {800, 600}}, true);
  EXPECT_EQ(record(), (CGSize{800, 600}));

  const Ref<String> key = str("size.zero");
  saveFrameSize(key.get(), 640, 480, kNaN, -kInf);  // a non-finite minimum is none
  EXPECT_EQ(record("size.zero"), (CGSize{640, 480}));
  saveFrameSize(key.get(), kNaN, 480, kInf, 0);  // no finite width at all: nothing
  EXPECT_EQ(record("size.zero"), (CGSize{640, 480}));

  window->setFrame({{0, 0}, {900, 700}}, true);
  answer = true;
  window->performClose(nullptr);
  EXPECT_EQ(record(), (CGSize{900, 700}));  // the close writes the final size once more
}

TEST_F(ComposeTest, OneRecordPerKeyFromTheWindowsCarryingTheIdentifierInAnyEquivalentSpelling) {
  auto other = Window::create({{0, 0}, {700, 650}});
  other->setIdentifier(str("compose-2").get());
  other->orderFront(nullptr);
  configure("caf\xC3\xA9");  // precomposed
  configure("compose-2");
  window->setIdentifier(str("cafe\xCC\x81").get());  // decomposed: the same identifier
  window->setFrame({{0, 0}, {610, 600}}, true);
  EXPECT_EQ(record(), (CGSize{610, 600}));
  other->setFrame({{0, 0}, {620, 610}}, true);
  EXPECT_EQ(record(), (CGSize{620, 610}));           // one record per key: the last write wins
  window->setIdentifier(str("CAFE\xCC\x81").get());  // case counts: no longer served
  window->setFrame({{0, 0}, {1000, 900}}, true);
  EXPECT_EQ(record(), (CGSize{620, 610}));

  window->setIdentifier(str("cafe\xCC\x81").get());  // closing asks the host
  clickClose(window.get());
  EXPECT_EQ(asked, 1);
}

TEST_F(ComposeTest, TheDelegateOutlivesItsOwnCloseCallback) {
  configure("compose");
  // The window does not keep its delegate, so the close callback is the
  // last thing the delegate does before it goes.
  const Weak<Object> delegate = window->delegate()->retain();
  window->close();  // not asked
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(delegate.lock(), nullptr);
  EXPECT_EQ(window->delegate(), nullptr);
  EXPECT_EQ(record(), (CGSize{800, 600}));
}

}  // namespace
}  // namespace tovik
