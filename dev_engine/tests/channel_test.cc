// Method channels over the development engine's messenger: dispatch from the
// Dart side, the four kinds of reply, and calls the shell sends to Dart.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "src/fl_dev_private.h"
#include "tests/dev_test_util.h"

namespace {

constexpr char kChannel[] = "test/channel";

class DevEngineChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_autoptr(FlDartProject) project = fl_dart_project_new();
    engine_ = fl_engine_new(project);
    messenger_ = fl_engine_get_binary_messenger(engine_);
    g_autoptr(FlStandardMethodCodec) codec = fl_standard_method_codec_new();
    channel_ =
        fl_method_channel_new(messenger_, kChannel, FL_METHOD_CODEC(codec));
  }
  void TearDown() override {
    g_clear_object(&held_call_);
    g_clear_object(&channel_);
    g_clear_object(&engine_);
  }

  // Answers by method name: "success" with the arguments, "notImplemented",
  // "error", "drop" (no answer), "hold" (keeps the call), "twice".
  static void handler_cb(FlMethodChannel*,
                         FlMethodCall* call,
                         gpointer user_data) {
    auto* self = static_cast<DevEngineChannelTest*>(user_data);
    const std::string name = fl_method_call_get_name(call);
    FlValue* args = fl_method_call_get_args(call);
    self->last_args_type_ = fl_value_get_type(args);
    if (name == "success") {
      EXPECT_TRUE(fl_method_call_respond_success(call, args, nullptr));
    } else if (name == "notImplemented") {
      EXPECT_TRUE(fl_method_call_respond_not_implemented(call, nullptr));
    } else if (name == "error") {
      EXPECT_TRUE(
          fl_method_call_respond_error(call, "E1", "broken", args, nullptr));
    } else if (name == "hold") {
      self->held_call_ = FL_METHOD_CALL(g_object_ref(call));
    } else if (name == "twice") {
      g_autoptr(FlValue) first = fl_value_new_int(1);
      EXPECT_TRUE(fl_method_call_respond_success(call, first, nullptr));
      g_autoptr(FlValue) second = fl_value_new_int(2);
      g_autoptr(GError) error = nullptr;
      EXPECT_FALSE(fl_method_call_respond_success(call, second, &error));
      EXPECT_TRUE(g_error_matches(error, FL_BINARY_MESSENGER_ERROR,
                                  FL_BINARY_MESSENGER_ERROR_ALREADY_RESPONDED));
    }
  }

  void install_handler() {
    fl_method_channel_set_method_call_handler(channel_, handler_cb, this,
                                              nullptr);
  }

  FlMethodResponse* invoke(const char* method, FlValue* args) {
    return fl_dev_messenger_invoke_sync(messenger_, kChannel, method, args);
  }

  FlEngine* engine_ = nullptr;
  FlBinaryMessenger* messenger_ = nullptr;
  FlMethodChannel* channel_ = nullptr;
  FlMethodCall* held_call_ = nullptr;
  FlValueType last_args_type_ = FL_VALUE_TYPE_BOOL;
};

struct Replies {
  int count = 0;
  FlMethodResponse* last = nullptr;
  ~Replies() { g_clear_object(&last); }
};

void record_reply_cb(FlMethodResponse* response, gpointer user_data) {
  auto* replies = static_cast<Replies*>(user_data);
  replies->count++;
  g_clear_object(&replies->last);
  if (response != nullptr) {
    replies->last = FL_METHOD_RESPONSE(g_object_ref(response));
  }
}

}  // namespace

