// The plugin's own library, bundled beside it: names the plugin's channel.
#ifndef GLINT_COUNTER_CORE_H_
#define GLINT_COUNTER_CORE_H_

const char* glint_counter_core_channel_name();

#endif  // GLINT_COUNTER_CORE_H_
