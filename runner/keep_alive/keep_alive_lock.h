// The shape every keep-alive lock has: a request on a bus, answered through a
// callback within a deadline; held or not; released without waiting; forgotten
// when its bus goes. Each kind of lock is a subclass in a file of its own.
#ifndef RUNNER_KEEP_ALIVE_KEEP_ALIVE_LOCK_H_
#define RUNNER_KEEP_ALIVE_KEEP_ALIVE_LOCK_H_

#include <gio/gio.h>

G_DECLARE_DERIVABLE_TYPE(KeepAliveLock,
                         keep_alive_lock,
                         KEEP_ALIVE,
                         LOCK,
                         GObject)

// Longest wait for a lock: a request not answered by then holds nothing.
inline constexpr guint kKeepAliveLockDeadlineMs = 2000;
// How long the bus waits for a request's reply. Longer than the deadline, so
// that a lock granted after it is seen, and released.
inline constexpr gint kKeepAliveLockLateReplyMs = 60000;

// Why the application holds off sleep, as every service is told.
inline constexpr char kInhibitWhy[] =
    "Keep blueprint runtime active while TarnGlass is open.";
// Who asks, where a service wants a name.
inline constexpr char kInhibitWho[] = "TarnGlass";

// Whether the lock is held once the request is over. Called once per request,
// always from the main loop, never from within keep_alive_lock_request, and
// not at all for a request that was released or forgotten meanwhile.
typedef void (*KeepAliveLockCallback)(KeepAliveLock* lock,
                                      gboolean held,
                                      gpointer user_data);

struct _KeepAliveLockClass {
  GObjectClass parent_class;

  // Sends request `serial` on `bus`; the answer goes to
  // keep_alive_lock_answer, a reply for an older request is late
  // (keep_alive_lock_awaits) and what it grants is released.
  void (*start)(KeepAliveLock* lock, GDBusConnection* bus, guint serial);
  // The deadline has passed with no answer: whether what came so far counts
  // as held. Logs why not.
  gboolean (*expire)(KeepAliveLock* lock);
  // Releases whatever the lock has, on `bus` (null when it has none), without
  // waiting for a reply.
  void (*release)(KeepAliveLock* lock, GDBusConnection* bus);
  // Drops whatever the lock has without a call: its bus is gone.
  void (*forget)(KeepAliveLock* lock);
};

// Requests the lock on `bus` unless it is held or a request is in progress.
void keep_alive_lock_request(KeepAliveLock* lock,
                             GDBusConnection* bus,
                             KeepAliveLockCallback callback,
                             gpointer user_data);
gboolean keep_alive_lock_is_held(KeepAliveLock* lock);
gboolean keep_alive_lock_is_pending(KeepAliveLock* lock);
// Releases a held lock, or gives up a request in progress (its callback is
// not called; a lock granted later is released when the reply comes).
void keep_alive_lock_release(KeepAliveLock* lock);
// The lock's bus has closed: what it held there is gone. A request in
// progress is still answered (its call fails with the bus).
void keep_alive_lock_forget(KeepAliveLock* lock);

// For subclasses: whether request `serial` still waits for its answer.
gboolean keep_alive_lock_awaits(KeepAliveLock* lock, guint serial);
// For subclasses: answers the request in progress.
void keep_alive_lock_answer(KeepAliveLock* lock, gboolean held);
// For subclasses: holds the lock without a request (tests).
void keep_alive_lock_mark_held(KeepAliveLock* lock);
// For subclasses: a held lock was taken back by its service.
void keep_alive_lock_lost(KeepAliveLock* lock);

// Logs "<failure>: <reason>" as a warning, the reason being the error's
// message or "unknown error".
void keep_alive_lock_warn(const char* failure, const GError* error);
// The error a request that missed its deadline fails with.
GError* keep_alive_lock_deadline_error();

#endif  // RUNNER_KEEP_ALIVE_KEEP_ALIVE_LOCK_H_