TEST_F(DevEngineChannelTest, EachKindOfReplyReachesTheCaller) {
  install_handler();
  g_autoptr(FlValue) args = fl_value_new_map();
  fl_value_set_string_take(args, "x", fl_value_new_float(1.5));

  g_autoptr(FlMethodResponse) success = invoke("success", args);
  ASSERT_TRUE(FL_IS_METHOD_SUCCESS_RESPONSE(success));
  EXPECT_TRUE(fl_value_equal(fl_method_success_response_get_result(
                                 FL_METHOD_SUCCESS_RESPONSE(success)),
                             args));

  g_autoptr(FlMethodResponse) not_implemented = invoke("notImplemented", args);
  EXPECT_TRUE(FL_IS_METHOD_NOT_IMPLEMENTED_RESPONSE(not_implemented));

  g_autoptr(FlMethodResponse) error = invoke("error", args);
  ASSERT_TRUE(FL_IS_METHOD_ERROR_RESPONSE(error));
  EXPECT_STREQ(
      fl_method_error_response_get_code(FL_METHOD_ERROR_RESPONSE(error)), "E1");
  EXPECT_STREQ(
      fl_method_error_response_get_message(FL_METHOD_ERROR_RESPONSE(error)),
      "broken");
  g_autoptr(GError) result_error = nullptr;
  EXPECT_EQ(fl_method_response_get_result(error, &result_error), nullptr);
  EXPECT_TRUE(g_error_matches(result_error, FL_METHOD_RESPONSE_ERROR,
                              FL_METHOD_RESPONSE_ERROR_REMOTE_ERROR));

  // Dropped without an answer: the caller hears of it once, with null.
  Replies replies;
  EXPECT_TRUE(fl_dev_messenger_invoke(messenger_, kChannel, "drop", args,
                                      record_reply_cb, &replies));
  EXPECT_EQ(replies.count, 1);
  EXPECT_EQ(replies.last, nullptr);
}

TEST_F(DevEngineChannelTest, SecondResponseIsRefusedAndNotSent) {
  install_handler();
  Replies replies;
  ASSERT_TRUE(fl_dev_messenger_invoke(messenger_, kChannel, "twice", nullptr,
                                      record_reply_cb, &replies));
  EXPECT_EQ(replies.count, 1);
  ASSERT_TRUE(FL_IS_METHOD_SUCCESS_RESPONSE(replies.last));
  EXPECT_EQ(fl_value_get_int(fl_method_success_response_get_result(
                FL_METHOD_SUCCESS_RESPONSE(replies.last))),
            1);
}

TEST_F(DevEngineChannelTest, HeldCallAnswersLaterOrOnRelease) {
  install_handler();
  Replies replies;
  ASSERT_TRUE(fl_dev_messenger_invoke(messenger_, kChannel, "hold", nullptr,
                                      record_reply_cb, &replies));
  EXPECT_EQ(replies.count, 0);
  ASSERT_NE(held_call_, nullptr);
  EXPECT_TRUE(fl_method_call_respond_success(held_call_, nullptr, nullptr));
  g_clear_object(&held_call_);
  EXPECT_EQ(replies.count, 1);
  ASSERT_TRUE(FL_IS_METHOD_SUCCESS_RESPONSE(replies.last));
  EXPECT_EQ(fl_value_get_type(fl_method_success_response_get_result(
                FL_METHOD_SUCCESS_RESPONSE(replies.last))),
            FL_VALUE_TYPE_NULL);

  // A synchronous caller that gave up is not written to later.
  g_autoptr(FlMethodResponse) none = invoke("hold", nullptr);
  EXPECT_EQ(none, nullptr);
  EXPECT_TRUE(fl_method_call_respond_not_implemented(held_call_, nullptr));
}

TEST_F(DevEngineChannelTest, CallWithoutArgumentsDeliversNull) {
  install_handler();
  [[maybe_unused]] g_autoptr(FlMethodResponse) response =
      invoke("success", nullptr);
  EXPECT_EQ(last_args_type_, FL_VALUE_TYPE_NULL);
}

