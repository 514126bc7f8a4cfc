// Declarations shared inside the development engine only: how channels,
// method calls, the messenger, views and the control socket reach each other.
#ifndef DEV_ENGINE_SRC_FL_DEV_PRIVATE_H_
#define DEV_ENGINE_SRC_FL_DEV_PRIVATE_H_

#include <json-glib/json-glib.h>

#include <flutter_linux/fl_dev_engine.h>
#include <flutter_linux/flutter_linux.h>

G_BEGIN_DECLS

// Receives the response to a call from Dart, or null when the method call was
// released without one. Called exactly once; it owns `user_data`.
typedef void (*FlDevReplyFunc)(FlMethodResponse* response, gpointer user_data);

// Method calls.
FlMethodCall* fl_dev_method_call_new(const gchar* name,
                                     FlValue* args,
                                     FlDevReplyFunc reply,
                                     gpointer reply_data);

// Method channels: delivers a call to the channel's handler.
void fl_dev_method_channel_dispatch(FlMethodChannel* channel,
                                    FlMethodCall* method_call);
const gchar* fl_dev_method_channel_get_name(FlMethodChannel* channel);

// The messenger the engine owns.
FlBinaryMessenger* fl_dev_messenger_new();
// Makes `channel` (borrowed; it removes itself before it goes) the receiver
// of calls on `name`; a name already taken keeps its place in the order.
void fl_dev_messenger_set_channel(FlBinaryMessenger* messenger,
                                  const gchar* name,
                                  FlMethodChannel* channel);
// Removes the receiver of `name` if it is `channel`.
void fl_dev_messenger_remove_channel(FlBinaryMessenger* messenger,
                                     const gchar* name,
                                     FlMethodChannel* channel);
// Delivers a call from Dart; false when no handler is installed on `channel`
// (then `reply` is not called and `reply_data` is not freed).
gboolean fl_dev_messenger_dispatch(FlBinaryMessenger* messenger,
                                   const gchar* channel,
                                   const gchar* method,
                                   FlValue* args,
                                   FlDevReplyFunc reply,
                                   gpointer reply_data);
// Records a call the shell sends to Dart and tells the control socket.
void fl_dev_messenger_record_call(FlBinaryMessenger* messenger,
                                  const gchar* channel,
                                  const gchar* method,
                                  FlValue* args);

// Engines.
void fl_dev_engine_add_registrar_name(FlEngine* engine, const gchar* name);

// Registrars.
FlPluginRegistrar* fl_dev_plugin_registrar_new(FlView* view, FlEngine* engine);

// Views: every live view, in id order (borrowed).
const GList* fl_dev_view_get_live_views();
FlView* fl_dev_view_lookup(int64_t view_id);

// JSON mapping of values.
JsonNode* fl_dev_value_to_json(FlValue* value);
FlValue* fl_dev_value_from_json(JsonNode* node);
// Whether no array or object in the JSON text lies more than `max_depth`
// levels deep (the outermost one is level 1).
gboolean fl_dev_json_nesting_within(const gchar* text,
                                    gsize length,
                                    guint max_depth);

// The control socket. Starting it more than once does nothing.
void fl_dev_control_socket_start(FlEngine* engine);
void fl_dev_control_socket_notify_method_call(FlValue* call);
void fl_dev_control_socket_notify_first_frame(int64_t view_id);

G_END_DECLS

#endif  // DEV_ENGINE_SRC_FL_DEV_PRIVATE_H_
