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

// Every call sent to Dart on this messenger, oldest first, as a list of maps
// {"channel": C, "method": M, "args": V}. A new reference.
FlValue* fl_dev_messenger_get_history(FlBinaryMessenger* messenger);
void fl_dev_messenger_clear_history(FlBinaryMessenger* messenger);

// Names of the channels with a method-call handler, in the order installed.
// A new reference to a list of strings.
FlValue* fl_dev_messenger_get_channels(FlBinaryMessenger* messenger);

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
