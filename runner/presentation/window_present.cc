// Bringing a window to the front: show, de-iconify, a transient keep-above,
// present with the best event time, raise and focus; the retries for the
// main window.
#include "runner/presentation/window_present.h"

#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include "runner/presentation/deferred_window_work.h"
#include "runner/presentation/widget_lookup.h"
#include "runner/presentation/window_tags.h"

namespace {

constexpr guint kTransientKeepAboveMs = 700;
constexpr guint kPresentRetryIntervalMs = 120;
constexpr gint32 kPresentRetryAttempts = 4;

// Hands the widget's opacity to its new GdkWindow, which GTK does not do for
// an opacity set before realization.
void apply_window_opacity_on_realize_cb(GtkWidget* widget, gpointer) {
  GdkWindow* gdk_window = gtk_widget_get_window(widget);
  if (gdk_window != nullptr) {
    gdk_window_set_opacity(gdk_window, gtk_widget_get_opacity(widget));
  }
}

}  // namespace

void set_window_opacity(GtkWindow* window, double opacity) {
  g_return_if_fail(GTK_IS_WINDOW(window));
  GtkWidget* widget = GTK_WIDGET(window);
  gtk_widget_set_opacity(widget, opacity);
  if (g_signal_handler_find(
          widget, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr,
          reinterpret_cast<gpointer>(apply_window_opacity_on_realize_cb),
          nullptr) == 0) {
    g_signal_connect(widget, "realize",
                     G_CALLBACK(apply_window_opacity_on_realize_cb), nullptr);
  }
  if (gtk_widget_get_realized(widget)) {
    apply_window_opacity_on_realize_cb(widget, nullptr);
  }
}

guint32 choose_window_present_event_time(GtkWindow* window,
                                         guint32 event_time) {
  if (event_time != 0) {
    return event_time;
  }
  guint32 time = gtk_get_current_event_time();
  if (time != 0) {
    return time;
  }
#ifdef GDK_WINDOWING_X11
  GdkWindow* gdk_window = gtk_widget_get_window(GTK_WIDGET(window));
  // The server time is read from a property change on the window, which it
  // waits for: only ask the kinds of window whose X window GDK always makes
  // select property changes.
  if (gdk_window != nullptr &&
      G_TYPE_CHECK_INSTANCE_TYPE(gdk_window_get_display(gdk_window),
                                 gdk_x11_display_get_type()) &&
      !gdk_window_is_destroyed(gdk_window)) {
    const GdkWindowType type = gdk_window_get_window_type(gdk_window);
    if (type == GDK_WINDOW_TOPLEVEL || type == GDK_WINDOW_TEMP) {
      time = gdk_x11_get_server_time(gdk_window);
    }
  }
#endif
  return time;
}

void present_window_to_front(GtkWindow* window,
                             guint32 event_time,
                             bool show,
                             bool keep_above) {
  g_return_if_fail(GTK_IS_WINDOW(window));
  if (!window_is_alive(window)) {
    return;
  }
  GtkWidget* widget = GTK_WIDGET(window);

  if (show) {
    set_window_opacity(window, 1.0);
    gtk_widget_show(widget);
  }
  gtk_window_deiconify(window);

  if (keep_above) {
    gtk_window_set_keep_above(window, TRUE);
    // The first present of a burst schedules the release; later ones only
    // renew the keep-above until then.
    if (!window_tag_is_set(window,
                           kWindowTransientKeepAboveReleaseScheduledKey)) {
      window_tag_set(window, kWindowTransientKeepAboveReleaseScheduledKey);
      g_timeout_add_full(G_PRIORITY_DEFAULT, kTransientKeepAboveMs,
                         release_window_transient_keep_above,
                         deferred_window_show_data_new(window),
                         deferred_window_show_data_free);
    }
  }

  const guint32 time = choose_window_present_event_time(window, event_time);
  if (time != 0) {
    gtk_window_present_with_time(window, time);
  } else {
    gtk_window_present(window);
  }

  GdkWindow* gdk_window = gtk_widget_get_window(widget);
  if (gdk_window != nullptr) {
    gdk_window_raise(gdk_window);
    gdk_window_focus(gdk_window, time);
  }

  FlView* view = find_fl_view(widget);
  if (view != nullptr) {
    // GTK refuses (with a critical) to make an unfocusable widget the focus.
    if (gtk_widget_get_can_focus(GTK_WIDGET(view))) {
      gtk_window_set_focus(window, GTK_WIDGET(view));
    }
    gtk_widget_grab_focus(GTK_WIDGET(view));
  }
  queue_flutter_view_geometry_refresh(window);
}

void present_window_to_front_with_retries(GtkWindow* window) {
  g_return_if_fail(GTK_IS_WINDOW(window));
  present_window_to_front(window, 0, true, true);
  g_timeout_add_full(
      G_PRIORITY_DEFAULT, kPresentRetryIntervalMs,
      present_window_to_front_retry,
      deferred_window_focus_data_new(window, 0, kPresentRetryAttempts),
      deferred_window_focus_data_free);
}

gboolean present_window_to_front_retry(gpointer data) {
  auto* record = static_cast<DeferredWindowFocusData*>(data);
  if (record == nullptr || record->window == nullptr) {
    return FALSE;
  }
  // A window closed meanwhile ends the series.
  if (!window_is_alive(record->window)) {
    return FALSE;
  }
  present_window_to_front(record->window, record->event_time, true, true);
  const gint32 remaining = record->remaining_attempts;
  record->remaining_attempts = remaining - 1;
  return remaining >= 2;
}

gboolean release_window_transient_keep_above(gpointer data) {
  auto* record = static_cast<DeferredWindowShowData*>(data);
  if (record == nullptr) {
    return FALSE;
  }
  if (record->window != nullptr) {
    if (window_is_alive(record->window)) {
      gtk_window_set_keep_above(record->window, FALSE);
    }
    window_tag_clear(record->window,
                     kWindowTransientKeepAboveReleaseScheduledKey);
  }
  return FALSE;
}
