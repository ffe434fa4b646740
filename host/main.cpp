// tovik-host: a headless host application. It loads the TovikMacPlugin
// module by path, finds TovikMacWindowPlugin by its plain name, and drives
// it as a host application would, printing what happened.
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "host/chrome_transcript.h"
#include "host/click_map.h"
#include "host/compose_transcript.h"
#include "platform/application.h"
#include "platform/foundation.h"
#include "platform/main_queue.h"
#include "platform/testing.h"
#include "platform/updater.h"
#include "platform/window.h"
#include "platform/workspace.h"

using namespace tovik;

namespace {

std::string describe(const Window* window) {
  if (window == nullptr) return "no window";
  const String* id = window->identifier();
  return "window \"" + (id != nullptr ? id->utf8() : std::string("(untagged)")) + "\"";
}

// Loads the module and creates its TovikMacWindowPlugin; nothing, with the
// reason printed, when either fails.
Ref<Object> loadPlugin(const std::string& modulePath) {
  try {
    return testing::makePlugin(testing::loadPluginClass(modulePath));
  } catch (const std::runtime_error& error) {
    std::fprintf(stderr, "tovik-host: %s\n", error.what());
    return nullptr;
  }
}

int clickMap(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 2, argv + argc);
  const std::optional<ClickMapOptions> options = parseClickMapArguments(args);
  if (!options) {
    std::fputs(kClickMapUsage, stderr);
    return 2;
  }
  const Ref<Object> plugin = loadPlugin(TOVIK_DEFAULT_MODULE_PATH);
  if (plugin == nullptr) return 1;
  const bool written = renderClickMap(plugin.get(), *options);
  // cairo and fontconfig keep their font caches for the life of the process;
  // give them back before exit, as no cairo object outlives the drawing.
  cairo_debug_reset_static_data();
  FcFini();
  if (!written) {
    std::fprintf(stderr, "tovik-host: cannot write %s\n", options->file.c_str());
    return 1;
  }
  return 0;
}

