// Telling Dart when the system goes to sleep and when it wakes.
#ifndef RUNNER_KEEP_ALIVE_SLEEP_NOTIFICATIONS_H_
#define RUNNER_KEEP_ALIVE_SLEEP_NOTIFICATIONS_H_

#include <gio/gio.h>

#include "runner/my_application.h"

void ensure_sleep_signal_subscription(MyApplication* application);
void prepare_for_sleep_cb(GDBusConnection* connection,
                          const gchar* sender_name,
                          const gchar* object_path,
                          const gchar* interface_name,
                          const gchar* signal_name,
                          GVariant* parameters,
                          gpointer user_data);

#endif  // RUNNER_KEEP_ALIVE_SLEEP_NOTIFICATIONS_H_
