// Finding a window's view and the view's inner widgets, finding a window by
// view id, and reading method-call arguments. Results are borrowed.
#ifndef RUNNER_PRESENTATION_WIDGET_LOOKUP_H_
#define RUNNER_PRESENTATION_WIDGET_LOOKUP_H_

#include <gtk/gtk.h>

#include "runner/flutter_embedder.h"
#include "runner/my_application.h"

FlView* find_fl_view(GtkWidget* widget);
GtkWidget* find_drawing_area(GtkWidget* widget);
GtkWidget* find_event_box(GtkWidget* widget);
GtkWindow* find_window_by_view_id(MyApplication* application, gint64 view_id);

void queue_flutter_view_geometry_refresh(GtkWindow* window);

// The entry under `key` of an argument map, or the default when there is no
// map, no such entry, or an entry of another type.
gint64 read_int_argument(FlValue* args, const char* key, gint64 default_value);
bool read_bool_argument(FlValue* args, const char* key, bool default_value);

#endif  // RUNNER_PRESENTATION_WIDGET_LOOKUP_H_
