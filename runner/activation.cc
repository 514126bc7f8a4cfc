// Activation: the first one builds the main window around the view, the
// plugins and the three channels; every later one raises the main window.
#include "runner/activation.h"

#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif
#ifdef GDK_WINDOWING_WAYLAND
#include <gdk/gdkwayland.h>
#endif

#include "flutter/generated_plugin_registrant.h"
#include "runner/command_line.h"
#include "runner/keep_alive/sleep_notifications.h"
#include "runner/keep_alive/system_keep_alive.h"
#include "runner/my_application.h"
#include "runner/presentation/initial_frame_reveal.h"
#include "runner/presentation/view_background.h"
#include "runner/presentation/widget_lookup.h"
#include "runner/presentation/window_present.h"
#include "runner/presentation/window_tags.h"
#include "runner/unseen_session.h"
#include "runner/window_control/window_control_channel.h"
#include "runner/window_frame_plugin.h"

namespace {

const char* display_kind() {
  GdkDisplay* display = gdk_display_get_default();
  if (display == nullptr) {
    return "unknown";
  }
#ifdef GDK_WINDOWING_WAYLAND
  if (GDK_IS_WAYLAND_DISPLAY(display)) {
    return "wayland";
  }
#endif
#ifdef GDK_WINDOWING_X11
  if (GDK_IS_X11_DISPLAY(display)) {
    return "x11";
  }
#endif
  return "unknown";
}

void log_renderer() {
  const char* renderer = g_getenv(kRendererVariable);
  if (renderer != nullptr && renderer[0] != '\0') {
    g_log(nullptr, G_LOG_LEVEL_MESSAGE,
          "Using preset FLUTTER_LINUX_RENDERER=%s on %s display", renderer,
          display_kind());
  } else {
    g_log(nullptr, G_LOG_LEVEL_MESSAGE,
          "Using default OpenGL renderer on %s display", display_kind());
  }
}

FlMethodChannel* open_channel(FlView* view, const char* name) {
  FlBinaryMessenger* messenger =
      fl_engine_get_binary_messenger(fl_view_get_engine(view));
  g_autoptr(FlStandardMethodCodec) codec = fl_standard_method_codec_new();
  return fl_method_channel_new(messenger, name, FL_METHOD_CODEC(codec));
}

void flush_pending_deep_links(MyApplication* self) {
  GPtrArray* queue = self->pending_deep_links;
  for (guint i = 0; i < queue->len; i++) {
    const char* link = static_cast<const char*>(g_ptr_array_index(queue, i));
    if (link == nullptr || link[0] == '\0') {
      continue;
    }
    send_deep_link(self->deep_link_channel, link);
  }
  g_ptr_array_set_size(queue, 0);
}

// The main window may go while child windows keep the application running;
// from then on it must not be used, and hidden child windows alone do not
// keep the application.
void main_window_destroy_cb(GtkWidget*, gpointer user_data) {
  MyApplication* self = MY_APPLICATION(user_data);
  self->window = nullptr;
  self->view = nullptr;
  schedule_unseen_session_check(self);
}

}  // namespace

void my_application_activate(GApplication* application) {
  MyApplication* self = MY_APPLICATION(application);

  if (self->main_window_built) {
    if (self->window != nullptr) {
      present_window_to_front_with_retries(self->window);
    }
    return;
  }

  GtkWindow* window =
      GTK_WINDOW(gtk_application_window_new(GTK_APPLICATION(application)));
  gtk_window_set_title(window, kMainWindowTitle);
  gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_NORMAL);
  gtk_window_set_focus_on_map(window, TRUE);
  take_over_window_frame(window);
  gtk_window_set_default_size(window, kMainWindowDefaultWidth,
                              kMainWindowDefaultHeight);
  gtk_window_set_position(window, GTK_WIN_POS_CENTER);

  log_renderer();

  g_autoptr(FlDartProject) project = fl_dart_project_new();
  fl_dart_project_set_dart_entrypoint_arguments(
      project, self->dart_entrypoint_arguments);

  FlView* view = fl_view_new(project);
  GdkRGBA background;
  if (view != nullptr &&
      gdk_rgba_parse(&background, kFlutterWindowBackgroundColor)) {
    fl_view_set_background_color(view, &background);
    apply_widget_background(GTK_WIDGET(view));
    GtkWidget* drawing_area = find_drawing_area(GTK_WIDGET(view));
    if (drawing_area != nullptr) {
      apply_widget_background(drawing_area);
    }
  }
  gtk_widget_show(GTK_WIDGET(view));
  gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(view));

  self->window = window;
  self->view = view;
  self->main_window_built = TRUE;
  g_signal_connect(window, "destroy", G_CALLBACK(main_window_destroy_cb), self);
  watch_windows_for_unseen_session(self);

  // Shown and brought forward by the reveal once the view has drawn.
  window_tag_set(window, kWindowPendingActivateAfterInitialFrameKey);
  schedule_flutter_window_background_retry(window);
  connect_window_first_frame_stabilizer(window);
  gtk_widget_realize(GTK_WIDGET(view));

  fl_register_plugins(FL_PLUGIN_REGISTRY(view));

  self->window_control_channel = open_channel(view, kWindowControlChannelName);
  fl_method_channel_set_method_call_handler(self->window_control_channel,
                                            window_control_method_call_cb, self,
                                            nullptr);

  self->deep_link_channel = open_channel(view, kDeepLinkChannelName);
  // Until Dart listens the engine holds one message per channel and drops
  // the older ones: every link that arrives while Dart starts must wait.
  fl_binary_messenger_resize_channel(
      fl_engine_get_binary_messenger(fl_view_get_engine(view)),
      kDeepLinkChannelName, kDeepLinkChannelBufferSize);
  if (self->deep_link_channel != nullptr &&
      self->pending_deep_links != nullptr) {
    flush_pending_deep_links(self);
  }

  self->system_keep_alive_channel =
      open_channel(view, kSystemKeepAliveChannelName);
  fl_method_channel_set_method_call_handler(self->system_keep_alive_channel,
                                            system_keep_alive_method_call_cb,
                                            self, nullptr);
  ensure_sleep_signal_subscription(self);

  gtk_widget_grab_focus(GTK_WIDGET(view));
}
