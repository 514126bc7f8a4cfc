// Lazily made bus connections of the keep-alive subsystem.
#include "runner/keep_alive/bus_connection.h"

const char* error_reason(const GError* error) {
  return error != nullptr && error->message != nullptr ? error->message
                                                       : "unknown error";
}

bool ensure_bus_connection(GDBusConnection** connection,
                           GBusType bus_type,
                           const char* failure_message) {
  if (*connection != nullptr) {
    return true;
  }
  g_autoptr(GError) error = nullptr;
  *connection = g_bus_get_sync(bus_type, nullptr, &error);
  if (*connection == nullptr) {
    g_log(nullptr, G_LOG_LEVEL_WARNING, "%s: %s", failure_message,
          error_reason(error));
    return false;
  }
  return true;
}
