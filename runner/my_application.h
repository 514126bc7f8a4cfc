// The application object: one GtkApplication subclass that every part of the
// shell reaches through the user data of its callbacks.
#ifndef RUNNER_MY_APPLICATION_H_
#define RUNNER_MY_APPLICATION_H_

#include <gtk/gtk.h>

#include "runner/flutter_embedder.h"

// A connection attempt to the system bus in progress (bus_connection.cc).
struct SystemBusReconnectAttempt;
// A keep-alive lock (keep_alive/keep_alive_lock.h).
typedef struct _KeepAliveLock KeepAliveLock;
// The "startKeepAlive" calls waiting for their answer (system_keep_alive.cc).
struct KeepAliveStart;
// A "systemWillSleep" waiting for Dart's answer (sleep_notifications.cc).
struct SleepHandshake;

G_DECLARE_FINAL_TYPE(MyApplication,
                     my_application,
                     MY,
                     APPLICATION,
                     GtkApplication)

struct _MyApplication {
  GtkApplication parent_instance;

  // Owned; arguments for the Dart entry point, set by the first command line.
  char** dart_entrypoint_arguments;
  // Borrowed; the main window and its view. Cleared when the main window is
  // destroyed, so that nothing uses them as live objects afterwards.
  GtkWindow* window;
  FlView* view;
  FlMethodChannel* window_control_channel;
  FlMethodChannel* system_keep_alive_channel;
  FlMethodChannel* deep_link_channel;
  // Owned strings: deep links that arrived before the deep-link channel.
  GPtrArray* pending_deep_links;
  GDBusConnection* system_bus;
  GDBusConnection* session_bus;
  // Owned keep-alive locks, made at creation and dropped at dispose:
  // logind's blocking sleep lock, GNOME's session manager's and the
  // freedesktop power manager's inhibits, the screen saver's inhibit, and
  // the desktop portal's suspend and idle requests.
  KeepAliveLock* sleep_lock;
  KeepAliveLock* gnome_session_lock;
  KeepAliveLock* power_management_lock;
  KeepAliveLock* screen_saver_lock;
  KeepAliveLock* portal_suspend_lock;
  KeepAliveLock* portal_idle_lock;
  // The start in progress, or null.
  KeepAliveStart* keep_alive_start;
  guint32 sleep_signal_subscription_id;
  // Owned: logind's delay lock, held while subscribed to the sleep signal so
  // that Dart finishes its work before sleep; and the "systemWillSleep"
  // awaiting Dart's answer, or null.
  KeepAliveLock* sleep_delay_lock;
  SleepHandshake* sleep_handshake;
  // After the system bus is lost it is sought again: the timeout of the next
  // attempt (0 when none), the delay that timeout waits, and the attempt in
  // progress (null when none).
  guint system_bus_reconnect_source_id;
  guint system_bus_reconnect_delay_ms;
  SystemBusReconnectAttempt* system_bus_reconnect_attempt;
  gint32 next_window_preferred_width;
  gint32 next_window_preferred_height;
  gint32 next_window_min_width;
  gint32 next_window_min_height;
  gulong window_added_handler_id;
  // Whether activation has built the main window; stays true after the main
  // window is gone, so that nothing builds a second one.
  gboolean main_window_built;
};

// The reverse-DNS identifier, used as program name and "application-id"; the
// build defines it from the one it names the application's files after.
inline constexpr char kApplicationId[] = APPLICATION_ID;

MyApplication* my_application_new();

// Registers the application before it runs. Where the bus refuses the
// application's name it logs a warning and lets the application run as a
// non-unique instance; any other failure is left for g_application_run to
// report.
void my_application_register(MyApplication* self);

#endif  // RUNNER_MY_APPLICATION_H_
