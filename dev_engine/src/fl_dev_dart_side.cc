// What the Dart side does with the calls the shell sends it: each channel's
// buffer until Dart listens on it, delivery (history and "methodCall"
// events), and Dart's answers, at once or when a test responds.
#include "fl_dev_private.h"

namespace {

constexpr char kListensEnv[] = "FL_DEV_ENGINE_DART_LISTENS";

// Unique within the process, as the control socket names calls by it alone.
int64_t next_call_id = 1;

struct DartCall {
  int64_t id;
  gchar* channel;
  gchar* method;
  FlValue* args;  // never null
  GTask* task;    // null when the sender asked for no reply
};

struct DartChannel {
  GQueue* buffer;  // DartCall*, oldest first
  int64_t capacity;
  gboolean warns;
  gboolean listening;
  FlDevDartReply reply;
};

struct Answer {
  GTask* task;
  FlMethodResponse* response;
  GError* error;
};

gboolean answer_cb(gpointer data) {
  Answer* answer = static_cast<Answer*>(data);
  if (answer->response != nullptr) {
    g_task_return_pointer(answer->task, g_steal_pointer(&answer->response),
                          g_object_unref);
  } else {
    g_task_return_error(answer->task, g_steal_pointer(&answer->error));
  }
  return G_SOURCE_REMOVE;
}

void answer_free(gpointer data) {
  Answer* answer = static_cast<Answer*>(data);
  g_clear_object(&answer->task);
  g_clear_object(&answer->response);
  g_clear_error(&answer->error);
  g_free(answer);
}

// Gives the sender its answer in a later main-loop iteration, never inside
// the caller's own stack, as replies from the real engine arrive. Takes all.
void answer_later(GTask* task, FlMethodResponse* response, GError* error) {
  Answer* answer = g_new0(Answer, 1);
  answer->task = task;
  answer->response = response;
  answer->error = error;
  g_idle_add_full(G_PRIORITY_DEFAULT, answer_cb, answer, answer_free);
}

void answer_not_implemented(GTask* task) {
  answer_later(task,
               FL_METHOD_RESPONSE(fl_method_not_implemented_response_new()),
               nullptr);
}

void dart_call_free(DartCall* call) {
  if (call->task != nullptr) {
    // Only reached when the engine goes with the call still waiting.
    answer_later(call->task, nullptr,
                 g_error_new_literal(G_IO_ERROR, G_IO_ERROR_CLOSED,
                                     "The engine has shut down"));
  }
  g_free(call->channel);
  g_free(call->method);
  fl_value_unref(call->args);
  g_free(call);
}

void dart_channel_free(gpointer data) {
  DartChannel* channel = static_cast<DartChannel*>(data);
  g_queue_free_full(channel->buffer,
                    reinterpret_cast<GDestroyNotify>(dart_call_free));
  g_free(channel);
}

}  // namespace

struct _FlDevDartSide {
  gboolean listens_later;
  gboolean shut_down;
  // Channel name -> DartChannel*.
  GHashTable* channels;
  // Delivered calls waiting for fl_dev_messenger_respond, oldest first.
  GQueue* held;
  // Maps {"channel", "method", "args", "callId"}, oldest first.
  FlValue* history;
};

FlDevDartSide* fl_dev_dart_side_new() {
  FlDevDartSide* self = g_new0(FlDevDartSide, 1);
  self->channels =
      g_hash_table_new_full(g_str_hash, g_str_equal, g_free, dart_channel_free);
  self->held = g_queue_new();
  self->history = fl_value_new_list();
  return self;
}

void fl_dev_dart_side_free(FlDevDartSide* self) {
  fl_dev_dart_side_shutdown(self);
  g_hash_table_unref(self->channels);
  g_queue_free(self->held);
  fl_value_unref(self->history);
  g_free(self);
}

void fl_dev_dart_side_shutdown(FlDevDartSide* self) {
  self->shut_down = TRUE;
  g_hash_table_remove_all(self->channels);
  g_queue_clear_full(self->held,
                     reinterpret_cast<GDestroyNotify>(dart_call_free));
}

