// The window-frame plugin's window interface: it takes a window's frame over
// from the window manager.
#ifndef RUNNER_WINDOW_FRAME_PLUGIN_H_
#define RUNNER_WINDOW_FRAME_PLUGIN_H_

#include <bitsdojo_window_linux/bitsdojo_window_plugin.h>
#include <gtk/gtk.h>

// Asks the frame plugin for the window's object and calls its first
// operation with true, which leaves the frame to the application. Nothing
// happens when the plugin has no object for the window.
void take_over_window_frame(GtkWindow* window);

#endif  // RUNNER_WINDOW_FRAME_PLUGIN_H_
