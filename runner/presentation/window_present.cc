// Bringing windows to the front: placeholder until the presentation
// subsystem lands.
#include "runner/presentation/window_present.h"

DeferredWindowShowData* deferred_window_show_data_new(GtkWindow* window) {
  auto* data = g_new0(DeferredWindowShowData, 1);
  data->window = GTK_WINDOW(g_object_ref(window));
  return data;
}

DeferredWindowFocusData* deferred_window_focus_data_new(GtkWindow* window,
                                                        guint32 event_time,
                                                        gint32 attempts) {
  auto* data = g_new0(DeferredWindowFocusData, 1);
  data->window = GTK_WINDOW(g_object_ref(window));
  data->event_time = event_time;
  data->remaining_attempts = attempts;
  return data;
}

void deferred_window_show_data_free(gpointer data) {
  auto* record = static_cast<DeferredWindowShowData*>(data);
  if (record == nullptr) return;
  g_clear_object(&record->window);
  g_free(record);
}

void deferred_window_focus_data_free(gpointer data) {
  auto* record = static_cast<DeferredWindowFocusData*>(data);
  if (record == nullptr) return;
  g_clear_object(&record->window);
  g_free(record);
}

void deferred_window_show_closure_data_free(gpointer data, GClosure*) {
  deferred_window_show_data_free(data);
}

void present_window_to_front(GtkWindow* window, guint32, bool show, bool) {
  if (show) {
    gtk_widget_set_opacity(GTK_WIDGET(window), 1.0);
    gtk_widget_show(GTK_WIDGET(window));
  }
  gtk_window_present(window);
}

void present_window_to_front_with_retries(GtkWindow* window) {
  present_window_to_front(window, 0, true, true);
}

gboolean present_window_to_front_retry(gpointer) { return FALSE; }
gboolean release_window_transient_keep_above(gpointer) { return FALSE; }
void activate_window(GtkWindow* window) {
  present_window_to_front(window, 0, true, false);
}
