// The window control channel: Dart's requests to focus, close, hide,
// minimize, maximize, fullscreen, query, move, resize, centre and dress
// windows.
#ifndef RUNNER_WINDOW_CONTROL_WINDOW_CONTROL_CHANNEL_H_
#define RUNNER_WINDOW_CONTROL_WINDOW_CONTROL_CHANNEL_H_

#include <gtk/gtk.h>

#include "runner/flutter_embedder.h"
#include "runner/my_application.h"

inline constexpr char kWindowControlChannelName[] = "tarn_glass/window_control";

void window_control_method_call_cb(FlMethodChannel* channel,
                                   FlMethodCall* method_call,
                                   gpointer user_data);
gboolean hide_window_idle(gpointer window);
void maximize_window(GtkWindow* window);
GdkWindowState get_current_window_state(MyApplication* application);
GdkWindowState get_window_state(GtkWindow* window);
void apply_system_title_bar(GtkWindow* window, bool show_system_title_bar);

#endif  // RUNNER_WINDOW_CONTROL_WINDOW_CONTROL_CHANNEL_H_
