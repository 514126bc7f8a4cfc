// A not-implemented method channel kept alive by the registrar's view.
#include "common/stand_in_channel.h"

namespace {

void stand_in_method_call_cb(FlMethodChannel* /*channel*/,
                             FlMethodCall* method_call,
                             gpointer /*user_data*/) {
  g_autoptr(FlMethodResponse) response =
      FL_METHOD_RESPONSE(fl_method_not_implemented_response_new());
  fl_method_call_respond(method_call, response, nullptr);
}

}  // namespace

void open_stand_in_channel(FlPluginRegistrar* registrar,
                           const gchar* channel_name) {
  g_return_if_fail(FL_IS_PLUGIN_REGISTRAR(registrar));
  g_return_if_fail(channel_name != nullptr);

  g_autoptr(FlStandardMethodCodec) codec = fl_standard_method_codec_new();
  FlMethodChannel* channel =
      fl_method_channel_new(fl_plugin_registrar_get_messenger(registrar),
                            channel_name, FL_METHOD_CODEC(codec));
  fl_method_channel_set_method_call_handler(channel, stand_in_method_call_cb,
                                            nullptr, nullptr);

  // The view, not the messenger, keeps the channel: the channel holds the
  // messenger, so keeping it there would make a cycle.
  FlView* view = fl_plugin_registrar_get_view(registrar);
  GObject* owner = view != nullptr ? G_OBJECT(view) : G_OBJECT(registrar);
  g_autofree gchar* key =
      g_strconcat("stand-in-channel:", channel_name, nullptr);
  g_object_set_data_full(owner, key, channel, g_object_unref);
}
