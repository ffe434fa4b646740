#include "platform/workspace.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tovik {

namespace {

std::string lowercaseASCII(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

constexpr std::array<std::string_view, 40> kPanes = {
    // Settings extensions (macOS 13 and later).
    "com.apple.Accessibility-Settings.extension",
    "com.apple.Appearance-Settings.extension",
    "com.apple.BluetoothSettings",
    "com.apple.Battery-Settings.extension",
    "com.apple.ControlCenter-Settings.extension",
    "com.apple.Date-Time-Settings.extension",
    "com.apple.Desktop-Settings.extension",
    "com.apple.Displays-Settings.extension",
    "com.apple.Focus-Settings.extension",
    "com.apple.Keyboard-Settings.extension",
    "com.apple.LoginItems-Settings.extension",
    "com.apple.Mouse-Settings.extension",
    "com.apple.Network-Settings.extension",
    "com.apple.Notifications-Settings.extension",
    "com.apple.settings.PrivacySecurity.extension",
    "com.apple.Screen-Time-Settings.extension",
    "com.apple.Sharing-Settings.extension",
    "com.apple.Sound-Settings.extension",
    "com.apple.Software-Update-Settings.extension",
    "com.apple.systempreferences.GeneralSettings",
    "com.apple.Trackpad-Settings.extension",
    "com.apple.Users-Groups-Settings.extension",
    "com.apple.Wallpaper-Settings.extension",
    // Older preference panes.
    "com.apple.preference.battery",
    "com.apple.preference.datetime",
    "com.apple.preference.displays",
    "com.apple.preference.dock",
    "com.apple.preference.general",
    "com.apple.preference.keyboard",
    "com.apple.preference.mouse",
    "com.apple.preference.network",
    "com.apple.preference.notifications",
    "com.apple.preference.screentime",
    "com.apple.preference.security",
    "com.apple.preference.sound",
    "com.apple.preference.trackpad",
    "com.apple.preference.universalaccess",
    "com.apple.preferences.Bluetooth",
    "com.apple.preferences.sharing",
    "com.apple.preferences.softwareupdate",
};

}  // namespace

std::span<const std::string_view> SystemSettings::paneIdentifiers() { return kPanes; }

std::optional<std::string_view> SystemSettings::paneOfURL(const URL& url) {
  const String* scheme = url.scheme();
  if (scheme == nullptr || lowercaseASCII(scheme->utf8()) != kURLScheme) return std::nullopt;
  const std::string_view text = url.absoluteString()->utf8();
  std::string_view rest = text.substr(scheme->utf8().size() + 1);
  return rest.substr(0, rest.find_first_of("?#"));
}

const Ref<URLSchemeHandler>& SystemSettings::application() {
  static const auto* const app = new Ref<URLSchemeHandler>(makeBlock<bool(URL*)>([](URL* url) {
    if (url == nullptr) return false;
    const std::optional<std::string_view> pane = paneOfURL(*url);
    return pane.has_value() && std::find(kPanes.begin(), kPanes.end(), *pane) != kPanes.end();
  }));
  return *app;
}

Class* Workspace::runtimeClass() {
  static Class* const cls = [] {
    Class* c = objc_declareClass(
        "NSWorkspace", Object::runtimeClass(),
        [](Class* isa) -> Ref<Object> { return std::make_shared<Workspace>(isa); });
    addMethod(c, "openURL:", [](Workspace* self, URL* url) {
      return self->openWithRegisteredApplication(url);
    });
    return c;
  }();
  return cls;
}

Workspace* Workspace::sharedWorkspace() {
  static auto* workspace = new Ref<Workspace>([] {
    auto w = make<Workspace>();
    w->reset();
    return w;
  }());
  return workspace->get();
}

void Workspace::installSystemHandlers() {
  handlers_.clear();
  handlers_.emplace(std::string(SystemSettings::kURLScheme), SystemSettings::application());
}

bool Workspace::openWithRegisteredApplication(URL* url) {
  if (url == nullptr) return false;
  Ref<URLSchemeHandler> handler;
  std::size_t index = 0;
  std::uint64_t generation = 0;
  {
    std::lock_guard lock(mutex_);
    if (const String* scheme = url->scheme(); scheme != nullptr) {
      auto it = handlers_.find(lowercaseASCII(scheme->utf8()));
      if (it != handlers_.end()) handler = it->second;
    }
    index = requests_.size();
    generation = generation_;
    requests_.push_back({url->absoluteString()->utf8(), std::nullopt});
  }
  const bool opened = handler != nullptr && (*handler)(url);
  std::lock_guard lock(mutex_);
  if (generation == generation_ && index < requests_.size()) requests_[index].opened = opened;
  return opened;
}

Ref<URLSchemeHandler> Workspace::handlerForURLScheme(std::string_view scheme) const {
  std::lock_guard lock(mutex_);
  auto it = handlers_.find(lowercaseASCII(scheme));
  return it != handlers_.end() ? it->second : nullptr;
}

void Workspace::setHandlerForURLScheme(std::string_view scheme, Ref<URLSchemeHandler> handler) {
  if (handler == nullptr) {
    removeHandlerForURLScheme(scheme);
    return;
  }
  std::lock_guard lock(mutex_);
  handlers_.insert_or_assign(lowercaseASCII(scheme), std::move(handler));
}

void Workspace::removeHandlerForURLScheme(std::string_view scheme) {
  std::lock_guard lock(mutex_);
  handlers_.erase(lowercaseASCII(scheme));
}

std::vector<Workspace::OpenRequest> Workspace::openRequests() const {
  std::lock_guard lock(mutex_);
  std::vector<OpenRequest> answered;
  answered.reserve(requests_.size());
  for (const Entry& entry : requests_) {
    if (entry.opened.has_value()) answered.push_back({entry.url, *entry.opened});
  }
  return answered;
}

void Workspace::reset() {
  std::lock_guard lock(mutex_);
  installSystemHandlers();
  requests_.clear();
  ++generation_;
}

}  // namespace tovik
