// The application object: type registration, construction, start-up and
// disposal.
#include "runner/my_application.h"

#include "runner/activation.h"
#include "runner/application_icon.h"
#include "runner/child_windows/child_window_adoption.h"
#include "runner/command_line.h"
#include "runner/keep_alive/bus_connect.h"
#include "runner/keep_alive/system_keep_alive.h"

G_DEFINE_TYPE(MyApplication, my_application, GTK_TYPE_APPLICATION)

// Without a session bus GApplication registers nothing and says nothing, and
// each later launch becomes an instance of its own with a window of its own.
// The app works all the same; the log says why. GApplication keeps its
// failure to itself, so the reason comes from a connection attempt of our own.
static void warn_if_not_on_session_bus(GApplication* application) {
  // A non-unique application is never reached by other launches anyway.
  if (g_application_get_dbus_connection(application) != nullptr ||
      (g_application_get_flags(application) & G_APPLICATION_NON_UNIQUE) != 0) {
    return;
  }
  g_autoptr(GError) error = nullptr;
  // Only the reason matters; a connection made after all is dropped.
  [[maybe_unused]] g_autoptr(GDBusConnection) connection =
      connect_bus(G_BUS_TYPE_SESSION, &error);
  g_log(nullptr, G_LOG_LEVEL_WARNING,
        "Failed to register with the session bus, other launches will start "
        "a new instance: %s",
        error_reason(error));
}

static void my_application_startup(GApplication* application) {
  MyApplication* self = MY_APPLICATION(application);

  G_APPLICATION_CLASS(my_application_parent_class)->startup(application);
  warn_if_not_on_session_bus(application);

  use_application_icon();

  self->window_added_handler_id = g_signal_connect(
      application, "window-added", G_CALLBACK(window_added_cb), self);
}

// Leaves the arguments to the command-line handler exactly as given. GLib's
// own handling would parse them first: it drops a "--", and takes words such
// as "--gapplication-service" as its options. Returning false makes
// g_application_run register the application and hand the untouched vector
// to the primary instance's command-line handler.
static gboolean my_application_local_command_line(GApplication*,
                                                  gchar***,
                                                  int*) {
  return FALSE;
}

static void my_application_dispose(GObject* object) {
  MyApplication* self = MY_APPLICATION(object);

  if (self->window_added_handler_id != 0) {
    g_signal_handler_disconnect(self, self->window_added_handler_id);
    self->window_added_handler_id = 0;
  }

  release_system_keep_alive(self);

  g_clear_object(&self->system_keep_alive_channel);
  g_clear_object(&self->deep_link_channel);
  g_clear_object(&self->window_control_channel);
  g_clear_pointer(&self->pending_deep_links, g_ptr_array_unref);

  // The window is the GtkApplication's; only forget it, and stop listening
  // for its destruction.
  if (self->window != nullptr) {
    g_signal_handlers_disconnect_by_data(self->window, self);
  }
  self->window = nullptr;
  self->view = nullptr;

  g_clear_pointer(&self->dart_entrypoint_arguments, g_strfreev);

  G_OBJECT_CLASS(my_application_parent_class)->dispose(object);
}

static void my_application_class_init(MyApplicationClass* klass) {
  G_OBJECT_CLASS(klass)->dispose = my_application_dispose;
  G_APPLICATION_CLASS(klass)->startup = my_application_startup;
  G_APPLICATION_CLASS(klass)->activate = my_application_activate;
  G_APPLICATION_CLASS(klass)->command_line = my_application_command_line;
  G_APPLICATION_CLASS(klass)->local_command_line =
      my_application_local_command_line;
}

static void my_application_init(MyApplication* self) {
  self->next_window_preferred_width = 0;
  self->next_window_preferred_height = 0;
  self->next_window_min_width = 0;
  self->next_window_min_height = 0;
  self->window_added_handler_id = 0;
  self->system_keep_alive_channel = nullptr;
  self->deep_link_channel = nullptr;
  self->pending_deep_links = g_ptr_array_new_with_free_func(g_free);
  self->system_bus = nullptr;
  self->session_bus = nullptr;
  self->sleep_signal_subscription_id = 0;
  init_system_keep_alive(self);
}

void my_application_register(MyApplication* self) {
  GApplication* application = G_APPLICATION(self);
  g_autoptr(GError) error = nullptr;
  if (g_application_register(application, nullptr, &error)) {
    return;
  }
  // A bus that refuses the name, as confinement does to a name the package
  // was not granted, leaves the app without forwarding but not without a
  // window: it runs as an instance of its own, as without a session bus. A
  // failed registration leaves the flags open to change.
  if (!g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_ACCESS_DENIED)) {
    return;
  }
  g_log(nullptr, G_LOG_LEVEL_WARNING,
        "Failed to own the application name, other launches will start a "
        "new instance: %s",
        error_reason(error));
  g_application_set_flags(
      application,
      static_cast<GApplicationFlags>(g_application_get_flags(application) |
                                     G_APPLICATION_NON_UNIQUE));
}

MyApplication* my_application_new() {
  g_set_prgname(kApplicationId);
  return MY_APPLICATION(
      g_object_new(my_application_get_type(), "application-id", kApplicationId,
                   "flags", G_APPLICATION_HANDLES_COMMAND_LINE, nullptr));
}
