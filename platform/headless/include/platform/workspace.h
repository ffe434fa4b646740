#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation.h"
#include "platform/selectors.h"
#include "platform/url.h"

namespace tovik {

// An application registered for a URL scheme, as the workspace sees it: it
// is handed a URL and answers whether it opened it. It may be called from
// any thread, several at once.
using URLSchemeHandler = Block<bool(URL*)>;

// The workspace (NSWorkspace). It opens a URL by handing it to the
// application registered for the URL's scheme, and records every URL it was
// asked to open, in the order asked, with the outcome, so that a host
// developer can see what would have opened on a Mac. Safe to use from
// several threads at once.
class Workspace : public Object {
 public:
  using Object::Object;
  static Class* runtimeClass();
  static Workspace* sharedWorkspace();

  // openURL: YES when the application registered for the URL's scheme
  // opened it; NO for a URL without a scheme, a scheme that no application
  // is registered for, or an application that refused it. A null URL is
  // refused and not recorded. The application is called on the caller's
  // thread, outside the workspace's lock, so it may open URLs itself. A
  // message through the runtime, so a replacement of it is what callers meet.
  bool openURL(URL* url) { return send<bool>(this, selectors::openURL, url); }

  // Schemes compare without regard to ASCII case, as RFC 3986 has it.
  [[nodiscard]] Ref<URLSchemeHandler> handlerForURLScheme(std::string_view scheme) const;
  // Registers, or replaces, the application for a scheme; a null handler
  // removes the registration.
  void setHandlerForURLScheme(std::string_view scheme, Ref<URLSchemeHandler> handler);
  void removeHandlerForURLScheme(std::string_view scheme);

  struct OpenRequest {
    std::string url;  // the absolute string
    bool opened;
    friend bool operator==(const OpenRequest&, const OpenRequest&) = default;
  };
  // The requests answered so far, in the order they were asked (a request
  // whose application has not answered yet is not listed).
  [[nodiscard]] std::vector<OpenRequest> openRequests() const;

  // Back to the state the headless system starts in: only the system's own
  // applications registered, nothing recorded. An open in progress meanwhile
  // is not recorded.
  void reset();

 private:
  // NSWorkspace's own openURL:.
  bool openWithRegisteredApplication(URL* url);
  struct Entry {
    std::string url;
    std::optional<bool> opened;
  };
  void installSystemHandlers();  // with the lock held

  mutable std::mutex mutex_;
  std::map<std::string, Ref<URLSchemeHandler>, std::less<>> handlers_;
  std::vector<Entry> requests_;
  std::uint64_t generation_ = 0;  // bumped by reset()
};

// The system settings application that the headless system comes with,
// registered for its settings scheme. A settings URL names a pane: the text
// after the scheme's colon, up to any '?' (a query, which the pane reads
// itself) or '#'. The application opens a URL naming a pane it knows and
// refuses any other.
struct SystemSettings {
  static constexpr std::string_view kURLScheme = "x-apple.systempreferences";
  // The pane identifiers it knows: today's settings extensions and the older
  // preference panes that macOS 13 and later still answer to.
  static std::span<const std::string_view> paneIdentifiers();
  // The pane a URL of the settings scheme names; none for another scheme.
  static std::optional<std::string_view> paneOfURL(const URL& url);
  // The application as registered in the workspace at start.
  static const Ref<URLSchemeHandler>& application();
};

}  // namespace tovik
