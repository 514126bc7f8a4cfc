// Opens the plugin's channel, named by its bundled library after the
// application, on registration.
// Written as plugin code often is: its handler leaves parameters unused,
// which the app's settings (-Wall -Werror) allow.
#include "include/glint_counter/glint_counter_plugin.h"

#include <gtk/gtk.h>

#include "glint_counter_core.h"

static void method_call_cb(FlMethodChannel* channel,
                           FlMethodCall* method_call,
                           gpointer user_data) {
  g_autoptr(FlMethodResponse) response =
      FL_METHOD_RESPONSE(fl_method_not_implemented_response_new());
  fl_method_call_respond(method_call, response, nullptr);
}

void glint_counter_plugin_register_with_registrar(
    FlPluginRegistrar* registrar) {
  g_autoptr(FlStandardMethodCodec) codec = fl_standard_method_codec_new();
  g_autofree gchar* name = glint_counter_core_channel_name(APPLICATION_ID);
  FlMethodChannel* channel =
      fl_method_channel_new(fl_plugin_registrar_get_messenger(registrar), name,
                            FL_METHOD_CODEC(codec));
  fl_method_channel_set_method_call_handler(channel, method_call_cb, nullptr,
                                            nullptr);
  g_object_set_data_full(G_OBJECT(fl_plugin_registrar_get_view(registrar)),
                         "glint-counter-channel", channel, g_object_unref);
}
