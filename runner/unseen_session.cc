// Ending the application once its main window is gone and nobody can see
// any of its windows: a hidden child window alone would otherwise keep the
// process, its inhibitors and its claim on the application id, and every
// later launch would forward to it and show nothing.
#include "runner/unseen_session.h"

#include "runner/keep_alive/system_keep_alive.h"
#include "runner/presentation/window_tags.h"

namespace {

// The pending check's source id, kept on the application; removing the
// data (at the latest when the application is finalized) removes the source.
constexpr char kUnseenSessionCheckSourceKey[] =
    "tarn-glass-linux-unseen-session-check-source";

// How long Dart has to open or show a window for a link that arrived while
// nothing could be seen.
constexpr guint kLinkGracePeriodMs = 5000;

void remove_source(gpointer source_id) {
  g_source_remove(GPOINTER_TO_UINT(source_id));
}

// Visible (minimized counts), or transparent until its reveal shows it.
bool window_can_be_seen(GtkWindow* window) {
  return gtk_widget_get_visible(GTK_WIDGET(window)) ||
         window_tag_is_set(window, kWindowInitialFrameRevealDeferredKey);
}

void end_unseen_session(MyApplication* self) {
  stop_system_keep_alive(self);
  // Destroying one window may destroy others with it; hold them all.
  GList* windows =
      g_list_copy(gtk_application_get_windows(GTK_APPLICATION(self)));
  for (GList* l = windows; l != nullptr; l = l->next) {
    g_object_ref(l->data);
  }
  for (GList* l = windows; l != nullptr; l = l->next) {
    gtk_widget_destroy(GTK_WIDGET(l->data));
  }
  g_list_free_full(windows, g_object_unref);
  g_application_quit(G_APPLICATION(self));
}

gboolean check_unseen_session_idle(gpointer user_data) {
  MyApplication* self = MY_APPLICATION(user_data);
  // This run ends the source; forget it without removing it.
  g_object_steal_data(G_OBJECT(self), kUnseenSessionCheckSourceKey);

  if (!self->main_window_built || self->window != nullptr) {
    return G_SOURCE_REMOVE;
  }
  // Without any window GTK ends the main loop itself.
  GList* windows = gtk_application_get_windows(GTK_APPLICATION(self));
  if (windows == nullptr) {
    return G_SOURCE_REMOVE;
  }
  for (GList* l = windows; l != nullptr; l = l->next) {
    if (window_can_be_seen(GTK_WINDOW(l->data))) {
      return G_SOURCE_REMOVE;
    }
  }
  end_unseen_session(self);
  return G_SOURCE_REMOVE;
}

void window_hidden_cb(GtkWidget*, gpointer user_data) {
  schedule_unseen_session_check(MY_APPLICATION(user_data));
}

void window_added_for_unseen_session_cb(GtkApplication*,
                                        GtkWindow* window,
                                        gpointer user_data) {
  g_signal_connect(window, "hide", G_CALLBACK(window_hidden_cb), user_data);
}

void window_removed_for_unseen_session_cb(GtkApplication*,
                                          GtkWindow* window,
                                          gpointer user_data) {
  // A window may leave the application without being destroyed.
  g_signal_handlers_disconnect_by_func(
      window, reinterpret_cast<gpointer>(window_hidden_cb), user_data);
  schedule_unseen_session_check(MY_APPLICATION(user_data));
}

}  // namespace

void watch_windows_for_unseen_session(MyApplication* application) {
  g_return_if_fail(MY_IS_APPLICATION(application));
  for (GList* l = gtk_application_get_windows(GTK_APPLICATION(application));
       l != nullptr; l = l->next) {
    g_signal_connect(l->data, "hide", G_CALLBACK(window_hidden_cb),
                     application);
  }
  g_signal_connect(application, "window-added",
                   G_CALLBACK(window_added_for_unseen_session_cb), application);
  g_signal_connect(application, "window-removed",
                   G_CALLBACK(window_removed_for_unseen_session_cb),
                   application);
}

void delay_unseen_session_check_for_link(MyApplication* application) {
  g_return_if_fail(MY_IS_APPLICATION(application));
  // Replacing the data removes a pending check's source.
  const guint source_id =
      g_timeout_add(kLinkGracePeriodMs, check_unseen_session_idle, application);
  g_object_set_data_full(G_OBJECT(application), kUnseenSessionCheckSourceKey,
                         GUINT_TO_POINTER(source_id), remove_source);
}

void schedule_unseen_session_check(MyApplication* application) {
  g_return_if_fail(MY_IS_APPLICATION(application));
  if (g_object_get_data(G_OBJECT(application), kUnseenSessionCheckSourceKey) !=
      nullptr) {
    return;
  }
  // After the signal emission that asked for it, and after the hide and
  // reveal work queued at the same priority before it.
  const guint source_id = g_idle_add_full(
      G_PRIORITY_DEFAULT_IDLE, check_unseen_session_idle, application, nullptr);
  g_object_set_data_full(G_OBJECT(application), kUnseenSessionCheckSourceKey,
                         GUINT_TO_POINTER(source_id), remove_source);
}
