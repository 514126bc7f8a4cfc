// Declarations shared inside the development engine only: how channels,
// method calls, the messenger, views and the control socket reach each other.
#ifndef DEV_ENGINE_SRC_FL_DEV_PRIVATE_H_
#define DEV_ENGINE_SRC_FL_DEV_PRIVATE_H_

#include <json-glib/json-glib.h>

#include <flutter_linux/fl_dev_engine.h>
#include <flutter_linux/flutter_linux.h>

G_BEGIN_DECLS

typedef struct _FlDevDartSide FlDevDartSide;

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
// The Dart side's state for calls sent to it (owned by the messenger).
FlDevDartSide* fl_dev_messenger_get_dart_side(FlBinaryMessenger* messenger);

// The Dart side of a messenger: what it does with the calls the shell sends.
FlDevDartSide* fl_dev_dart_side_new();
void fl_dev_dart_side_free(FlDevDartSide* side);
// Starts listening later when FL_DEV_ENGINE_DART_LISTENS says so.
void fl_dev_dart_side_listen_later_from_environment(FlDevDartSide* side);
// Sends a call from the shell to Dart: delivered (recorded, told to the
// control socket) or held in the channel's buffer until Dart listens. Takes
// `task` (null when the sender asked for no reply), which gets Dart's answer.
void fl_dev_dart_side_send(FlDevDartSide* side,
                           const gchar* channel,
                           const gchar* method,
                           FlValue* args,
                           GTask* task);
// The engine is going: calls still waiting for Dart get an error (which also
// lets go of their senders), and later calls are answered at once.
void fl_dev_dart_side_shutdown(FlDevDartSide* side);

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
void fl_dev_control_socket_notify_dropped(const gchar* channel,
                                          const gchar* method,
                                          FlValue* args);
void fl_dev_control_socket_notify_first_frame(int64_t view_id);

G_END_DECLS

#endif  // DEV_ENGINE_SRC_FL_DEV_PRIVATE_H_
