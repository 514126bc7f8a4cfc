// Telling Dart when the system goes to sleep and when it wakes, from logind's
// "PrepareForSleep" signal. logind suspends at once unless someone holds a
// delay lock, so the shell holds one while subscribed and closes it only when
// Dart has answered "systemWillSleep", or after a few seconds at most.
#include "runner/keep_alive/sleep_notifications.h"

#include "runner/keep_alive/bus_connection.h"
#include "runner/keep_alive/logind_lock.h"

// A "systemWillSleep" sent to Dart. The reply callback owns it: under the
// real engine a channel without a Dart handler never answers.
struct SleepHandshake {
  // Null once the wait is over (answer, cap, wake or dispose).
  MyApplication* application;
  guint cap_source_id;
};

namespace {

constexpr char kPrepareForSleepSignal[] = "PrepareForSleep";

constexpr char kSystemWillSleepMethod[] = "systemWillSleep";
constexpr char kSystemDidWakeMethod[] = "systemDidWake";

constexpr char kLogindDelayMode[] = "delay";

// Below logind's default InhibitDelayMaxSec (5 s), so that the shell, not
// logind, decides when an app that does not answer has had its time.
constexpr guint kDefaultSleepHandshakeCapMs = 3000;
guint sleep_handshake_cap_ms = kDefaultSleepHandshakeCapMs;

void take_sleep_delay_lock(MyApplication* application) {
  KeepAliveLock* lock = application->sleep_delay_lock;
  if (lock == nullptr || keep_alive_lock_is_held(lock) ||
      keep_alive_lock_is_pending(lock) || application->system_bus == nullptr ||
      g_dbus_connection_is_closed(application->system_bus)) {
    return;
  }
  // Nothing to do with the answer: a failure is logged, and the lock is
  // asked for again after the next wake or the bus's return.
  keep_alive_lock_request(lock, application->system_bus, nullptr, nullptr);
}

// Stops waiting for Dart; an answer that comes later finds nobody waiting.
void end_sleep_handshake(MyApplication* application) {
  SleepHandshake* handshake = g_steal_pointer(&application->sleep_handshake);
  if (handshake == nullptr) {
    return;
  }
  handshake->application = nullptr;
  g_clear_handle_id(&handshake->cap_source_id, g_source_remove);
}

// Dart is done, or has had its time: the machine may sleep.
void let_sleep_proceed(MyApplication* application) {
  end_sleep_handshake(application);
  keep_alive_lock_release(application->sleep_delay_lock);
}

gboolean sleep_handshake_cap_cb(gpointer user_data) {
  auto* handshake = static_cast<SleepHandshake*>(user_data);
  handshake->cap_source_id = 0;
  let_sleep_proceed(handshake->application);
  return G_SOURCE_REMOVE;
}

// Any answer ends the wait: success, error or not implemented alike.
void system_will_sleep_answered_cb(GObject* source,
                                   GAsyncResult* result,
                                   gpointer user_data) {
  auto* handshake = static_cast<SleepHandshake*>(user_data);
  // Only that it came matters.
  [[maybe_unused]] g_autoptr(FlMethodResponse) response =
      fl_method_channel_invoke_method_finish(FL_METHOD_CHANNEL(source), result,
                                             nullptr);
  if (handshake->application != nullptr) {
    let_sleep_proceed(handshake->application);
  }
  g_free(handshake);
}

void system_will_sleep(MyApplication* application) {
  // Dart is preparing for this sleep already.
  if (application->sleep_handshake != nullptr) {
    return;
  }
  FlMethodChannel* channel = application->system_keep_alive_channel;
  // Nobody to wait for.
  if (channel == nullptr) {
    keep_alive_lock_release(application->sleep_delay_lock);
    return;
  }
  auto* handshake = g_new0(SleepHandshake, 1);
  handshake->application = application;
  // No reference: the source goes with the handshake, at the latest in
  // dispose.
  handshake->cap_source_id =
      g_timeout_add(sleep_handshake_cap_ms, sleep_handshake_cap_cb, handshake);
  application->sleep_handshake = handshake;
  fl_method_channel_invoke_method(channel, kSystemWillSleepMethod, nullptr,
                                  nullptr, system_will_sleep_answered_cb,
                                  handshake);
}

void system_did_wake(MyApplication* application) {
  // A suspend that was called off leaves the lock held, ready for the next.
  end_sleep_handshake(application);
  if (application->system_keep_alive_channel != nullptr) {
    fl_method_channel_invoke_method(application->system_keep_alive_channel,
                                    kSystemDidWakeMethod, nullptr, nullptr,
                                    nullptr, nullptr);
  }
  take_sleep_delay_lock(application);
}

}  // namespace

