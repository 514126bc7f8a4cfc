// Centring windows on a monitor's work area or over a parent window, and the
// largest size a window may be given.
#ifndef RUNNER_WINDOW_CONTROL_WINDOW_PLACEMENT_H_
#define RUNNER_WINDOW_CONTROL_WINDOW_PLACEMENT_H_

#include <gtk/gtk.h>

void center_window_in_rect(GtkWindow* window, const GdkRectangle* rect);
void center_window_on_current_screen(GtkWindow* window, GtkWindow* reference);
void center_window_on_parent(GtkWindow* window, GtkWindow* parent);
void center_window_restore_bounds(GtkWindow* window, GtkWindow* reference);

// The work area of the window's monitor, or of the largest monitor while the
// window has none; false, leaving the outputs alone, when the display has no
// monitor with a work area.
bool get_window_size_limit(GtkWindow* window, gint* width, gint* height);

// The choice behind it, over work areas: `own_area` (the window's monitor's)
// when it is not empty, else the largest of the `count` areas; an empty
// rectangle when there is none.
GdkRectangle size_limit_work_area(const GdkRectangle* own_area,
                                  const GdkRectangle* areas,
                                  size_t count);

#endif  // RUNNER_WINDOW_CONTROL_WINDOW_PLACEMENT_H_
