// A small GTK application around one development-engine view, for driving
// the control socket from another process (test_control_socket.py).
//
// Channel "test/echo" answers by method name: "echo" with the arguments,
// "notImplemented", "fail" (an error with the arguments as details), "drop"
// (no answer), "later" (answers "late" on an idle), "argType" (the type of
// the arguments), "twice" (answers twice and reports the second attempt on
// "test/events"), "ping" (sends "pong" with the arguments to Dart first).
// Every window added to the application is reported on "test/events" as
// "windowAdded" with the id of the view it holds (-1 for none).
#include <flutter_linux/flutter_linux.h>
#include <glib-unix.h>
#include <gtk/gtk.h>

namespace {

constexpr char kEchoChannel[] = "test/echo";
constexpr char kEventsChannel[] = "test/events";

struct Host {
  gchar** arguments;
  FlBinaryMessenger* messenger;
  FlMethodChannel* echo_channel;
  FlMethodChannel* events_channel;
  // Channels named by "send": name -> FlMethodChannel*.
  GHashTable* send_channels;
};

Host host;

FlView* find_view(GtkWidget* widget) {
  if (FL_IS_VIEW(widget)) {
    return FL_VIEW(widget);
  }
  if (GTK_IS_BIN(widget)) {
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(widget));
    return child != nullptr ? find_view(child) : nullptr;
  }
  return nullptr;
}

void window_added_cb(GtkApplication*, GtkWindow* window, gpointer) {
  if (host.events_channel == nullptr) {
    return;
  }
  FlView* view = find_view(GTK_WIDGET(window));
  g_autoptr(FlValue) args = fl_value_new_map();
  fl_value_set_string_take(
      args, "viewId",
      fl_value_new_int(view != nullptr ? fl_view_get_id(view) : -1));
  fl_method_channel_invoke_method(host.events_channel, "windowAdded", args,
                                  nullptr, nullptr, nullptr);
}

gboolean respond_later_idle(gpointer user_data) {
  FlMethodCall* call = FL_METHOD_CALL(user_data);
  g_autoptr(FlValue) result = fl_value_new_string("late");
  fl_method_call_respond_success(call, result, nullptr);
  return G_SOURCE_REMOVE;
}

void replied_cb(GObject* source, GAsyncResult* result, gpointer user_data) {
  g_autofree gchar* method = static_cast<gchar*>(user_data);
  g_autoptr(FlMethodResponse) response = fl_method_channel_invoke_method_finish(
      FL_METHOD_CHANNEL(source), result, nullptr);
  g_autoptr(FlValue) report = fl_value_new_map();
  fl_value_set_string_take(report, "method", fl_value_new_string(method));
  const gchar* kind = "failed";
  if (FL_IS_METHOD_SUCCESS_RESPONSE(response)) {
    kind = "success";
    fl_value_set_string(report, "value",
                        fl_method_success_response_get_result(
                            FL_METHOD_SUCCESS_RESPONSE(response)));
  } else if (FL_IS_METHOD_ERROR_RESPONSE(response)) {
    kind = "error";
    fl_value_set_string_take(
        report, "value",
        fl_value_new_string(fl_method_error_response_get_code(
            FL_METHOD_ERROR_RESPONSE(response))));
  } else if (FL_IS_METHOD_NOT_IMPLEMENTED_RESPONSE(response)) {
    kind = "notImplemented";
  }
  fl_value_set_string_take(report, "response", fl_value_new_string(kind));
  fl_method_channel_invoke_method(host.events_channel, "replied", report,
                                  nullptr, nullptr, nullptr);
}

const gchar* arg_string(FlValue* args, const gchar* key) {
  FlValue* value = fl_value_lookup_string(args, key);
  return value != nullptr && fl_value_get_type(value) == FL_VALUE_TYPE_STRING
             ? fl_value_get_string(value)
             : "";
}

void send_to_dart(FlValue* args) {
  const gchar* name = arg_string(args, "channel");
  FlMethodChannel* channel =
      FL_METHOD_CHANNEL(g_hash_table_lookup(host.send_channels, name));
  if (channel == nullptr) {
    g_autoptr(FlStandardMethodCodec) codec = fl_standard_method_codec_new();
    channel =
        fl_method_channel_new(host.messenger, name, FL_METHOD_CODEC(codec));
    g_hash_table_insert(host.send_channels, g_strdup(name), channel);
  }
  const gchar* method = arg_string(args, "method");
  FlValue* reply = fl_value_lookup_string(args, "reply");
  gboolean wants_reply = reply != nullptr && fl_value_get_bool(reply);
  fl_method_channel_invoke_method(channel, method,
                                  fl_value_lookup_string(args, "args"), nullptr,
                                  wants_reply ? replied_cb : nullptr,
                                  wants_reply ? g_strdup(method) : nullptr);
}

const gchar* type_name(FlValueType type) {
  switch (type) {
    case FL_VALUE_TYPE_NULL:
      return "null";
    case FL_VALUE_TYPE_BOOL:
      return "bool";
    case FL_VALUE_TYPE_INT:
      return "int";
    case FL_VALUE_TYPE_FLOAT:
      return "float";
    case FL_VALUE_TYPE_STRING:
      return "string";
    case FL_VALUE_TYPE_LIST:
      return "list";
    case FL_VALUE_TYPE_MAP:
      return "map";
    default:
      return "other";
  }
}

