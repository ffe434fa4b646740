#include "host/compose_transcript.h"

#include <cstdio>
#include <string>

#include "compose/close_delegate.h"
#include "platform/application.h"
#include "platform/main_queue.h"
#include "platform/property_list_file.h"
#include "platform/user_defaults.h"
#include "platform/window.h"
#include "platform/xml_property_list.h"

namespace tovik {

namespace {

// The domain's file as it is on disk; none, with the reason on stderr, when
// there is none or it cannot be read as a property list.
std::optional<Dictionary::Entries> readDomainFile(const std::string& domain) {
  const auto file = UserDefaults::preferencesFolder() / (domain + ".plist");
  PropertyListFile read = readPropertyListFile(file, std::nullopt);
  switch (read.state) {
    case PropertyListFile::State::Read:
      return std::move(read.entries);
    case PropertyListFile::State::Absent:
    case PropertyListFile::State::Unchanged:
      std::fprintf(stderr, "Domain %s does not exist in %s\n", domain.c_str(),
                   UserDefaults::preferencesFolder().c_str());
      break;
    case PropertyListFile::State::Unreadable:
      std::fprintf(stderr, "%s cannot be read\n", file.c_str());
      break;
    case PropertyListFile::State::Damaged:
      std::fprintf(stderr, "%s is not a property list\n", file.c_str());
      break;
  }
  return std::nullopt;
}

}  // namespace

void showComposeWindow(Object* plugin) {
  auto window = Window::create({{200, 200}, {640, 480}});
  window->makeKeyAndOrderFront(nullptr);
  int asked = 0;
  auto shouldClose = makeBlock<bool()>([&asked] {
    ++asked;
    std::printf("  host's shouldClose block asked (%d): %s\n", asked,
                asked == 1 ? "NO, the draft is unsaved" : "YES");
    return asked > 1;
  });
  send<void>(plugin, "configureComposeWindowWithConfiguration:shouldClose:",
             Dictionary::make({{"windowIdentifier", str("compose-draft")},
                               {"minimumWidth", Number::withDouble(560)},
                               {"minimumHeight", Number::withDouble(520)}})
                 .get(),
             shouldClose.get());
  MainQueue::main().runUntilIdle();
  std::printf("compose window \"compose-draft\" configured (minimum record 560 x 520)\n");

  const auto clickCloseButton = [&window] {
    window->mouseDown(
        window->standardWindowButton(NSWindowCloseButton)->convertPointToView({7, 7}, nullptr));
  };
  clickCloseButton();
  std::printf("click on the close button: window %s\n",
              window->isVisible() ? "stays open" : "closed");
  for (const double width : {600.0, 680.0, 720.0}) {
    window->setFrame({{200, 200}, {width, width * 0.75}}, true);
  }
  std::printf("live resize to 720 x 540\n");
  send<void>(plugin, "allowComposeWindowCloseWithWindowIdentifier:", str("compose-draft").get());
  MainQueue::main().runUntilIdle();
  std::printf("host allowed the next close; the host's block was asked %d time(s) so far\n", asked);
  clickCloseButton();
  std::printf("click on the close button: window %s, block asked %d time(s)\n",
              window->isVisible() ? "stays open" : "closed", asked);

  UserDefaults* defaults = UserDefaults::standardUserDefaults();
  defaults->synchronize();
  const auto entries = readDomainFile(defaults->domain());
  const auto* record =
      entries && entries->contains(kDefaultComposeSizeDefaultsKey)
          ? as<Dictionary>(entries->find(kDefaultComposeSizeDefaultsKey)->second.get())
          : nullptr;
  if (record != nullptr) {
    std::printf("record read back from %s: width %g, height %g\n", defaults->file().c_str(),
                as<Number>(record->objectForKey("width"))->doubleValue(),
                as<Number>(record->objectForKey("height"))->doubleValue());
  } else {
    std::printf("no record in %s\n", defaults->file().c_str());
  }
  std::printf("(see it with: tovik-host defaults read %s %s)\n", defaults->domain().c_str(),
              std::string(kDefaultComposeSizeDefaultsKey).c_str());
}

int readDefaults(const char* domain, const char* key) {
  const auto entries = readDomainFile(domain);
  if (!entries) return 1;
  if (key == nullptr) {
    std::fputs(xmlPropertyList(Dictionary::make(*entries).get()).c_str(), stdout);
    return 0;
  }
  auto it = entries->find(key);
  if (it == entries->end()) {
    std::fprintf(stderr, "The domain/default pair of (%s, %s) does not exist\n", domain, key);
    return 1;
  }
  std::fputs(xmlPropertyList(it->second.get()).c_str(), stdout);
  return 0;
}

}  // namespace tovik
