// The keep-alive subsystem's own bus connections: made on first need, dropped
// when the bus closes them, and the system bus sought again after a loss.
#ifndef RUNNER_KEEP_ALIVE_BUS_CONNECTION_H_
#define RUNNER_KEEP_ALIVE_BUS_CONNECTION_H_

#include <gio/gio.h>

#include "runner/my_application.h"

// Connects application->system_bus (or session_bus) unless it is connected
// already; a connection the bus has closed is dropped first. On failure logs
// "<failure_message>: <reason>" as a warning and leaves the field empty, so
// that the next use tries again.
bool ensure_system_bus(MyApplication* application, const char* failure_message);
bool ensure_session_bus(MyApplication* application,
                        const char* failure_message);

// Whether the system bus has been lost and is being sought again in the
// background; its return brings the sleep-signal subscription back.
bool system_bus_reconnect_pending(MyApplication* application);

// Seeks the lost system bus now rather than at the end of the current delay.
void hurry_system_bus_reconnect(MyApplication* application);

// Stops seeking the system bus and releases both connections. The
// sleep-signal subscription must have ended before.
void release_bus_connections(MyApplication* application);

// For tests: the delay before the first attempt after a loss, doubled after
// each failed attempt up to the maximum. 0 restores the default (1 s, 1 min).
void set_system_bus_reconnect_delays_for_testing(guint first_delay_ms,
                                                 guint max_delay_ms);

#endif  // RUNNER_KEEP_ALIVE_BUS_CONNECTION_H_
