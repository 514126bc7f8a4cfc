// Connecting to a bus and flushing one without waiting long: a bus socket can
// accept and never answer, and GDBus's handshake and flush have no timeout of
// their own.
#ifndef RUNNER_KEEP_ALIVE_BUS_CONNECT_H_
#define RUNNER_KEEP_ALIVE_BUS_CONNECT_H_

#include <gio/gio.h>

// Longest wait for a connection, in the background or not.
inline constexpr guint kBusConnectTimeoutMs = 2000;

inline constexpr GDBusConnectionFlags kBusConnectionFlags =
    static_cast<GDBusConnectionFlags>(
        G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION);

// The error's message, or "unknown error" when the call set none.
const char* error_reason(const GError* error);

// A new connection of the caller's own to the bus, or null with `error` set.
// Unlike GIO's shared connections it does not end the process when the bus
// goes away. Waits at most two seconds: a bus that accepts and never answers
// (a socket whose daemon is restarting) fails like an absent one.
GDBusConnection* connect_bus(GBusType bus_type, GError** error);

// Sends what is queued on `connection` (calls whose replies nobody waits
// for), waiting at most about half a second.
void flush_bus_briefly(GDBusConnection* connection);

#endif  // RUNNER_KEEP_ALIVE_BUS_CONNECT_H_
