// Telling Dart when the system goes to sleep and when it wakes, from logind's
// "PrepareForSleep" signal.
#include "runner/keep_alive/sleep_notifications.h"

namespace {

constexpr char kLogindBusName[] = "org.freedesktop.login1";
constexpr char kLogindObjectPath[] = "/org/freedesktop/login1";
constexpr char kLogindManagerInterface[] = "org.freedesktop.login1.Manager";
constexpr char kPrepareForSleepSignal[] = "PrepareForSleep";

constexpr char kSystemWillSleepMethod[] = "systemWillSleep";
constexpr char kSystemDidWakeMethod[] = "systemDidWake";

}  // namespace

void ensure_sleep_signal_subscription(MyApplication* application) {
  g_return_if_fail(MY_IS_APPLICATION(application));

  if (application->sleep_signal_subscription_id != 0) {
    return;
  }

  if (application->system_bus == nullptr) {
    g_autoptr(GError) error = nullptr;
    application->system_bus =
        g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, &error);
    if (application->system_bus == nullptr) {
      // Left unsubscribed; the next "startKeepAlive" tries again.
      g_log(nullptr, G_LOG_LEVEL_WARNING,
            "Failed to connect system bus for sleep signals: %s",
            error != nullptr ? error->message : "unknown error");
      return;
    }
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
