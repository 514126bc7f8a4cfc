// The control socket: lets outside processes play the Dart side. One JSON
// object per line; all I/O asynchronous on the main loop.
#include "fl_dev_private.h"

#include <gdk/gdk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif
#include <gio/gunixsocketaddress.h>
#include <glib/gstdio.h>

namespace {

constexpr char kSocketEnv[] = "FL_DEV_ENGINE_SOCKET";
// Deepest nesting of arrays and objects in a request, the request object
// included: far beyond any real method call, far below a stack overflow.
constexpr guint kMaxRequestNesting = 64;

// One connected client. Reference-counted (g_rc_box): the server's list,
// each pending read or write and each unanswered method call hold one.
struct Client {
  GSocketConnection* connection;
  GDataInputStream* input;
  GCancellable* cancellable;
  GQueue* pending_writes;  // GBytes*, oldest first
  gboolean writing;
  gboolean closed;
};

struct Server {
  GSocketService* service;
  // The first engine of the process; kept for the life of the process.
  FlEngine* engine;
  GList* clients;  // Client*, each holding a reference
};

Server* server = nullptr;
gboolean server_started = FALSE;

void client_clear(gpointer data) {
  Client* client = static_cast<Client*>(data);
  g_clear_object(&client->input);
  g_clear_object(&client->connection);
  g_clear_object(&client->cancellable);
  g_queue_free_full(client->pending_writes,
                    reinterpret_cast<GDestroyNotify>(g_bytes_unref));
}

Client* client_ref(Client* client) {
  return static_cast<Client*>(g_rc_box_acquire(client));
}

void client_unref(Client* client) {
  g_rc_box_release_full(client, client_clear);
}

void client_close(Client* client) {
  if (client->closed) {
    return;
  }
  client->closed = TRUE;
  g_cancellable_cancel(client->cancellable);
  // The socket closes when the last reference goes.
  if (server != nullptr && g_list_find(server->clients, client) != nullptr) {
    server->clients = g_list_remove(server->clients, client);
    client_unref(client);
  }
}

void write_next(Client* client);

void write_cb(GObject* source, GAsyncResult* result, gpointer user_data) {
  Client* client = static_cast<Client*>(user_data);
  g_autoptr(GError) error = nullptr;
  if (!g_output_stream_write_all_finish(G_OUTPUT_STREAM(source), result,
                                        nullptr, &error)) {
    client->writing = FALSE;
    client_close(client);
    client_unref(client);
    return;
  }
  g_bytes_unref(static_cast<GBytes*>(g_queue_pop_head(client->pending_writes)));
  client->writing = FALSE;
  write_next(client);
  client_unref(client);
}

void write_next(Client* client) {
  if (client->closed || client->writing ||
      g_queue_is_empty(client->pending_writes)) {
    return;
  }
  GBytes* bytes =
      static_cast<GBytes*>(g_queue_peek_head(client->pending_writes));
  gsize size = 0;
  gconstpointer data = g_bytes_get_data(bytes, &size);
  client->writing = TRUE;
  g_output_stream_write_all_async(
      g_io_stream_get_output_stream(G_IO_STREAM(client->connection)), data,
      size, G_PRIORITY_DEFAULT, client->cancellable, write_cb,
      client_ref(client));
}

// Queues one message (a JSON object) to the client; takes `object`.
void send_object(Client* client, JsonObject* object) {
  g_autoptr(JsonNode) root = json_node_new(JSON_NODE_OBJECT);
  json_node_take_object(root, object);
  if (client->closed) {
    return;
  }
  g_autoptr(JsonGenerator) generator = json_generator_new();
  json_generator_set_root(generator, root);
  gsize length = 0;
  g_autofree gchar* text = json_generator_to_data(generator, &length);
  GString* line = g_string_new_len(text, static_cast<gssize>(length));
  g_string_append_c(line, '\n');
  g_queue_push_tail(client->pending_writes, g_string_free_to_bytes(line));
  write_next(client);
}

void broadcast(JsonObject* object) {
  if (server != nullptr) {
    for (GList* l = server->clients; l != nullptr; l = l->next) {
      send_object(static_cast<Client*>(l->data), json_object_ref(object));
    }
  }
  json_object_unref(object);
}

// A reply object carrying the request's id (null when it had none).
JsonObject* reply_new(JsonNode* id) {
  JsonObject* object = json_object_new();
  json_object_set_member(
      object, "id",
      id != nullptr ? json_node_copy(id) : json_node_new(JSON_NODE_NULL));
  return object;
}

void send_failure(Client* client, JsonNode* id, const gchar* reason) {
  JsonObject* object = reply_new(id);
  json_object_set_string_member(object, "failure", reason);
  send_object(client, object);
}

void send_result(Client* client, JsonNode* id, JsonNode* result) {
  JsonObject* object = reply_new(id);
  json_object_set_member(
      object, "result",
      result != nullptr ? result : json_node_new(JSON_NODE_NULL));
  send_object(client, object);
}

// The engine requests act on: view 0's, or the first engine's once view 0
// is gone.
FlEngine* control_engine() {
  FlView* view = fl_dev_view_lookup(0);
  if (view != nullptr && fl_view_get_engine(view) != nullptr) {
    return fl_view_get_engine(view);
  }
  return server != nullptr ? server->engine : nullptr;
}

JsonNode* window_xid_node(FlView* view) {
  GtkWidget* toplevel = gtk_widget_get_toplevel(GTK_WIDGET(view));
  if (!GTK_IS_WINDOW(toplevel)) {
    return json_node_new(JSON_NODE_NULL);
  }
#ifdef GDK_WINDOWING_X11
  GdkWindow* window = gtk_widget_get_window(toplevel);
  if (window != nullptr && GDK_IS_X11_WINDOW(window)) {
    JsonNode* node = json_node_new(JSON_NODE_VALUE);
    json_node_set_int(node,
                      static_cast<gint64>(gdk_x11_window_get_xid(window)));
    return node;
  }
#endif
  return json_node_new(JSON_NODE_NULL);
}

// Reads an optional member of the given value type. False when present with
// another type (a JSON null counts as absent).
gboolean get_member(JsonObject* request,
                    const gchar* name,
                    GType type,
                    JsonNode** node) {
  *node = nullptr;
  JsonNode* member = json_object_get_member(request, name);
  if (member == nullptr || JSON_NODE_HOLDS_NULL(member)) {
    return TRUE;
  }
  if (!JSON_NODE_HOLDS_VALUE(member) ||
      json_node_get_value_type(member) != type) {
    return FALSE;
  }
  *node = member;
  return TRUE;
}

// Reads a member that must be there; sends the failure itself otherwise.
JsonNode* require_member(Client* client,
                         JsonNode* id,
                         JsonObject* request,
                         const gchar* name,
                         GType type) {
  JsonNode* node = nullptr;
  if (!get_member(request, name, type, &node)) {
    g_autofree gchar* reason = g_strdup_printf("invalid field: %s", name);
    send_failure(client, id, reason);
    return nullptr;
  }
  if (node == nullptr) {
    g_autofree gchar* reason = g_strdup_printf("missing field: %s", name);
    send_failure(client, id, reason);
  }
  return node;
}

FlView* require_view(Client* client, JsonNode* id, JsonObject* request) {
  JsonNode* node = require_member(client, id, request, "viewId", G_TYPE_INT64);
  if (node == nullptr) {
    return nullptr;
  }
  FlView* view = fl_dev_view_lookup(json_node_get_int(node));
  if (view == nullptr) {
    g_autofree gchar* reason = g_strdup_printf(
        "no view with id: %" G_GINT64_FORMAT, json_node_get_int(node));
    send_failure(client, id, reason);
  }
  return view;
}

// A method call from a client, waiting for the handler's response.
struct InvokeReply {
  Client* client;
  JsonNode* id;
};

void invoke_reply_cb(FlMethodResponse* response, gpointer user_data) {
  InvokeReply* reply = static_cast<InvokeReply*>(user_data);
  if (response == nullptr) {
    send_failure(reply->client, reply->id, "no response");
  } else {
    JsonObject* object = reply_new(reply->id);
    if (FL_IS_METHOD_SUCCESS_RESPONSE(response)) {
      json_object_set_string_member(object, "response", "success");
      json_object_set_member(
          object, "value",
          fl_dev_value_to_json(fl_method_success_response_get_result(
              FL_METHOD_SUCCESS_RESPONSE(response))));
    } else if (FL_IS_METHOD_ERROR_RESPONSE(response)) {
      FlMethodErrorResponse* error = FL_METHOD_ERROR_RESPONSE(response);
      json_object_set_string_member(object, "response", "error");
      json_object_set_string_member(object, "code",
                                    fl_method_error_response_get_code(error));
      const gchar* message = fl_method_error_response_get_message(error);
      if (message != nullptr) {
        json_object_set_string_member(object, "message", message);
      } else {
        json_object_set_null_member(object, "message");
      }
      json_object_set_member(
          object, "details",
          fl_dev_value_to_json(fl_method_error_response_get_details(error)));
    } else {
      json_object_set_string_member(object, "response", "notImplemented");
    }
    send_object(reply->client, object);
  }
  client_unref(reply->client);
  json_node_unref(reply->id);
  g_free(reply);
}

void handle_invoke(Client* client, JsonNode* id, JsonObject* request) {
  JsonNode* channel =
      require_member(client, id, request, "channel", G_TYPE_STRING);
  if (channel == nullptr) {
    return;
  }
  JsonNode* method =
      require_member(client, id, request, "method", G_TYPE_STRING);
  if (method == nullptr) {
    return;
  }
  FlEngine* engine = control_engine();
  if (engine == nullptr) {
    send_failure(client, id, "no engine");
    return;
  }
  JsonNode* args_node = json_object_get_member(request, "args");
  g_autoptr(FlValue) args =
      args_node != nullptr ? fl_dev_value_from_json(args_node) : nullptr;
  InvokeReply* reply = g_new0(InvokeReply, 1);
  reply->client = client_ref(client);
  reply->id = json_node_copy(id);
  if (!fl_dev_messenger_dispatch(
          fl_engine_get_binary_messenger(engine), json_node_get_string(channel),
          json_node_get_string(method), args, invoke_reply_cb, reply)) {
    client_unref(reply->client);
    json_node_unref(reply->id);
    g_free(reply);
    g_autofree gchar* reason = g_strdup_printf("no handler on channel: %s",
                                               json_node_get_string(channel));
    send_failure(client, id, reason);
  }
}

void handle_listen(Client* client, JsonNode* id, JsonObject* request) {
  JsonNode* channel =
      require_member(client, id, request, "channel", G_TYPE_STRING);
  if (channel == nullptr) {
    return;
  }
  JsonNode* reply_node = nullptr;
  FlDevDartReply reply = FL_DEV_DART_REPLY_NOT_IMPLEMENTED;
  if (!get_member(request, "reply", G_TYPE_STRING, &reply_node)) {
    send_failure(client, id, "invalid field: reply");
    return;
  }
  if (reply_node != nullptr) {
    const gchar* name = json_node_get_string(reply_node);
    if (g_str_equal(name, "success")) {
      reply = FL_DEV_DART_REPLY_SUCCESS;
    } else if (g_str_equal(name, "held")) {
      reply = FL_DEV_DART_REPLY_HELD;
    } else if (!g_str_equal(name, "notImplemented")) {
      send_failure(client, id, "invalid field: reply");
      return;
    }
  }
  FlEngine* engine = control_engine();
  if (engine == nullptr) {
    send_failure(client, id, "no engine");
    return;
  }
  fl_dev_messenger_listen(fl_engine_get_binary_messenger(engine),
                          json_node_get_string(channel), reply);
  send_result(client, id, nullptr);
}

// The response a `respond` request describes, or null after sending the
// failure.
FlMethodResponse* response_from_request(Client* client,
                                        JsonNode* id,
                                        JsonObject* request) {
  JsonNode* kind =
      require_member(client, id, request, "response", G_TYPE_STRING);
  if (kind == nullptr) {
    return nullptr;
  }
  const gchar* name = json_node_get_string(kind);
  if (g_str_equal(name, "success")) {
    JsonNode* value = json_object_get_member(request, "value");
    g_autoptr(FlValue) result =
        value != nullptr ? fl_dev_value_from_json(value) : nullptr;
    return FL_METHOD_RESPONSE(fl_method_success_response_new(result));
  }
  if (g_str_equal(name, "notImplemented")) {
    return FL_METHOD_RESPONSE(fl_method_not_implemented_response_new());
  }
  if (!g_str_equal(name, "error")) {
    send_failure(client, id, "invalid field: response");
    return nullptr;
  }
  JsonNode* code = require_member(client, id, request, "code", G_TYPE_STRING);
  if (code == nullptr) {
    return nullptr;
  }
  JsonNode* message = nullptr;
  if (!get_member(request, "message", G_TYPE_STRING, &message)) {
    send_failure(client, id, "invalid field: message");
    return nullptr;
  }
  JsonNode* details_node = json_object_get_member(request, "details");
  g_autoptr(FlValue) details =
      details_node != nullptr ? fl_dev_value_from_json(details_node) : nullptr;
  return FL_METHOD_RESPONSE(fl_method_error_response_new(
      json_node_get_string(code),
      message != nullptr ? json_node_get_string(message) : nullptr, details));
}

void handle_respond(Client* client, JsonNode* id, JsonObject* request) {
  JsonNode* call_id =
      require_member(client, id, request, "callId", G_TYPE_INT64);
  if (call_id == nullptr) {
    return;
  }
  g_autoptr(FlMethodResponse) response =
      response_from_request(client, id, request);
  if (response == nullptr) {
    return;
  }
  FlEngine* engine = control_engine();
  if (engine == nullptr ||
      !fl_dev_messenger_respond(fl_engine_get_binary_messenger(engine),
                                json_node_get_int(call_id), response)) {
    send_failure(client, id, "unknown call");
    return;
  }
  send_result(client, id, nullptr);
}

JsonNode* string_list_node(FlValue* list) {
  return fl_dev_value_to_json(list);
}

void handle_state(Client* client, JsonNode* id) {
  JsonObject* state = json_object_new();
  FlEngine* engine = control_engine();

  gchar** arguments = engine != nullptr
                          ? fl_dev_engine_get_entrypoint_arguments(engine)
                          : nullptr;
  if (arguments == nullptr) {
    json_object_set_null_member(state, "entrypointArguments");
  } else {
    JsonArray* array = json_array_new();
    for (gchar** a = arguments; *a != nullptr; a++) {
      json_array_add_string_element(array, *a);
    }
    json_object_set_array_member(state, "entrypointArguments", array);
  }

  if (engine != nullptr) {
    g_autoptr(FlValue) registrars = fl_dev_engine_get_registrar_names(engine);
    json_object_set_member(state, "registrars", string_list_node(registrars));
    g_autoptr(FlValue) channels =
        fl_dev_messenger_get_channels(fl_engine_get_binary_messenger(engine));
    json_object_set_member(state, "channels", string_list_node(channels));
  } else {
    json_object_set_array_member(state, "registrars", json_array_new());
    json_object_set_array_member(state, "channels", json_array_new());
  }

  JsonArray* views = json_array_new();
  for (const GList* l = fl_dev_view_get_live_views(); l != nullptr;
       l = l->next) {
    FlView* view = FL_VIEW(l->data);
    JsonObject* entry = json_object_new();
    json_object_set_int_member(entry, "viewId", fl_view_get_id(view));
    json_object_set_member(entry, "window", window_xid_node(view));
    json_object_set_boolean_member(entry, "firstFrame",
                                   fl_dev_view_has_emitted_first_frame(view));
    json_object_set_boolean_member(entry, "realized",
                                   gtk_widget_get_realized(GTK_WIDGET(view)));
    // Whether the shell has shown the view's window: the one sign of it that
    // does not depend on the display (no XID on Wayland).
    GtkWidget* toplevel = gtk_widget_get_toplevel(GTK_WIDGET(view));
    json_object_set_boolean_member(
        entry, "mapped",
        GTK_IS_WINDOW(toplevel) && gtk_widget_get_mapped(toplevel));
    json_array_add_object_element(views, entry);
  }
  json_object_set_array_member(state, "views", views);

  JsonNode* result = json_node_new(JSON_NODE_OBJECT);
  json_node_take_object(result, state);
  send_result(client, id, result);
}

void handle_history(Client* client, JsonNode* id) {
  FlEngine* engine = control_engine();
  if (engine == nullptr) {
    send_result(client, id, json_node_new(JSON_NODE_ARRAY));
    return;
  }
  g_autoptr(FlValue) history =
      fl_dev_messenger_get_history(fl_engine_get_binary_messenger(engine));
  send_result(client, id, fl_dev_value_to_json(history));
}

void handle_open_view(Client* client, JsonNode* id, JsonObject* request) {
  const struct {
    const gchar* name;
    GType type;
  } fields[] = {{"title", G_TYPE_STRING},
                {"width", G_TYPE_INT64},
                {"height", G_TYPE_INT64},
                {"firstFrameDelayMs", G_TYPE_INT64},
                {"show", G_TYPE_BOOLEAN}};
  JsonNode* values[G_N_ELEMENTS(fields)];
  for (size_t i = 0; i < G_N_ELEMENTS(fields); i++) {
    if (!get_member(request, fields[i].name, fields[i].type, &values[i])) {
      g_autofree gchar* reason =
          g_strdup_printf("invalid field: %s", fields[i].name);
      send_failure(client, id, reason);
      return;
    }
  }
  JsonNode* title = values[0];
  JsonNode* width = values[1];
  JsonNode* height = values[2];
  JsonNode* delay = values[3];
  JsonNode* show = values[4];

  FlEngine* engine = control_engine();
  if (engine == nullptr) {
    send_failure(client, id, "no engine");
    return;
  }

  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  if (title != nullptr) {
    gtk_window_set_title(GTK_WINDOW(window), json_node_get_string(title));
  }
  if (width != nullptr || height != nullptr) {
    gint w =
        width != nullptr
            ? static_cast<gint>(CLAMP(json_node_get_int(width), -1, G_MAXINT))
            : -1;
    gint h =
        height != nullptr
            ? static_cast<gint>(CLAMP(json_node_get_int(height), -1, G_MAXINT))
            : -1;
    gtk_window_set_default_size(GTK_WINDOW(window), w, h);
  }
  FlView* view = fl_view_new_for_engine(engine);
  if (delay != nullptr) {
    gint64 delay_ms = json_node_get_int(delay);
    fl_dev_view_set_first_frame_delay(
        view, delay_ms < 0 ? -1 : static_cast<gint>(MIN(delay_ms, G_MAXINT)));
  }
  const int64_t view_id = fl_view_get_id(view);
  gtk_widget_show(GTK_WIDGET(view));
  gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(view));

