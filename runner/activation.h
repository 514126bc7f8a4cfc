// Activation: building the main window, its view and the channels once, and
// bringing the main window forward afterwards.
#ifndef RUNNER_ACTIVATION_H_
#define RUNNER_ACTIVATION_H_

#include <gio/gio.h>

inline constexpr char kMainWindowTitle[] = "Ferrow Dadira";
inline constexpr int kMainWindowDefaultWidth = 1330;
inline constexpr int kMainWindowDefaultHeight = 748;
inline constexpr char kRendererVariable[] = "FLUTTER_LINUX_RENDERER";

void my_application_activate(GApplication* application);

#endif  // RUNNER_ACTIVATION_H_
