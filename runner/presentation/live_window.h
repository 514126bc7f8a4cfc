// Whether deferred window work may still act on a window it holds a
// reference to.
#ifndef RUNNER_PRESENTATION_LIVE_WINDOW_H_
#define RUNNER_PRESENTATION_LIVE_WINDOW_H_

#include <gtk/gtk.h>

// False for null, for a window being destroyed, and for one destroyed since:
// a held reference keeps the object, but GTK drops it from the toplevels.
bool window_is_alive(GtkWindow* window);

#endif  // RUNNER_PRESENTATION_LIVE_WINDOW_H_
