// The window control channel: placeholder that knows no method yet.
#include "runner/window_control/window_control_channel.h"

void window_control_method_call_cb(FlMethodChannel*,
                                   FlMethodCall* method_call,
                                   gpointer) {
  g_autoptr(FlMethodResponse) response =
      FL_METHOD_RESPONSE(fl_method_not_implemented_response_new());
  fl_method_call_respond(method_call, response, nullptr);
}

gboolean hide_window_idle(gpointer) { return FALSE; }
void maximize_window(GtkWindow*) {}
GdkWindowState get_current_window_state(MyApplication*) {
  return static_cast<GdkWindowState>(0);
}
GdkWindowState get_window_state(GtkWindow*) {
  return static_cast<GdkWindowState>(0);
}
void apply_system_title_bar(GtkWindow*, bool) {}
