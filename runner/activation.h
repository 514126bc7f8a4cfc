// Activation: building the main window, its view and the channels once, and
// bringing the main window forward afterwards.
#ifndef RUNNER_ACTIVATION_H_
#define RUNNER_ACTIVATION_H_

#include <gio/gio.h>

namespace {

constexpr char kMainWindowTitle[] = "Ferrow Dadira";
constexpr int kMainWindowDefaultWidth = 1330;
constexpr int kMainWindowDefaultHeight = 748;
constexpr char kRendererVariable[] = "FLUTTER_LINUX_RENDERER";

}  // namespace

void my_application_activate(GApplication* application);

#endif  // RUNNER_ACTIVATION_H_
