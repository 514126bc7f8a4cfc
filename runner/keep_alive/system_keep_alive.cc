// The keep-alive channel: decides which locks to ask for, in what order, and
// when to answer Dart. Locks asked for together run at the same time; the
// next step follows only when the one before holds nothing. "startKeepAlive"
// is answered once its locks have answered or missed their deadline.
// Each desktop heeds its own lock: GNOME decides idle suspend from its
// session manager's inhibitors alone (and, before systemd 257, logind lets
// the user's own block lock pass GNOME's suspend), Xfce only from the
// freedesktop power manager's, KDE from logind's. So the first step takes
// every one of them that the session offers.
#include "runner/keep_alive/system_keep_alive.h"

#include <gdk/gdkx.h>

#include <cstring>

#include "runner/keep_alive/bus_connect.h"
#include "runner/keep_alive/bus_connection.h"
#include "runner/keep_alive/gnome_session_lock.h"
#include "runner/keep_alive/keep_alive_lock.h"
#include "runner/keep_alive/logind_lock.h"
#include "runner/keep_alive/portal_lock.h"
#include "runner/keep_alive/power_management_lock.h"
#include "runner/keep_alive/screen_saver_lock.h"
#include "runner/keep_alive/sleep_notifications.h"

struct KeepAliveStart {
  // Owned: the calls waiting for the answer, the first and any that came
  // while it was pending.
  GPtrArray* method_calls;
  // The step being asked, and how many of its locks have yet to answer.
  size_t step;
  guint waiting;
  // Buses that could not be connected during this start.
  bool system_bus_failed;
  bool session_bus_failed;
};

namespace {

constexpr char kStartKeepAliveMethod[] = "startKeepAlive";
constexpr char kStopKeepAliveMethod[] = "stopKeepAlive";
constexpr char kIsKeepAliveActiveMethod[] = "isKeepAliveActive";

constexpr char kLogindBlockMode[] = "block";

using LockField = KeepAliveLock* _MyApplication::*;

// A lock, the bus it lives on, and the warning when that bus cannot be
// connected (logged once a start and bus).
struct LockEntry {
  LockField field;
  GBusType bus_type;
  const char* connect_failure;
};

// Locks asked for together.
struct LockStep {
  LockEntry locks[3];
};

// The session bus serves the desktop's locks and the screen saver alike;
// its connect failure keeps the one text it has always had.
constexpr char kSessionConnectFailure[] =
    "Failed to connect session bus for screensaver inhibit";
constexpr char kPortalConnectFailure[] =
    "Failed to connect session bus for portal inhibit";

constexpr LockStep kLockSteps[] = {
    {{{&_MyApplication::sleep_lock, G_BUS_TYPE_SYSTEM,
       "Failed to connect system bus for sleep inhibit"},
      {&_MyApplication::gnome_session_lock, G_BUS_TYPE_SESSION,
       kSessionConnectFailure},
      {&_MyApplication::power_management_lock, G_BUS_TYPE_SESSION,
       kSessionConnectFailure}}},
    {{{&_MyApplication::screen_saver_lock, G_BUS_TYPE_SESSION,
       kSessionConnectFailure}}},
    // Suspend and idle in two requests: a backend that cannot hold off
    // suspend (the GTK one outside GNOME) refuses a combined request, while
    // an idle-only one reaches the screen saver.
    {{{&_MyApplication::portal_suspend_lock, G_BUS_TYPE_SESSION,
       kPortalConnectFailure},
      {&_MyApplication::portal_idle_lock, G_BUS_TYPE_SESSION,
       kPortalConnectFailure}}},
};

template <typename Function>
void for_each_lock(MyApplication* application, Function function) {
  for (const LockStep& step : kLockSteps) {
    for (const LockEntry& entry : step.locks) {
      if (entry.field != nullptr && application->*entry.field != nullptr) {
        function(application->*entry.field, entry);
      }
    }
  }
}

gboolean is_keep_alive_active(MyApplication* application) {
  gboolean active = FALSE;
  for_each_lock(application, [&](KeepAliveLock* lock, const LockEntry&) {
    active = active || keep_alive_lock_is_held(lock);
  });
  return active;
}

void respond_bool(FlMethodCall* method_call, gboolean value) {
  g_autoptr(FlValue) result = fl_value_new_bool(value);
  g_autoptr(FlMethodResponse) response =
      FL_METHOD_RESPONSE(fl_method_success_response_new(result));
  fl_method_call_respond(method_call, response, nullptr);
}

void keep_alive_start_free(KeepAliveStart* start) {
  g_ptr_array_unref(start->method_calls);
  g_free(start);
}

// Answers every waiting call and ends the start.
void finish_start(MyApplication* application, gboolean held) {
  KeepAliveStart* start = g_steal_pointer(&application->keep_alive_start);
  for (guint i = 0; i < start->method_calls->len; i++) {
    respond_bool(FL_METHOD_CALL(g_ptr_array_index(start->method_calls, i)),
                 held);
  }
  keep_alive_start_free(start);
}

// The main window's XID on X11; 0 without a main window or elsewhere.
guint32 main_window_xid(MyApplication* application) {
  if (application->window != nullptr) {
    GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(application->window));
    if (window != nullptr && GDK_IS_X11_WINDOW(window)) {
      return static_cast<guint32>(gdk_x11_window_get_xid(window));
    }
  }
  return 0;
}

