// Widget lookup: placeholder until the presentation subsystem lands.
#include "runner/presentation/widget_lookup.h"

FlView* find_fl_view(GtkWidget*) { return nullptr; }
GtkWidget* find_drawing_area(GtkWidget*) { return nullptr; }
GtkWidget* find_event_box(GtkWidget*) { return nullptr; }
GtkWindow* find_window_by_view_id(MyApplication*, gint64) { return nullptr; }
void queue_flutter_view_geometry_refresh(GtkWindow*) {}
gint64 read_int_argument(FlValue*, const char*, gint64 default_value) {
  return default_value;
}
bool read_bool_argument(FlValue*, const char*, bool default_value) {
  return default_value;
}
