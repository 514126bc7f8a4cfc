// One request to the desktop portal's Inhibit (suspend or idle), the lock of
// a sandbox where neither logind nor the screen saver can be reached.
#ifndef RUNNER_KEEP_ALIVE_PORTAL_LOCK_H_
#define RUNNER_KEEP_ALIVE_PORTAL_LOCK_H_

#include "runner/keep_alive/keep_alive_lock.h"

inline constexpr guint32 kPortalInhibitSuspend = 4;
inline constexpr guint32 kPortalInhibitIdle = 8;

G_DECLARE_FINAL_TYPE(PortalLock,
                     portal_lock,
                     KEEP_ALIVE,
                     PORTAL_LOCK,
                     KeepAliveLock)

// A request for what `flags` names.
KeepAliveLock* portal_lock_new(guint32 flags);

// The portal's identifier of the window a dialog it shows would belong to
// ("x11:<XID in hex>", or empty), for the next request.
void portal_lock_set_window(PortalLock* lock, const char* window);

// The object path of the held request (or of the one awaited), or null.
const gchar* portal_lock_get_handle(PortalLock* lock);

#endif  // RUNNER_KEEP_ALIVE_PORTAL_LOCK_H_
