// A logind inhibitor lock ("sleep", in the mode given: "block" holds sleep
// off, "delay" only delays it), held as the descriptor logind hands out.
#ifndef RUNNER_KEEP_ALIVE_LOGIND_LOCK_H_
#define RUNNER_KEEP_ALIVE_LOGIND_LOCK_H_

#include "runner/keep_alive/keep_alive_lock.h"

inline constexpr char kLogindBusName[] = "org.freedesktop.login1";
inline constexpr char kLogindObjectPath[] = "/org/freedesktop/login1";
inline constexpr char kLogindManagerInterface[] =
    "org.freedesktop.login1.Manager";

G_DECLARE_FINAL_TYPE(LogindLock,
                     logind_lock,
                     KEEP_ALIVE,
                     LOGIND_LOCK,
                     KeepAliveLock)

// `failure` begins the warning when the lock cannot be had, as in "Failed to
// acquire logind sleep inhibit".
KeepAliveLock* logind_lock_new(const char* mode, const char* failure);

// From now on a failure to get the lock is logged once per bus connection:
// for a lock asked for again on every return of the bus.
void logind_lock_warn_once_per_bus(LogindLock* lock);

// The held descriptor, or -1.
gint logind_lock_get_fd(LogindLock* lock);

// For tests: holds `fd` as if logind had handed it out.
void logind_lock_hold_fd_for_testing(LogindLock* lock, gint fd);

#endif  // RUNNER_KEEP_ALIVE_LOGIND_LOCK_H_
