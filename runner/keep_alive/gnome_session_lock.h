// GNOME's session manager's inhibit, a cookie lock on the session bus. GNOME
// decides idle suspend from these inhibitors alone, not from logind's.
#ifndef RUNNER_KEEP_ALIVE_GNOME_SESSION_LOCK_H_
#define RUNNER_KEEP_ALIVE_GNOME_SESSION_LOCK_H_

#include "runner/keep_alive/cookie_lock.h"

KeepAliveLock* gnome_session_lock_new();

// The XID of the window the inhibit belongs to (0 for none), for the next
// request.
void gnome_session_lock_set_window(KeepAliveLock* lock, guint32 xid);

#endif  // RUNNER_KEEP_ALIVE_GNOME_SESSION_LOCK_H_
