// Ending the application once its main window is gone and none of its other
// windows can be seen or is about to be, instead of running on unseen.
#ifndef RUNNER_UNSEEN_SESSION_H_
#define RUNNER_UNSEEN_SESSION_H_

#include "runner/my_application.h"

// Watches the application's windows from now on: a window hidden or removed
// schedules the check below. Called once, when the main window is built.
void watch_windows_for_unseen_session(MyApplication* application);

// Schedules one check on the next idle (several requests share it). When the
// main window has been built and is gone, and no window of the application
// is visible or waiting for its first-frame reveal, the check stops the
// keep-alive, destroys the remaining windows and quits the application.
void schedule_unseen_session_check(MyApplication* application);

// For a later launch or link arriving while that check may be pending: the
// check runs only after a grace period instead, and checks asked for during
// it wait for it, so that Dart can show a window for the link.
void delay_unseen_session_check_for_link(MyApplication* application);

#endif  // RUNNER_UNSEEN_SESSION_H_
