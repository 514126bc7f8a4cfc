// Private to the development engine: lets in-process tests play the Dart
// side. Not part of <flutter_linux/flutter_linux.h>; the real embedder has no
// such header.
#ifndef FLUTTER_LINUX_FL_DEV_ENGINE_H_
#define FLUTTER_LINUX_FL_DEV_ENGINE_H_

#include <flutter_linux/flutter_linux.h>

G_BEGIN_DECLS

// Called with the handler's response, or with null when the method call was
// released without one. The response is borrowed for the call.
typedef void (*FlDevResponseCallback)(FlMethodResponse* response,
                                      gpointer user_data);

// Delivers a method call from Dart to the handler installed on `channel`.
// `args` may be null: the handler then gets a value of type null. Returns
// false (and calls nothing) when no handler is installed on the channel.
gboolean fl_dev_messenger_invoke(FlBinaryMessenger* messenger,
                                 const gchar* channel,
                                 const gchar* method,
                                 FlValue* args,
                                 FlDevResponseCallback callback,
                                 gpointer user_data);

// As above, for handlers that respond before they return: the response as a
// new reference, or null when there was no handler or no response yet.
FlMethodResponse* fl_dev_messenger_invoke_sync(FlBinaryMessenger* messenger,
                                               const gchar* channel,
                                               const gchar* method,
                                               FlValue* args);

// Every call delivered to Dart on this messenger, oldest first, as a list of
// maps {"channel": C, "method": M, "args": V, "callId": K}. A new reference.
FlValue* fl_dev_messenger_get_history(FlBinaryMessenger* messenger);
void fl_dev_messenger_clear_history(FlBinaryMessenger* messenger);

// Names of the channels with a method-call handler, in the order installed.
// A new reference to a list of strings.
FlValue* fl_dev_messenger_get_channels(FlBinaryMessenger* messenger);

// How Dart answers the calls delivered on a channel it listens on.
typedef enum {
  FL_DEV_DART_REPLY_NOT_IMPLEMENTED,
  // Success without a value.
  FL_DEV_DART_REPLY_SUCCESS,
  // Each call waits for fl_dev_messenger_respond.
  FL_DEV_DART_REPLY_HELD,
} FlDevDartReply;

// From now on no channel has a Dart listener until fl_dev_messenger_listen
// names it, as with FL_DEV_ENGINE_DART_LISTENS=later: calls the shell sends
// wait in the channel's buffer (see fl_binary_messenger_resize_channel).
// Channels already given a listener keep it.
void fl_dev_messenger_set_dart_listens_later(FlBinaryMessenger* messenger);

// Gives Dart a listener on `channel`: delivers the calls waiting in its
// buffer, oldest first, then answers each call delivered from now on as
// `reply` says, in a later main-loop iteration. On a channel that already
// has one, changes only the reply mode.
void fl_dev_messenger_listen(FlBinaryMessenger* messenger,
                             const gchar* channel,
                             FlDevDartReply reply);

// Ids of the calls delivered on `channel` (on any channel when null) that
// wait for fl_dev_messenger_respond, oldest first; the same ids as "callId"
// in the history. A new reference to a list of ints.
FlValue* fl_dev_messenger_get_held_calls(FlBinaryMessenger* messenger,
                                         const gchar* channel);

// Answers held call `call_id` with `response`, as Dart would: the sender gets
// it in a later main-loop iteration. False when no call of that id waits
// (never delivered, already answered, or its sender asked for no reply).
gboolean fl_dev_messenger_respond(FlBinaryMessenger* messenger,
                                  int64_t call_id,
                                  FlMethodResponse* response);

// Plugin names asked of the registry of any view on this engine, in order.
// A new reference to a list of strings.
FlValue* fl_dev_engine_get_registrar_names(FlEngine* engine);

// The entry-point arguments the engine's project was given (borrowed; null
// when none were set).
gchar** fl_dev_engine_get_entrypoint_arguments(FlEngine* engine);

// Makes the view emit "first-frame" now, whatever its delay.
void fl_dev_view_emit_first_frame(FlView* view);
gboolean fl_dev_view_has_emitted_first_frame(FlView* view);
// Milliseconds from realization to "first-frame"; -1 never. Takes effect
// when set before the view is realized.
void fl_dev_view_set_first_frame_delay(FlView* view, gint delay_ms);
// The colour last given to fl_view_set_background_color.
gboolean fl_dev_view_get_background_color(FlView* view, GdkRGBA* color);

G_END_DECLS

#endif  // FLUTTER_LINUX_FL_DEV_ENGINE_H_
