// A lock that a session service hands out as a cookie: "Inhibit" answers a
// non-zero number, and a call with that number releases it. The screen
// saver's, GNOME's session manager's and the freedesktop power manager's
// differ only in names and arguments.
#ifndef RUNNER_KEEP_ALIVE_COOKIE_LOCK_H_
#define RUNNER_KEEP_ALIVE_COOKIE_LOCK_H_

#include "runner/keep_alive/keep_alive_lock.h"

// Where a cookie service lives and what its warnings say. Static data.
struct CookieLockService {
  const char* bus_name;
  const char* object_path;
  const char* interface_name;
  const char* inhibit_method;
  const char* release_method;
  GDBusCallFlags call_flags;
  // Whether a service without an owner fails quietly: a desktop's own
  // inhibitor, absent on every other desktop.
  gboolean quiet_when_absent;
  // Begin the warnings, as in "Failed to acquire screensaver inhibit".
  const char* acquire_failure;
  const char* release_failure;
};

G_DECLARE_FINAL_TYPE(CookieLock,
                     cookie_lock,
                     KEEP_ALIVE,
                     COOKIE_LOCK,
                     KeepAliveLock)

// `inhibit_arguments` (floating references are sunk) is the body of each
// "Inhibit" call; its reply is "(u)".
KeepAliveLock* cookie_lock_new(const CookieLockService* service,
                               GVariant* inhibit_arguments);

// Replaces the body of the next "Inhibit" calls (floating references are
// sunk).
void cookie_lock_set_inhibit_arguments(CookieLock* lock,
                                       GVariant* inhibit_arguments);

// The held cookie, or 0.
guint32 cookie_lock_get_cookie(CookieLock* lock);

#endif  // RUNNER_KEEP_ALIVE_COOKIE_LOCK_H_
