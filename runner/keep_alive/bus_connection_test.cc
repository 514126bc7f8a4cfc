// Losing the system bus and finding it again, on a shortened schedule: the
// logind lock stays held, the bus is sought for as long as it takes, and the
// sleep signals come back with it.
#include "runner/keep_alive/bus_connection.h"

#include <gtest/gtest.h>

#include <gio/gunixsocketaddress.h>
#include <glib/gstdio.h>

#include <algorithm>
#include <functional>

#include "runner/keep_alive/logind_lock.h"
#include "tests/support/keep_alive_test_support.h"
#include "tests/support/test_support.h"

namespace {

constexpr char kSystemBusVariable[] = "DBUS_SYSTEM_BUS_ADDRESS";

// A socket that stands where the system bus was: it accepts each connection
// and closes it at once, as a bus that is not up yet fails a connect.
class RefusingBusSocket {
 public:
  RefusingBusSocket() {
    directory_ = g_dir_make_tmp("ferrow-bus-XXXXXX", nullptr);
    path_ = g_build_filename(directory_, "bus", nullptr);
    service_ = g_socket_service_new();
    g_autoptr(GSocketAddress) address = g_unix_socket_address_new(path_);
    g_socket_listener_add_address(
        G_SOCKET_LISTENER(service_), address, G_SOCKET_TYPE_STREAM,
        G_SOCKET_PROTOCOL_DEFAULT, nullptr, nullptr, nullptr);
    g_signal_connect(service_, "incoming", G_CALLBACK(incoming_cb), this);
  }
  ~RefusingBusSocket() {
    g_socket_service_stop(service_);
    g_socket_listener_close(G_SOCKET_LISTENER(service_));
    g_clear_object(&service_);
    g_unlink(path_);
    g_rmdir(directory_);
    g_free(path_);
    g_free(directory_);
  }

  std::string address() const { return std::string("unix:path=") + path_; }
  // Called on each connection; the connection is closed afterwards.
  std::function<void()> on_connection;

 private:
  static gboolean incoming_cb(GSocketService*,
                              GSocketConnection*,
                              GObject*,
                              gpointer user_data) {
    static_cast<RefusingBusSocket*>(user_data)->on_connection();
    return TRUE;
  }

  gchar* directory_ = nullptr;
  gchar* path_ = nullptr;
  GSocketService* service_ = nullptr;
};

class SystemBusReconnectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!private_buses_available()) {
      GTEST_SKIP() << "needs the test desktop's private buses";
    }
    system_bus_address_ = g_getenv(kSystemBusVariable);
  }
  void TearDown() override {
    if (!system_bus_address_.empty()) {
      g_setenv(kSystemBusVariable, system_bus_address_.c_str(), TRUE);
    }
    set_system_bus_reconnect_delays_for_testing(0, 0);
  }

  std::string system_bus_address_;
};

std::vector<std::string> messages(const LogCapture& log, GLogLevelFlags level) {
  std::vector<std::string> found;
  for (const auto& entry : log.entries()) {
    if (entry.level & level) {
      found.push_back(entry.message);
    }
  }
  return found;
}

TEST_F(SystemBusReconnectTest, KeepsTheLockAndSeeksTheBusUntilItReturns) {
  // The tests' own shared connection, held so that it is not made again
  // while the address names the refusing socket.
  g_autoptr(GDBusConnection) test_bus =
      g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, nullptr);
  auto logind = DBusMockService::start_logind();
  ASSERT_TRUE(test_bus && logind);
  LogCapture log;
  KeepAliveApp app;
  MyApplication* application = app.application();
  ASSERT_EQ(app.invoke("startKeepAlive"), KeepAliveApp::Answer::kTrue);
  ASSERT_EQ(list_logind_inhibitors().size(), 1u);
  const gint fd =
      logind_lock_get_fd(KEEP_ALIVE_LOGIND_LOCK(application->sleep_lock));

  // 2, 4 and then 8 ms apart instead of 1, 2, ... 60 s.
  set_system_bus_reconnect_delays_for_testing(2, 8);
  RefusingBusSocket refusing;
  std::vector<guint> delays;
  // More attempts than the two minutes' worth after which the shell used to
  // give up; the bus is back for the next one.
  constexpr size_t kAttempts = 125;
  refusing.on_connection = [&] {
    delays.push_back(application->system_bus_reconnect_delay_ms);
    if (delays.size() == kAttempts) {
      g_setenv(kSystemBusVariable, system_bus_address_.c_str(), TRUE);
    }
  };
  g_setenv(kSystemBusVariable, refusing.address().c_str(), TRUE);
  ASSERT_TRUE(
      g_dbus_connection_close_sync(application->system_bus, nullptr, nullptr));
  ASSERT_TRUE(run_until([&] { return application->system_bus == nullptr; }));
  EXPECT_EQ(application->sleep_signal_subscription_id, 0u);

  ASSERT_TRUE(run_until(
      [&] { return application->sleep_signal_subscription_id != 0; }, 30000))
      << delays.size() << " attempts";
  ASSERT_EQ(delays.size(), kAttempts);
  EXPECT_EQ(std::vector<guint>(delays.begin(), delays.begin() + 4),
            (std::vector<guint>{2, 4, 8, 8}));
  EXPECT_EQ(*std::max_element(delays.begin(), delays.end()), 8u);
  // The lock was held throughout.
  EXPECT_EQ(logind_lock_get_fd(KEEP_ALIVE_LOGIND_LOCK(application->sleep_lock)),
            fd);
  EXPECT_EQ(list_logind_inhibitors().size(), 1u);
  EXPECT_EQ(app.invoke("isKeepAliveActive"), KeepAliveApp::Answer::kTrue);

  GVariant* sleeping = g_variant_new_variant(g_variant_new_boolean(TRUE));
  logind->emit_signal(
      "org.freedesktop.login1.Manager", "PrepareForSleep", "b",
      g_variant_new_array(G_VARIANT_TYPE_VARIANT, &sleeping, 1));
  EXPECT_TRUE(run_until([&] { return !app.sent_methods().empty(); }));
  EXPECT_EQ(app.sent_methods(), std::vector<std::string>{"systemWillSleep"});

  EXPECT_EQ(messages(log, G_LOG_LEVEL_WARNING),
            std::vector<std::string>{
                "Lost the system bus connection for sleep inhibit and sleep "
                "signals: unknown error"});
  EXPECT_EQ(messages(log, G_LOG_LEVEL_MESSAGE),
            std::vector<std::string>{
                "Reconnected to the system bus for sleep signals"});

  EXPECT_EQ(app.invoke("stopKeepAlive"), KeepAliveApp::Answer::kFalse);
  EXPECT_TRUE(run_until([] { return list_logind_inhibitors().empty(); }));
}

}  // namespace
