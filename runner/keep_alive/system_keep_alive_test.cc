// The keep-alive channel against real D-Bus services: dbusmock's logind and a
// screen-saver mock on the test desktop's private buses.
#include "runner/keep_alive/system_keep_alive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "runner/keep_alive/bus_connection.h"
#include "runner/keep_alive/cookie_lock.h"
#include "runner/keep_alive/logind_lock.h"
#include "runner/keep_alive/portal_lock.h"
#include "runner/keep_alive/sleep_notifications.h"
#include "tests/support/keep_alive_test_support.h"
#include "tests/support/test_support.h"

// Last: Xlib's macros (None, Bool) clash with GoogleTest's names.
#include <gdk/gdkx.h>

namespace {

using Answer = KeepAliveApp::Answer;

const std::string kExpectedInhibitor =
    std::string("sleep|TarnGlass|") + kKeepAliveReason + "|block";

gint sleep_fd(MyApplication* application) {
  return logind_lock_get_fd(KEEP_ALIVE_LOGIND_LOCK(application->sleep_lock));
}

guint32 screen_saver_cookie(MyApplication* application) {
  return cookie_lock_get_cookie(
      KEEP_ALIVE_COOKIE_LOCK(application->screen_saver_lock));
}

std::string portal_handle(KeepAliveLock* lock) {
  const gchar* handle = portal_lock_get_handle(KEEP_ALIVE_PORTAL_LOCK(lock));
  return handle != nullptr ? handle : "";
}

// A portal stand-in that answers the application's requests with
// `response`; connects the application's session bus to learn its name.
std::unique_ptr<DBusMockService> start_portal_for(MyApplication* application,
                                                  int response) {
  if (!ensure_session_bus(application, "Failed to connect session bus")) {
    return nullptr;
  }
  return DBusMockService::start_portal(
      g_dbus_connection_get_unique_name(application->session_bus), response);
}

std::vector<std::string> warnings(const LogCapture& log) {
  std::vector<std::string> messages;
  for (const auto& entry : log.entries()) {
    if (entry.level & G_LOG_LEVEL_WARNING) {
      EXPECT_EQ(entry.domain, "") << entry.message;
      messages.push_back(entry.message);
    }
  }
  return messages;
}

class SystemKeepAliveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!private_buses_available()) {
      GTEST_SKIP() << "needs the test desktop's private buses";
    }
  }
};

TEST_F(SystemKeepAliveTest, LogindInhibitorIsHeldUntilStopped) {
  auto logind = DBusMockService::start_logind();
  auto screen_saver = DBusMockService::start_screen_saver(42);
  ASSERT_TRUE(logind && screen_saver);
  LogCapture log;
  KeepAliveApp app;

  EXPECT_EQ(app.invoke("isKeepAliveActive"), Answer::kFalse);
  EXPECT_EQ(app.invoke("startKeepAlive"), Answer::kTrue);
  EXPECT_EQ(list_logind_inhibitors(),
            std::vector<std::string>{kExpectedInhibitor});
  EXPECT_GE(sleep_fd(app.application()), 0);
  EXPECT_EQ(app.invoke("isKeepAliveActive"), Answer::kTrue);

  // Already held: no second inhibitor and no screen-saver call.
  EXPECT_EQ(app.invoke("startKeepAlive"), Answer::kTrue);
  EXPECT_EQ(list_logind_inhibitors().size(), 1u);
  EXPECT_EQ(screen_saver->call_count(), 0u);

  EXPECT_EQ(app.invoke("stopKeepAlive"), Answer::kFalse);
  EXPECT_EQ(sleep_fd(app.application()), -1);
  EXPECT_TRUE(run_until([] { return list_logind_inhibitors().empty(); }));
  EXPECT_EQ(app.invoke("isKeepAliveActive"), Answer::kFalse);

  // Nothing held: stopping again calls nobody.
  EXPECT_EQ(app.invoke("stopKeepAlive"), Answer::kFalse);
  EXPECT_EQ(screen_saver->call_count(), 0u);
  EXPECT_EQ(warnings(log), std::vector<std::string>{});
}

