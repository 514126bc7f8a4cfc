// The plugin's own library, bundled beside it: names the plugin's channel.
#ifndef GLINT_COUNTER_CORE_H_
#define GLINT_COUNTER_CORE_H_

// The channel of the application with the given id; free with g_free.
char* glint_counter_core_channel_name(const char* application_id);

#endif  // GLINT_COUNTER_CORE_H_