constexpr const char* kUsage =
    "usage: tovik-host [MODULE]\n"
    "       tovik-host defaults read DOMAIN [KEY]\n"
    "       tovik-host clickmap [--width W] [--toolbar] [--fullscreen] FILE.png\n"
    "\n"
    "With no command, loads MODULE (by default the TovikMacPlugin module this\n"
    "host was built with), drives TovikMacWindowPlugin as an application would\n"
    "and prints a transcript of what it did.\n"
    "  defaults read  prints a domain's stored user defaults, or one key\n"
    "  clickmap       draws where clicks land on a window's titlebar strip,\n"
    "                 before and after the plug-in configures it\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  // A module path never starts with '-': an option this host does not know.
  if (argc >= 2 && argv[1][0] == '-') {
    std::fprintf(stderr, "tovik-host: unknown option %s\n%s", argv[1], kUsage);
    return 2;
  }
  if (argc >= 4 && std::string_view(argv[1]) == "defaults" && std::string_view(argv[2]) == "read") {
    return readDefaults(argv[3], argc >= 5 ? argv[4] : nullptr);
  }
  if (argc >= 2 && std::string_view(argv[1]) == "defaults") {
    std::fprintf(stderr, "usage: tovik-host defaults read DOMAIN [KEY]\n");
    return 2;
  }
  if (argc >= 2 && std::string_view(argv[1]) == "clickmap") return clickMap(argc, argv);
  const std::string modulePath = argc > 1 ? argv[1] : TOVIK_DEFAULT_MODULE_PATH;
  Application::shared()->setBundleIdentifier("com.tarnwell.tovik.host");
  Ref<Object> plugin = loadPlugin(modulePath);
  if (plugin == nullptr) return 1;
  std::printf("loaded %s; created a %s\n", modulePath.c_str(),
              NSStringFromClass(plugin->isa())->utf8().c_str());

  auto main = Window::create({{100, 100}, {1000, 700}});
  main->makeKeyAndOrderFront(nullptr);
  auto hidden = Window::create({{200, 200}, {600, 500}});
  hidden->setIdentifier(str("main").get());  // tagged but never shown
  auto other = Window::create({{300, 300}, {600, 500}});
  other->setIdentifier(str("sidebar").get());
  other->orderFront(nullptr);

  // From the main thread and from another thread; nothing happens until the
  // main queue runs.
  auto report = [&](const char* step) {
    MainQueue::main().async([&, step] {
      std::printf("  main queue, host item %s: key window movable=%s, sidebar movable=%s\n", step,
                  main->isMovableByWindowBackground() ? "yes" : "no",
                  other->isMovableByWindowBackground() ? "yes" : "no");
    });
  };
  report("queued first");
  send<void>(plugin.get(), "configureMainWindowTitlebarWithWindowIdentifier:", str("main").get());
  report("queued after configuring \"main\"");
  std::thread([&] {
    send<void>(plugin.get(),
               "configureMainWindowTitlebarWithWindowIdentifier:", str("sidebar").get());
  }).join();
  report("queued after configuring \"sidebar\" from another thread");
  std::printf("before the main queue runs: key window is %s, movable: %s\n",
              describe(main.get()).c_str(), main->isMovableByWindowBackground() ? "yes" : "no");
  const std::size_t ran = MainQueue::main().runUntilIdle();
  std::printf("main queue ran %zu work items\n", ran);
  std::printf(
      "\"main\" (hidden window tagged \"main\" skipped) configured the key window: %s, movable: "
      "%s\n",
      describe(main.get()).c_str(), main->isMovableByWindowBackground() ? "yes" : "no");
  std::printf("\"sidebar\" configured the visible window tagged so: %s, movable: %s\n",
              describe(other.get()).c_str(), other->isMovableByWindowBackground() ? "yes" : "no");
  std::printf("hidden window still %s, movable: %s\n", describe(hidden.get()).c_str(),
              hidden->isMovableByWindowBackground() ? "yes" : "no");

  // The update handshake, with the host playing the update framework.
  send<void>(plugin.get(), "startUpdater");
  send<void>(plugin.get(), "checkForUpdates");
  auto handler = makeBlock<void(String*)>([](String* version) {
    std::printf("  host's update-ready handler: version \"%s\" is ready\n",
                version->utf8().c_str());
  });
  send<void>(plugin.get(), "setUpdateReadyHandler:", handler.get());
  MainQueue::main().runUntilIdle();
  for (const auto& controller : UpdaterController::liveInstances()) {
    Updater* updater = controller->updater();
    std::printf("updater started: %s, user-initiated checks: %zu\n",
                updater->isStarted() ? "yes" : "no", updater->userInitiatedChecks());
    const bool answer =
        updater->presentUpdateInstalledOnQuit(AppcastItem::withDisplayVersion("2.4.1").get());
    std::printf("framework: update 2.4.1 will install on quit; the plug-in answered %s\n",
                answer ? "YES" : "NO");
    MainQueue::main().runUntilIdle();
    send<void>(plugin.get(), "installPendingUpdate");
    MainQueue::main().runUntilIdle();
    for (const auto& version : updater->immediateInstalls()) {
      std::printf("framework: installed %s at once\n", version.c_str());
    }
  }

  showMainWindowChrome(plugin.get());
  showComposeWindow(plugin.get());

  // Notification settings: at once on the calling thread, seen in the
  // workspace's record of open requests.
  Workspace* workspace = Workspace::sharedWorkspace();
  auto showOpens = [&](std::size_t from) {
    const auto requests = workspace->openRequests();
    for (std::size_t i = from; i < requests.size(); ++i) {
      std::printf("  workspace asked to open %s: %s\n", requests[i].url.c_str(),
                  requests[i].opened ? "opened" : "refused");
    }
    return requests.size();
  };
  const std::string& bundleIdentifier = Application::shared()->bundleIdentifier();
  std::printf("notification settings for %s:\n", bundleIdentifier.c_str());
  send<void>(plugin.get(),
             "openNotificationSettingsForBundleIdentifier:", str(bundleIdentifier).get());
  std::size_t shown = showOpens(0);
  // The host registers its own settings handler: it refuses the notification
  // settings extension's pane and hands every other URL to System Settings.
  Ref<URLSchemeHandler> systemSettings = workspace->handlerForURLScheme(SystemSettings::kURLScheme);
  workspace->setHandlerForURLScheme(
      SystemSettings::kURLScheme, makeBlock<bool(URL*)>([systemSettings](URL* url) {
        return SystemSettings::paneOfURL(*url) != "com.apple.Notifications-Settings.extension" &&
               systemSettings != nullptr && (*systemSettings)(url);
      }));
  std::printf("notification settings for %s, with that pane refused by the host's handler:\n",
              bundleIdentifier.c_str());
  send<void>(plugin.get(),
             "openNotificationSettingsForBundleIdentifier:", str(bundleIdentifier).get());
  showOpens(shown);
  workspace->setHandlerForURLScheme(SystemSettings::kURLScheme, systemSettings);
  return 0;
}