TEST_F(SystemKeepAliveTest, DisposeReleasesTheLogindInhibitor) {
  auto logind = DBusMockService::start_logind();
  ASSERT_TRUE(logind);
  KeepAliveApp app;

  EXPECT_EQ(app.invoke("startKeepAlive"), Answer::kTrue);
  EXPECT_EQ(list_logind_inhibitors().size(), 1u);
  app.dispose();
  EXPECT_TRUE(run_until([] { return list_logind_inhibitors().empty(); }));
}

// The bus may close before its "closed" signal is delivered. A start in
// between drops the dead connection, connects again and takes a new
// inhibitor; the loss is logged once, and dispose with the signal still on
// its way leaves nothing to call back into.
TEST_F(SystemKeepAliveTest, ClosedSystemBusIsDroppedBeforeItsSignal) {
  auto logind = DBusMockService::start_logind();
  ASSERT_TRUE(logind);
  LogCapture log;
  KeepAliveApp app;
  MyApplication* application = app.application();
  EXPECT_EQ(app.invoke("startKeepAlive"), Answer::kTrue);
  EXPECT_EQ(list_logind_inhibitors().size(), 1u);

  ASSERT_TRUE(
      g_dbus_connection_close_sync(application->system_bus, nullptr, nullptr));
  EXPECT_EQ(app.invoke("startKeepAlive"), Answer::kTrue);
  EXPECT_FALSE(g_dbus_connection_is_closed(application->system_bus));
  EXPECT_NE(application->sleep_signal_subscription_id, 0u);
  EXPECT_TRUE(run_until([] { return list_logind_inhibitors().size() == 1u; }));
  drain_main_loop();
  EXPECT_EQ(warnings(log),
            std::vector<std::string>{
                "Lost the system bus connection for sleep inhibit and sleep "
                "signals: The connection is closed"});

  ASSERT_TRUE(
      g_dbus_connection_close_sync(application->system_bus, nullptr, nullptr));
  app.dispose();
  drain_main_loop();
  EXPECT_TRUE(run_until([] { return list_logind_inhibitors().empty(); }));
}

// A screen-saver cookie is forgotten with the session bus connection that
// carried it, without calling anyone; the next start connects again.
TEST_F(SystemKeepAliveTest, LostSessionBusForgetsTheScreenSaverCookie) {
  auto screen_saver = DBusMockService::start_screen_saver(42);
  ASSERT_TRUE(screen_saver);
  KeepAliveApp app;
  MyApplication* application = app.application();
  EXPECT_EQ(app.invoke("startKeepAlive"), Answer::kTrue);

  LogCapture log;
  ASSERT_TRUE(
      g_dbus_connection_close_sync(application->session_bus, nullptr, nullptr));
  EXPECT_TRUE(run_until([&] { return screen_saver_cookie(application) == 0; }));
  EXPECT_EQ(application->session_bus, nullptr);
  EXPECT_EQ(app.invoke("isKeepAliveActive"), Answer::kFalse);
  EXPECT_EQ(app.invoke("stopKeepAlive"), Answer::kFalse);
  EXPECT_EQ(screen_saver->method_calls("UnInhibit").size(), 0u);
  EXPECT_EQ(app.invoke("startKeepAlive"), Answer::kTrue);
  EXPECT_EQ(screen_saver->method_calls("Inhibit").size(), 2u);
  auto logged = warnings(log);
  EXPECT_EQ(std::count(logged.begin(), logged.end(),
                       "Lost the session bus connection for screensaver "
                       "inhibit: unknown error"),
            1);
}

