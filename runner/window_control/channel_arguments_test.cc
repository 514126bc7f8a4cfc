// Tests of the readers of method-call arguments.
#include "runner/window_control/channel_arguments.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace {

TEST(ChannelArgumentsTest, ReadersTakeOnlyEntriesOfTheirType) {
  LogCapture log(
      static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING));
  g_autoptr(FlValue) args = fl_value_new_map();
  fl_value_set_string_take(args, "id",
                           fl_value_new_int(G_GINT64_CONSTANT(1) << 40));
  fl_value_set_string_take(args, "negative", fl_value_new_int(-7));
  fl_value_set_string_take(args, "flag", fl_value_new_bool(false));
  fl_value_set_string_take(args, "text", fl_value_new_string("12"));
  fl_value_set_string_take(args, "float", fl_value_new_float(3.0));
  fl_value_set_string_take(args, "null", fl_value_new_null());

  EXPECT_EQ(read_int_argument(args, "id", -1), G_GINT64_CONSTANT(1) << 40);
  EXPECT_EQ(read_int_argument(args, "negative", -1), -7);
  EXPECT_FALSE(read_bool_argument(args, "flag", true));
  EXPECT_EQ(read_int_argument(args, "missing", -1), -1);
  EXPECT_TRUE(read_bool_argument(args, "showSystemTitleBar", true));
  EXPECT_EQ(read_int_argument(nullptr, "id", -1), -1);

  // Wrong types count as missing.
  EXPECT_EQ(read_int_argument(args, "text", -1), -1);
  EXPECT_EQ(read_int_argument(args, "float", -1), -1);
  EXPECT_EQ(read_int_argument(args, "null", -1), -1);
  EXPECT_EQ(read_int_argument(args, "flag", -1), -1);
  EXPECT_TRUE(read_bool_argument(args, "id", true));
  EXPECT_TRUE(read_bool_argument(args, "text", true));

  // Arguments that are not a map count as no map.
  g_autoptr(FlValue) not_a_map = fl_value_new_int(5);
  g_autoptr(FlValue) list = fl_value_new_list();
  g_autoptr(FlValue) null_value = fl_value_new_null();
  EXPECT_EQ(read_int_argument(not_a_map, "id", -1), -1);
  EXPECT_EQ(read_int_argument(list, "id", -1), -1);
  EXPECT_FALSE(read_bool_argument(null_value, "flag", false));

  EXPECT_EQ(log.count(static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL |
                                                  G_LOG_LEVEL_WARNING)),
            0u);
}

}  // namespace
