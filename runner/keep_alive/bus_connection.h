// The D-Bus pieces the keep-alive subsystem shares: the login manager's
// names, lazily made bus connections, and failure reasons for the log.
#ifndef RUNNER_KEEP_ALIVE_BUS_CONNECTION_H_
#define RUNNER_KEEP_ALIVE_BUS_CONNECTION_H_

#include <gio/gio.h>

inline constexpr char kLogindBusName[] = "org.freedesktop.login1";
inline constexpr char kLogindObjectPath[] = "/org/freedesktop/login1";
inline constexpr char kLogindManagerInterface[] =
    "org.freedesktop.login1.Manager";

// The error's message, or "unknown error" when the call set none.
const char* error_reason(const GError* error);

// Connects `*connection` to the bus unless it is connected already. On
// failure logs "<failure_message>: <reason>" as a warning and leaves it empty,
// so that the next use tries again.
bool ensure_bus_connection(GDBusConnection** connection,
                           GBusType bus_type,
                           const char* failure_message);

#endif  // RUNNER_KEEP_ALIVE_BUS_CONNECTION_H_