TEST_F(SystemKeepAliveTest, RefusedLogindFallsBackToTheScreenSaver) {
  auto logind = DBusMockService::start_refusing_logind();
  auto screen_saver = DBusMockService::start_screen_saver(42);
  ASSERT_TRUE(logind && screen_saver);
  LogCapture log;
  KeepAliveApp app;

  EXPECT_EQ(app.invoke("startKeepAlive"), Answer::kTrue);
  EXPECT_EQ(warnings(log),
            std::vector<std::string>{
                "Failed to acquire logind sleep inhibit: GDBus.Error:"
                "org.freedesktop.login1.Refused: Inhibition refused"});
  EXPECT_EQ(logind->method_calls("Inhibit"),
            (std::vector<std::vector<std::string>>{
                {"sleep", "TarnGlass", kKeepAliveReason, "block"}}));
  EXPECT_EQ(
      screen_saver->method_calls("Inhibit"),
      (std::vector<std::vector<std::string>>{{"TarnGlass", kKeepAliveReason}}));
  EXPECT_EQ(sleep_fd(app.application()), -1);
  EXPECT_EQ(screen_saver_cookie(app.application()), 42u);
  EXPECT_EQ(app.invoke("isKeepAliveActive"), Answer::kTrue);

  // Held through the screen saver: a second start asks nobody.
  EXPECT_EQ(app.invoke("startKeepAlive"), Answer::kTrue);
  EXPECT_EQ(logind->method_calls("Inhibit").size(), 1u);
  EXPECT_EQ(screen_saver->method_calls("Inhibit").size(), 1u);

  EXPECT_EQ(app.invoke("stopKeepAlive"), Answer::kFalse);
  EXPECT_EQ(screen_saver->method_calls("UnInhibit"),
            (std::vector<std::vector<std::string>>{{"42"}}));
  EXPECT_EQ(screen_saver_cookie(app.application()), 0u);
  EXPECT_EQ(app.invoke("isKeepAliveActive"), Answer::kFalse);
  EXPECT_EQ(warnings(log).size(), 1u);
}

TEST_F(SystemKeepAliveTest, AbsentLogindFallsBackToTheScreenSaver) {
  auto screen_saver = DBusMockService::start_screen_saver(7);
  ASSERT_TRUE(screen_saver);
  LogCapture log;
  KeepAliveApp app;

  EXPECT_EQ(app.invoke("startKeepAlive"), Answer::kTrue);
  auto logged = warnings(log);
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_TRUE(g_str_has_prefix(logged[0].c_str(),
                               "Failed to acquire logind sleep inhibit: "
                               "GDBus.Error:org.freedesktop.DBus.Error."
                               "ServiceUnknown"))
      << logged[0];
  EXPECT_EQ(screen_saver_cookie(app.application()), 7u);

  // Dispose releases the screen-saver inhibit too.
  app.dispose();
  EXPECT_EQ(screen_saver->method_calls("UnInhibit"),
            (std::vector<std::vector<std::string>>{{"7"}}));
}

TEST_F(SystemKeepAliveTest, ScreenSaverCookieZeroLeavesKeepAliveInactive) {
  auto screen_saver = DBusMockService::start_screen_saver(0);
  ASSERT_TRUE(screen_saver);
  KeepAliveApp app;

  EXPECT_EQ(app.invoke("startKeepAlive"), Answer::kFalse);
  EXPECT_EQ(app.invoke("isKeepAliveActive"), Answer::kFalse);
  EXPECT_EQ(app.invoke("stopKeepAlive"), Answer::kFalse);
  EXPECT_EQ(screen_saver->method_calls("UnInhibit").size(), 0u);

  // A cookie of 0 holds nothing; the portal is asked instead.
  auto portal = start_portal_for(app.application(), 0);
  ASSERT_TRUE(portal);
  EXPECT_EQ(app.invoke("startKeepAlive"), Answer::kTrue);
  EXPECT_EQ(portal->method_calls("Inhibit").size(), 2u);
}