  // Keep the window while handlers of "window-added" run; they may destroy
  // it.
  g_object_ref(window);
  // Added to the application only once it holds its view, so that
  // "window-added" sees the view.
  GApplication* application = g_application_get_default();
  if (GTK_IS_APPLICATION(application)) {
    gtk_window_set_application(GTK_WINDOW(window),
                               GTK_APPLICATION(application));
  }
  if ((show == nullptr || json_node_get_boolean(show)) &&
      !gtk_widget_in_destruction(window)) {
    gtk_widget_show(window);
  }

  JsonObject* result = json_object_new();
  json_object_set_int_member(result, "viewId", view_id);
  FlView* live_view = fl_dev_view_lookup(view_id);
  json_object_set_member(result, "window",
                         live_view != nullptr ? window_xid_node(live_view)
                                              : json_node_new(JSON_NODE_NULL));
  g_object_unref(window);
  JsonNode* node = json_node_new(JSON_NODE_OBJECT);
  json_node_take_object(node, result);
  send_result(client, id, node);
}

void handle_close_view(Client* client, JsonNode* id, JsonObject* request) {
  FlView* view = require_view(client, id, request);
  if (view == nullptr) {
    return;
  }
  GtkWidget* toplevel = gtk_widget_get_toplevel(GTK_WIDGET(view));
  if (!GTK_IS_WINDOW(toplevel)) {
    send_failure(client, id, "view is in no window");
    return;
  }
  gtk_widget_destroy(toplevel);
  send_result(client, id, nullptr);
}

