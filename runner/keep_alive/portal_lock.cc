// The portal's Inhibit request. The portal answers the call with the path of
// a request object, and then, on that object, a "Response" signal: 0 when
// the backend holds the lock, another number when it refused (the GTK
// backend refuses suspend outside GNOME). The path is known before the call
// from the "handle_token" option, so the signal is subscribed to first.
// Older portals send no "Response" on success: a request with a handle and
// no answer by the deadline counts as held. Closing the request object ends
// the lock; the request belongs to the connection that made it.
#include "runner/keep_alive/portal_lock.h"

struct _PortalLock {
  KeepAliveLock parent_instance;
  guint32 flags;
  gchar* window;
  // The request object: expected from the token, then as the portal named
  // it; null when none.
  gchar* path;
  // Whether the call has answered with the handle.
  gboolean have_handle;
  // A "Response" that came before the call's reply; -1 while none did.
  gint64 early_response;
  GDBusConnection* subscription_bus;
  guint subscription_id;
};

G_DEFINE_TYPE(PortalLock, portal_lock, keep_alive_lock_get_type())

namespace {

constexpr char kPortalBusName[] = "org.freedesktop.portal.Desktop";
constexpr char kPortalObjectPath[] = "/org/freedesktop/portal/desktop";
constexpr char kPortalInhibitInterface[] = "org.freedesktop.portal.Inhibit";
constexpr char kPortalInhibitMethod[] = "Inhibit";
constexpr char kPortalRequestInterface[] = "org.freedesktop.portal.Request";
constexpr char kPortalRequestCloseMethod[] = "Close";
constexpr char kPortalResponseSignal[] = "Response";
constexpr char kAcquireFailure[] = "Failed to acquire portal inhibit";
constexpr char kReleaseFailure[] = "Failed to release portal inhibit";

// Makes each request's token, and so its path, new in this process.
guint next_token = 0;

struct InhibitReply {
  PortalLock* lock;
  guint serial;
};

void closed_cb(GObject* source, GAsyncResult* result, gpointer /* data */) {
  g_autoptr(GError) error = nullptr;
  g_autoptr(GVariant) reply =
      g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
  // A request the backend refused is gone already: nothing to release.
  if (reply == nullptr &&
      !g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD) &&
      !g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_OBJECT)) {
    keep_alive_lock_warn(kReleaseFailure, error);
  }
}

// Nobody waits for the reply; a failure is logged when it comes.
void send_close(GDBusConnection* bus, const gchar* path) {
  if (bus == nullptr || g_dbus_connection_is_closed(bus)) {
    return;
  }
  g_dbus_connection_call(bus, kPortalBusName, path, kPortalRequestInterface,
                         kPortalRequestCloseMethod, nullptr, nullptr,
                         G_DBUS_CALL_FLAGS_NONE, kKeepAliveLockDeadlineMs,
                         nullptr, closed_cb, nullptr);
}

void unsubscribe(PortalLock* self) {
  if (self->subscription_id != 0) {
    g_dbus_connection_signal_unsubscribe(self->subscription_bus,
                                         self->subscription_id);
    self->subscription_id = 0;
  }
  g_clear_object(&self->subscription_bus);
}

// Forgets the request object, closing it first on `bus` when given.
void drop_request(PortalLock* self, GDBusConnection* bus) {
  unsubscribe(self);
  if (self->path != nullptr && self->have_handle) {
    send_close(bus, self->path);
  }
  g_clear_pointer(&self->path, g_free);
  self->have_handle = FALSE;
  self->early_response = -1;
}

void refuse(PortalLock* self, GDBusConnection* bus, guint32 response) {
  g_autoptr(GError) error =
      g_error_new(G_IO_ERROR, G_IO_ERROR_FAILED,
                  "The portal refused the request (response %u)", response);
  keep_alive_lock_warn(kAcquireFailure, error);
  drop_request(self, bus);
}

void response_cb(GDBusConnection* bus,
                 const gchar* /* sender_name */,
                 const gchar* object_path,
                 const gchar* /* interface_name */,
                 const gchar* /* signal_name */,
                 GVariant* parameters,
                 gpointer user_data) {
  PortalLock* self = KEEP_ALIVE_PORTAL_LOCK(user_data);
  if (self->path == nullptr || g_strcmp0(object_path, self->path) != 0 ||
      !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ua{sv})"))) {
    return;
  }
  guint32 response = 0;
  g_variant_get(parameters, "(ua{sv})", &response, nullptr);
  KeepAliveLock* lock = KEEP_ALIVE_LOCK(self);
  if (!self->have_handle) {
    self->early_response = response;
    return;
  }
  if (response != 0) {
    refuse(self, bus, response);
  } else {
    unsubscribe(self);
  }
  if (keep_alive_lock_is_pending(lock)) {
    keep_alive_lock_answer(lock, response == 0);
  } else if (response != 0 && keep_alive_lock_is_held(lock)) {
    // Held since the deadline, refused after it.
    keep_alive_lock_lost(lock);
  }
}

void subscribe(PortalLock* self, GDBusConnection* bus) {
  unsubscribe(self);
  self->subscription_bus = G_DBUS_CONNECTION(g_object_ref(bus));
  self->subscription_id = g_dbus_connection_signal_subscribe(
      bus, kPortalBusName, kPortalRequestInterface, kPortalResponseSignal,
      self->path, nullptr, G_DBUS_SIGNAL_FLAGS_NONE, response_cb,
      g_object_ref(self), g_object_unref);
}

