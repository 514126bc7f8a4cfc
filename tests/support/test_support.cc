// Helpers shared by the in-process tests.
#include "tests/support/test_support.h"

#include <flutter_linux/fl_dev_engine.h>

bool run_until(const std::function<bool()>& condition, int timeout_ms) {
  const gint64 deadline = g_get_monotonic_time() + timeout_ms * 1000LL;
  while (!condition()) {
    if (g_get_monotonic_time() >= deadline) {
      return condition();
    }
    if (!g_main_context_iteration(nullptr, FALSE)) {
      g_usleep(1000);
    }
  }
  return true;
}

void run_for(int ms) {
  run_until([] { return false; }, ms);
}

void drain_main_loop() {
  // Idle work may queue more idle work; bound the rounds.
  for (int i = 0; i < 1000 && g_main_context_iteration(nullptr, FALSE); i++) {
  }
  gdk_display_sync(gdk_display_get_default());
  for (int i = 0; i < 1000 && g_main_context_iteration(nullptr, FALSE); i++) {
  }
}

FlView* make_view(int first_frame_delay_ms) {
  g_autoptr(FlDartProject) project = fl_dart_project_new();
  FlView* view = fl_view_new(project);
  fl_dev_view_set_first_frame_delay(view, first_frame_delay_ms);
  return view;
}

GtkWindow* make_window_with_view(GtkApplication* application,
                                 int first_frame_delay_ms) {
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  FlView* view = make_view(first_frame_delay_ms);
  gtk_widget_show(GTK_WIDGET(view));
  gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(view));
  if (application != nullptr) {
    gtk_window_set_application(GTK_WINDOW(window), application);
  }
  return GTK_WINDOW(window);
}

MyApplication* make_test_application() {
  auto* application = MY_APPLICATION(g_object_new(
      my_application_get_type(), "flags", G_APPLICATION_NON_UNIQUE, nullptr));
  // A registered GtkApplication exports itself on the session bus and stays
  // exported until its main loop ends, which tests never run; a second one
  // would then clash. Registered without a bus, it is a plain local
  // application. (Once the process holds a session bus connection, GIO
  // reuses it here regardless.)
  g_autofree gchar* bus = g_strdup(g_getenv("DBUS_SESSION_BUS_ADDRESS"));
  g_setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", TRUE);
  g_autoptr(GError) error = nullptr;
  if (!g_application_register(G_APPLICATION(application), nullptr, &error)) {
    g_printerr("Registering the test application failed: %s\n", error->message);
  }
  if (bus != nullptr) {
    g_setenv("DBUS_SESSION_BUS_ADDRESS", bus, TRUE);
  } else {
    g_unsetenv("DBUS_SESSION_BUS_ADDRESS");
  }
  return application;
}

void destroy_all_toplevels() {
  GList* toplevels = gtk_window_list_toplevels();
  for (GList* l = toplevels; l != nullptr; l = l->next) {
    // GTK keeps its tooltip window for the display's life and would use it
    // after it was destroyed.
    if (g_strcmp0(G_OBJECT_TYPE_NAME(l->data), "GtkTooltipWindow") == 0) {
      continue;
    }
    gtk_widget_destroy(GTK_WIDGET(l->data));
  }
  g_list_free(toplevels);
  drain_main_loop();
}

namespace {
// GLib takes one writer per process; it forwards to the capture in force.
LogCapture* current_capture = nullptr;
}  // namespace

LogCapture::LogCapture(GLogLevelFlags levels) : levels_(levels) {
  static bool writer_installed = false;
  if (!writer_installed) {
    g_log_set_writer_func(&LogCapture::Writer, nullptr, nullptr);
    writer_installed = true;
  }
  current_capture = this;
}

LogCapture::~LogCapture() {
  if (current_capture == this)
    current_capture = nullptr;
}

GLogWriterOutput LogCapture::Writer(GLogLevelFlags level,
                                    const GLogField* fields,
                                    gsize n_fields,
                                    gpointer) {
  LogCapture* self = current_capture;
  if (self == nullptr || (level & self->levels_) == 0) {
    return g_log_writer_default(level, fields, n_fields, nullptr);
  }
  Entry entry{level, "", ""};
  for (gsize i = 0; i < n_fields; i++) {
    if (g_strcmp0(fields[i].key, "MESSAGE") == 0) {
      entry.message = static_cast<const char*>(fields[i].value);
    } else if (g_strcmp0(fields[i].key, "GLIB_DOMAIN") == 0) {
      entry.domain = static_cast<const char*>(fields[i].value);
    }
  }
  self->entries_.push_back(entry);
  return G_LOG_WRITER_HANDLED;
}

bool LogCapture::contains(const std::string& text) const {
  for (const auto& entry : entries_) {
    if (entry.message.find(text) != std::string::npos)
      return true;
  }
  return false;
}

size_t LogCapture::count(GLogLevelFlags level) const {
  size_t n = 0;
  for (const auto& entry : entries_) {
    if ((entry.level & level) != 0)
      n++;
  }
  return n;
}
