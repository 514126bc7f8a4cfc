// The keep-alive subsystem's bus connections. They are the shell's own, not
// GIO's shared ones, so that a bus that goes away (dbus-daemon or dbus-broker
// restarted by an upgrade) costs the process nothing but what lived on the
// connection: the loss is logged once, the connection dropped so that the
// next use connects again, and the system bus sought again in the background
// for the sleep signals. Connects are bounded (bus_connect.cc).
#include "runner/keep_alive/bus_connection.h"

#include "runner/keep_alive/bus_connect.h"
#include "runner/keep_alive/sleep_notifications.h"
#include "runner/keep_alive/system_keep_alive.h"

// A background connect to the system bus. It outlives its place in the
// application when abandoned: its callback frees it.
struct SystemBusReconnectAttempt {
  // Null once abandoned (dispose, or the bus came back by another way).
  MyApplication* application;
  GCancellable* cancellable;
  // Cancels the connect when the bus does not answer in time.
  guint deadline_source_id;
};

namespace {

// After a loss the system bus is sought again 1 s later, then at doubling
// intervals up to a minute, for as long as the application runs.
constexpr guint kDefaultFirstReconnectDelayMs = 1000;
constexpr guint kDefaultMaxReconnectDelayMs = 60000;
guint first_reconnect_delay_ms = kDefaultFirstReconnectDelayMs;
guint max_reconnect_delay_ms = kDefaultMaxReconnectDelayMs;

void system_bus_closed_cb(GDBusConnection* connection,
                          gboolean remote_peer_vanished,
                          GError* error,
                          gpointer user_data);
void session_bus_closed_cb(GDBusConnection* connection,
                           gboolean remote_peer_vanished,
                           GError* error,
                           gpointer user_data);
void start_system_bus_reconnect_attempt(MyApplication* application);

// Releases a connection and every handler the application has on it; the
// last reference closes it.
void release_connection(GDBusConnection** connection,
                        MyApplication* application) {
  if (*connection == nullptr) {
    return;
  }
  g_autoptr(GDBusConnection) released = g_steal_pointer(connection);
  g_signal_handlers_disconnect_by_data(released, application);
}

gboolean reconnect_system_bus_retry(gpointer user_data) {
  MyApplication* application = MY_APPLICATION(user_data);
  application->system_bus_reconnect_source_id = 0;
  start_system_bus_reconnect_attempt(application);
  return G_SOURCE_REMOVE;
}

void schedule_system_bus_reconnect(MyApplication* application, guint delay_ms) {
  application->system_bus_reconnect_delay_ms = delay_ms;
  // No reference: dispose removes the source before the application goes.
  application->system_bus_reconnect_source_id =
      g_timeout_add(delay_ms, reconnect_system_bus_retry, application);
}

void retry_system_bus_later(MyApplication* application) {
  const guint doubled = application->system_bus_reconnect_delay_ms * 2;
  schedule_system_bus_reconnect(
      application,
      MIN(MAX(doubled, first_reconnect_delay_ms), max_reconnect_delay_ms));
}

// Leaves an attempt to finish on its own; its callback frees it.
void abandon_reconnect_attempt(SystemBusReconnectAttempt* attempt) {
  attempt->application = nullptr;
  g_clear_handle_id(&attempt->deadline_source_id, g_source_remove);
  g_cancellable_cancel(attempt->cancellable);
}

void stop_system_bus_reconnect(MyApplication* application) {
  g_clear_handle_id(&application->system_bus_reconnect_source_id,
                    g_source_remove);
  if (application->system_bus_reconnect_attempt != nullptr) {
    abandon_reconnect_attempt(
        g_steal_pointer(&application->system_bus_reconnect_attempt));
  }
  application->system_bus_reconnect_delay_ms = 0;
}

void keep_system_bus(MyApplication* application, GDBusConnection* connection) {
  application->system_bus = connection;
  g_signal_connect(connection, "closed", G_CALLBACK(system_bus_closed_cb),
                   application);
}

// A connection made after the bus was lost, by whichever way.
void welcome_back_system_bus(MyApplication* application,
                             GDBusConnection* connection) {
  stop_system_bus_reconnect(application);
  keep_system_bus(application, connection);
  g_log(nullptr, G_LOG_LEVEL_MESSAGE,
        "Reconnected to the system bus for sleep signals");
  ensure_sleep_signal_subscription(application);
}

void adopt_system_bus(MyApplication* application, GDBusConnection* connection) {
  if (system_bus_reconnect_pending(application)) {
    welcome_back_system_bus(application, connection);
  } else {
    keep_system_bus(application, connection);
  }
}

void adopt_session_bus(MyApplication* application,
                       GDBusConnection* connection) {
  application->session_bus = connection;
  g_signal_connect(connection, "closed", G_CALLBACK(session_bus_closed_cb),
                   application);
}

gboolean reconnect_attempt_deadline_fallback(gpointer user_data) {
  auto* attempt = static_cast<SystemBusReconnectAttempt*>(user_data);
  attempt->deadline_source_id = 0;
  g_cancellable_cancel(attempt->cancellable);
  return G_SOURCE_REMOVE;
}

void system_bus_reconnected_cb(GObject* /* source */,
                               GAsyncResult* result,
                               gpointer user_data) {
  auto* attempt = static_cast<SystemBusReconnectAttempt*>(user_data);
  // Quietly on failure: the loss has been logged once already.
  g_autoptr(GDBusConnection) connection =
      g_dbus_connection_new_for_address_finish(result, nullptr);
  MyApplication* application = attempt->application;
  g_clear_handle_id(&attempt->deadline_source_id, g_source_remove);
  g_object_unref(attempt->cancellable);
  g_free(attempt);
  if (application == nullptr) {
    return;
  }

  application->system_bus_reconnect_attempt = nullptr;
  if (connection == nullptr) {
    retry_system_bus_later(application);
    return;
  }
  welcome_back_system_bus(application, g_steal_pointer(&connection));
}

void start_system_bus_reconnect_attempt(MyApplication* application) {
  // Reading the address makes no connection for the system bus.
  g_autofree gchar* address =
      g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SYSTEM, nullptr, nullptr);
  if (address == nullptr) {
    retry_system_bus_later(application);
    return;
  }
  auto* attempt = g_new0(SystemBusReconnectAttempt, 1);
  attempt->application = application;
  attempt->cancellable = g_cancellable_new();
  attempt->deadline_source_id = g_timeout_add(
      kBusConnectTimeoutMs, reconnect_attempt_deadline_fallback, attempt);
  application->system_bus_reconnect_attempt = attempt;
  g_dbus_connection_new_for_address(address, kBusConnectionFlags, nullptr,
                                    attempt->cancellable,
                                    system_bus_reconnected_cb, attempt);
}

