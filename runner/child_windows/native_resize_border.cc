// The native resize border: placeholder until the child window subsystem
// lands.
#include "runner/child_windows/native_resize_border.h"

void schedule_native_child_window_resize_handler(GtkWindow*) {}
void connect_native_child_window_resize_handler(GtkWidget*, GtkWindow*,
                                                gint32) {}
gboolean native_child_window_resize_button_press_cb(GtkWidget*,
                                                    GdkEventButton*,
                                                    gpointer) {
  return FALSE;
}
gboolean native_child_window_button_release_focus_cb(GtkWidget*,
                                                     GdkEventButton*,
                                                     gpointer) {
  return FALSE;
}
void native_child_window_resize_closure_data_free(gpointer, GClosure*) {}
bool is_native_child_window_title_bar_control_area(GtkWindow*, double,
                                                   double) {
  return false;
}
void focus_child_window_after_button_event(GtkWindow*, guint32) {}
gboolean focus_child_window_after_button_release_idle(gpointer) {
  return G_SOURCE_REMOVE;
}
