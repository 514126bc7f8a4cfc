// Telling Dart when the system goes to sleep and when it wakes, holding sleep
// back with a logind delay lock until Dart has answered "systemWillSleep".
#ifndef RUNNER_KEEP_ALIVE_SLEEP_NOTIFICATIONS_H_
#define RUNNER_KEEP_ALIVE_SLEEP_NOTIFICATIONS_H_

#include <gio/gio.h>

#include "runner/my_application.h"

// Makes the delay lock, not held; called at the application's creation.
void init_sleep_notifications(MyApplication* application);
// Subscribes to the sleep signal unless subscribed, and then takes the delay
// lock unless it is held.
void ensure_sleep_signal_subscription(MyApplication* application);
void prepare_for_sleep_cb(GDBusConnection* connection,
                          const gchar* sender_name,
                          const gchar* object_path,
                          const gchar* interface_name,
                          const gchar* signal_name,
                          GVariant* parameters,
                          gpointer user_data);
// Ends the subscription and any wait for Dart, and closes the delay lock.
void release_sleep_notifications(MyApplication* application);

// For tests: how long sleep waits for Dart's answer; 0 restores the default
// (3 s).
void set_sleep_handshake_cap_for_testing(guint cap_ms);

#endif  // RUNNER_KEEP_ALIVE_SLEEP_NOTIFICATIONS_H_