// The sleep-signal subscription went with the bus; it comes back with the
// bus. A logind inhibitor lives in its descriptor, not in the connection
// that asked for it, so it stays held.
void drop_system_bus(MyApplication* application, const GError* error) {
  g_log(nullptr, G_LOG_LEVEL_WARNING,
        "Lost the system bus connection for sleep inhibit and sleep signals: "
        "%s",
        error_reason(error));
  if (application->sleep_signal_subscription_id != 0) {
    g_dbus_connection_signal_unsubscribe(
        application->system_bus, application->sleep_signal_subscription_id);
    application->sleep_signal_subscription_id = 0;
  }
  release_connection(&application->system_bus, application);
  if (!system_bus_reconnect_pending(application)) {
    schedule_system_bus_reconnect(application, first_reconnect_delay_ms);
  }
}

// The session-bus inhibits (GNOME's, the power manager's, the screen
// saver's, the portal's) went with the bus: each service drops what a
// vanished caller held, and the cookies and request handles mean nothing on
// the next connection.
void drop_session_bus(MyApplication* application, const GError* error) {
  g_log(nullptr, G_LOG_LEVEL_WARNING,
        "Lost the session bus connection for screensaver inhibit: %s",
        error_reason(error));
  forget_session_bus_locks(application);
  release_connection(&application->session_bus, application);
}

