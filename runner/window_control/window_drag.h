// Interactive window moves and edge resizes on Dart's request, and the input
// recovery after a move.
#ifndef RUNNER_WINDOW_CONTROL_WINDOW_DRAG_H_
#define RUNNER_WINDOW_CONTROL_WINDOW_DRAG_H_

#include <gtk/gtk.h>

#include "runner/flutter_embedder.h"

struct WindowDragRecoveryData {
  GtkWindow* window;  // strong reference
  gint32 remaining_ticks;
  gint32 root_x;
  gint32 root_y;
};

bool get_drag_start_root_position(GtkWindow* window,
                                  FlValue* args,
                                  gint* x,
                                  gint* y);
void begin_window_drag(GtkWindow* window, FlValue* args);
void begin_window_resize(GtkWindow* window, FlValue* args);
gboolean recover_window_input_after_drag(gpointer data);

// The edge that an "edge" argument names; false for any other string.
bool window_edge_from_name(const gchar* name, GdkWindowEdge* edge);

#endif  // RUNNER_WINDOW_CONTROL_WINDOW_DRAG_H_
