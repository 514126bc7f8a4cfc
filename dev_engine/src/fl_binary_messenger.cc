// The binary messenger: which channel receives calls from Dart; it owns the
// Dart side's state for the calls the shell sends (fl_dev_dart_side.cc).
#include "fl_dev_private.h"

G_DEFINE_QUARK(fl_binary_messenger_codec_error_quark,
               fl_binary_messenger_codec_error)

G_DEFINE_INTERFACE(FlBinaryMessenger, fl_binary_messenger, G_TYPE_OBJECT)

static void fl_binary_messenger_default_init(
    FlBinaryMessengerInterface* /* iface */) {}

#define FL_TYPE_DEV_MESSENGER fl_dev_messenger_get_type()
G_DECLARE_FINAL_TYPE(FlDevMessenger,
                     fl_dev_messenger,
                     FL,
                     DEV_MESSENGER,
                     GObject)

namespace {

struct ChannelEntry {
  gchar* name;
  // Borrowed: a channel removes itself before it goes.
  FlMethodChannel* channel;
};

void channel_entry_free(gpointer data) {
  ChannelEntry* entry = static_cast<ChannelEntry*>(data);
  g_free(entry->name);
  g_free(entry);
}

}  // namespace

struct _FlDevMessenger {
  GObject parent_instance;
  // ChannelEntry*, in the order the handlers were installed.
  GPtrArray* channels;
  FlDevDartSide* dart_side;
};

static void fl_dev_messenger_iface_init(
    FlBinaryMessengerInterface* /* iface */) {}

G_DEFINE_TYPE_WITH_CODE(FlDevMessenger,
                        fl_dev_messenger,
                        G_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(fl_binary_messenger_get_type(),
                                              fl_dev_messenger_iface_init))

static void fl_dev_messenger_finalize(GObject* object) {
  FlDevMessenger* self = FL_DEV_MESSENGER(object);
  g_clear_pointer(&self->channels, g_ptr_array_unref);
  g_clear_pointer(&self->dart_side, fl_dev_dart_side_free);
  G_OBJECT_CLASS(fl_dev_messenger_parent_class)->finalize(object);
}

static void fl_dev_messenger_class_init(FlDevMessengerClass* klass) {
  G_OBJECT_CLASS(klass)->finalize = fl_dev_messenger_finalize;
}

static void fl_dev_messenger_init(FlDevMessenger* self) {
  self->channels = g_ptr_array_new_with_free_func(channel_entry_free);
  self->dart_side = fl_dev_dart_side_new();
}

static ChannelEntry* find_entry(FlDevMessenger* self,
                                const gchar* name,
                                guint* index) {
  for (guint i = 0; i < self->channels->len; i++) {
    ChannelEntry* entry =
        static_cast<ChannelEntry*>(g_ptr_array_index(self->channels, i));
    if (g_strcmp0(entry->name, name) == 0) {
      if (index != nullptr) {
        *index = i;
      }
      return entry;
    }
  }
  return nullptr;
}

FlBinaryMessenger* fl_dev_messenger_new() {
  return FL_BINARY_MESSENGER(g_object_new(FL_TYPE_DEV_MESSENGER, nullptr));
}

void fl_dev_messenger_set_channel(FlBinaryMessenger* messenger,
                                  const gchar* name,
                                  FlMethodChannel* channel) {
  g_return_if_fail(FL_IS_DEV_MESSENGER(messenger));
  g_return_if_fail(name != nullptr);
  g_return_if_fail(channel != nullptr);
  FlDevMessenger* self = FL_DEV_MESSENGER(messenger);
  ChannelEntry* entry = find_entry(self, name, nullptr);
  if (entry != nullptr) {
    // A newer channel of the same name takes over, as with the real
    // messenger; the name keeps its place in the install order.
    entry->channel = channel;
    return;
  }
  entry = g_new0(ChannelEntry, 1);
  entry->name = g_strdup(name);
  entry->channel = channel;
  g_ptr_array_add(self->channels, entry);
}

void fl_dev_messenger_remove_channel(FlBinaryMessenger* messenger,
                                     const gchar* name,
                                     FlMethodChannel* channel) {
  g_return_if_fail(FL_IS_DEV_MESSENGER(messenger));
  FlDevMessenger* self = FL_DEV_MESSENGER(messenger);
  guint index = 0;
  ChannelEntry* entry = find_entry(self, name, &index);
  if (entry != nullptr && entry->channel == channel) {
    g_ptr_array_remove_index(self->channels, index);
  }
}

