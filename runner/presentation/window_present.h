// Bringing a window to the front, activating a window named by Dart, and the
// callback records of deferred window work.
#ifndef RUNNER_PRESENTATION_WINDOW_PRESENT_H_
#define RUNNER_PRESENTATION_WINDOW_PRESENT_H_

#include <gtk/gtk.h>

struct DeferredWindowShowData {
  GtkWindow* window;  // strong reference
};

struct DeferredWindowFocusData {
  GtkWindow* window;  // strong reference
  guint32 event_time;
  gint32 remaining_attempts;
};

// A record holding a new reference to `window`.
DeferredWindowShowData* deferred_window_show_data_new(GtkWindow* window);
DeferredWindowFocusData* deferred_window_focus_data_new(GtkWindow* window,
                                                        guint32 event_time,
                                                        gint32 attempts);

void deferred_window_show_data_free(gpointer data);
void deferred_window_focus_data_free(gpointer data);
void deferred_window_show_closure_data_free(gpointer data, GClosure* closure);

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
void activate_window(GtkWindow* window);

#endif  // RUNNER_PRESENTATION_WINDOW_PRESENT_H_
