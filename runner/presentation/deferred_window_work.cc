// The records of deferred window work and the liveness of their windows.
#include "runner/presentation/deferred_window_work.h"

DeferredWindowShowData* deferred_window_show_data_new(GtkWindow* window) {
  auto* data = static_cast<DeferredWindowShowData*>(
      g_malloc0(sizeof(DeferredWindowShowData)));
  data->window = GTK_WINDOW(g_object_ref(window));
  return data;
}

DeferredWindowFocusData* deferred_window_focus_data_new(GtkWindow* window,
                                                        guint32 event_time,
                                                        gint32 attempts) {
  auto* data = static_cast<DeferredWindowFocusData*>(
      g_malloc0(sizeof(DeferredWindowFocusData)));
  data->window = GTK_WINDOW(g_object_ref(window));
  data->event_time = event_time;
  data->remaining_attempts = attempts;
  return data;
}

void deferred_window_show_data_free(gpointer data) {
  auto* record = static_cast<DeferredWindowShowData*>(data);
  if (record == nullptr) {
    return;
  }
  g_clear_object(&record->window);
  g_free(record);
}

void deferred_window_focus_data_free(gpointer data) {
  auto* record = static_cast<DeferredWindowFocusData*>(data);
  if (record == nullptr) {
    return;
  }
  g_clear_object(&record->window);
  g_free(record);
}

void deferred_window_show_closure_data_free(gpointer data, GClosure*) {
  deferred_window_show_data_free(data);
}

bool window_is_alive(GtkWindow* window) {
  if (window == nullptr || !GTK_IS_WINDOW(window) ||
      gtk_widget_in_destruction(GTK_WIDGET(window))) {
    return false;
  }
  GList* toplevels = gtk_window_list_toplevels();
  const bool alive = g_list_find(toplevels, window) != nullptr;
  g_list_free(toplevels);
  return alive;
}
