// The pointer device of a window's display, where it has one.
#ifndef RUNNER_WINDOW_CONTROL_POINTER_DEVICE_H_
#define RUNNER_WINDOW_CONTROL_POINTER_DEVICE_H_

#include <gtk/gtk.h>

// The default seat's pointer, or null when the display has no default seat
// or the seat has no pointer (a Wayland seat of a touch-only device or kiosk,
// or a compositor without seats). GDK's interactive moves and resizes crash
// without one, so nothing may start them then.
GdkDevice* display_pointer_device(GdkDisplay* display);
GdkDevice* window_pointer_device(GtkWindow* window);

#endif  // RUNNER_WINDOW_CONTROL_POINTER_DEVICE_H_
