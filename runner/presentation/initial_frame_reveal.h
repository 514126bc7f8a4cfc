// Revealing a window only once its view has drawn its first frame, with a
// fallback for windows kept transparent meanwhile, and activating a window,
// which waits for a reveal still pending.
#ifndef RUNNER_PRESENTATION_INITIAL_FRAME_REVEAL_H_
#define RUNNER_PRESENTATION_INITIAL_FRAME_REVEAL_H_

#include <gtk/gtk.h>

#include "runner/flutter_embedder.h"

void connect_window_first_frame_stabilizer(GtkWindow* window);
void defer_window_reveal_until_initial_frame(GtkWindow* window);
void schedule_initial_frame_reveal_fallback(GtkWindow* window);
void window_first_frame_cb(FlView* view, gpointer data);
gboolean show_window_after_first_frame_idle(gpointer data);
void reveal_window_after_initial_frame(GtkWindow* window);
gboolean reveal_window_after_initial_frame_fallback(gpointer data);

// Shows, raises and focuses the window at once, or, while it still waits for
// its first frame, has the reveal do so.
void activate_window(GtkWindow* window);

#endif  // RUNNER_PRESENTATION_INITIAL_FRAME_REVEAL_H_
