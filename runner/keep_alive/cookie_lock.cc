// The cookie lock: "Inhibit" gives the cookie, a release call with it ends
// the lock. A cookie belongs to the connection that asked for it.
#include "runner/keep_alive/cookie_lock.h"

struct _CookieLock {
  KeepAliveLock parent_instance;
  const CookieLockService* service;
  GVariant* inhibit_arguments;
  guint32 cookie;
};

G_DEFINE_TYPE(CookieLock, cookie_lock, keep_alive_lock_get_type())

namespace {

// A reply on its way; holds the lock, which may have been dropped meanwhile.
struct InhibitReply {
  CookieLock* lock;
  guint serial;
};

void released_cb(GObject* source, GAsyncResult* result, gpointer data) {
  const auto* service = static_cast<const CookieLockService*>(data);
  g_autoptr(GError) error = nullptr;
  g_autoptr(GVariant) reply =
      g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
  if (reply == nullptr) {
    keep_alive_lock_warn(service->release_failure, error);
  }
}

// Nobody waits for the reply; a failure is logged when it comes.
void send_release(const CookieLockService* service,
                  GDBusConnection* bus,
                  guint32 cookie) {
  g_dbus_connection_call(bus, service->bus_name, service->object_path,
                         service->interface_name, service->release_method,
                         g_variant_new("(u)", cookie), nullptr,
                         service->call_flags, kKeepAliveLockDeadlineMs, nullptr,
                         released_cb, const_cast<CookieLockService*>(service));
}

// Without auto-start an absent service fails with NameHasNoOwner; a bus that
// ignores the flag answers ServiceUnknown.
bool is_absent_service_error(const GError* error) {
  return g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER) ||
         g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN);
}

void inhibit_reply_cb(GObject* source, GAsyncResult* result, gpointer data) {
  auto* pending = static_cast<InhibitReply*>(data);
  g_autoptr(CookieLock) self = pending->lock;
  const guint serial = pending->serial;
  g_free(pending);

  g_autoptr(GError) error = nullptr;
  g_autoptr(GVariant) reply =
      g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
  guint32 cookie = 0;
  if (reply != nullptr) {
    g_variant_get(reply, "(u)", &cookie);
  }
  if (!keep_alive_lock_awaits(KEEP_ALIVE_LOCK(self), serial)) {
    if (cookie != 0) {
      send_release(self->service, G_DBUS_CONNECTION(source), cookie);
    }
    return;
  }
  if (reply == nullptr &&
      !(self->service->quiet_when_absent && is_absent_service_error(error))) {
    keep_alive_lock_warn(self->service->acquire_failure, error);
  }
  // A cookie of 0 holds nothing.
  self->cookie = cookie;
  keep_alive_lock_answer(KEEP_ALIVE_LOCK(self), cookie != 0);
}

void cookie_lock_start(KeepAliveLock* lock,
                       GDBusConnection* bus,
                       guint serial) {
  CookieLock* self = KEEP_ALIVE_COOKIE_LOCK(lock);
  auto* pending = g_new0(InhibitReply, 1);
  pending->lock = KEEP_ALIVE_COOKIE_LOCK(g_object_ref(self));
  pending->serial = serial;
  const CookieLockService* service = self->service;
  g_dbus_connection_call(bus, service->bus_name, service->object_path,
                         service->interface_name, service->inhibit_method,
                         self->inhibit_arguments, G_VARIANT_TYPE("(u)"),
                         service->call_flags, kKeepAliveLockLateReplyMs,
                         nullptr, inhibit_reply_cb, pending);
}

gboolean cookie_lock_expire(KeepAliveLock* lock) {
  g_autoptr(GError) error = keep_alive_lock_deadline_error();
  keep_alive_lock_warn(KEEP_ALIVE_COOKIE_LOCK(lock)->service->acquire_failure,
                       error);
  return FALSE;
}

void cookie_lock_release(KeepAliveLock* lock, GDBusConnection* bus) {
  CookieLock* self = KEEP_ALIVE_COOKIE_LOCK(lock);
  const guint32 cookie = self->cookie;
  self->cookie = 0;
  // A cookie from a bus that has closed is not released on it.
  if (cookie != 0 && bus != nullptr && !g_dbus_connection_is_closed(bus)) {
    send_release(self->service, bus, cookie);
  }
}

void cookie_lock_forget(KeepAliveLock* lock) {
  KEEP_ALIVE_COOKIE_LOCK(lock)->cookie = 0;
}

}  // namespace

static void cookie_lock_finalize(GObject* object) {
  CookieLock* self = KEEP_ALIVE_COOKIE_LOCK(object);
  g_clear_pointer(&self->inhibit_arguments, g_variant_unref);
  G_OBJECT_CLASS(cookie_lock_parent_class)->finalize(object);
}

static void cookie_lock_class_init(CookieLockClass* klass) {
  G_OBJECT_CLASS(klass)->finalize = cookie_lock_finalize;
  KeepAliveLockClass* lock_class = KEEP_ALIVE_LOCK_CLASS(klass);
  lock_class->start = cookie_lock_start;
  lock_class->expire = cookie_lock_expire;
  lock_class->release = cookie_lock_release;
  lock_class->forget = cookie_lock_forget;
}

static void cookie_lock_init(CookieLock* /* self */) {}

KeepAliveLock* cookie_lock_new(const CookieLockService* service,
                               GVariant* inhibit_arguments) {
  g_return_val_if_fail(service != nullptr, nullptr);
  g_return_val_if_fail(inhibit_arguments != nullptr, nullptr);
  CookieLock* self =
      KEEP_ALIVE_COOKIE_LOCK(g_object_new(cookie_lock_get_type(), nullptr));
  self->service = service;
  self->inhibit_arguments = g_variant_ref_sink(inhibit_arguments);
  return KEEP_ALIVE_LOCK(self);
}

void cookie_lock_set_inhibit_arguments(CookieLock* lock,
                                       GVariant* inhibit_arguments) {
  g_return_if_fail(KEEP_ALIVE_IS_COOKIE_LOCK(lock));
  g_return_if_fail(inhibit_arguments != nullptr);
  GVariant* previous = lock->inhibit_arguments;
  lock->inhibit_arguments = g_variant_ref_sink(inhibit_arguments);
  g_clear_pointer(&previous, g_variant_unref);
}

guint32 cookie_lock_get_cookie(CookieLock* lock) {
  g_return_val_if_fail(KEEP_ALIVE_IS_COOKIE_LOCK(lock), 0);
  return lock->cookie;
}
