// Bringing a window to the front: at once, with retries for the main window,
// and the transient keep-above.
#ifndef RUNNER_PRESENTATION_WINDOW_PRESENT_H_
#define RUNNER_PRESENTATION_WINDOW_PRESENT_H_

#include <gtk/gtk.h>

// Sets the window's opacity so that the window manager sees it too, whether
// or not the window is realized yet (GTK alone passes it on only when it
// changes while realized).
void set_window_opacity(GtkWindow* window, double opacity);

// The event time to present with: `event_time` when non-zero, else the
// current event's time, else the X server's time for a realized X11 window,
// else 0.
guint32 choose_window_present_event_time(GtkWindow* window, guint32 event_time);

void present_window_to_front(GtkWindow* window,
                             guint32 event_time,
                             bool show,
                             bool keep_above);
void present_window_to_front_with_retries(GtkWindow* window);
gboolean present_window_to_front_retry(gpointer data);
gboolean release_window_transient_keep_above(gpointer data);

#endif  // RUNNER_PRESENTATION_WINDOW_PRESENT_H_