TEST_F(DevEngineChannelTest, HandlersAreReplacedClearedAndListedInOrder) {
  EXPECT_FALSE(fl_dev_messenger_invoke(messenger_, kChannel, "success", nullptr,
                                       nullptr, nullptr));

  g_autoptr(FlStandardMethodCodec) codec = fl_standard_method_codec_new();
  g_autoptr(FlMethodChannel) other =
      fl_method_channel_new(messenger_, "test/other", FL_METHOD_CODEC(codec));
  fl_method_channel_set_method_call_handler(other, handler_cb, this, nullptr);
  fl_method_channel_set_method_call_handler(channel_, handler_cb, this,
                                            nullptr);
  // A replaced handler keeps the channel's place.
  fl_method_channel_set_method_call_handler(other, handler_cb, this, nullptr);
  {
    g_autoptr(FlValue) names = fl_dev_messenger_get_channels(messenger_);
    ASSERT_EQ(fl_value_get_length(names), 2u);
    EXPECT_STREQ(fl_value_get_string(fl_value_get_list_value(names, 0)),
                 "test/other");
    EXPECT_STREQ(fl_value_get_string(fl_value_get_list_value(names, 1)),
                 kChannel);
  }

  fl_method_channel_set_method_call_handler(other, nullptr, nullptr, nullptr);
  {
    g_autoptr(FlValue) names = fl_dev_messenger_get_channels(messenger_);
    ASSERT_EQ(fl_value_get_length(names), 1u);
    EXPECT_STREQ(fl_value_get_string(fl_value_get_list_value(names, 0)),
                 kChannel);
  }
  EXPECT_FALSE(fl_dev_messenger_invoke(messenger_, "test/other", "success",
                                       nullptr, nullptr, nullptr));

  // A released channel takes its handler with it.
  g_clear_object(&channel_);
  g_autoptr(FlValue) names = fl_dev_messenger_get_channels(messenger_);
  EXPECT_EQ(fl_value_get_length(names), 0u);
}

TEST_F(DevEngineChannelTest, DestroyNotifyRunsOnReplaceAndRelease) {
  int destroyed = 0;
  auto count_destroy = [](gpointer data) { (*static_cast<int*>(data))++; };
  fl_method_channel_set_method_call_handler(channel_, handler_cb, &destroyed,
                                            count_destroy);
  fl_method_channel_set_method_call_handler(channel_, handler_cb, &destroyed,
                                            count_destroy);
  EXPECT_EQ(destroyed, 1);
  g_clear_object(&channel_);
  EXPECT_EQ(destroyed, 2);
}

namespace {

void invoke_done_cb(GObject* source, GAsyncResult* result, gpointer data) {
  g_autoptr(GError) error = nullptr;
  g_autoptr(FlMethodResponse) response = fl_method_channel_invoke_method_finish(
      FL_METHOD_CHANNEL(source), result, &error);
  EXPECT_TRUE(FL_IS_METHOD_NOT_IMPLEMENTED_RESPONSE(response));
  (*static_cast<int*>(data))++;
}

}  // namespace

TEST_F(DevEngineChannelTest, CallsToDartAreRecordedAndCompleteLater) {
  g_autoptr(FlValue) args = fl_value_new_bool(true);
  fl_method_channel_invoke_method(channel_, "first", args, nullptr, nullptr,
                                  nullptr);
  int completed = 0;
  fl_method_channel_invoke_method(channel_, "second", nullptr, nullptr,
                                  invoke_done_cb, &completed);
  EXPECT_EQ(completed, 0);
  EXPECT_TRUE(pump_until([&] { return completed == 1; }));

  g_autoptr(FlValue) history = fl_dev_messenger_get_history(messenger_);
  ASSERT_EQ(fl_value_get_length(history), 2u);
  FlValue* first = fl_value_get_list_value(history, 0);
  EXPECT_STREQ(fl_value_get_string(fl_value_lookup_string(first, "channel")),
               kChannel);
  EXPECT_STREQ(fl_value_get_string(fl_value_lookup_string(first, "method")),
               "first");
  EXPECT_TRUE(fl_value_get_bool(fl_value_lookup_string(first, "args")));
  FlValue* second = fl_value_get_list_value(history, 1);
  EXPECT_EQ(fl_value_get_type(fl_value_lookup_string(second, "args")),
            FL_VALUE_TYPE_NULL);

  fl_dev_messenger_clear_history(messenger_);
  g_autoptr(FlValue) cleared = fl_dev_messenger_get_history(messenger_);
  EXPECT_EQ(fl_value_get_length(cleared), 0u);
}

