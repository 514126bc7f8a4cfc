// The dark background: placeholder until the presentation subsystem lands.
#include "runner/presentation/view_background.h"

void apply_widget_background(GtkWidget*) {}
bool apply_flutter_window_background(GtkWindow*) { return true; }
void schedule_flutter_window_background_retry(GtkWindow*) {}
gboolean apply_flutter_window_background_retry(gpointer) { return FALSE; }
