// Sleep and wake notifications from a real logind mock's "PrepareForSleep".
#include "runner/keep_alive/sleep_notifications.h"

#include <gtest/gtest.h>

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
