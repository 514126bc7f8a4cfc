// FlValue semantics and the JSON form values take on the control socket.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "src/fl_dev_private.h"
#include "tests/dev_test_util.h"

namespace {

std::string to_json_text(FlValue* value) {
  g_autoptr(JsonNode) node = fl_dev_value_to_json(value);
  g_autoptr(JsonGenerator) generator = json_generator_new();
  json_generator_set_root(generator, node);
  g_autofree gchar* text = json_generator_to_data(generator, nullptr);
  return text;
}

FlValue* from_json_text(const char* text) {
  g_autoptr(JsonParser) parser = json_parser_new();
  EXPECT_TRUE(json_parser_load_from_data(parser, text, -1, nullptr));
  return fl_dev_value_from_json(json_parser_get_root(parser));
}

}  // namespace

TEST(DevEngineValueTest, MapKeepsInsertionOrderAndReplacesInPlace) {
  g_autoptr(FlValue) map = fl_value_new_map();
  fl_value_set_string_take(map, "b", fl_value_new_int(1));
  fl_value_set_string_take(map, "a", fl_value_new_int(2));
  fl_value_set_take(map, fl_value_new_int(7), fl_value_new_string("seven"));
  fl_value_set_string_take(map, "b", fl_value_new_int(3));

  ASSERT_EQ(fl_value_get_length(map), 3u);
  EXPECT_STREQ(fl_value_get_string(fl_value_get_map_key(map, 0)), "b");
  EXPECT_EQ(fl_value_get_int(fl_value_get_map_value(map, 0)), 3);
  EXPECT_STREQ(fl_value_get_string(fl_value_get_map_key(map, 1)), "a");
  EXPECT_EQ(fl_value_get_int(fl_value_lookup_string(map, "a")), 2);
  g_autoptr(FlValue) seven = fl_value_new_int(7);
  EXPECT_STREQ(fl_value_get_string(fl_value_lookup(map, seven)), "seven");
  EXPECT_EQ(fl_value_lookup_string(map, "missing"), nullptr);

  // Maps compare by content, whatever the order.
  g_autoptr(FlValue) other = fl_value_new_map();
  fl_value_set_take(other, fl_value_new_int(7), fl_value_new_string("seven"));
  fl_value_set_string_take(other, "a", fl_value_new_int(2));
  fl_value_set_string_take(other, "b", fl_value_new_int(3));
  EXPECT_TRUE(fl_value_equal(map, other));
}

TEST(DevEngineValueTest, WrongTypeAccessLogsCriticalAndReturnsZero) {
  g_autoptr(FlValue) text = fl_value_new_string("12");
  g_autoptr(FlValue) number = fl_value_new_int(5);
  g_autoptr(FlValue) list = fl_value_new_list();
  CriticalCounter criticals;
  EXPECT_EQ(fl_value_get_int(text), 0);
  EXPECT_FALSE(fl_value_get_bool(number));
  EXPECT_EQ(fl_value_get_float(number), 0.0);
  EXPECT_EQ(fl_value_get_string(number), nullptr);
  EXPECT_EQ(fl_value_lookup_string(list, "key"), nullptr);
  EXPECT_EQ(fl_value_get_length(number), 0u);
  EXPECT_EQ(criticals.count(), 6);
}

TEST(DevEngineValueTest, JsonNumbersKeepIntOrFloat) {
  g_autoptr(FlValue) value = from_json_text(
      R"({"i": 1, "f": 1.0, "e": 1e3, "neg": -7, "big": 9223372036854775807,
          "n": null, "b": false, "s": "x"})");
  ASSERT_EQ(fl_value_get_type(value), FL_VALUE_TYPE_MAP);
  EXPECT_EQ(fl_value_get_type(fl_value_lookup_string(value, "i")),
            FL_VALUE_TYPE_INT);
  EXPECT_EQ(fl_value_get_type(fl_value_lookup_string(value, "f")),
            FL_VALUE_TYPE_FLOAT);
  EXPECT_EQ(fl_value_get_float(fl_value_lookup_string(value, "e")), 1000.0);
  EXPECT_EQ(fl_value_get_int(fl_value_lookup_string(value, "neg")), -7);
  EXPECT_EQ(fl_value_get_int(fl_value_lookup_string(value, "big")), INT64_MAX);
  EXPECT_EQ(fl_value_get_type(fl_value_lookup_string(value, "n")),
            FL_VALUE_TYPE_NULL);
  EXPECT_FALSE(fl_value_get_bool(fl_value_lookup_string(value, "b")));
  EXPECT_STREQ(fl_value_get_string(fl_value_lookup_string(value, "s")), "x");

  // Floats are written so that they read back as floats.
  g_autoptr(FlValue) two = fl_value_new_float(2.0);
  EXPECT_EQ(to_json_text(two), "2.0");
  g_autoptr(FlValue) int_two = fl_value_new_int(2);
  EXPECT_EQ(to_json_text(int_two), "2");
  g_autoptr(FlValue) nan = fl_value_new_float(NAN);
  EXPECT_EQ(to_json_text(nan), "null");
}

TEST(DevEngineValueTest, NestedValuesRoundTrip) {
  const char* text = R"({"l":[1,[2.5,{"k":[]}],"s",true,null],"m":{"z":{}}})";
  g_autoptr(FlValue) value = from_json_text(text);
  FlValue* inner = fl_value_get_list_value(
      fl_value_get_list_value(fl_value_lookup_string(value, "l"), 1), 1);
  ASSERT_EQ(fl_value_get_type(inner), FL_VALUE_TYPE_MAP);
  EXPECT_EQ(fl_value_get_length(fl_value_lookup_string(inner, "k")), 0u);
  EXPECT_EQ(to_json_text(value), text);

  // Typed lists and non-string keys take the nearest JSON form.
  const int32_t ints[] = {1, -2};
  const double doubles[] = {0.5, 3.0};
  g_autoptr(FlValue) typed = fl_value_new_map();
  fl_value_set_take(typed, fl_value_new_int(4),
                    fl_value_new_int32_list(ints, 2));
  fl_value_set_string_take(typed, "d", fl_value_new_float_list(doubles, 2));
  EXPECT_EQ(to_json_text(typed), R"({"4":[1,-2],"d":[0.5,3.0]})");
}
