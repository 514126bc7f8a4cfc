// The JSON form of values on the control socket: numbers without fraction or
// exponent are ints, others floats; typed lists become arrays. Also the
// nesting check that keeps over-deep text away from the recursive parser.
#include "fl_dev_private.h"

#include <cmath>

namespace {

JsonNode* double_node(double value) {
  // JSON has no NaN or infinity.
  if (!std::isfinite(value)) {
    return json_node_new(JSON_NODE_NULL);
  }
  JsonNode* node = json_node_new(JSON_NODE_VALUE);
  json_node_set_double(node, value);
  return node;
}

JsonNode* int_node(int64_t value) {
  JsonNode* node = json_node_new(JSON_NODE_VALUE);
  json_node_set_int(node, value);
  return node;
}

}  // namespace

JsonNode* fl_dev_value_to_json(FlValue* value) {
  if (value == nullptr) {
    return json_node_new(JSON_NODE_NULL);
  }
  switch (fl_value_get_type(value)) {
    case FL_VALUE_TYPE_NULL:
      return json_node_new(JSON_NODE_NULL);
    case FL_VALUE_TYPE_BOOL: {
      JsonNode* node = json_node_new(JSON_NODE_VALUE);
      json_node_set_boolean(node, fl_value_get_bool(value));
      return node;
    }
    case FL_VALUE_TYPE_INT:
      return int_node(fl_value_get_int(value));
    case FL_VALUE_TYPE_FLOAT:
      return double_node(fl_value_get_float(value));
    case FL_VALUE_TYPE_STRING: {
      JsonNode* node = json_node_new(JSON_NODE_VALUE);
      json_node_set_string(node, fl_value_get_string(value));
      return node;
    }
    case FL_VALUE_TYPE_UINT8_LIST:
    case FL_VALUE_TYPE_INT32_LIST:
    case FL_VALUE_TYPE_INT64_LIST:
    case FL_VALUE_TYPE_FLOAT_LIST:
    case FL_VALUE_TYPE_FLOAT32_LIST: {
      JsonArray* array = json_array_new();
      const FlValueType type = fl_value_get_type(value);
      for (size_t i = 0; i < fl_value_get_length(value); i++) {
        JsonNode* element = nullptr;
        if (type == FL_VALUE_TYPE_UINT8_LIST) {
          element = int_node(fl_value_get_uint8_list(value)[i]);
        } else if (type == FL_VALUE_TYPE_INT32_LIST) {
          element = int_node(fl_value_get_int32_list(value)[i]);
        } else if (type == FL_VALUE_TYPE_INT64_LIST) {
          element = int_node(fl_value_get_int64_list(value)[i]);
        } else if (type == FL_VALUE_TYPE_FLOAT32_LIST) {
          element = double_node(fl_value_get_float32_list(value)[i]);
        } else {
          element = double_node(fl_value_get_float_list(value)[i]);
        }
        json_array_add_element(array, element);
      }
      JsonNode* node = json_node_new(JSON_NODE_ARRAY);
      json_node_take_array(node, array);
      return node;
    }
    case FL_VALUE_TYPE_LIST: {
      JsonArray* array = json_array_new();
      for (size_t i = 0; i < fl_value_get_length(value); i++) {
        json_array_add_element(
            array, fl_dev_value_to_json(fl_value_get_list_value(value, i)));
      }
      JsonNode* node = json_node_new(JSON_NODE_ARRAY);
      json_node_take_array(node, array);
      return node;
    }
    case FL_VALUE_TYPE_MAP: {
      JsonObject* object = json_object_new();
      for (size_t i = 0; i < fl_value_get_length(value); i++) {
        FlValue* key = fl_value_get_map_key(value, i);
        // JSON keys are strings; other keys are written as their text.
        g_autofree gchar* key_text =
            fl_value_get_type(key) == FL_VALUE_TYPE_STRING
                ? g_strdup(fl_value_get_string(key))
                : fl_value_to_string(key);
        json_object_set_member(
            object, key_text,
            fl_dev_value_to_json(fl_value_get_map_value(value, i)));
      }
      JsonNode* node = json_node_new(JSON_NODE_OBJECT);
      json_node_take_object(node, object);
      return node;
    }
  }
  return json_node_new(JSON_NODE_NULL);
}

FlValue* fl_dev_value_from_json(JsonNode* node) {
  if (node == nullptr) {
    return fl_value_new_null();
  }
  switch (json_node_get_node_type(node)) {
    case JSON_NODE_NULL:
      return fl_value_new_null();
    case JSON_NODE_VALUE: {
      const GType type = json_node_get_value_type(node);
      if (type == G_TYPE_BOOLEAN) {
        return fl_value_new_bool(json_node_get_boolean(node));
      }
      if (type == G_TYPE_INT64) {
        return fl_value_new_int(json_node_get_int(node));
      }
      if (type == G_TYPE_DOUBLE) {
        return fl_value_new_float(json_node_get_double(node));
      }
      if (type == G_TYPE_STRING) {
        return fl_value_new_string(json_node_get_string(node));
      }
      return fl_value_new_null();
    }
    case JSON_NODE_ARRAY: {
      JsonArray* array = json_node_get_array(node);
      FlValue* list = fl_value_new_list();
      for (guint i = 0; i < json_array_get_length(array); i++) {
        fl_value_append_take(
            list, fl_dev_value_from_json(json_array_get_element(array, i)));
      }
      return list;
    }
    case JSON_NODE_OBJECT: {
      JsonObject* object = json_node_get_object(node);
      FlValue* map = fl_value_new_map();
      // Members in the order they were written.
      JsonObjectIter iter;
      json_object_iter_init_ordered(&iter, object);
      const gchar* member_name = nullptr;
      JsonNode* member_node = nullptr;
      while (json_object_iter_next_ordered(&iter, &member_name, &member_node)) {
        fl_value_set_string_take(map, member_name,
                                 fl_dev_value_from_json(member_node));
      }
      return map;
    }
  }
  return fl_value_new_null();
}

gboolean fl_dev_json_nesting_within(const gchar* text,
                                    gsize length,
                                    guint max_depth) {
  // json-glib's parser, the conversion to values and their release all
  // recurse once per level, so the raw text is checked first. Brackets
  // inside strings are text; malformed text is left to the parser.
  guint depth = 0;
  gboolean in_string = FALSE;
  for (gsize i = 0; i < length; i++) {
    const gchar c = text[i];
    if (in_string) {
      if (c == '\\') {
        i++;
      } else if (c == '"') {
        in_string = FALSE;
      }
    } else if (c == '"') {
      in_string = TRUE;
    } else if (c == '[' || c == '{') {
      if (++depth > max_depth) {
        return FALSE;
      }
    } else if ((c == ']' || c == '}') && depth > 0) {
      depth--;
    }
  }
  return TRUE;
}
