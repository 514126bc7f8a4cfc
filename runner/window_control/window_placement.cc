// Window placement: placeholder until the window control subsystem lands.
#include "runner/window_control/window_placement.h"

void center_window_in_rect(GtkWindow*, const GdkRectangle*) {}
void center_window_on_current_screen(GtkWindow*, GtkWindow*) {}
void center_window_on_parent(GtkWindow*, GtkWindow*) {}
void center_window_restore_bounds(GtkWindow*, GtkWindow*) {}