void init_sleep_notifications(MyApplication* application) {
  g_return_if_fail(MY_IS_APPLICATION(application));
  application->sleep_delay_lock = logind_lock_new(
      kLogindDelayMode, "Failed to acquire logind sleep delay inhibit");
  // Asked for again after every wake: one warning per connection is enough.
  logind_lock_warn_once_per_bus(
      KEEP_ALIVE_LOGIND_LOCK(application->sleep_delay_lock));
}

void ensure_sleep_signal_subscription(MyApplication* application) {
  g_return_if_fail(MY_IS_APPLICATION(application));

  // A subscription on a bus that has closed is as good as none; making sure
  // of the bus drops it.
  if (application->sleep_signal_subscription_id != 0 &&
      !g_dbus_connection_is_closed(application->system_bus)) {
    return;
  }

  // The lost bus is being sought in the background, and subscribed to once
  // found: connecting here too would only hold up the caller.
  if (system_bus_reconnect_pending(application)) {
    hurry_system_bus_reconnect(application);
    return;
  }

  // Left unsubscribed without a bus; the next "startKeepAlive" tries again.
  if (!ensure_system_bus(application,
                         "Failed to connect system bus for sleep signals")) {
    return;
  }
  // Dropping a closed connection and connecting again may have subscribed.
  if (application->sleep_signal_subscription_id != 0) {
    return;
  }

  // No destroy notifier: dispose unsubscribes before the application goes.
  application->sleep_signal_subscription_id =
      g_dbus_connection_signal_subscribe(
          application->system_bus, kLogindBusName, kLogindManagerInterface,
          kPrepareForSleepSignal, kLogindObjectPath, nullptr,
          G_DBUS_SIGNAL_FLAGS_NONE, prepare_for_sleep_cb, application, nullptr);
  take_sleep_delay_lock(application);
}

void prepare_for_sleep_cb(GDBusConnection* /* connection */,
                          const gchar* /* sender_name */,
                          const gchar* /* object_path */,
                          const gchar* /* interface_name */,
                          const gchar* /* signal_name */,
                          GVariant* parameters,
                          gpointer user_data) {
  MyApplication* application = MY_APPLICATION(user_data);

  // Any body but one boolean would mean a sleep or wake that nobody
  // announced.
  if (parameters == nullptr ||
      !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(b)"))) {
    return;
  }
  gboolean going_to_sleep = FALSE;
  g_variant_get(parameters, "(b)", &going_to_sleep);

  if (going_to_sleep) {
    system_will_sleep(application);
  } else {
    system_did_wake(application);
  }
}

void release_sleep_notifications(MyApplication* application) {
  g_return_if_fail(MY_IS_APPLICATION(application));

  end_sleep_handshake(application);
  if (application->sleep_signal_subscription_id != 0 &&
      application->system_bus != nullptr) {
    g_dbus_connection_signal_unsubscribe(
        application->system_bus, application->sleep_signal_subscription_id);
  }
  application->sleep_signal_subscription_id = 0;
  if (application->sleep_delay_lock != nullptr) {
    keep_alive_lock_release(application->sleep_delay_lock);
    g_clear_object(&application->sleep_delay_lock);
  }
}

void set_sleep_handshake_cap_for_testing(guint cap_ms) {
  sleep_handshake_cap_ms = cap_ms != 0 ? cap_ms : kDefaultSleepHandshakeCapMs;
}
