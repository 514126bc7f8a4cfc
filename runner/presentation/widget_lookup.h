// Finding a window's view and the view's inner widgets, and finding a window
// by view id. Results are borrowed.
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

#endif  // RUNNER_PRESENTATION_WIDGET_LOOKUP_H_
