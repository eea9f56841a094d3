#pragma once
// Driving Qt from a foreign host's event loop (the host, not Qt, owns the loop).
// Plain C entry points so that hosts written in C can pump as well.

#include "mwserver_export.h"

#ifdef __cplusplus
#include <atomic>

// 1 while the server runs Qt inside a foreign host (it created the application object).
MWSERVER_EXPORT extern std::atomic<int> s_running_as_plugin;

extern "C" {
#endif

// The flag above, for C hosts.
MWSERVER_EXPORT int MW21_runningAsPlugin(void);

// Fires due Qt timers (zero-interval ones included) without ever blocking. GUI thread only;
// does nothing elsewhere, without an application, or when entered from inside itself.
MWSERVER_EXPORT void MW21_activateZeroTimers(void);

// One step of the host-timer work: send posted events, then fire due timers. For hosts
// without a GLib loop; call it from the GUI thread every millisecond or so.
MWSERVER_EXPORT void MW21_PumpEvents(void);

#ifdef __cplusplus
}
#endif
