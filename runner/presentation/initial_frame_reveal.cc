// The first-frame reveal: placeholder until the presentation subsystem lands.
#include "runner/presentation/initial_frame_reveal.h"

void connect_window_first_frame_stabilizer(GtkWindow*) {}
void defer_window_reveal_until_initial_frame(GtkWindow*) {}
void schedule_initial_frame_reveal_fallback(GtkWindow*) {}
void window_first_frame_cb(FlView*, gpointer) {}
gboolean show_window_after_first_frame_idle(gpointer) { return FALSE; }
void reveal_window_after_initial_frame(GtkWindow*) {}
gboolean reveal_window_after_initial_frame_fallback(gpointer) { return FALSE; }