void fl_dev_dart_side_listen_later_from_environment(FlDevDartSide* self) {
  if (g_strcmp0(g_getenv(kListensEnv), "later") == 0) {
    self->listens_later = TRUE;
  }
}

static DartChannel* lookup_channel(FlDevDartSide* self, const gchar* name) {
  DartChannel* channel =
      static_cast<DartChannel*>(g_hash_table_lookup(self->channels, name));
  if (channel == nullptr) {
    channel = g_new0(DartChannel, 1);
    channel->buffer = g_queue_new();
    channel->capacity = 1;
    channel->warns = TRUE;
    channel->reply = FL_DEV_DART_REPLY_NOT_IMPLEMENTED;
    g_hash_table_insert(self->channels, g_strdup(name), channel);
  }
  return channel;
}

// Hands a call to Dart's listener; takes `call`.
static void deliver(FlDevDartSide* self, DartChannel* channel, DartCall* call) {
  g_autoptr(FlValue) record = fl_value_new_map();
  fl_value_set_string_take(record, "channel",
                           fl_value_new_string(call->channel));
  fl_value_set_string_take(record, "method", fl_value_new_string(call->method));
  fl_value_set_string(record, "args", call->args);
  fl_value_set_string_take(record, "callId", fl_value_new_int(call->id));
  fl_value_append(self->history, record);
  fl_dev_control_socket_notify_method_call(record);

  GTask* task = g_steal_pointer(&call->task);
  if (task != nullptr) {
    if (channel->reply == FL_DEV_DART_REPLY_HELD && !self->shut_down) {
      call->task = task;
      g_queue_push_tail(self->held, call);
      return;
    }
    if (channel->reply == FL_DEV_DART_REPLY_SUCCESS) {
      answer_later(task,
                   FL_METHOD_RESPONSE(fl_method_success_response_new(nullptr)),
                   nullptr);
    } else {
      answer_not_implemented(task);
    }
  }
  dart_call_free(call);
}

// Drops buffered calls, oldest first, until the buffer fits its capacity:
// the sender hears not implemented, as from the framework's empty reply.
static void drop_overflow(const gchar* name, DartChannel* channel) {
  while (g_queue_get_length(channel->buffer) >
         static_cast<guint64>(MAX(channel->capacity, 0))) {
    DartCall* call = static_cast<DartCall*>(g_queue_pop_head(channel->buffer));
    if (call->task != nullptr) {
      answer_not_implemented(g_steal_pointer(&call->task));
    }
    fl_dev_control_socket_notify_dropped(call->channel, call->method,
                                         call->args);
    if (channel->warns) {
      g_warning(
          "A message on the %s channel was discarded before it could be "
          "handled: Dart listens on it only later and its buffer holds "
          "%" G_GINT64_FORMAT
          " (fl_binary_messenger_resize_channel sets "
          "how many)",
          name, channel->capacity);
    }
    dart_call_free(call);
  }
}

void fl_dev_dart_side_send(FlDevDartSide* self,
                           const gchar* channel_name,
                           const gchar* method,
                           FlValue* args,
                           GTask* task) {
  DartCall* call = g_new0(DartCall, 1);
  call->id = next_call_id++;
  call->channel = g_strdup(channel_name);
  call->method = g_strdup(method);
  call->args = args != nullptr ? fl_value_ref(args) : fl_value_new_null();
  call->task = task;
  DartChannel* channel = lookup_channel(self, channel_name);
  if (!self->listens_later || channel->listening || self->shut_down) {
    deliver(self, channel, call);
    return;
  }
  g_queue_push_tail(channel->buffer, call);
  drop_overflow(channel_name, channel);
}

// Null (after a critical) for anything but the engine's messenger.
static FlDevDartSide* dart_side(FlBinaryMessenger* messenger) {
  return fl_dev_messenger_get_dart_side(messenger);
}

