// Liveness of windows named by deferred work.
#include "runner/presentation/live_window.h"

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
