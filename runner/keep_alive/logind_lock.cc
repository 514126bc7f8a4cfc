// The logind inhibitor lock: an "Inhibit" call whose reply carries the
// descriptor that holds it; closing the descriptor releases it, and it
// outlives the connection that asked for it.
#include "runner/keep_alive/logind_lock.h"

#include <gio/gunixfdlist.h>
#include <unistd.h>

struct _LogindLock {
  KeepAliveLock parent_instance;
  gchar* mode;
  gchar* failure;
  gint fd;
  gboolean warn_once_per_bus;
  // The bus of the latest request, and the last bus a failure was logged
  // for; weak, so that a new connection never passes for an old one.
  GWeakRef request_bus;
  GWeakRef warned_bus;
};

G_DEFINE_TYPE(LogindLock, logind_lock, keep_alive_lock_get_type())

namespace {

constexpr char kLogindInhibitMethod[] = "Inhibit";
constexpr char kInhibitWhat[] = "sleep";

// A reply on its way; holds the lock, which may have been dropped meanwhile.
struct InhibitReply {
  LogindLock* lock;
  guint serial;
};

void warn(LogindLock* self, const char* failure, const GError* error) {
  if (self->warn_once_per_bus) {
    g_autoptr(GDBusConnection) bus =
        G_DBUS_CONNECTION(g_weak_ref_get(&self->request_bus));
    g_autoptr(GDBusConnection) warned =
        G_DBUS_CONNECTION(g_weak_ref_get(&self->warned_bus));
    if (bus != nullptr && bus == warned) {
      return;
    }
    g_weak_ref_set(&self->warned_bus, bus);
  }
  keep_alive_lock_warn(failure, error);
}

// The descriptor the reply names, or -1 after logging why not.
gint take_fd(LogindLock* self, GVariant* reply, GUnixFDList* fd_list) {
  gint32 handle = -1;
  g_variant_get(reply, "(h)", &handle);
  // The handle comes from the peer; g_unix_fd_list_get does not guard
  // against a negative index, so an index outside the list is refused here.
  g_autoptr(GError) error = nullptr;
  gint fd = -1;
  if (handle >= 0 && handle < g_unix_fd_list_get_length(fd_list)) {
    fd = g_unix_fd_list_get(fd_list, handle, &error);
  }
  if (fd < 0) {
    warn(self, "Failed to read logind inhibit fd", error);
  }
  return fd;
}

void inhibit_reply_cb(GObject* source, GAsyncResult* result, gpointer data) {
  auto* pending = static_cast<InhibitReply*>(data);
  g_autoptr(LogindLock) self = pending->lock;
  const guint serial = pending->serial;
  g_free(pending);

  g_autoptr(GError) error = nullptr;
  g_autoptr(GUnixFDList) fd_list = nullptr;
  g_autoptr(GVariant) reply = g_dbus_connection_call_with_unix_fd_list_finish(
      G_DBUS_CONNECTION(source), &fd_list, result, &error);
  // A late lock is released with its list, which closes the descriptor.
  if (!keep_alive_lock_awaits(KEEP_ALIVE_LOCK(self), serial)) {
    return;
  }
  if (reply == nullptr || fd_list == nullptr) {
    warn(self, self->failure, error);
    keep_alive_lock_answer(KEEP_ALIVE_LOCK(self), FALSE);
    return;
  }
  self->fd = take_fd(self, reply, fd_list);
  keep_alive_lock_answer(KEEP_ALIVE_LOCK(self), self->fd >= 0);
}

void logind_lock_start(KeepAliveLock* lock,
                       GDBusConnection* bus,
                       guint serial) {
  LogindLock* self = KEEP_ALIVE_LOGIND_LOCK(lock);
  auto* pending = g_new0(InhibitReply, 1);
  pending->lock = KEEP_ALIVE_LOGIND_LOCK(g_object_ref(self));
  pending->serial = serial;
  g_weak_ref_set(&self->request_bus, bus);
  g_dbus_connection_call_with_unix_fd_list(
      bus, kLogindBusName, kLogindObjectPath, kLogindManagerInterface,
      kLogindInhibitMethod,
      g_variant_new("(ssss)", kInhibitWhat, kInhibitWho, kInhibitWhy,
                    self->mode),
      G_VARIANT_TYPE("(h)"), G_DBUS_CALL_FLAGS_NONE, kKeepAliveLockLateReplyMs,
      nullptr, nullptr, inhibit_reply_cb, pending);
}

gboolean logind_lock_expire(KeepAliveLock* lock) {
  g_autoptr(GError) error = keep_alive_lock_deadline_error();
  LogindLock* self = KEEP_ALIVE_LOGIND_LOCK(lock);
  warn(self, self->failure, error);
  return FALSE;
}

// Closing our copy of the descriptor ends the inhibitor.
void logind_lock_close(KeepAliveLock* lock) {
  LogindLock* self = KEEP_ALIVE_LOGIND_LOCK(lock);
  if (self->fd >= 0) {
    close(self->fd);
    self->fd = -1;
  }
}

void logind_lock_release(KeepAliveLock* lock, GDBusConnection* /* bus */) {
  logind_lock_close(lock);
}

}  // namespace

