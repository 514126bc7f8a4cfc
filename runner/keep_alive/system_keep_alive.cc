// The keep-alive channel: placeholder that knows no method yet.
#include "runner/keep_alive/system_keep_alive.h"

void system_keep_alive_method_call_cb(FlMethodChannel*,
                                      FlMethodCall* method_call,
                                      gpointer) {
  g_autoptr(FlMethodResponse) response =
      FL_METHOD_RESPONSE(fl_method_not_implemented_response_new());
  fl_method_call_respond(method_call, response, nullptr);
}

void stop_system_keep_alive(MyApplication*) {}
