// Centring windows on a monitor's work area or over a parent window.
#ifndef RUNNER_WINDOW_CONTROL_WINDOW_PLACEMENT_H_
#define RUNNER_WINDOW_CONTROL_WINDOW_PLACEMENT_H_

#include <gtk/gtk.h>

void center_window_in_rect(GtkWindow* window, const GdkRectangle* rect);
void center_window_on_current_screen(GtkWindow* window, GtkWindow* reference);
void center_window_on_parent(GtkWindow* window, GtkWindow* parent);
void center_window_restore_bounds(GtkWindow* window, GtkWindow* reference);

#endif  // RUNNER_WINDOW_CONTROL_WINDOW_PLACEMENT_H_
