// Sleep and wake notifications from a real logind mock's "PrepareForSleep".
#include "runner/keep_alive/sleep_notifications.h"

#include <flutter_linux/fl_dev_engine.h>
#include <gtest/gtest.h>

#include "runner/keep_alive/system_keep_alive.h"

#include "tests/support/keep_alive_test_support.h"
#include "tests/support/test_support.h"

namespace {

constexpr char kManager[] = "org.freedesktop.login1.Manager";
constexpr char kPrepareForSleep[] = "PrepareForSleep";

GVariant* boolean_args(gboolean value) {
  GVariant* child = g_variant_new_variant(g_variant_new_boolean(value));
  return g_variant_new_array(G_VARIANT_TYPE_VARIANT, &child, 1);
}

class SleepNotificationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!private_buses_available()) {
      GTEST_SKIP() << "needs the test desktop's private buses";
    }
    logind_ = DBusMockService::start_logind();
    ASSERT_TRUE(logind_);
    app_ = std::make_unique<KeepAliveApp>();
  }

  void TearDown() override {
    set_sleep_handshake_cap_for_testing(0);
    app_.reset();
    logind_.reset();
  }

  // Waits until `count` methods went to Dart; they are the return value.
  std::vector<std::string> wait_for_sent(size_t count) {
    run_until([&] { return app_->sent_methods().size() >= count; });
    return app_->sent_methods();
  }

  std::unique_ptr<DBusMockService> logind_;
  std::unique_ptr<KeepAliveApp> app_;
};

TEST_F(SleepNotificationsTest, PrepareForSleepReachesDartOnce) {
  ensure_sleep_signal_subscription(app_->application());
  const guint id = app_->application()->sleep_signal_subscription_id;
  EXPECT_NE(id, 0u);
  ensure_sleep_signal_subscription(app_->application());
  // A start ensures the subscription again; it stays the one there is.
  EXPECT_EQ(app_->invoke("startKeepAlive"), KeepAliveApp::Answer::kTrue);
  EXPECT_EQ(app_->application()->sleep_signal_subscription_id, id);

  logind_->emit_signal(kManager, kPrepareForSleep, "b", boolean_args(TRUE));
  logind_->emit_signal(kManager, kPrepareForSleep, "b", boolean_args(FALSE));
  EXPECT_EQ(wait_for_sent(2),
            (std::vector<std::string>{"systemWillSleep", "systemDidWake"}));
  // One subscription means one call per signal.
  run_for(200);
  EXPECT_EQ(app_->sent_methods().size(), 2u);
}

TEST_F(SleepNotificationsTest, FirstStartSubscribes) {
  EXPECT_EQ(app_->application()->sleep_signal_subscription_id, 0u);
  EXPECT_EQ(app_->invoke("isKeepAliveActive"), KeepAliveApp::Answer::kFalse);
  EXPECT_EQ(app_->application()->sleep_signal_subscription_id, 0u);
  EXPECT_EQ(app_->invoke("startKeepAlive"), KeepAliveApp::Answer::kTrue);
  EXPECT_NE(app_->application()->sleep_signal_subscription_id, 0u);

  logind_->emit_signal(kManager, kPrepareForSleep, "b", boolean_args(TRUE));
  EXPECT_EQ(wait_for_sent(1), std::vector<std::string>{"systemWillSleep"});
}

// Held calls on the keep-alive channel awaiting Dart's answer, oldest first.
std::vector<int64_t> held_calls(FlBinaryMessenger* messenger) {
  g_autoptr(FlValue) calls =
      fl_dev_messenger_get_held_calls(messenger, kSystemKeepAliveChannelName);
  std::vector<int64_t> ids;
  for (size_t i = 0; i < fl_value_get_length(calls); i++) {
    ids.push_back(fl_value_get_int(fl_value_get_list_value(calls, i)));
  }
  return ids;
}

bool respond(FlBinaryMessenger* messenger, int64_t call_id) {
  g_autoptr(FlMethodResponse) response =
      FL_METHOD_RESPONSE(fl_method_success_response_new(nullptr));
  return fl_dev_messenger_respond(messenger, call_id, response);
}

size_t delay_locks() {
  return list_logind_inhibitors("delay").size();
}

