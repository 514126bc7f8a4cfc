// The plugin's own library, bundled beside it: names the plugin's channel.
#include "glint_counter_core.h"

const char* glint_counter_core_channel_name() {
  return "glint_counter/events";
}