void system_bus_closed_cb(GDBusConnection* /* connection */,
                          gboolean /* remote_peer_vanished */,
                          GError* error,
                          gpointer user_data) {
  drop_system_bus(MY_APPLICATION(user_data), error);
}

void session_bus_closed_cb(GDBusConnection* /* connection */,
                           gboolean /* remote_peer_vanished */,
                           GError* error,
                           gpointer user_data) {
  drop_session_bus(MY_APPLICATION(user_data), error);
}

// Whether a connection the bus has closed is still held: its "closed" signal
// is delivered from an idle callback, which a call may come before.
bool closed_but_held(GDBusConnection* connection) {
  return connection != nullptr && g_dbus_connection_is_closed(connection);
}

GError* closed_error() {
  return g_error_new_literal(G_IO_ERROR, G_IO_ERROR_CLOSED,
                             "The connection is closed");
}

// Makes `*connection` a live connection to the bus of `bus_type`: one that
// the bus has closed is dropped first, a missing one made and adopted.
bool ensure_bus(MyApplication* application,
                GDBusConnection** connection,
                GBusType bus_type,
                void (*drop)(MyApplication*, const GError*),
                void (*adopt)(MyApplication*, GDBusConnection*),
                const char* failure_message) {
  if (closed_but_held(*connection)) {
    g_autoptr(GError) closed = closed_error();
    drop(application, closed);
  }
  if (*connection != nullptr) {
    return true;
  }
  g_autoptr(GError) error = nullptr;
  GDBusConnection* made = connect_bus(bus_type, &error);
  if (made == nullptr) {
    g_log(nullptr, G_LOG_LEVEL_WARNING, "%s: %s", failure_message,
          error_reason(error));
    return false;
  }
  adopt(application, made);
  return true;
}

}  // namespace

bool ensure_system_bus(MyApplication* application,
                       const char* failure_message) {
  return ensure_bus(application, &application->system_bus, G_BUS_TYPE_SYSTEM,
                    drop_system_bus, adopt_system_bus, failure_message);
}

bool ensure_session_bus(MyApplication* application,
                        const char* failure_message) {
  return ensure_bus(application, &application->session_bus, G_BUS_TYPE_SESSION,
                    drop_session_bus, adopt_session_bus, failure_message);
}

bool system_bus_reconnect_pending(MyApplication* application) {
  return application->system_bus_reconnect_source_id != 0 ||
         application->system_bus_reconnect_attempt != nullptr;
}

void hurry_system_bus_reconnect(MyApplication* application) {
  g_return_if_fail(MY_IS_APPLICATION(application));
  if (application->system_bus_reconnect_source_id == 0) {
    return;
  }
  g_clear_handle_id(&application->system_bus_reconnect_source_id,
                    g_source_remove);
  start_system_bus_reconnect_attempt(application);
}

void release_bus_connections(MyApplication* application) {
  g_return_if_fail(MY_IS_APPLICATION(application));

  stop_system_bus_reconnect(application);
  release_connection(&application->system_bus, application);
  release_connection(&application->session_bus, application);
}

void set_system_bus_reconnect_delays_for_testing(guint first_delay_ms,
                                                 guint max_delay_ms) {
  first_reconnect_delay_ms =
      first_delay_ms != 0 ? first_delay_ms : kDefaultFirstReconnectDelayMs;
  max_reconnect_delay_ms =
      max_delay_ms != 0 ? max_delay_ms : kDefaultMaxReconnectDelayMs;
}