// Sleep waits for Dart at most the cap; an answer after it, arriving while
// the next sleep waits, ends nothing. Only that sleep's own answer does.
TEST_F(SleepNotificationsTest, CapEndsTheWaitAndALateAnswerIsIgnored) {
  FlBinaryMessenger* messenger = app_->messenger();
  fl_dev_messenger_listen(messenger, kSystemKeepAliveChannelName,
                          FL_DEV_DART_REPLY_HELD);
  set_sleep_handshake_cap_for_testing(300);
  ensure_sleep_signal_subscription(app_->application());
  ASSERT_TRUE(run_until([] { return delay_locks() == 1u; }));

  const gint64 signalled = g_get_monotonic_time();
  logind_->emit_signal(kManager, kPrepareForSleep, "b", boolean_args(TRUE));
  // A second one while Dart works changes nothing.
  logind_->emit_signal(kManager, kPrepareForSleep, "b", boolean_args(TRUE));
  ASSERT_TRUE(run_until([] { return delay_locks() == 0u; }));
  EXPECT_GE(g_get_monotonic_time() - signalled, 300 * 1000);
  const std::vector<int64_t> first = held_calls(messenger);
  ASSERT_EQ(first.size(), 1u);

  logind_->emit_signal(kManager, kPrepareForSleep, "b", boolean_args(FALSE));
  ASSERT_TRUE(run_until([] { return delay_locks() == 1u; }));
  set_sleep_handshake_cap_for_testing(60000);
  logind_->emit_signal(kManager, kPrepareForSleep, "b", boolean_args(TRUE));
  ASSERT_TRUE(run_until([&] { return held_calls(messenger).size() == 2u; }));
  const int64_t second = held_calls(messenger)[1];

  ASSERT_TRUE(respond(messenger, first[0]));
  run_for(200);
  EXPECT_EQ(delay_locks(), 1u);
  ASSERT_TRUE(respond(messenger, second));
  EXPECT_TRUE(run_until([] { return delay_locks() == 0u; }));
  EXPECT_EQ(wait_for_sent(3),
            (std::vector<std::string>{"systemWillSleep", "systemDidWake",
                                      "systemWillSleep"}));
}

TEST_F(SleepNotificationsTest, OtherSignalsReachNothing) {
  // Owns a name of its own, not logind's.
  auto impostor = DBusMockService::start(
      G_BUS_TYPE_SYSTEM, "org.example.Impostor",
      {"org.example.Impostor", "/org/freedesktop/login1", kManager});
  ASSERT_TRUE(impostor);
  LogCapture log;
  ensure_sleep_signal_subscription(app_->application());

  impostor->emit_signal(kManager, kPrepareForSleep, "b", boolean_args(TRUE));
  logind_->emit_signal(kManager, kPrepareForSleep, "b", boolean_args(TRUE),
                       "/org/freedesktop/login1/session/other");
  logind_->emit_signal("org.freedesktop.login1.Other", kPrepareForSleep, "b",
                       boolean_args(TRUE));
  logind_->emit_signal(kManager, "PrepareForShutdown", "b", boolean_args(TRUE));
  // Wrongly typed bodies are ignored rather than read as a wake.
  GVariant* text = g_variant_new_variant(g_variant_new_string("yes"));
  logind_->emit_signal(kManager, kPrepareForSleep, "s",
                       g_variant_new_array(G_VARIANT_TYPE_VARIANT, &text, 1));
  logind_->emit_signal(kManager, kPrepareForSleep, "",
                       g_variant_new_array(G_VARIANT_TYPE_VARIANT, nullptr, 0));
  GVariant* two[] = {g_variant_new_variant(g_variant_new_boolean(TRUE)),
                     g_variant_new_variant(g_variant_new_boolean(TRUE))};
  logind_->emit_signal(kManager, kPrepareForSleep, "bb",
                       g_variant_new_array(G_VARIANT_TYPE_VARIANT, two, 2));

  // Everything above was on the bus before this one; only this one counts.
  logind_->emit_signal(kManager, kPrepareForSleep, "b", boolean_args(FALSE));
  EXPECT_EQ(wait_for_sent(1), std::vector<std::string>{"systemDidWake"});
  run_for(200);
  EXPECT_EQ(app_->sent_methods(), std::vector<std::string>{"systemDidWake"});
  EXPECT_EQ(log.count(static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING |
                                                  G_LOG_LEVEL_CRITICAL)),
            0u);
}

TEST_F(SleepNotificationsTest, NothingIsSentWithoutTheChannel) {
  MyApplication* application = app_->application();
  g_clear_object(&application->system_keep_alive_channel);
  g_autoptr(GVariant) body = g_variant_ref_sink(g_variant_new("(b)", TRUE));
  LogCapture log;
  prepare_for_sleep_cb(nullptr, "org.freedesktop.login1",
                       "/org/freedesktop/login1", kManager, kPrepareForSleep,
                       body, application);
  EXPECT_EQ(app_->sent_methods(), std::vector<std::string>{});
  EXPECT_EQ(log.count(G_LOG_LEVEL_CRITICAL), 0u);
}

}  // namespace
