// The freedesktop power manager's inhibit, a cookie lock on the session bus.
// Xfce's power manager heeds only this one; KDE's serves it too.
#ifndef RUNNER_KEEP_ALIVE_POWER_MANAGEMENT_LOCK_H_
#define RUNNER_KEEP_ALIVE_POWER_MANAGEMENT_LOCK_H_

#include "runner/keep_alive/cookie_lock.h"

KeepAliveLock* power_management_lock_new();

#endif  // RUNNER_KEEP_ALIVE_POWER_MANAGEMENT_LOCK_H_
