// Liveness of windows named by deferred window-control work.
#include "runner/window_control/live_window.h"

bool is_live_window(GtkWindow* window) {
  if (window == nullptr || !GTK_IS_WINDOW(window) ||
      gtk_widget_in_destruction(GTK_WIDGET(window))) {
    return false;
  }
  GList* toplevels = gtk_window_list_toplevels();
  const bool live = g_list_find(toplevels, window) != nullptr;
  g_list_free(toplevels);
  return live;
}
