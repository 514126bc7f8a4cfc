// Window moves and resizes: placeholder until the window control subsystem
// lands.
#include "runner/window_control/window_drag.h"

bool get_drag_start_root_position(GtkWindow*, FlValue*, gint*, gint*) {
  return false;
}
void begin_window_drag(GtkWindow*, FlValue*) {}
void begin_window_resize(GtkWindow*, FlValue*) {}
gboolean recover_window_input_after_drag(gpointer) { return FALSE; }
