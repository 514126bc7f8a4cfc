// The one thing every plugin stand-in does at registration: open a method
// channel of its own that answers every call as not implemented.
#ifndef PLUGIN_STAND_INS_COMMON_STAND_IN_CHANNEL_H_
#define PLUGIN_STAND_INS_COMMON_STAND_IN_CHANNEL_H_

#include <flutter_linux/flutter_linux.h>

// Opens `channel_name` on the registrar's messenger with a handler that
// answers not-implemented. The channel lives as long as the registrar's view
// (or, for a registrar without a view, as long as the registrar).
void open_stand_in_channel(FlPluginRegistrar* registrar,
                           const gchar* channel_name);

#endif  // PLUGIN_STAND_INS_COMMON_STAND_IN_CHANNEL_H_