void handle_emit_first_frame(Client* client,
                             JsonNode* id,
                             JsonObject* request) {
  FlView* view = require_view(client, id, request);
  if (view == nullptr) {
    return;
  }
  fl_dev_view_emit_first_frame(view);
  send_result(client, id, nullptr);
}

void handle_line(Client* client, const gchar* line, gsize length) {
  if (!fl_dev_json_nesting_within(line, length, kMaxRequestNesting)) {
    send_failure(client, nullptr, "nesting too deep");
    return;
  }
  g_autoptr(JsonParser) parser = json_parser_new_immutable();
  if (!json_parser_load_from_data(parser, line, static_cast<gssize>(length),
                                  nullptr) ||
      json_parser_get_root(parser) == nullptr ||
      !JSON_NODE_HOLDS_OBJECT(json_parser_get_root(parser))) {
    send_failure(client, nullptr, "malformed JSON");
    return;
  }
  JsonObject* request = json_node_get_object(json_parser_get_root(parser));

  JsonNode* id = nullptr;
  if (!get_member(request, "id", G_TYPE_INT64, &id)) {
    send_failure(client, nullptr, "invalid field: id");
    return;
  }
  if (id == nullptr) {
    send_failure(client, nullptr, "missing field: id");
    return;
  }
  JsonNode* op_node = require_member(client, id, request, "op", G_TYPE_STRING);
  if (op_node == nullptr) {
    return;
  }
  const gchar* op = json_node_get_string(op_node);
  if (g_strcmp0(op, "invoke") == 0) {
    handle_invoke(client, id, request);
  } else if (g_strcmp0(op, "listen") == 0) {
    handle_listen(client, id, request);
  } else if (g_strcmp0(op, "respond") == 0) {
    handle_respond(client, id, request);
  } else if (g_strcmp0(op, "state") == 0) {
    handle_state(client, id);
  } else if (g_strcmp0(op, "history") == 0) {
    handle_history(client, id);
  } else if (g_strcmp0(op, "openView") == 0) {
    handle_open_view(client, id, request);
  } else if (g_strcmp0(op, "closeView") == 0) {
    handle_close_view(client, id, request);
  } else if (g_strcmp0(op, "emitFirstFrame") == 0) {
    handle_emit_first_frame(client, id, request);
  } else {
    g_autofree gchar* reason = g_strdup_printf("unknown op: %s", op);
    send_failure(client, id, reason);
  }
}