// The portal's identifier of the main window, "x11:<XID in hex>", so that a
// dialog it may show has a parent; empty where none can be made.
gchar* main_window_identifier(MyApplication* application) {
  const guint32 xid = main_window_xid(application);
  return xid != 0 ? g_strdup_printf("x11:%x", xid) : g_strdup("");
}

// The entry's bus, connected; null when it cannot be (logged once a start).
GDBusConnection* entry_bus(MyApplication* application, const LockEntry& entry) {
  KeepAliveStart* start = application->keep_alive_start;
  const bool system = entry.bus_type == G_BUS_TYPE_SYSTEM;
  bool& failed = system ? start->system_bus_failed : start->session_bus_failed;
  if (failed) {
    return nullptr;
  }
  failed = system ? !ensure_system_bus(application, entry.connect_failure)
                  : !ensure_session_bus(application, entry.connect_failure);
  if (failed) {
    return nullptr;
  }
  return system ? application->system_bus : application->session_bus;
}

void lock_answered_cb(KeepAliveLock* lock, gboolean held, gpointer user_data);

// Asks the locks of the current step, or of the next one that can be asked;
// answers false when none is left.
void ask_step(MyApplication* application) {
  KeepAliveStart* start = application->keep_alive_start;
  for (; start->step < G_N_ELEMENTS(kLockSteps); start->step++) {
    for (const LockEntry& entry : kLockSteps[start->step].locks) {
      if (entry.field == nullptr) {
        continue;
      }
      GDBusConnection* bus = entry_bus(application, entry);
      if (bus == nullptr) {
        continue;
      }
      KeepAliveLock* lock = application->*entry.field;
      if (KEEP_ALIVE_IS_PORTAL_LOCK(lock)) {
        g_autofree gchar* window = main_window_identifier(application);
        portal_lock_set_window(KEEP_ALIVE_PORTAL_LOCK(lock), window);
      } else if (entry.field == &_MyApplication::gnome_session_lock) {
        gnome_session_lock_set_window(lock, main_window_xid(application));
      }
      start->waiting++;
      keep_alive_lock_request(lock, bus, lock_answered_cb, application);
    }
    // Answers come later, never from within the request.
    if (start->waiting > 0) {
      return;
    }
  }
  finish_start(application, FALSE);
}

