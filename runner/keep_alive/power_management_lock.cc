// "Inhibit" and "UnInhibit" on org.freedesktop.PowerManagement.Inhibit; the
// service is never started by the call.
#include "runner/keep_alive/power_management_lock.h"

#include "runner/my_application.h"

namespace {

constexpr CookieLockService kPowerManagement = {
    "org.freedesktop.PowerManagement",
    "/org/freedesktop/PowerManagement/Inhibit",
    "org.freedesktop.PowerManagement.Inhibit",
    "Inhibit",
    "UnInhibit",
    G_DBUS_CALL_FLAGS_NO_AUTO_START,
    TRUE,
    "Failed to acquire power management inhibit",
    "Failed to release power management inhibit",
};

}  // namespace

KeepAliveLock* power_management_lock_new() {
  return cookie_lock_new(&kPowerManagement,
                         g_variant_new("(ss)", kApplicationId, kInhibitWhy));
}