void fl_binary_messenger_resize_channel(FlBinaryMessenger* messenger,
                                        const gchar* channel,
                                        int64_t new_size) {
  g_return_if_fail(channel != nullptr);
  g_return_if_fail(new_size >= 0);
  FlDevDartSide* self = dart_side(messenger);
  if (self == nullptr) {
    return;
  }
  DartChannel* entry = lookup_channel(self, channel);
  entry->capacity = new_size;
  drop_overflow(channel, entry);
}

void fl_binary_messenger_set_warns_on_channel_overflow(
    FlBinaryMessenger* messenger,
    const gchar* channel,
    bool warns) {
  g_return_if_fail(channel != nullptr);
  FlDevDartSide* self = dart_side(messenger);
  if (self == nullptr) {
    return;
  }
  lookup_channel(self, channel)->warns = warns;
}

void fl_dev_messenger_set_dart_listens_later(FlBinaryMessenger* messenger) {
  FlDevDartSide* self = dart_side(messenger);
  if (self == nullptr) {
    return;
  }
  self->listens_later = TRUE;
}

void fl_dev_messenger_listen(FlBinaryMessenger* messenger,
                             const gchar* channel,
                             FlDevDartReply reply) {
  g_return_if_fail(channel != nullptr);
  g_return_if_fail(reply >= FL_DEV_DART_REPLY_NOT_IMPLEMENTED &&
                   reply <= FL_DEV_DART_REPLY_HELD);
  FlDevDartSide* self = dart_side(messenger);
  if (self == nullptr) {
    return;
  }
  DartChannel* entry = lookup_channel(self, channel);
  entry->listening = TRUE;
  entry->reply = reply;
  DartCall* call = nullptr;
  while ((call = static_cast<DartCall*>(g_queue_pop_head(entry->buffer))) !=
         nullptr) {
    deliver(self, entry, call);
  }
}

FlValue* fl_dev_messenger_get_held_calls(FlBinaryMessenger* messenger,
                                         const gchar* channel) {
  FlDevDartSide* self = dart_side(messenger);
  if (self == nullptr) {
    return nullptr;
  }
  FlValue* ids = fl_value_new_list();
  for (GList* l = self->held->head; l != nullptr; l = l->next) {
    DartCall* call = static_cast<DartCall*>(l->data);
    if (channel == nullptr || g_str_equal(call->channel, channel)) {
      fl_value_append_take(ids, fl_value_new_int(call->id));
    }
  }
  return ids;
}

gboolean fl_dev_messenger_respond(FlBinaryMessenger* messenger,
                                  int64_t call_id,
                                  FlMethodResponse* response) {
  g_return_val_if_fail(FL_IS_METHOD_RESPONSE(response), FALSE);
  FlDevDartSide* self = dart_side(messenger);
  if (self == nullptr) {
    return FALSE;
  }
  for (GList* l = self->held->head; l != nullptr; l = l->next) {
    DartCall* call = static_cast<DartCall*>(l->data);
    if (call->id == call_id) {
      g_queue_delete_link(self->held, l);
      answer_later(g_steal_pointer(&call->task),
                   FL_METHOD_RESPONSE(g_object_ref(response)), nullptr);
      dart_call_free(call);
      return TRUE;
    }
  }
  return FALSE;
}

FlValue* fl_dev_messenger_get_history(FlBinaryMessenger* messenger) {
  FlDevDartSide* self = dart_side(messenger);
  if (self == nullptr) {
    return nullptr;
  }
  FlValue* history = fl_value_new_list();
  for (size_t i = 0; i < fl_value_get_length(self->history); i++) {
    fl_value_append(history, fl_value_get_list_value(self->history, i));
  }
  return history;
}

void fl_dev_messenger_clear_history(FlBinaryMessenger* messenger) {
  FlDevDartSide* self = dart_side(messenger);
  if (self == nullptr) {
    return;
  }
  g_clear_pointer(&self->history, fl_value_unref);
  self->history = fl_value_new_list();
}