void inhibit_reply_cb(GObject* source, GAsyncResult* result, gpointer data) {
  auto* pending = static_cast<InhibitReply*>(data);
  g_autoptr(PortalLock) self = pending->lock;
  const guint serial = pending->serial;
  g_free(pending);
  GDBusConnection* bus = G_DBUS_CONNECTION(source);

  g_autoptr(GError) error = nullptr;
  g_autoptr(GVariant) reply =
      g_dbus_connection_call_finish(bus, result, &error);
  g_autofree gchar* handle = nullptr;
  if (reply != nullptr) {
    g_variant_get(reply, "(o)", &handle);
  }
  KeepAliveLock* lock = KEEP_ALIVE_LOCK(self);
  if (!keep_alive_lock_awaits(lock, serial)) {
    if (handle != nullptr) {
      send_close(bus, handle);
    }
    return;
  }
  if (handle == nullptr) {
    keep_alive_lock_warn(kAcquireFailure, error);
    drop_request(self, nullptr);
    keep_alive_lock_answer(lock, FALSE);
    return;
  }
  self->have_handle = TRUE;
  // Portals older than the token option choose the path themselves.
  if (g_strcmp0(handle, self->path) != 0) {
    g_free(self->path);
    self->path = g_steal_pointer(&handle);
    self->early_response = -1;
    subscribe(self, bus);
    return;
  }
  if (self->early_response == 0) {
    unsubscribe(self);
    keep_alive_lock_answer(lock, TRUE);
  } else if (self->early_response > 0) {
    refuse(self, bus, static_cast<guint32>(self->early_response));
    keep_alive_lock_answer(lock, FALSE);
  }
}

// The request object's path for `token`, as the portal makes it from the
// caller's unique name.
gchar* request_path(GDBusConnection* bus, const gchar* token) {
  const gchar* unique_name = g_dbus_connection_get_unique_name(bus);
  g_autofree gchar* sender = g_strdup(
      unique_name != nullptr && unique_name[0] == ':' ? unique_name + 1 : "");
  g_strdelimit(sender, ".", '_');
  return g_strdup_printf("%s/request/%s/%s", kPortalObjectPath, sender, token);
}

void portal_lock_start(KeepAliveLock* lock,
                       GDBusConnection* bus,
                       guint serial) {
  PortalLock* self = KEEP_ALIVE_PORTAL_LOCK(lock);
  drop_request(self, nullptr);
  g_autofree gchar* token = g_strdup_printf("ferrow%u", ++next_token);
  self->path = request_path(bus, token);
  subscribe(self, bus);

  GVariantBuilder options;
  g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
  g_variant_builder_add(&options, "{sv}", "handle_token",
                        g_variant_new_string(token));
  g_variant_builder_add(&options, "{sv}", "reason",
                        g_variant_new_string(kInhibitWhy));
  auto* pending = g_new0(InhibitReply, 1);
  pending->lock = KEEP_ALIVE_PORTAL_LOCK(g_object_ref(self));
  pending->serial = serial;
  g_dbus_connection_call(
      bus, kPortalBusName, kPortalObjectPath, kPortalInhibitInterface,
      kPortalInhibitMethod,
      g_variant_new("(sua{sv})", self->window != nullptr ? self->window : "",
                    self->flags, &options),
      G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE, kKeepAliveLockLateReplyMs,
      nullptr, inhibit_reply_cb, pending);
}

// With a handle and no answer, an older portal's success; without a handle,
// no answer at all.
gboolean portal_lock_expire(KeepAliveLock* lock) {
  PortalLock* self = KEEP_ALIVE_PORTAL_LOCK(lock);
  if (self->have_handle) {
    return TRUE;
  }
  g_autoptr(GError) error = keep_alive_lock_deadline_error();
  keep_alive_lock_warn(kAcquireFailure, error);
  drop_request(self, nullptr);
  return FALSE;
}

void portal_lock_release(KeepAliveLock* lock, GDBusConnection* bus) {
  drop_request(KEEP_ALIVE_PORTAL_LOCK(lock), bus);
}

void portal_lock_forget(KeepAliveLock* lock) {
  drop_request(KEEP_ALIVE_PORTAL_LOCK(lock), nullptr);
}

}  // namespace

static void portal_lock_dispose(GObject* object) {
  unsubscribe(KEEP_ALIVE_PORTAL_LOCK(object));
  G_OBJECT_CLASS(portal_lock_parent_class)->dispose(object);
}

static void portal_lock_finalize(GObject* object) {
  PortalLock* self = KEEP_ALIVE_PORTAL_LOCK(object);
  g_free(self->window);
  g_free(self->path);
  G_OBJECT_CLASS(portal_lock_parent_class)->finalize(object);
}

static void portal_lock_class_init(PortalLockClass* klass) {
  G_OBJECT_CLASS(klass)->dispose = portal_lock_dispose;
  G_OBJECT_CLASS(klass)->finalize = portal_lock_finalize;
  KeepAliveLockClass* lock_class = KEEP_ALIVE_LOCK_CLASS(klass);
  lock_class->start = portal_lock_start;
  lock_class->expire = portal_lock_expire;
  lock_class->release = portal_lock_release;
  lock_class->forget = portal_lock_forget;
}

static void portal_lock_init(PortalLock* self) {
  self->early_response = -1;
}

KeepAliveLock* portal_lock_new(guint32 flags) {
  PortalLock* self =
      KEEP_ALIVE_PORTAL_LOCK(g_object_new(portal_lock_get_type(), nullptr));
  self->flags = flags;
  return KEEP_ALIVE_LOCK(self);
}

void portal_lock_set_window(PortalLock* lock, const char* window) {
  g_return_if_fail(KEEP_ALIVE_IS_PORTAL_LOCK(lock));
  g_free(lock->window);
  lock->window = g_strdup(window);
}

const gchar* portal_lock_get_handle(PortalLock* lock) {
  g_return_val_if_fail(KEEP_ALIVE_IS_PORTAL_LOCK(lock), nullptr);
  return lock->path;
}
