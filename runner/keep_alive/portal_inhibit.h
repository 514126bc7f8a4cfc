// Keep-alive through the desktop portal, the last resort where logind and the
// screen saver cannot be reached (a Flatpak or similar sandbox).
#ifndef RUNNER_KEEP_ALIVE_PORTAL_INHIBIT_H_
#define RUNNER_KEEP_ALIVE_PORTAL_INHIBIT_H_

#include "runner/my_application.h"

// Asks the portal on application->session_bus, which must be connected, for
// a suspend and an idle inhibit; true when either request handle is held.
bool acquire_portal_inhibit(MyApplication* application);

// Closes the held requests, which ends their inhibits; the handles are
// forgotten whether the portal answers or not.
void release_portal_inhibit(MyApplication* application);

#endif  // RUNNER_KEEP_ALIVE_PORTAL_INHIBIT_H_
