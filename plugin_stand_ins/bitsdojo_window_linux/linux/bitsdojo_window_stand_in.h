// The window-frame stand-in's own test hook, outside the plugin's interface.
#ifndef BITSDOJO_WINDOW_LINUX_BITSDOJO_WINDOW_STAND_IN_H_
#define BITSDOJO_WINDOW_LINUX_BITSDOJO_WINDOW_STAND_IN_H_

#include <gtk/gtk.h>

// The window the process-wide object now acts on (borrowed), or null once
// that window is gone.
__attribute__((visibility("default"))) GtkWindow*
bitsdojo_window_stand_in_get_window(void);

#endif  // BITSDOJO_WINDOW_LINUX_BITSDOJO_WINDOW_STAND_IN_H_
