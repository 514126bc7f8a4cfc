// Child window adoption: placeholder until the child window subsystem lands.
#include "runner/child_windows/child_window_adoption.h"

void window_added_cb(GtkApplication*, GtkWindow*, gpointer user_data) {
  MyApplication* self = MY_APPLICATION(user_data);
  self->next_window_preferred_width = 0;
  self->next_window_preferred_height = 0;
  self->next_window_min_width = 0;
  self->next_window_min_height = 0;
}
void read_next_window_content_size_hints(MyApplication*, FlValue*) {}
void apply_child_window_content_size_hints(GtkWindow*, gint32, gint32, gint32,
                                           gint32) {}
bool stabilize_child_window_initial_frame(MyApplication*, GtkWindow*) {
  return false;
}
void schedule_child_window_initial_frame_stabilization(MyApplication*) {}
gboolean stabilize_next_child_window_initial_frame(gpointer) { return FALSE; }
void bind_child_window_to_parent(GtkWindow*, GtkWindow*) {}
void apply_minimal_gtk_child_window_chrome(GtkWindow*) {}
void apply_child_windows_system_title_bar(MyApplication*, bool) {}