void lock_answered_cb(KeepAliveLock* /* lock */,
                      gboolean /* held */,
                      gpointer user_data) {
  MyApplication* application = MY_APPLICATION(user_data);
  KeepAliveStart* start = application->keep_alive_start;
  if (--start->waiting > 0) {
    return;
  }
  if (is_keep_alive_active(application)) {
    finish_start(application, TRUE);
    return;
  }
  start->step++;
  ask_step(application);
}

void start_system_keep_alive(MyApplication* application,
                             FlMethodCall* method_call) {
  // Retried here because activation may have found no system bus.
  ensure_sleep_signal_subscription(application);

  if (application->keep_alive_start != nullptr) {
    g_ptr_array_add(application->keep_alive_start->method_calls,
                    g_object_ref(method_call));
    return;
  }
  if (is_keep_alive_active(application)) {
    respond_bool(method_call, TRUE);
    return;
  }
  auto* start = g_new0(KeepAliveStart, 1);
  start->method_calls = g_ptr_array_new_with_free_func(g_object_unref);
  g_ptr_array_add(start->method_calls, g_object_ref(method_call));
  application->keep_alive_start = start;
  ask_step(application);
}

}  // namespace

void system_keep_alive_method_call_cb(FlMethodChannel* /* channel */,
                                      FlMethodCall* method_call,
                                      gpointer user_data) {
  MyApplication* application = MY_APPLICATION(user_data);
  const gchar* method = fl_method_call_get_name(method_call);

  if (strcmp(method, kStartKeepAliveMethod) == 0) {
    start_system_keep_alive(application, method_call);
  } else if (strcmp(method, kStopKeepAliveMethod) == 0) {
    stop_system_keep_alive(application);
    respond_bool(method_call, FALSE);
  } else if (strcmp(method, kIsKeepAliveActiveMethod) == 0) {
    respond_bool(method_call, is_keep_alive_active(application));
  } else {
    g_autoptr(FlMethodResponse) response =
        FL_METHOD_RESPONSE(fl_method_not_implemented_response_new());
    fl_method_call_respond(method_call, response, nullptr);
  }
}

void init_system_keep_alive(MyApplication* application) {
  g_return_if_fail(MY_IS_APPLICATION(application));
  application->sleep_lock = logind_lock_new(
      kLogindBlockMode, "Failed to acquire logind sleep inhibit");
  application->gnome_session_lock = gnome_session_lock_new();
  application->power_management_lock = power_management_lock_new();
  application->screen_saver_lock = screen_saver_lock_new();
  application->portal_suspend_lock = portal_lock_new(kPortalInhibitSuspend);
  application->portal_idle_lock = portal_lock_new(kPortalInhibitIdle);
  init_sleep_notifications(application);
}

void stop_system_keep_alive(MyApplication* application) {
  g_return_if_fail(MY_IS_APPLICATION(application));

  for_each_lock(application, [](KeepAliveLock* lock, const LockEntry&) {
    keep_alive_lock_release(lock);
  });
  if (application->keep_alive_start != nullptr) {
    finish_start(application, FALSE);
  }
}

void forget_session_bus_locks(MyApplication* application) {
  g_return_if_fail(MY_IS_APPLICATION(application));
  for_each_lock(application, [](KeepAliveLock* lock, const LockEntry& entry) {
    if (entry.bus_type == G_BUS_TYPE_SESSION) {
      keep_alive_lock_forget(lock);
    }
  });
}

void release_system_keep_alive(MyApplication* application) {
  g_return_if_fail(MY_IS_APPLICATION(application));

  stop_system_keep_alive(application);
  release_sleep_notifications(application);
  // The release calls must leave before the process ends.
  if (application->session_bus != nullptr) {
    flush_bus_briefly(application->session_bus);
  }
  release_bus_connections(application);
  for (const LockStep& step : kLockSteps) {
    for (const LockEntry& entry : step.locks) {
      if (entry.field != nullptr) {
        g_clear_object(&(application->*entry.field));
      }
    }
  }
}
