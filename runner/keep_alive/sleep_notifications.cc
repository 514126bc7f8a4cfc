// Sleep and wake notifications: placeholder until the keep-alive subsystem
// lands.
#include "runner/keep_alive/sleep_notifications.h"

void ensure_sleep_signal_subscription(MyApplication*) {}
void prepare_for_sleep_cb(GDBusConnection*, const gchar*, const gchar*,
                          const gchar*, const gchar*, GVariant*, gpointer) {}
