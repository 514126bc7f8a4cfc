// Keep-alive through the desktop portal's Inhibit. Suspend and idle are asked
// for in two requests: a backend that cannot hold off suspend (the GTK one
// outside a GNOME session) still hands out a handle for a combined request
// and then holds nothing, while an idle-only request reaches the screen
// saver. The requests belong to the session-bus connection that made them.
#include "runner/keep_alive/portal_inhibit.h"

#include <gdk/gdkx.h>

#include "runner/keep_alive/bus_connection.h"

namespace {

constexpr char kPortalBusName[] = "org.freedesktop.portal.Desktop";
constexpr char kPortalObjectPath[] = "/org/freedesktop/portal/desktop";
constexpr char kPortalInhibitInterface[] = "org.freedesktop.portal.Inhibit";
constexpr char kPortalInhibitMethod[] = "Inhibit";
constexpr char kPortalRequestInterface[] = "org.freedesktop.portal.Request";
constexpr char kPortalRequestCloseMethod[] = "Close";

constexpr guint32 kPortalInhibitSuspend = 4;
constexpr guint32 kPortalInhibitIdle = 8;

// The portal's identifier of the main window, "x11:<XID in hex>", so that a
// dialog it may show has a parent; empty where none can be made.
gchar* main_window_identifier(MyApplication* application) {
  if (application->window != nullptr) {
    GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(application->window));
    if (window != nullptr && GDK_IS_X11_WINDOW(window)) {
      return g_strdup_printf("x11:%lx", gdk_x11_window_get_xid(window));
    }
  }
  return g_strdup("");
}

// One Inhibit request; its handle, or null after logging why not.
gchar* request_portal_inhibit(MyApplication* application,
                              const gchar* window,
                              guint32 flags) {
  GVariantBuilder options;
  g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
  g_variant_builder_add(&options, "{sv}", "reason",
                        g_variant_new_string(kInhibitWhy));
  g_autoptr(GError) error = nullptr;
  g_autoptr(GVariant) reply = g_dbus_connection_call_sync(
      application->session_bus, kPortalBusName, kPortalObjectPath,
      kPortalInhibitInterface, kPortalInhibitMethod,
      g_variant_new("(sua{sv})", window, flags, &options),
      G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &error);
  if (reply == nullptr) {
    g_log(nullptr, G_LOG_LEVEL_WARNING, "Failed to acquire portal inhibit: %s",
          error_reason(error));
    return nullptr;
  }
  gchar* handle = nullptr;
  g_variant_get(reply, "(o)", &handle);
  return handle;
}

void close_portal_request(MyApplication* application, gchar** handle) {
  g_autofree gchar* closed = g_steal_pointer(handle);
  if (closed == nullptr || application->session_bus == nullptr ||
      g_dbus_connection_is_closed(application->session_bus)) {
    return;
  }
  g_autoptr(GError) error = nullptr;
  [[maybe_unused]] g_autoptr(GVariant) reply = g_dbus_connection_call_sync(
      application->session_bus, kPortalBusName, closed, kPortalRequestInterface,
      kPortalRequestCloseMethod, nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE, -1,
      nullptr, &error);
  // A request the backend refused is gone already: nothing to release.
  if (error != nullptr &&
      !g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD) &&
      !g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_OBJECT)) {
    g_log(nullptr, G_LOG_LEVEL_WARNING, "Failed to release portal inhibit: %s",
          error->message);
  }
}

}  // namespace

bool acquire_portal_inhibit(MyApplication* application) {
  g_return_val_if_fail(MY_IS_APPLICATION(application), false);
  g_return_val_if_fail(application->session_bus != nullptr, false);

  g_autofree gchar* window = main_window_identifier(application);
  application->portal_suspend_inhibit_handle =
      request_portal_inhibit(application, window, kPortalInhibitSuspend);
  application->portal_idle_inhibit_handle =
      request_portal_inhibit(application, window, kPortalInhibitIdle);
  return application->portal_suspend_inhibit_handle != nullptr ||
         application->portal_idle_inhibit_handle != nullptr;
}

void release_portal_inhibit(MyApplication* application) {
  g_return_if_fail(MY_IS_APPLICATION(application));

  close_portal_request(application,
                       &application->portal_suspend_inhibit_handle);
  close_portal_request(application, &application->portal_idle_inhibit_handle);
}
