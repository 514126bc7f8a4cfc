// "Inhibit" and "Uninhibit" on org.gnome.SessionManager, for suspend. The
// application id names the inhibitor in GNOME's interface (an empty one is
// refused); the service is never started by the call.
#include "runner/keep_alive/gnome_session_lock.h"

#include "runner/my_application.h"

namespace {

// GNOME's inhibit flag for suspend.
constexpr guint32 kGnomeInhibitSuspend = 4;

constexpr CookieLockService kGnomeSessionManager = {
    "org.gnome.SessionManager",
    "/org/gnome/SessionManager",
    "org.gnome.SessionManager",
    "Inhibit",
    "Uninhibit",
    G_DBUS_CALL_FLAGS_NO_AUTO_START,
    TRUE,
    "Failed to acquire GNOME session inhibit",
    "Failed to release GNOME session inhibit",
};

GVariant* inhibit_arguments(guint32 xid) {
  return g_variant_new("(susu)", kApplicationId, xid, kInhibitWhy,
                       kGnomeInhibitSuspend);
}

}  // namespace

KeepAliveLock* gnome_session_lock_new() {
  return cookie_lock_new(&kGnomeSessionManager, inhibit_arguments(0));
}

void gnome_session_lock_set_window(KeepAliveLock* lock, guint32 xid) {
  g_return_if_fail(KEEP_ALIVE_IS_COOKIE_LOCK(lock));
  cookie_lock_set_inhibit_arguments(KEEP_ALIVE_COOKIE_LOCK(lock),
                                    inhibit_arguments(xid));
}