void echo_cb(FlMethodChannel* channel, FlMethodCall* call, gpointer) {
  const gchar* method = fl_method_call_get_name(call);
  FlValue* args = fl_method_call_get_args(call);
  if (g_str_equal(method, "echo")) {
    fl_method_call_respond_success(call, args, nullptr);
  } else if (g_str_equal(method, "fail")) {
    fl_method_call_respond_error(call, "E1", "failed", args, nullptr);
  } else if (g_str_equal(method, "drop")) {
    // No answer.
  } else if (g_str_equal(method, "later")) {
    g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, respond_later_idle,
                    g_object_ref(call), g_object_unref);
  } else if (g_str_equal(method, "argType")) {
    g_autoptr(FlValue) result =
        fl_value_new_string(type_name(fl_value_get_type(args)));
    fl_method_call_respond_success(call, result, nullptr);
  } else if (g_str_equal(method, "twice")) {
    g_autoptr(FlValue) first = fl_value_new_int(1);
    fl_method_call_respond_success(call, first, nullptr);
    g_autoptr(FlValue) second = fl_value_new_int(2);
    g_autoptr(GError) error = nullptr;
    gboolean accepted = fl_method_call_respond_success(call, second, &error);
    g_autoptr(FlValue) report = fl_value_new_map();
    fl_value_set_string_take(report, "accepted", fl_value_new_bool(accepted));
    fl_value_set_string_take(report, "error",
                             fl_value_new_bool(error != nullptr));
    fl_method_channel_invoke_method(host.events_channel, "secondResponse",
                                    report, nullptr, nullptr, nullptr);
  } else if (g_str_equal(method, "ping")) {
    fl_method_channel_invoke_method(channel, "pong", args, nullptr, nullptr,
                                    nullptr);
    fl_method_call_respond_success(call, nullptr, nullptr);
  } else if (g_str_equal(method, "send")) {
    send_to_dart(args);
    fl_method_call_respond_success(call, nullptr, nullptr);
  } else if (g_str_equal(method, "resize")) {
    fl_binary_messenger_resize_channel(
        host.messenger, arg_string(args, "channel"),
        fl_value_get_int(fl_value_lookup_string(args, "size")));
    fl_method_call_respond_success(call, nullptr, nullptr);
  } else if (g_str_equal(method, "warns")) {
    fl_binary_messenger_set_warns_on_channel_overflow(
        host.messenger, arg_string(args, "channel"),
        fl_value_get_bool(fl_value_lookup_string(args, "warns")));
    fl_method_call_respond_success(call, nullptr, nullptr);
  } else {
    fl_method_call_respond_not_implemented(call, nullptr);
  }
}

// SIGTERM closes every window, so that the process ends through the main
// loop and leak checkers see a clean exit.
gboolean terminate_cb(gpointer user_data) {
  GtkApplication* application = GTK_APPLICATION(user_data);
  GList* windows = g_list_copy(gtk_application_get_windows(application));
  for (GList* l = windows; l != nullptr; l = l->next) {
    gtk_widget_destroy(GTK_WIDGET(l->data));
  }
  g_list_free(windows);
  g_application_quit(G_APPLICATION(application));
  return G_SOURCE_REMOVE;
}

void activate_cb(GtkApplication* application, gpointer) {
  GtkWidget* window = gtk_application_window_new(application);
  gtk_window_set_title(GTK_WINDOW(window), "dev engine test host");
  gtk_window_set_default_size(GTK_WINDOW(window), 400, 300);

  g_autoptr(FlDartProject) project = fl_dart_project_new();
  fl_dart_project_set_dart_entrypoint_arguments(project, host.arguments);
  FlView* view = fl_view_new(project);
  gtk_widget_show(GTK_WIDGET(view));
  gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(view));

  const char* plugins[] = {"AlphaPlugin", "BetaPlugin"};
  for (const char* plugin : plugins) {
    [[maybe_unused]] g_autoptr(FlPluginRegistrar) registrar =
        fl_plugin_registry_get_registrar_for_plugin(FL_PLUGIN_REGISTRY(view),
                                                    plugin);
  }

  FlBinaryMessenger* messenger =
      fl_engine_get_binary_messenger(fl_view_get_engine(view));
  host.messenger = messenger;
  g_autoptr(FlStandardMethodCodec) codec = fl_standard_method_codec_new();
  host.echo_channel =
      fl_method_channel_new(messenger, kEchoChannel, FL_METHOD_CODEC(codec));
  fl_method_channel_set_method_call_handler(host.echo_channel, echo_cb, nullptr,
                                            nullptr);
  host.events_channel =
      fl_method_channel_new(messenger, kEventsChannel, FL_METHOD_CODEC(codec));

  gtk_widget_show(window);
}

}  // namespace

int main(int argc, char** argv) {
  // Every argument goes to the Dart entry point, as in the shell.
  host.arguments = g_new0(gchar*, argc);
  for (int i = 1; i < argc; i++) {
    host.arguments[i - 1] = g_strdup(argv[i]);
  }
  host.send_channels =
      g_hash_table_new_full(g_str_hash, g_str_equal, g_free, g_object_unref);
  g_autoptr(GtkApplication) application = gtk_application_new(
      "org.example.DevEngineTestHost", G_APPLICATION_NON_UNIQUE);
  g_signal_connect(application, "activate", G_CALLBACK(activate_cb), nullptr);
  g_signal_connect(application, "window-added", G_CALLBACK(window_added_cb),
                   nullptr);
  g_unix_signal_add(SIGTERM, terminate_cb, application);
  char* run_argv[] = {argv[0], nullptr};
  int status = g_application_run(G_APPLICATION(application), 1, run_argv);
  g_clear_object(&host.echo_channel);
  g_clear_object(&host.events_channel);
  g_clear_pointer(&host.send_channels, g_hash_table_unref);
  g_strfreev(host.arguments);
  return status;
}
