// Connecting to a bus on a thread of its own, so that the caller waits no
// longer than it chooses, and flushing one within a bound.
#include "runner/keep_alive/bus_connect.h"

namespace {

constexpr guint kFlushTimeoutMs = 500;

// What a connecting thread hands back: a connection or an error.
struct BusConnectResult {
  GDBusConnection* connection;
  GError* error;
};

void bus_connect_result_free(gpointer data) {
  auto* result = static_cast<BusConnectResult*>(data);
  g_clear_object(&result->connection);
  g_clear_error(&result->error);
  g_free(result);
}

struct BusConnectJob {
  GBusType bus_type;
  GCancellable* cancellable;
  // The caller may have given up; a result nobody takes is freed with the
  // queue.
  GAsyncQueue* results;
};

// Connects on a thread of its own. No thread-default main context is pushed
// here, so the connection delivers its signals to the main context.
gpointer connect_bus_thread(gpointer data) {
  auto* job = static_cast<BusConnectJob*>(data);
  auto* result = g_new0(BusConnectResult, 1);
  g_autofree gchar* address = g_dbus_address_get_for_bus_sync(
      job->bus_type, job->cancellable, &result->error);
  if (address != nullptr) {
    result->connection = g_dbus_connection_new_for_address_sync(
        address, kBusConnectionFlags, nullptr, job->cancellable,
        &result->error);
  }
  g_async_queue_push(job->results, result);
  g_async_queue_unref(job->results);
  g_object_unref(job->cancellable);
  g_free(job);
  return nullptr;
}

void flushed_cb(GObject* source, GAsyncResult* result, gpointer user_data) {
  g_dbus_connection_flush_finish(G_DBUS_CONNECTION(source), result, nullptr);
  *static_cast<bool*>(user_data) = true;
}

gboolean flush_timeout_fallback(gpointer user_data) {
  *static_cast<bool*>(user_data) = true;
  return G_SOURCE_REMOVE;
}

}  // namespace

const char* error_reason(const GError* error) {
  return error != nullptr && error->message != nullptr ? error->message
                                                       : "unknown error";
}

GDBusConnection* connect_bus(GBusType bus_type, GError** error) {
  g_autoptr(GAsyncQueue) results =
      g_async_queue_new_full(bus_connect_result_free);
  g_autoptr(GCancellable) cancellable = g_cancellable_new();
  auto* job = g_new0(BusConnectJob, 1);
  job->bus_type = bus_type;
  job->cancellable = G_CANCELLABLE(g_object_ref(cancellable));
  job->results = g_async_queue_ref(results);
  GThread* thread =
      g_thread_try_new("bus-connect", connect_bus_thread, job, error);
  if (thread == nullptr) {
    g_async_queue_unref(job->results);
    g_object_unref(job->cancellable);
    g_free(job);
    return nullptr;
  }
  g_thread_unref(thread);

  auto* result = static_cast<BusConnectResult*>(
      g_async_queue_timeout_pop(results, kBusConnectTimeoutMs * 1000));
  if (result == nullptr) {
    // The thread ends soon after; what it makes is freed with the queue.
    g_cancellable_cancel(cancellable);
    g_set_error(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT,
                "The bus did not answer within %u ms", kBusConnectTimeoutMs);
    return nullptr;
  }
  GDBusConnection* connection = g_steal_pointer(&result->connection);
  if (connection == nullptr) {
    g_propagate_error(error, g_steal_pointer(&result->error));
  }
  bus_connect_result_free(result);
  return connection;
}

void flush_bus_briefly(GDBusConnection* connection) {
  g_return_if_fail(G_IS_DBUS_CONNECTION(connection));
  if (g_dbus_connection_is_closed(connection)) {
    return;
  }
  // A private context: nothing else of the application runs meanwhile, and
  // a flush still running at the deadline reports to a context that nobody
  // iterates again, so the flags on this stack are not touched after return.
  g_autoptr(GMainContext) context = g_main_context_new();
  g_main_context_push_thread_default(context);
  bool flushed = false;
  bool timed_out = false;
  g_dbus_connection_flush(connection, nullptr, flushed_cb, &flushed);
  g_autoptr(GSource) timeout = g_timeout_source_new(kFlushTimeoutMs);
  g_source_set_callback(timeout, flush_timeout_fallback, &timed_out, nullptr);
  g_source_attach(timeout, context);
  while (!flushed && !timed_out) {
    g_main_context_iteration(context, TRUE);
  }
  g_source_destroy(timeout);
  g_main_context_pop_thread_default(context);
}
