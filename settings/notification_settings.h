#pragma once

#include "platform/foundation.h"

// Opening the system's notification settings for an application.
namespace tovik {

// openNotificationSettingsForBundleIdentifier: at once, on the caller's
// thread. Tries, in order, the application's page in the notification
// settings, the notification settings, and the older notifications pane,
// and stops at the first the workspace opens: at most three attempts, each
// candidate once. A candidate that is not a valid URL is skipped. An absent
// identifier reads as the empty string. Keeps no state and takes no lock of
// its own, so any number of threads may call it at once.
void openNotificationSettingsForBundleIdentifier(String* bundleIdentifier);

}  // namespace tovik
