// FlMethodChannel: installs the shell's handler on the messenger, and sends
// the shell's calls to the Dart side played by the development engine.
#include "fl_dev_private.h"

struct _FlMethodChannel {
  GObject parent_instance;
  FlBinaryMessenger* messenger;
  gchar* name;
  FlMethodCodec* codec;
  FlMethodChannelMethodCallHandler handler;
  gpointer handler_data;
  GDestroyNotify handler_destroy_notify;
};

G_DEFINE_TYPE(FlMethodChannel, fl_method_channel, G_TYPE_OBJECT)

static void clear_handler(FlMethodChannel* self) {
  GDestroyNotify destroy_notify = self->handler_destroy_notify;
  gpointer data = self->handler_data;
  self->handler = nullptr;
  self->handler_data = nullptr;
  self->handler_destroy_notify = nullptr;
  if (destroy_notify != nullptr) {
    destroy_notify(data);
  }
}

static void fl_method_channel_dispose(GObject* object) {
  FlMethodChannel* self = FL_METHOD_CHANNEL(object);
  if (self->messenger != nullptr) {
    fl_dev_messenger_remove_channel(self->messenger, self->name, self);
  }
  clear_handler(self);
  g_clear_object(&self->messenger);
  g_clear_object(&self->codec);
  G_OBJECT_CLASS(fl_method_channel_parent_class)->dispose(object);
}

static void fl_method_channel_finalize(GObject* object) {
  FlMethodChannel* self = FL_METHOD_CHANNEL(object);
  g_clear_pointer(&self->name, g_free);
  G_OBJECT_CLASS(fl_method_channel_parent_class)->finalize(object);
}

static void fl_method_channel_class_init(FlMethodChannelClass* klass) {
  G_OBJECT_CLASS(klass)->dispose = fl_method_channel_dispose;
  G_OBJECT_CLASS(klass)->finalize = fl_method_channel_finalize;
}

static void fl_method_channel_init(FlMethodChannel* /* self */) {}

FlMethodChannel* fl_method_channel_new(FlBinaryMessenger* messenger,
                                       const gchar* name,
                                       FlMethodCodec* codec) {
  g_return_val_if_fail(FL_IS_BINARY_MESSENGER(messenger), nullptr);
  g_return_val_if_fail(name != nullptr, nullptr);
  g_return_val_if_fail(FL_IS_METHOD_CODEC(codec), nullptr);
  FlMethodChannel* self =
      FL_METHOD_CHANNEL(g_object_new(fl_method_channel_get_type(), nullptr));
  self->messenger = FL_BINARY_MESSENGER(g_object_ref(messenger));
  self->name = g_strdup(name);
  self->codec = FL_METHOD_CODEC(g_object_ref(codec));
  return self;
}

void fl_method_channel_set_method_call_handler(
    FlMethodChannel* self,
    FlMethodChannelMethodCallHandler handler,
    gpointer user_data,
    GDestroyNotify destroy_notify) {
  g_return_if_fail(FL_IS_METHOD_CHANNEL(self));
  clear_handler(self);
  if (self->messenger == nullptr) {
    return;
  }
  if (handler == nullptr) {
    fl_dev_messenger_remove_channel(self->messenger, self->name, self);
    // Without a handler there is nothing to keep the data for.
    if (destroy_notify != nullptr) {
      destroy_notify(user_data);
    }
    return;
  }
  self->handler = handler;
  self->handler_data = user_data;
  self->handler_destroy_notify = destroy_notify;
  fl_dev_messenger_set_channel(self->messenger, self->name, self);
}

void fl_dev_method_channel_dispatch(FlMethodChannel* self,
                                    FlMethodCall* method_call) {
  g_return_if_fail(FL_IS_METHOD_CHANNEL(self));
  if (self->handler != nullptr) {
    self->handler(self, method_call, self->handler_data);
  }
}

const gchar* fl_dev_method_channel_get_name(FlMethodChannel* self) {
  g_return_val_if_fail(FL_IS_METHOD_CHANNEL(self), nullptr);
  return self->name;
}

void fl_method_channel_invoke_method(FlMethodChannel* self,
                                     const gchar* method,
                                     FlValue* args,
                                     GCancellable* cancellable,
                                     GAsyncReadyCallback callback,
                                     gpointer user_data) {
  g_return_if_fail(FL_IS_METHOD_CHANNEL(self));
  g_return_if_fail(method != nullptr);
  GTask* task = nullptr;
  if (callback != nullptr) {
    task = g_task_new(self, cancellable, callback, user_data);
    g_task_set_source_tag(
        task, reinterpret_cast<gpointer>(fl_method_channel_invoke_method));
  }
  FlDevDartSide* dart_side =
      self->messenger != nullptr
          ? fl_dev_messenger_get_dart_side(self->messenger)
          : nullptr;
  if (dart_side != nullptr) {
    fl_dev_dart_side_send(dart_side, self->name, method, args, task);
  } else if (task != nullptr) {
    // A disposed channel reaches no Dart side; GTask still answers later.
    g_task_return_pointer(task, fl_method_not_implemented_response_new(),
                          g_object_unref);
    g_object_unref(task);
  }
}

FlMethodResponse* fl_method_channel_invoke_method_finish(FlMethodChannel* self,
                                                         GAsyncResult* result,
                                                         GError** error) {
  g_return_val_if_fail(FL_IS_METHOD_CHANNEL(self), nullptr);
  g_return_val_if_fail(g_task_is_valid(result, self), nullptr);
  return static_cast<FlMethodResponse*>(
      g_task_propagate_pointer(G_TASK(result), error));
}
