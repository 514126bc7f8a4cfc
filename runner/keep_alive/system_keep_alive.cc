// The keep-alive channel: holds off system sleep with a blocking logind
// inhibitor, or, when logind will not give one, with a screen-saver inhibit,
// or, failing both, through the desktop portal.
#include "runner/keep_alive/system_keep_alive.h"

#include <gio/gunixfdlist.h>
#include <unistd.h>

#include <cstring>

#include "runner/keep_alive/bus_connection.h"
#include "runner/keep_alive/portal_inhibit.h"
#include "runner/keep_alive/sleep_notifications.h"

namespace {

constexpr char kStartKeepAliveMethod[] = "startKeepAlive";
constexpr char kStopKeepAliveMethod[] = "stopKeepAlive";
constexpr char kIsKeepAliveActiveMethod[] = "isKeepAliveActive";

constexpr char kLogindInhibitMethod[] = "Inhibit";

constexpr char kScreenSaverBusName[] = "org.freedesktop.ScreenSaver";
constexpr char kScreenSaverObjectPath[] = "/org/freedesktop/ScreenSaver";
constexpr char kScreenSaverInterface[] = "org.freedesktop.ScreenSaver";
constexpr char kScreenSaverInhibitMethod[] = "Inhibit";
constexpr char kScreenSaverUnInhibitMethod[] = "UnInhibit";

constexpr char kInhibitWhat[] = "sleep";
constexpr char kInhibitWho[] = "TarnGlass";
constexpr char kInhibitMode[] = "block";

gboolean is_keep_alive_active(MyApplication* application) {
  return application->sleep_inhibit_fd >= 0 ||
         application->screensaver_inhibit_cookie != 0 ||
         application->portal_suspend_inhibit_handle != nullptr ||
         application->portal_idle_inhibit_handle != nullptr;
}

// Asks logind for a blocking sleep inhibitor; true when its descriptor is
// held in sleep_inhibit_fd.
gboolean acquire_sleep_inhibitor(MyApplication* application) {
  if (!ensure_system_bus(application,
                         "Failed to connect system bus for sleep inhibit")) {
    return FALSE;
  }

  g_autoptr(GError) error = nullptr;
  g_autoptr(GUnixFDList) fd_list = nullptr;
  g_autoptr(GVariant) reply = g_dbus_connection_call_with_unix_fd_list_sync(
      application->system_bus, kLogindBusName, kLogindObjectPath,
      kLogindManagerInterface, kLogindInhibitMethod,
      g_variant_new("(ssss)", kInhibitWhat, kInhibitWho, kInhibitWhy,
                    kInhibitMode),
      G_VARIANT_TYPE("(h)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &fd_list,
      nullptr, &error);
  if (reply == nullptr || fd_list == nullptr) {
    g_log(nullptr, G_LOG_LEVEL_WARNING,
          "Failed to acquire logind sleep inhibit: %s", error_reason(error));
    return FALSE;
  }

  gint32 handle = -1;
  g_variant_get(reply, "(h)", &handle);
  // The handle comes from the peer; g_unix_fd_list_get does not guard against
  // a negative index, so an index outside the list is refused here.
  gint fd = -1;
  g_autoptr(GError) fd_error = nullptr;
  if (handle >= 0 && handle < g_unix_fd_list_get_length(fd_list)) {
    fd = g_unix_fd_list_get(fd_list, handle, &fd_error);
  }
  if (fd < 0) {
    g_log(nullptr, G_LOG_LEVEL_WARNING, "Failed to read logind inhibit fd: %s",
          error_reason(fd_error));
    return FALSE;
  }
  application->sleep_inhibit_fd = fd;
  return TRUE;
}

// Asks the screen saver on the connected session bus for an inhibit; true
// when a non-zero cookie is held.
gboolean acquire_screensaver_inhibit(MyApplication* application) {
  g_autoptr(GError) error = nullptr;
  g_autoptr(GVariant) reply = g_dbus_connection_call_sync(
      application->session_bus, kScreenSaverBusName, kScreenSaverObjectPath,
      kScreenSaverInterface, kScreenSaverInhibitMethod,
      g_variant_new("(ss)", kInhibitWho, kInhibitWhy), G_VARIANT_TYPE("(u)"),
      G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &error);
  if (reply == nullptr) {
    g_log(nullptr, G_LOG_LEVEL_WARNING,
          "Failed to acquire screensaver inhibit: %s", error_reason(error));
    return FALSE;
  }

  guint32 cookie = 0;
  g_variant_get(reply, "(u)", &cookie);
  application->screensaver_inhibit_cookie = cookie;
  return cookie != 0;
}

gboolean start_system_keep_alive(MyApplication* application) {
  // Retried here because activation may have found no system bus.
  ensure_sleep_signal_subscription(application);

  if (is_keep_alive_active(application)) {
    return TRUE;
  }
  if (acquire_sleep_inhibitor(application)) {
    return TRUE;
  }
  // The screen saver and the portal share the session bus.
  if (!ensure_session_bus(
          application,
          "Failed to connect session bus for screensaver inhibit")) {
    return FALSE;
  }
  // A cookie of 0 holds nothing.
  return acquire_screensaver_inhibit(application) ||
         acquire_portal_inhibit(application);
}

}  // namespace

void system_keep_alive_method_call_cb(FlMethodChannel* /* channel */,
                                      FlMethodCall* method_call,
                                      gpointer user_data) {
  MyApplication* application = MY_APPLICATION(user_data);
  const gchar* method = fl_method_call_get_name(method_call);

  g_autoptr(FlMethodResponse) response = nullptr;
  if (strcmp(method, kStartKeepAliveMethod) == 0) {
    g_autoptr(FlValue) result =
        fl_value_new_bool(start_system_keep_alive(application));
    response = FL_METHOD_RESPONSE(fl_method_success_response_new(result));
  } else if (strcmp(method, kStopKeepAliveMethod) == 0) {
    stop_system_keep_alive(application);
    g_autoptr(FlValue) result = fl_value_new_bool(FALSE);
    response = FL_METHOD_RESPONSE(fl_method_success_response_new(result));
  } else if (strcmp(method, kIsKeepAliveActiveMethod) == 0) {
    g_autoptr(FlValue) result =
        fl_value_new_bool(is_keep_alive_active(application));
    response = FL_METHOD_RESPONSE(fl_method_success_response_new(result));
  } else {
    response = FL_METHOD_RESPONSE(fl_method_not_implemented_response_new());
  }
  fl_method_call_respond(method_call, response, nullptr);
}

void stop_system_keep_alive(MyApplication* application) {
  g_return_if_fail(MY_IS_APPLICATION(application));

  if (application->sleep_inhibit_fd >= 0) {
    // Closing our copy of the descriptor ends the logind inhibitor.
    close(application->sleep_inhibit_fd);
    application->sleep_inhibit_fd = -1;
  }

  // A cookie from a bus that has closed is not released on it.
  if (application->screensaver_inhibit_cookie != 0 &&
      application->session_bus != nullptr &&
      !g_dbus_connection_is_closed(application->session_bus)) {
    g_autoptr(GError) error = nullptr;
    [[maybe_unused]] g_autoptr(GVariant) reply = g_dbus_connection_call_sync(
        application->session_bus, kScreenSaverBusName, kScreenSaverObjectPath,
        kScreenSaverInterface, kScreenSaverUnInhibitMethod,
        g_variant_new("(u)", application->screensaver_inhibit_cookie), nullptr,
        G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &error);
    if (error != nullptr) {
      g_log(nullptr, G_LOG_LEVEL_WARNING,
            "Failed to release screensaver inhibit: %s", error->message);
    }
  }
  application->screensaver_inhibit_cookie = 0;

  release_portal_inhibit(application);
}

void release_system_keep_alive(MyApplication* application) {
  g_return_if_fail(MY_IS_APPLICATION(application));

  stop_system_keep_alive(application);
  if (application->sleep_signal_subscription_id != 0 &&
      application->system_bus != nullptr) {
    g_dbus_connection_signal_unsubscribe(
        application->system_bus, application->sleep_signal_subscription_id);
  }
  application->sleep_signal_subscription_id = 0;
  release_bus_connections(application);
}
