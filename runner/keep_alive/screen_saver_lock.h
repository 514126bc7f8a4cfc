// The freedesktop screen saver's inhibit, a cookie lock on the session bus.
#ifndef RUNNER_KEEP_ALIVE_SCREEN_SAVER_LOCK_H_
#define RUNNER_KEEP_ALIVE_SCREEN_SAVER_LOCK_H_

#include "runner/keep_alive/cookie_lock.h"

KeepAliveLock* screen_saver_lock_new();

#endif  // RUNNER_KEEP_ALIVE_SCREEN_SAVER_LOCK_H_