static void logind_lock_dispose(GObject* object) {
  logind_lock_close(KEEP_ALIVE_LOCK(object));
  G_OBJECT_CLASS(logind_lock_parent_class)->dispose(object);
}

static void logind_lock_finalize(GObject* object) {
  LogindLock* self = KEEP_ALIVE_LOGIND_LOCK(object);
  g_free(self->mode);
  g_free(self->failure);
  g_weak_ref_clear(&self->request_bus);
  g_weak_ref_clear(&self->warned_bus);
  G_OBJECT_CLASS(logind_lock_parent_class)->finalize(object);
}

static void logind_lock_class_init(LogindLockClass* klass) {
  G_OBJECT_CLASS(klass)->dispose = logind_lock_dispose;
  G_OBJECT_CLASS(klass)->finalize = logind_lock_finalize;
  KeepAliveLockClass* lock_class = KEEP_ALIVE_LOCK_CLASS(klass);
  lock_class->start = logind_lock_start;
  lock_class->expire = logind_lock_expire;
  lock_class->release = logind_lock_release;
  // The descriptor holds the lock whatever becomes of the bus; forgotten, it
  // is closed all the same.
  lock_class->forget = logind_lock_close;
}

static void logind_lock_init(LogindLock* self) {
  self->fd = -1;
  g_weak_ref_init(&self->request_bus, nullptr);
  g_weak_ref_init(&self->warned_bus, nullptr);
}

KeepAliveLock* logind_lock_new(const char* mode, const char* failure) {
  LogindLock* self =
      KEEP_ALIVE_LOGIND_LOCK(g_object_new(logind_lock_get_type(), nullptr));
  self->mode = g_strdup(mode);
  self->failure = g_strdup(failure);
  return KEEP_ALIVE_LOCK(self);
}

void logind_lock_warn_once_per_bus(LogindLock* lock) {
  g_return_if_fail(KEEP_ALIVE_IS_LOGIND_LOCK(lock));
  lock->warn_once_per_bus = TRUE;
}

gint logind_lock_get_fd(LogindLock* lock) {
  g_return_val_if_fail(KEEP_ALIVE_IS_LOGIND_LOCK(lock), -1);
  return lock->fd;
}

void logind_lock_hold_fd_for_testing(LogindLock* lock, gint fd) {
  g_return_if_fail(KEEP_ALIVE_IS_LOGIND_LOCK(lock));
  logind_lock_close(KEEP_ALIVE_LOCK(lock));
  lock->fd = fd;
  keep_alive_lock_mark_held(KEEP_ALIVE_LOCK(lock));
}
