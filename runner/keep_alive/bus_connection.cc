// The keep-alive subsystem's bus connections. They are the shell's own, not
// GIO's shared ones, so that a bus that goes away (dbus-daemon or dbus-broker
// restarted by an upgrade) costs what was held on it but not the process: the
// loss is logged once, the connection dropped so that the next use connects
// again, and the system bus sought again for the sleep signals.
#include "runner/keep_alive/bus_connection.h"

#include <unistd.h>

#include "runner/keep_alive/sleep_notifications.h"

namespace {

// After the system bus is lost it is sought once a second for two minutes,
// long enough for a restart; later the next "startKeepAlive" tries again.
constexpr guint kSystemBusReconnectIntervalMs = 1000;
constexpr guint kSystemBusReconnectRuns = 120;

struct SystemBusReconnectData {
  // Not owned: dispose removes the source before the application goes.
  MyApplication* application;
  guint runs_left;
};

void system_bus_closed_cb(GDBusConnection* connection,
                          gboolean remote_peer_vanished,
                          GError* error,
                          gpointer user_data);
void session_bus_closed_cb(GDBusConnection* connection,
                           gboolean remote_peer_vanished,
                           GError* error,
                           gpointer user_data);

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

void adopt_system_bus(MyApplication* application, GDBusConnection* connection) {
  application->system_bus = connection;
  g_signal_connect(connection, "closed", G_CALLBACK(system_bus_closed_cb),
                   application);
}

void adopt_session_bus(MyApplication* application,
                       GDBusConnection* connection) {
  application->session_bus = connection;
  g_signal_connect(connection, "closed", G_CALLBACK(session_bus_closed_cb),
                   application);
}

gboolean reconnect_system_bus_retry(gpointer user_data) {
  auto* data = static_cast<SystemBusReconnectData*>(user_data);
  MyApplication* application = data->application;

  if (application->system_bus == nullptr) {
    // Quietly: the loss has been logged once already.
    GDBusConnection* connection = connect_bus(G_BUS_TYPE_SYSTEM, nullptr);
    if (connection == nullptr) {
      if (data->runs_left >= 2) {
        data->runs_left--;
        return G_SOURCE_CONTINUE;
      }
      application->system_bus_reconnect_source_id = 0;
      return G_SOURCE_REMOVE;
    }
    adopt_system_bus(application, connection);
  }
  application->system_bus_reconnect_source_id = 0;
  ensure_sleep_signal_subscription(application);
  return G_SOURCE_REMOVE;
}

void start_system_bus_reconnect(MyApplication* application) {
  if (application->system_bus_reconnect_source_id != 0) {
    return;
  }
  auto* data = g_new0(SystemBusReconnectData, 1);
  data->application = application;
  data->runs_left = kSystemBusReconnectRuns;
  application->system_bus_reconnect_source_id =
      g_timeout_add_full(G_PRIORITY_DEFAULT, kSystemBusReconnectIntervalMs,
                         reconnect_system_bus_retry, data, g_free);
}

// The sleep inhibitor and the signal subscription went with the bus. Its
// descriptor is closed without a word to anyone; a later "startKeepAlive"
// takes a new inhibitor.
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
  if (application->sleep_inhibit_fd >= 0) {
    close(application->sleep_inhibit_fd);
    application->sleep_inhibit_fd = -1;
  }
  release_connection(&application->system_bus, application);
  start_system_bus_reconnect(application);
}

// The screen-saver inhibit went with the bus; its cookie means nothing on
// the next one.
void drop_session_bus(MyApplication* application, const GError* error) {
  g_log(nullptr, G_LOG_LEVEL_WARNING,
        "Lost the session bus connection for screensaver inhibit: %s",
        error_reason(error));
  application->screensaver_inhibit_cookie = 0;
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

const char* error_reason(const GError* error) {
  return error != nullptr && error->message != nullptr ? error->message
                                                       : "unknown error";
}

GDBusConnection* connect_bus(GBusType bus_type, GError** error) {
  g_autofree gchar* address =
      g_dbus_address_get_for_bus_sync(bus_type, nullptr, error);
  if (address == nullptr) {
    return nullptr;
  }
  return g_dbus_connection_new_for_address_sync(
      address,
      static_cast<GDBusConnectionFlags>(
          G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, error);
}

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

void release_bus_connections(MyApplication* application) {
  g_return_if_fail(MY_IS_APPLICATION(application));

  g_clear_handle_id(&application->system_bus_reconnect_source_id,
                    g_source_remove);
  release_connection(&application->system_bus, application);
  release_connection(&application->session_bus, application);
}
