// A host's first test of the chrome TovikMacPlugin gives its windows.
#include "platform/plugin_test.h"

using namespace tovik;
using namespace tovik::testing;

using FirstTest = PluginTest;  // the installed module's plug-in, a manual main queue

TEST_F(FirstTest, TheStripClicksThroughAndAnUnsavedDraftKeepsItsWindowOpen) {
  HostWindow main = makeHostWindow("editor", {"HostSearchField"});
  send<void>(plugin.get(), "configureMainWindowTitlebarWithWindowIdentifier:", str("editor").get());
  turn();  // the plug-in does its window work on the main queue
  EXPECT_EQ(clickStrip(main.window.get(), 140), main.stripViews[0]);  // the host's own control
  EXPECT_EQ(clickStrip(main.window.get(), 500), main.content);        // the strip lets clicks by
  click(main.window->standardWindowButton(NSWindowCloseButton));
  EXPECT_FALSE(main.window->isVisible());

  HostWindow compose = makeHostWindow("compose");
  int asked = 0;
  auto shouldClose = makeBlock<bool()>([&asked] {
    ++asked;
    return false;  // the draft is not saved
  });
  send<void>(plugin.get(), "configureComposeWindowWithConfiguration:shouldClose:",
             Dictionary::make({{"windowIdentifier", str("compose")},
                               {"sizeDefaultsKey", str("ComposeWindowSize")}})
                 .get(),
             shouldClose.get());
  turn();
  click(compose.window->standardWindowButton(NSWindowCloseButton));
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(compose.window->isVisible());

  compose.window->setFrame({{100, 100}, {720, 540}}, true);
  const Ref<Dictionary> record = as<Dictionary>(readStoredDefault("ComposeWindowSize"));
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(as<Number>(record->objectForKey("width"))->doubleValue(), 720);
  EXPECT_EQ(as<Number>(record->objectForKey("height"))->doubleValue(), 540);
}
