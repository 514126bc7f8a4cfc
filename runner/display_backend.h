// Choosing the display backend before anything touches GDK.
#ifndef RUNNER_DISPLAY_BACKEND_H_
#define RUNNER_DISPLAY_BACKEND_H_

// Whether a value of "FERROW_LINUX_ENABLE_WAYLAND" lets GDK choose the
// backend: "1", "true", "yes" or "on" in any ASCII letter case, exactly.
bool wayland_enabled(const char* value);

// Forces "GDK_BACKEND" to "x11" unless Wayland is enabled.
void select_display_backend();

#endif  // RUNNER_DISPLAY_BACKEND_H_