// Inside a sandbox only the desktop portal can be reached: suspend and idle
// are asked for in two requests, each with a token of its own and the main
// window's identifier, and both requests are closed again by a stop and by
// dispose.
TEST_F(SystemKeepAliveTest, PortalInhibitsWhenNothingElseCan) {
  KeepAliveApp app;
  MyApplication* application = app.application();
  auto portal = start_portal_for(application, 0);
  ASSERT_TRUE(portal);
  GtkWindow* window = make_window_with_view();
  gtk_widget_realize(GTK_WIDGET(window));
  application->window = window;
  g_autofree gchar* identifier = g_strdup_printf(
      "x11:%lx",
      gdk_x11_window_get_xid(gtk_widget_get_window(GTK_WIDGET(window))));

  EXPECT_EQ(app.invoke("startKeepAlive"), Answer::kTrue);
  auto requests = portal->method_calls("Inhibit");
  ASSERT_EQ(requests.size(), 2u);
  std::sort(requests.begin(), requests.end(),
            [](const auto& a, const auto& b) { return a[1] < b[1]; });
  for (size_t i = 0; i < 2; i++) {
    EXPECT_EQ(requests[i][0], identifier);
    EXPECT_EQ(requests[i][1], i == 0 ? "4" : "8");
    EXPECT_NE(requests[i][2].find(std::string("'reason': <'") +
                                  kKeepAliveReason + "'>"),
              std::string::npos)
        << requests[i][2];
  }
  EXPECT_NE(requests[0][2], requests[1][2]) << "one token per request";
  EXPECT_EQ(app.invoke("isKeepAliveActive"), Answer::kTrue);
  // Held: a second start asks nothing.
  EXPECT_EQ(app.invoke("startKeepAlive"), Answer::kTrue);
  EXPECT_EQ(portal->method_calls("Inhibit").size(), 2u);

  const std::string suspend = portal_handle(application->portal_suspend_lock);
  const std::string idle = portal_handle(application->portal_idle_lock);
  EXPECT_NE(suspend, idle);
  EXPECT_EQ(app.invoke("stopKeepAlive"), Answer::kFalse);
  EXPECT_TRUE(run_until([&] {
    return portal->method_calls("Close", suspend.c_str()).size() == 1u &&
           portal->method_calls("Close", idle.c_str()).size() == 1u;
  }));
  EXPECT_EQ(app.invoke("isKeepAliveActive"), Answer::kFalse);

  // Without a main window the identifier is empty.
  application->window = nullptr;
  gtk_widget_destroy(GTK_WIDGET(window));
  EXPECT_EQ(app.invoke("startKeepAlive"), Answer::kTrue);
  EXPECT_EQ(portal->method_calls("Inhibit")[2][0], "");
  const std::string second = portal_handle(application->portal_idle_lock);
  // The release at dispose leaves the process before dispose returns.
  app.dispose();
  EXPECT_EQ(portal->method_calls("Close", second.c_str()).size(), 1u);
}

// A portal whose backend refuses both requests hands out their handles all
// the same, and then answers "Response" 2 on each: nothing is held.
TEST_F(SystemKeepAliveTest, PortalRefusalsHoldNothing) {
  KeepAliveApp app;
  auto portal = start_portal_for(app.application(), 2);
  ASSERT_TRUE(portal);
  LogCapture log;

  EXPECT_EQ(app.invoke("startKeepAlive"), Answer::kFalse);
  EXPECT_EQ(app.invoke("isKeepAliveActive"), Answer::kFalse);
  auto logged = warnings(log);
  EXPECT_EQ(std::count(logged.begin(), logged.end(),
                       "Failed to acquire portal inhibit: The portal refused "
                       "the request (response 2)"),
            2);
}

