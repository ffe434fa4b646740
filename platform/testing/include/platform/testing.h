#pragma once

#include <concepts>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/application.h"
#include "platform/foundation.h"
#include "platform/main_queue.h"
#include "platform/toolbar.h"
#include "platform/window.h"

// tovik::testing: what a host's tests of the chrome TovikMacPlugin gives its
// windows need around the headless window system: the plug-in loaded from
// its module, a main queue on a clock the test moves, windows with views of
// the host's own classes, the user's clicks and drags, and the defaults file
// read back as another process reads it. Nothing here needs GoogleTest;
// "platform/plugin_test.h" builds a GoogleTest fixture on it.
namespace tovik::testing {

// The module installed beside this library: <libdir>/TovikMacPlugin/.
std::filesystem::path installedModulePath();

// Loads the module, as an application loads the plug-in's bundle, and
// answers the class it registers, TovikMacWindowPlugin. Throws
// std::runtime_error saying why when the module does not load or registers
// no such class. Loading it again answers the same class.
Class* loadPluginClass(const std::filesystem::path& module = installedModulePath());

// The plug-in object, made from its class as a host makes it (alloc, init).
Ref<Object> makePlugin(Class* pluginClass);

// The main queue on a clock that moves only when told, from construction to
// destruction.
class ManualMainQueue {
 public:
  ManualMainQueue() { MainQueue::main().useClock(&clock_); }
  ~ManualMainQueue() { MainQueue::main().useClock(nullptr); }
  ManualMainQueue(const ManualMainQueue&) = delete;
  ManualMainQueue& operator=(const ManualMainQueue&) = delete;

  // Runs what is due now (what the plug-in hopped to the queue, for one);
  // answers how many work items ran.
  std::size_t turn() { return MainQueue::main().runUntilIdle(); }
  // Moves time on by `d`, running what falls due in deadline order.
  std::size_t runFor(Duration d) { return MainQueue::main().runFor(d); }
  // Moves the clock without running anything.
  void advance(Duration d) { clock_.advance(d); }
  ManualClock& clock() { return clock_; }

 private:
  ManualClock clock_;
};

// The standard user defaults and the global domain kept in a new folder of
// their own, from construction to destruction; then what is pending is
// written and the folder removed, and the previous folder is back.
class PreferencesFolder {
 public:
  PreferencesFolder();
  ~PreferencesFolder();
  PreferencesFolder(const PreferencesFolder&) = delete;
  PreferencesFolder& operator=(const PreferencesFolder&) = delete;

  [[nodiscard]] const std::filesystem::path& path() const { return folder_; }

 private:
  std::filesystem::path previous_;
  std::filesystem::path folder_;
};

// The user's system-wide settings (the global domain, NSGlobalDomain) set to
// just these, as the user's choices in System Settings would leave them.
void setGlobalDefaults(Dictionary::Entries entries);

// The value of `key` in the standard user defaults as the file holds it:
// what is pending is written first, then the file is read as another
// process reads it. None when the file or the key is not there; throws
// std::runtime_error when what is pending cannot be written.
Ref<Object> readStoredDefault(std::string_view key);

// A test of a host of the plug-in, from construction to destruction: the
// plug-in object, the main queue on a manual clock, the user defaults in a
// folder of their own, and the workspace with only the system's
// applications and no request. Afterwards every window is closed, what the
// plug-in left on the queue (up to a second ahead) has run, the application
// is active and the real clock is back.
class PluginHost {
 public:
  // The plug-in made from `pluginClass`: by default the class of the
  // installed module.
  explicit PluginHost(Class* pluginClass = loadPluginClass());
  ~PluginHost();
  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;

  [[nodiscard]] Object* plugin() const { return plugin_.get(); }
  ManualMainQueue& queue() { return queue_; }
  [[nodiscard]] const std::filesystem::path& preferences() const { return preferences_.path(); }

 private:
  ManualMainQueue queue_;
  PreferencesFolder preferences_;
  Ref<Object> plugin_;
};

// A class of the host's own under `superclass` (NSView by default),
// registered on first use; later calls with the same name answer it.
Class* hostClass(const char* name, Class* superclass = View::runtimeClass());

// A window as a host makes one, and the views it put there.
struct HostWindow {
  Ref<Window> window;
  Ref<View> content;                  // the window's content view, the host's
  std::vector<Ref<View>> stripViews;  // along the top edge, left to right
};

// The size of each view of a host strip, and the gap between them.
inline constexpr CGSize kStripViewSize{120, 22};
inline constexpr double kStripViewGap = 8;

// A titled window with full-size content (the content view fills the whole
// window, the titlebar strip lies over its top) tagged `identifier`, key and
// on screen, whose content view holds one view per class name, left to
// right from x = 80, vertically centred in the 28-point strip, each
// kStripViewSize: the host's own controls in the strip, as a window
// configured by the plug-in shows them. The classes are hostClass's, so a
// second call with the same names is safe.
HostWindow makeHostWindow(std::string_view identifier,
                          std::initializer_list<const char*> stripClassNames = {},
                          CGSize size = {900, 600});

// A toolbar and the delegate that fills it, one item per entry, each item
// showing a view of the host class named as the item, of the given size.
// The toolbar keeps its delegate weakly: keep the whole HostToolbar.
struct HostToolbarItem {
  const char* className;
  CGSize size;
};
struct HostToolbar {
  Ref<Toolbar> toolbar;
  Ref<Object> delegate;
};
HostToolbar makeHostToolbar(std::string_view identifier, std::vector<HostToolbarItem> items);

// The user's mouse. Points are in the window's coordinates (bottom-left
// origin); each gesture goes through the application as the window server
// delivers it, so event monitors see it. A click is a press and a release.
// Each but drag answers the view its (last) press reached, none when the
// window is not on screen.
CGPoint centreOf(const View* view);  // in its window's coordinates
Ref<View> press(Window* window, std::uint64_t eventType, CGPoint at, std::int64_t clicks = 1);
Ref<View> click(Window* window, CGPoint at);
Ref<View> click(View* view);  // in the middle of a view on screen
// On the titlebar strip at `x`, 14 points below the window's top edge: the
// middle of the title row, where the standard buttons and a host strip's
// views are.
Ref<View> clickStrip(Window* window, double x);
Ref<View> doubleClick(Window* window, CGPoint at);
// Presses at `from`, moves the pointer by `by` on the screen in two steps
// and lets go.
void drag(Window* window, CGPoint from, CGPoint by);

// What a failed expectation shows of a view or a window: its class name,
// frame and identifier (a view's is its window's), or "nil".
std::string describe(const View* view);
std::string describe(const Window* window);

}  // namespace tovik::testing

namespace tovik {

// GoogleTest prints a value through a PrintTo that argument-dependent lookup
// finds; these show views and windows by describe() rather than as bytes.
template <class T>
requires std::derived_from<T, View> || std::derived_from<T, Window>
void PrintTo(T* object, std::ostream* os) { *os << testing::describe(object); }
template <class T>
requires std::derived_from<T, View> || std::derived_from<T, Window>
void PrintTo(const Ref<T>& object, std::ostream* os) { *os << testing::describe(object.get()); }

}  // namespace tovik
