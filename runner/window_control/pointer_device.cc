// The pointer device of a window's display, where it has one.
#include "runner/window_control/pointer_device.h"

#ifdef GDK_WINDOWING_WAYLAND
#include <gdk/gdkwayland.h>
#endif

GdkDevice* display_pointer_device(GdkDisplay* display) {
  if (display == nullptr) {
    return nullptr;
  }
  GdkSeat* seat = gdk_display_get_default_seat(display);
  if (seat == nullptr) {
    return nullptr;
  }
  GdkDevice* pointer = gdk_seat_get_pointer(seat);
#ifdef GDK_WINDOWING_WAYLAND
  // A Wayland seat's pointer is GDK's own; the compositor's pointer is the
  // device behind it, there only while the seat has one. (On X11 the core
  // pointer always works, also where GDK lists no device behind it.)
  if (pointer != nullptr && GDK_IS_WAYLAND_DISPLAY(display)) {
    GList* devices = gdk_seat_get_slaves(seat, GDK_SEAT_CAPABILITY_POINTER);
    const bool has_device = devices != nullptr;
    g_list_free(devices);
    if (!has_device) {
      return nullptr;
    }
  }
#endif
  return pointer;
}

GdkDevice* window_pointer_device(GtkWindow* window) {
  return window != nullptr ? display_pointer_device(
                                 gtk_widget_get_display(GTK_WIDGET(window)))
                           : nullptr;
}