namespace {

// Each answer a call to Dart got: "notImplemented", "success:<int>" or
// "error:<message>".
void record_answer_cb(GObject* source, GAsyncResult* result, gpointer data) {
  g_autoptr(GError) error = nullptr;
  g_autoptr(FlMethodResponse) response = fl_method_channel_invoke_method_finish(
      FL_METHOD_CHANNEL(source), result, &error);
  auto* answers = static_cast<std::vector<std::string>*>(data);
  if (response == nullptr) {
    answers->push_back(std::string("error:") + error->message);
  } else if (FL_IS_METHOD_SUCCESS_RESPONSE(response)) {
    answers->push_back(
        "success:" +
        std::to_string(fl_value_get_int(fl_method_success_response_get_result(
            FL_METHOD_SUCCESS_RESPONSE(response)))));
  } else {
    answers->push_back("notImplemented");
  }
}

void keep_warning_cb(const gchar*,
                     GLogLevelFlags,
                     const gchar* message,
                     gpointer data) {
  *static_cast<std::string*>(data) += message;
}

}  // namespace

TEST_F(DevEngineChannelTest, DartListeningLaterBuffersThenHoldsForRespond) {
  fl_dev_messenger_set_dart_listens_later(messenger_);
  std::vector<std::string> answers;
  std::string warnings;
  guint handler = g_log_set_handler(nullptr, G_LOG_LEVEL_WARNING,
                                    keep_warning_cb, &warnings);
  fl_method_channel_invoke_method(channel_, "a", nullptr, nullptr,
                                  record_answer_cb, &answers);
  fl_method_channel_invoke_method(channel_, "b", nullptr, nullptr,
                                  record_answer_cb, &answers);
  g_log_remove_handler(nullptr, handler);
  // The buffer of one lost "a": its sender hears so, later.
  EXPECT_TRUE(answers.empty());
  EXPECT_NE(warnings.find(kChannel), std::string::npos);
  EXPECT_TRUE(pump_until([&] { return answers.size() == 1; }));
  EXPECT_EQ(answers[0], "notImplemented");
  g_autoptr(FlValue) before = fl_dev_messenger_get_history(messenger_);
  EXPECT_EQ(fl_value_get_length(before), 0u);

  fl_dev_messenger_listen(messenger_, kChannel, FL_DEV_DART_REPLY_HELD);
  g_autoptr(FlValue) history = fl_dev_messenger_get_history(messenger_);
  ASSERT_EQ(fl_value_get_length(history), 1u);
  FlValue* delivered = fl_value_get_list_value(history, 0);
  EXPECT_STREQ(fl_value_get_string(fl_value_lookup_string(delivered, "method")),
               "b");
  const int64_t call_id =
      fl_value_get_int(fl_value_lookup_string(delivered, "callId"));
  g_autoptr(FlValue) held =
      fl_dev_messenger_get_held_calls(messenger_, kChannel);
  ASSERT_EQ(fl_value_get_length(held), 1u);
  EXPECT_EQ(fl_value_get_int(fl_value_get_list_value(held, 0)), call_id);

  g_autoptr(FlValue) seven = fl_value_new_int(7);
  g_autoptr(FlMethodResponse) response =
      FL_METHOD_RESPONSE(fl_method_success_response_new(seven));
  EXPECT_TRUE(fl_dev_messenger_respond(messenger_, call_id, response));
  EXPECT_FALSE(fl_dev_messenger_respond(messenger_, call_id, response));
  EXPECT_TRUE(pump_until([&] { return answers.size() == 2; }));
  EXPECT_EQ(answers[1], "success:7");

  // A call still held when the engine goes is answered, not leaked.
  fl_method_channel_invoke_method(channel_, "c", nullptr, nullptr,
                                  record_answer_cb, &answers);
  g_clear_object(&engine_);
  EXPECT_TRUE(pump_until([&] { return answers.size() == 3; }));
  EXPECT_EQ(answers[2].rfind("error:", 0), 0u);
}