// "stopKeepAlive" while a start waits for the screen saver: the start and
// the stop answer false at once, and the cookie the screen saver grants
// afterwards is released.
TEST_F(SystemKeepAliveTest, StopWhileStartingReleasesALateLock) {
  auto screen_saver =
      DBusMockService::start_screen_saver(42, false, /*delay_ms=*/1000);
  ASSERT_TRUE(screen_saver);
  KeepAliveApp app;
  MyApplication* application = app.application();

  auto start = app.send("startKeepAlive");
  ASSERT_TRUE(run_until([&] {
    return keep_alive_lock_is_pending(application->screen_saver_lock);
  }));
  // A second start while the first is pending gets the same answer.
  auto second = app.send("startKeepAlive");
  drain_main_loop();
  EXPECT_FALSE(start->has_value() || second->has_value());
  EXPECT_EQ(app.invoke("stopKeepAlive"), Answer::kFalse);
  EXPECT_EQ(*start, Answer::kFalse);
  EXPECT_EQ(*second, Answer::kFalse);
  EXPECT_EQ(app.invoke("isKeepAliveActive"), Answer::kFalse);
  EXPECT_TRUE(run_until([&] {
    return screen_saver->method_calls("UnInhibit") ==
           std::vector<std::vector<std::string>>{{"42"}};
  }));
  EXPECT_EQ(app.invoke("isKeepAliveActive"), Answer::kFalse);
}

TEST_F(SystemKeepAliveTest, FailedUnInhibitStillClearsTheCookie) {
  auto screen_saver =
      DBusMockService::start_screen_saver(42, /*fail_uninhibit=*/true);
  ASSERT_TRUE(screen_saver);
  KeepAliveApp app;
  EXPECT_EQ(app.invoke("startKeepAlive"), Answer::kTrue);

  LogCapture log;
  EXPECT_EQ(app.invoke("stopKeepAlive"), Answer::kFalse);
  EXPECT_EQ(screen_saver_cookie(app.application()), 0u);
  EXPECT_EQ(app.invoke("isKeepAliveActive"), Answer::kFalse);
  // Logged when the refusal comes; nobody waited for it.
  EXPECT_TRUE(run_until([&] { return !warnings(log).empty(); }));
  EXPECT_EQ(warnings(log),
            std::vector<std::string>{
                "Failed to release screensaver inhibit: GDBus.Error:"
                "org.freedesktop.ScreenSaver.NoCookie: No such cookie"});
}

TEST_F(SystemKeepAliveTest, NoServiceAtAllAnswersFalse) {
  LogCapture log;
  KeepAliveApp app;

  EXPECT_EQ(app.invoke("startKeepAlive"), Answer::kFalse);
  auto logged = warnings(log);
  ASSERT_EQ(logged.size(), 4u);
  EXPECT_TRUE(g_str_has_prefix(logged[0].c_str(),
                               "Failed to acquire logind sleep inhibit: "))
      << logged[0];
  EXPECT_TRUE(g_str_has_prefix(logged[1].c_str(),
                               "Failed to acquire screensaver inhibit: "
                               "GDBus.Error:org.freedesktop.DBus.Error."
                               "ServiceUnknown"))
      << logged[1];
  // One line for each of the portal's two requests.
  EXPECT_TRUE(g_str_has_prefix(logged[3].c_str(),
                               "Failed to acquire portal inhibit: "
                               "GDBus.Error:org.freedesktop.DBus.Error."
                               "ServiceUnknown"))
      << logged[3];
  EXPECT_EQ(app.invoke("isKeepAliveActive"), Answer::kFalse);
}

TEST_F(SystemKeepAliveTest, UnknownAndMiscasedNamesAreNotImplemented) {
  KeepAliveApp app;
  for (const char* method :
       {"StartKeepAlive", "startkeepalive", "STOPKEEPALIVE",
        "isKeepaliveActive", "startKeepAlive ", "", "systemWillSleep"}) {
    EXPECT_EQ(app.invoke(method), Answer::kNotImplemented) << method;
  }
  EXPECT_EQ(sleep_fd(app.application()), -1);
  EXPECT_EQ(screen_saver_cookie(app.application()), 0u);
  EXPECT_EQ(app.application()->sleep_signal_subscription_id, 0u);
}

// Bus connections are cached per process, so the cases without a bus run in
// a fresh process whose environment names no reachable bus.
class SystemKeepAliveWithoutBusTest : public SystemKeepAliveTest {
 protected:
  void SetUp() override {
    SystemKeepAliveTest::SetUp();
    GTEST_FLAG_SET(death_test_style, "threadsafe");
  }