void read_line_cb(GObject* source, GAsyncResult* result, gpointer user_data) {
  Client* client = static_cast<Client*>(user_data);
  gsize length = 0;
  g_autoptr(GError) error = nullptr;
  g_autofree gchar* line = g_data_input_stream_read_line_finish(
      G_DATA_INPUT_STREAM(source), result, &length, &error);
  if (line == nullptr) {
    // End of stream or an error: the client is gone.
    client_close(client);
    client_unref(client);
    return;
  }
  if (!client->closed) {
    if (length > 0 && line[length - 1] == '\r') {
      line[--length] = '\0';
    }
    // Blank lines carry no request.
    gboolean blank = TRUE;
    for (gsize i = 0; i < length && blank; i++) {
      blank = g_ascii_isspace(line[i]);
    }
    if (!blank) {
      handle_line(client, line, length);
    }
  }
  if (!client->closed) {
    g_data_input_stream_read_line_async(client->input, G_PRIORITY_DEFAULT,
                                        client->cancellable, read_line_cb,
                                        client_ref(client));
  }
  client_unref(client);
}

gboolean incoming_cb(GSocketService* /* service */,
                     GSocketConnection* connection,
                     GObject* /* source_object */,
                     gpointer /* user_data */) {
  if (server == nullptr) {
    return FALSE;
  }
  Client* client = g_rc_box_new0(Client);
  client->connection = G_SOCKET_CONNECTION(g_object_ref(connection));
  client->input = g_data_input_stream_new(
      g_io_stream_get_input_stream(G_IO_STREAM(connection)));
  g_data_input_stream_set_newline_type(client->input,
                                       G_DATA_STREAM_NEWLINE_TYPE_LF);
  client->cancellable = g_cancellable_new();
  client->pending_writes = g_queue_new();
  server->clients = g_list_append(server->clients, client);
  g_data_input_stream_read_line_async(client->input, G_PRIORITY_DEFAULT,
                                      client->cancellable, read_line_cb,
                                      client_ref(client));
  return TRUE;
}

}  // namespace

