// The keep-alive lock's request, deadline and release, shared by every kind.
#include "runner/keep_alive/keep_alive_lock.h"

#include "runner/keep_alive/bus_connect.h"

namespace {

struct KeepAliveLockPrivate {
  // The bus of the request in progress or of the held lock.
  GDBusConnection* bus;
  // Counts requests, so that a late reply is told from the awaited one.
  guint serial;
  gboolean pending;
  gboolean held;
  guint deadline_source_id;
  KeepAliveLockCallback callback;
  gpointer user_data;
};

}  // namespace

G_DEFINE_TYPE_WITH_PRIVATE(KeepAliveLock, keep_alive_lock, G_TYPE_OBJECT)

namespace {

KeepAliveLockPrivate* private_of(KeepAliveLock* lock) {
  return static_cast<KeepAliveLockPrivate*>(
      keep_alive_lock_get_instance_private(lock));
}

// Ends the request in progress without calling back.
void end_request(KeepAliveLockPrivate* priv) {
  priv->pending = FALSE;
  priv->callback = nullptr;
  priv->user_data = nullptr;
  g_clear_handle_id(&priv->deadline_source_id, g_source_remove);
}

gboolean deadline_fallback(gpointer user_data) {
  KeepAliveLock* lock = KEEP_ALIVE_LOCK(user_data);
  private_of(lock)->deadline_source_id = 0;
  keep_alive_lock_answer(lock, KEEP_ALIVE_LOCK_GET_CLASS(lock)->expire(lock));
  return G_SOURCE_REMOVE;
}

}  // namespace

static void keep_alive_lock_dispose(GObject* object) {
  KeepAliveLockPrivate* priv = private_of(KEEP_ALIVE_LOCK(object));
  end_request(priv);
  g_clear_object(&priv->bus);
  G_OBJECT_CLASS(keep_alive_lock_parent_class)->dispose(object);
}

static void keep_alive_lock_class_init(KeepAliveLockClass* klass) {
  G_OBJECT_CLASS(klass)->dispose = keep_alive_lock_dispose;
}

static void keep_alive_lock_init(KeepAliveLock* /* lock */) {}

void keep_alive_lock_request(KeepAliveLock* lock,
                             GDBusConnection* bus,
                             KeepAliveLockCallback callback,
                             gpointer user_data) {
  g_return_if_fail(KEEP_ALIVE_IS_LOCK(lock));
  g_return_if_fail(G_IS_DBUS_CONNECTION(bus));
  KeepAliveLockPrivate* priv = private_of(lock);
  g_return_if_fail(!priv->pending && !priv->held);

  priv->serial++;
  priv->pending = TRUE;
  priv->callback = callback;
  priv->user_data = user_data;
  g_set_object(&priv->bus, bus);
  // No reference: the source goes with the request, at the latest in
  // dispose.
  priv->deadline_source_id =
      g_timeout_add(kKeepAliveLockDeadlineMs, deadline_fallback, lock);
  KEEP_ALIVE_LOCK_GET_CLASS(lock)->start(lock, bus, priv->serial);
}

gboolean keep_alive_lock_is_held(KeepAliveLock* lock) {
  g_return_val_if_fail(KEEP_ALIVE_IS_LOCK(lock), FALSE);
  return private_of(lock)->held;
}

gboolean keep_alive_lock_is_pending(KeepAliveLock* lock) {
  g_return_val_if_fail(KEEP_ALIVE_IS_LOCK(lock), FALSE);
  return private_of(lock)->pending;
}

void keep_alive_lock_release(KeepAliveLock* lock) {
  g_return_if_fail(KEEP_ALIVE_IS_LOCK(lock));
  KeepAliveLockPrivate* priv = private_of(lock);
  end_request(priv);
  KEEP_ALIVE_LOCK_GET_CLASS(lock)->release(lock, priv->bus);
  priv->held = FALSE;
  g_clear_object(&priv->bus);
}

void keep_alive_lock_forget(KeepAliveLock* lock) {
  g_return_if_fail(KEEP_ALIVE_IS_LOCK(lock));
  KeepAliveLockPrivate* priv = private_of(lock);
  KEEP_ALIVE_LOCK_GET_CLASS(lock)->forget(lock);
  priv->held = FALSE;
  if (!priv->pending) {
    g_clear_object(&priv->bus);
  }
}

gboolean keep_alive_lock_awaits(KeepAliveLock* lock, guint serial) {
  g_return_val_if_fail(KEEP_ALIVE_IS_LOCK(lock), FALSE);
  KeepAliveLockPrivate* priv = private_of(lock);
  return priv->pending && priv->serial == serial;
}

void keep_alive_lock_answer(KeepAliveLock* lock, gboolean held) {
  g_return_if_fail(KEEP_ALIVE_IS_LOCK(lock));
  KeepAliveLockPrivate* priv = private_of(lock);
  g_return_if_fail(priv->pending);

  const KeepAliveLockCallback callback = priv->callback;
  gpointer user_data = priv->user_data;
  end_request(priv);
  priv->held = held;
  if (!held) {
    g_clear_object(&priv->bus);
  }
  if (callback != nullptr) {
    callback(lock, held, user_data);
  }
}

void keep_alive_lock_mark_held(KeepAliveLock* lock) {
  g_return_if_fail(KEEP_ALIVE_IS_LOCK(lock));
  KeepAliveLockPrivate* priv = private_of(lock);
  end_request(priv);
  priv->held = TRUE;
}

void keep_alive_lock_lost(KeepAliveLock* lock) {
  g_return_if_fail(KEEP_ALIVE_IS_LOCK(lock));
  KeepAliveLockPrivate* priv = private_of(lock);
  g_return_if_fail(!priv->pending);
  priv->held = FALSE;
  g_clear_object(&priv->bus);
}

void keep_alive_lock_warn(const char* failure, const GError* error) {
  g_log(nullptr, G_LOG_LEVEL_WARNING, "%s: %s", failure, error_reason(error));
}

GError* keep_alive_lock_deadline_error() {
  return g_error_new(G_IO_ERROR, G_IO_ERROR_TIMED_OUT, "No reply within %u ms",
                     kKeepAliveLockDeadlineMs);
}
