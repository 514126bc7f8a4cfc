// The plugin's own library, bundled beside it: names the plugin's channel
// with GLib, which it gets through the engine's target alone.
#include "glint_counter_core.h"

#include <glib.h>

#include "glint_counter_generated.h"

char* glint_counter_core_channel_name(const char* application_id) {
  return g_strconcat(application_id, GLINT_COUNTER_CHANNEL_SUFFIX, nullptr);
}
