#pragma once

namespace tovik::bridge {

// Gives NSEvent +addLocalMonitorForEventsMatchingMask:handler: and
// +removeMonitor: where the running system has none (GNUstep), the first
// time it is called; where NSEvent answers them (a Mac), the system's own
// are left untouched. Main thread only.
void provideLocalEventMonitors();

}  // namespace tovik::bridge