  // The test body runs again in the fresh process, up to the statement it
  // is to run there; services the parent started must not be started twice.
  static bool in_fresh_process() {
    return g_strcmp0(g_getenv(kFreshProcessVariable), "1") == 0;
  }

  // Points `variable` at a dead socket until the test ends.
  void break_bus(const char* variable) {
    set_until_teardown(variable, "unix:path=/nonexistent/ferrow-keep-alive");
    set_until_teardown(kFreshProcessVariable, "1");
  }

  void TearDown() override {
    for (const auto& [variable, value] : saved_) {
      if (value.has_value()) {
        g_setenv(variable.c_str(), value->c_str(), TRUE);
      } else {
        g_unsetenv(variable.c_str());
      }
    }
  }

 private:
  static constexpr char kFreshProcessVariable[] =
      "FERROW_KEEP_ALIVE_FRESH_PROCESS";

  void set_until_teardown(const char* variable, const char* value) {
    const gchar* old = g_getenv(variable);
    saved_.emplace_back(variable, old != nullptr
                                      ? std::optional<std::string>(old)
                                      : std::nullopt);
    g_setenv(variable, value, TRUE);
  }

  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// Run in the fresh process: activation and then a start without a system
// bus.
void start_without_system_bus() {
  LogCapture log;
  KeepAliveApp app;
  // As at activation.
  ensure_sleep_signal_subscription(app.application());
  auto logged = warnings(log);
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_TRUE(g_str_has_prefix(
      logged[0].c_str(), "Failed to connect system bus for sleep signals: "))
      << logged[0];

  EXPECT_EQ(app.invoke("startKeepAlive"), Answer::kTrue);
  logged = warnings(log);
  ASSERT_EQ(logged.size(), 3u);
  EXPECT_TRUE(g_str_has_prefix(
      logged[1].c_str(), "Failed to connect system bus for sleep signals: "))
      << logged[1];
  EXPECT_TRUE(g_str_has_prefix(
      logged[2].c_str(), "Failed to connect system bus for sleep inhibit: "))
      << logged[2];
  EXPECT_EQ(app.application()->system_bus, nullptr);
  EXPECT_EQ(app.application()->sleep_signal_subscription_id, 0u);
  EXPECT_EQ(screen_saver_cookie(app.application()), 42u);
}

TEST_F(SystemKeepAliveWithoutBusTest, RetriesTheSystemBusAtEachStart) {
  std::unique_ptr<DBusMockService> screen_saver;
  if (!in_fresh_process()) {
    screen_saver = DBusMockService::start_screen_saver(42);
    ASSERT_TRUE(screen_saver);
  }
  break_bus("DBUS_SYSTEM_BUS_ADDRESS");

  EXPECT_IN_FRESH_PROCESS(start_without_system_bus());
  EXPECT_EQ(screen_saver->method_calls("Inhibit").size(), 1u);
}

// Run in the fresh process: a start with neither bus.
void start_without_any_bus() {
  KeepAliveApp app;
  LogCapture log;
  EXPECT_EQ(app.invoke("startKeepAlive"), Answer::kFalse);
  auto logged = warnings(log);
  ASSERT_EQ(logged.size(), 3u);
  EXPECT_TRUE(g_str_has_prefix(
      logged[2].c_str(),
      "Failed to connect session bus for screensaver inhibit: "))
      << logged[2];
  EXPECT_EQ(app.application()->session_bus, nullptr);
  EXPECT_EQ(app.invoke("isKeepAliveActive"), Answer::kFalse);
}

TEST_F(SystemKeepAliveWithoutBusTest, WithoutAnyBusAnswersFalse) {
  break_bus("DBUS_SYSTEM_BUS_ADDRESS");
  break_bus("DBUS_SESSION_BUS_ADDRESS");

  EXPECT_IN_FRESH_PROCESS(start_without_any_bus());
}

}  // namespace