gboolean fl_dev_messenger_dispatch(FlBinaryMessenger* messenger,
                                   const gchar* channel,
                                   const gchar* method,
                                   FlValue* args,
                                   FlDevReplyFunc reply,
                                   gpointer reply_data) {
  g_return_val_if_fail(FL_IS_DEV_MESSENGER(messenger), FALSE);
  g_return_val_if_fail(channel != nullptr, FALSE);
  g_return_val_if_fail(method != nullptr, FALSE);
  ChannelEntry* entry =
      find_entry(FL_DEV_MESSENGER(messenger), channel, nullptr);
  if (entry == nullptr) {
    return FALSE;
  }
  // The handler may drop the channel while it runs.
  g_autoptr(FlMethodChannel) receiver =
      FL_METHOD_CHANNEL(g_object_ref(entry->channel));
  g_autoptr(FlMethodCall) call =
      fl_dev_method_call_new(method, args, reply, reply_data);
  fl_dev_method_channel_dispatch(receiver, call);
  return TRUE;
}

FlDevDartSide* fl_dev_messenger_get_dart_side(FlBinaryMessenger* messenger) {
  g_return_val_if_fail(FL_IS_DEV_MESSENGER(messenger), nullptr);
  return FL_DEV_MESSENGER(messenger)->dart_side;
}

namespace {

// Hands a response from the asynchronous API to the private callback.
struct InvokeData {
  FlDevResponseCallback callback;
  gpointer user_data;
};

void invoke_reply(FlMethodResponse* response, gpointer data) {
  InvokeData* invoke = static_cast<InvokeData*>(data);
  if (invoke->callback != nullptr) {
    invoke->callback(response, invoke->user_data);
  }
  g_free(invoke);
}

// Holds the response of a synchronous invocation; shared by the caller and
// the reply, since a handler may answer after the caller has given up.
struct SyncSlot {
  FlMethodResponse* response;
  gboolean abandoned;
};

void sync_slot_clear(gpointer data) {
  g_clear_object(&static_cast<SyncSlot*>(data)->response);
}

void sync_reply(FlMethodResponse* response, gpointer data) {
  SyncSlot* slot = static_cast<SyncSlot*>(data);
  if (!slot->abandoned && response != nullptr) {
    slot->response = FL_METHOD_RESPONSE(g_object_ref(response));
  }
  g_rc_box_release_full(slot, sync_slot_clear);
}

}  // namespace

gboolean fl_dev_messenger_invoke(FlBinaryMessenger* messenger,
                                 const gchar* channel,
                                 const gchar* method,
                                 FlValue* args,
                                 FlDevResponseCallback callback,
                                 gpointer user_data) {
  g_return_val_if_fail(FL_IS_DEV_MESSENGER(messenger), FALSE);
  g_return_val_if_fail(channel != nullptr, FALSE);
  g_return_val_if_fail(method != nullptr, FALSE);
  InvokeData* data = g_new0(InvokeData, 1);
  data->callback = callback;
  data->user_data = user_data;
  if (!fl_dev_messenger_dispatch(messenger, channel, method, args, invoke_reply,
                                 data)) {
    g_free(data);
    return FALSE;
  }
  return TRUE;
}

FlMethodResponse* fl_dev_messenger_invoke_sync(FlBinaryMessenger* messenger,
                                               const gchar* channel,
                                               const gchar* method,
                                               FlValue* args) {
  g_return_val_if_fail(FL_IS_DEV_MESSENGER(messenger), nullptr);
  SyncSlot* slot = g_rc_box_new0(SyncSlot);
  g_rc_box_acquire(slot);
  if (!fl_dev_messenger_dispatch(messenger, channel, method, args, sync_reply,
                                 slot)) {
    g_rc_box_release(slot);
    g_rc_box_release(slot);
    return nullptr;
  }
  FlMethodResponse* response = slot->response;
  slot->response = nullptr;
  slot->abandoned = TRUE;
  g_rc_box_release_full(slot, sync_slot_clear);
  return response;
}

FlValue* fl_dev_messenger_get_channels(FlBinaryMessenger* messenger) {
  g_return_val_if_fail(FL_IS_DEV_MESSENGER(messenger), nullptr);
  FlDevMessenger* self = FL_DEV_MESSENGER(messenger);
  FlValue* names = fl_value_new_list();
  for (guint i = 0; i < self->channels->len; i++) {
    ChannelEntry* entry =
        static_cast<ChannelEntry*>(g_ptr_array_index(self->channels, i));
    fl_value_append_take(names, fl_value_new_string(entry->name));
  }
  return names;
}