void fl_dev_control_socket_start(FlEngine* engine) {
  if (server_started) {
    return;
  }
  server_started = TRUE;
  const gchar* path = g_getenv(kSocketEnv);
  if (path == nullptr || *path == '\0') {
    return;
  }
  // A file left behind by an earlier process would make the bind fail.
  g_unlink(path);
  g_autoptr(GSocketService) service = g_socket_service_new();
  g_autoptr(GSocketAddress) address = g_unix_socket_address_new(path);
  g_autoptr(GError) error = nullptr;
  if (!g_socket_listener_add_address(
          G_SOCKET_LISTENER(service), address, G_SOCKET_TYPE_STREAM,
          G_SOCKET_PROTOCOL_DEFAULT, nullptr, nullptr, &error)) {
    g_warning("Failed to listen on %s: %s", path, error->message);
    return;
  }
  server = g_new0(Server, 1);
  server->service = G_SOCKET_SERVICE(g_steal_pointer(&service));
  server->engine = FL_ENGINE(g_object_ref(engine));
  g_signal_connect(server->service, "incoming", G_CALLBACK(incoming_cb),
                   nullptr);
  g_socket_service_start(server->service);
}

void fl_dev_control_socket_notify_method_call(FlValue* call) {
  if (server == nullptr || server->clients == nullptr) {
    return;
  }
  JsonNode* node = fl_dev_value_to_json(call);
  JsonObject* event = json_object_new();
  json_object_set_string_member(event, "event", "methodCall");
  JsonObject* record = json_node_get_object(node);
  JsonObjectIter iter;
  json_object_iter_init_ordered(&iter, record);
  const gchar* name = nullptr;
  JsonNode* member = nullptr;
  while (json_object_iter_next_ordered(&iter, &name, &member)) {
    json_object_set_member(event, name, json_node_copy(member));
  }
  json_node_unref(node);
  broadcast(event);
}

void fl_dev_control_socket_notify_first_frame(int64_t view_id) {
  if (server == nullptr || server->clients == nullptr) {
    return;
  }
  JsonObject* event = json_object_new();
  json_object_set_string_member(event, "event", "firstFrame");
  json_object_set_int_member(event, "viewId", view_id);
  broadcast(event);
}

void fl_dev_control_socket_notify_dropped(const gchar* channel,
                                          const gchar* method,
                                          FlValue* args) {
  if (server == nullptr || server->clients == nullptr) {
    return;
  }
  JsonObject* event = json_object_new();
  json_object_set_string_member(event, "event", "dropped");
  json_object_set_string_member(event, "channel", channel);
  json_object_set_string_member(event, "method", method);
  json_object_set_member(event, "args", fl_dev_value_to_json(args));
  broadcast(event);
}
