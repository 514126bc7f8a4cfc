// Choosing the display backend: X11 unless the user enables Wayland.
#include "runner/display_backend.h"

#include <glib.h>

namespace {

constexpr char kEnableWaylandVariable[] = "FERROW_LINUX_ENABLE_WAYLAND";
constexpr char kGdkBackendVariable[] = "GDK_BACKEND";
constexpr const char* kEnablingWords[] = {"1", "true", "yes", "on"};

}  // namespace

bool wayland_enabled(const char* value) {
  if (value == nullptr || value[0] == '\0') {
    return false;
  }
  for (const char* word : kEnablingWords) {
    if (g_ascii_strcasecmp(value, word) == 0) {
      return true;
    }
  }
  return false;
}

void select_display_backend() {
  if (!wayland_enabled(g_getenv(kEnableWaylandVariable))) {
    g_setenv(kGdkBackendVariable, "x11", TRUE);
  }
}
