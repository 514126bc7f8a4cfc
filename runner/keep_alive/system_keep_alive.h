// The keep-alive channel: logind's sleep lock together with the desktop's own
// (GNOME's session manager, the freedesktop power manager), or a
// screen-saver inhibit when none holds, or the desktop portal's when that
// fails too.
#ifndef RUNNER_KEEP_ALIVE_SYSTEM_KEEP_ALIVE_H_
#define RUNNER_KEEP_ALIVE_SYSTEM_KEEP_ALIVE_H_

#include "runner/flutter_embedder.h"
#include "runner/my_application.h"

inline constexpr char kSystemKeepAliveChannelName[] =
    "tarn_glass/system_keep_alive";

void system_keep_alive_method_call_cb(FlMethodChannel* channel,
                                      FlMethodCall* method_call,
                                      gpointer user_data);
// Makes the application's locks, none held; called at its creation.
void init_system_keep_alive(MyApplication* application);
// Releases whatever lock is held and gives up those being asked for; a
// pending "startKeepAlive" answers false. Waits for nobody.
void stop_system_keep_alive(MyApplication* application);
// The session bus has closed: the locks that lived on it are gone.
void forget_session_bus_locks(MyApplication* application);
// Releases everything the keep-alive subsystem holds: locks, the
// sleep-signal subscription, the search for a lost system bus and the bus
// connections. The release calls leave the process before it returns (within
// about half a second).
void release_system_keep_alive(MyApplication* application);

#endif  // RUNNER_KEEP_ALIVE_SYSTEM_KEEP_ALIVE_H_
