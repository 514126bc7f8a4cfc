// The screen saver's "Inhibit" and "UnInhibit" on org.freedesktop.ScreenSaver.
#include "runner/keep_alive/screen_saver_lock.h"

namespace {

constexpr CookieLockService kScreenSaver = {
    "org.freedesktop.ScreenSaver",
    "/org/freedesktop/ScreenSaver",
    "org.freedesktop.ScreenSaver",
    "Inhibit",
    "UnInhibit",
    G_DBUS_CALL_FLAGS_NONE,
    FALSE,
    "Failed to acquire screensaver inhibit",
    "Failed to release screensaver inhibit",
};

}  // namespace

KeepAliveLock* screen_saver_lock_new() {
  return cookie_lock_new(&kScreenSaver,
                         g_variant_new("(ss)", kInhibitWho, kInhibitWhy));
}
