// The keep-alive channel: a logind sleep inhibitor, or a screen-saver inhibit
// when that fails, or the desktop portal's when both fail.
#ifndef RUNNER_KEEP_ALIVE_SYSTEM_KEEP_ALIVE_H_
#define RUNNER_KEEP_ALIVE_SYSTEM_KEEP_ALIVE_H_

#include "runner/flutter_embedder.h"
#include "runner/my_application.h"

inline constexpr char kSystemKeepAliveChannelName[] =
    "tarn_glass/system_keep_alive";

void system_keep_alive_method_call_cb(FlMethodChannel* channel,
                                      FlMethodCall* method_call,
                                      gpointer user_data);
// Releases whatever inhibitor is held.
void stop_system_keep_alive(MyApplication* application);
// Releases everything the keep-alive subsystem holds: inhibitors, the
// sleep-signal subscription, the search for a lost system bus and the bus
// connections. The application is left as it was created, keep-alive-wise.
void release_system_keep_alive(MyApplication* application);

#endif  // RUNNER_KEEP_ALIVE_SYSTEM_KEEP_ALIVE_H_
