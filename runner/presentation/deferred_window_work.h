// What deferred window work (timeouts, idles, signal handlers) carries, and
// whether it may still act on the window it holds a reference to.
#ifndef RUNNER_PRESENTATION_DEFERRED_WINDOW_WORK_H_
#define RUNNER_PRESENTATION_DEFERRED_WINDOW_WORK_H_

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

// False for null, for a window being destroyed, and for one destroyed since:
// a held reference keeps the object, but GTK drops it from the toplevels.
bool window_is_alive(GtkWindow* window);

#endif  // RUNNER_PRESENTATION_DEFERRED_WINDOW_WORK_H_
