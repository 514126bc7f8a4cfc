// Telling Dart when the system goes to sleep and when it wakes, from logind's
// "PrepareForSleep" signal.
#include "runner/keep_alive/sleep_notifications.h"

#include "runner/keep_alive/bus_connection.h"
#include "runner/keep_alive/logind_lock.h"

namespace {

constexpr char kPrepareForSleepSignal[] = "PrepareForSleep";

constexpr char kSystemWillSleepMethod[] = "systemWillSleep";
constexpr char kSystemDidWakeMethod[] = "systemDidWake";

}  // namespace

void ensure_sleep_signal_subscription(MyApplication* application) {
  g_return_if_fail(MY_IS_APPLICATION(application));

  // A subscription on a bus that has closed is as good as none; making sure
  // of the bus drops it.
  if (application->sleep_signal_subscription_id != 0 &&
      !g_dbus_connection_is_closed(application->system_bus)) {
    return;
  }

  // The lost bus is being sought in the background, and subscribed to once
  // found: connecting here too would only hold up the caller.
  if (system_bus_reconnect_pending(application)) {
    hurry_system_bus_reconnect(application);
    return;
  }

  // Left unsubscribed without a bus; the next "startKeepAlive" tries again.
  if (!ensure_system_bus(application,
                         "Failed to connect system bus for sleep signals")) {
    return;
  }
  // Dropping a closed connection and connecting again may have subscribed.
  if (application->sleep_signal_subscription_id != 0) {
    return;
  }

  // No destroy notifier: dispose unsubscribes before the application goes.
  application->sleep_signal_subscription_id =
      g_dbus_connection_signal_subscribe(
          application->system_bus, kLogindBusName, kLogindManagerInterface,
          kPrepareForSleepSignal, kLogindObjectPath, nullptr,
          G_DBUS_SIGNAL_FLAGS_NONE, prepare_for_sleep_cb, application, nullptr);
}

void prepare_for_sleep_cb(GDBusConnection* /* connection */,
                          const gchar* /* sender_name */,
                          const gchar* /* object_path */,
                          const gchar* /* interface_name */,
                          const gchar* /* signal_name */,
                          GVariant* parameters,
                          gpointer user_data) {
  MyApplication* application = MY_APPLICATION(user_data);

  // Any body but one boolean would mean a sleep or wake that nobody
  // announced.
  if (parameters == nullptr ||
      !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(b)"))) {
    return;
  }
  gboolean going_to_sleep = FALSE;
  g_variant_get(parameters, "(b)", &going_to_sleep);

  if (application->system_keep_alive_channel == nullptr) {
    return;
  }
  fl_method_channel_invoke_method(
      application->system_keep_alive_channel,
      going_to_sleep ? kSystemWillSleepMethod : kSystemDidWakeMethod, nullptr,
      nullptr, nullptr, nullptr);
}
