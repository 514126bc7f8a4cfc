// Hands a window's frame to the window-frame plugin.
#include "runner/window_frame_plugin.h"

void take_over_window_frame(GtkWindow* window) {
  BitsdojoWindowGtk* frame = bitsdojo_window_from(window);
  if (frame != nullptr) {
    frame->setCustomFrame(TRUE);
  }
}
