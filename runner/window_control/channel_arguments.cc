// Reading typed entries of a method call's argument map, with defaults.
#include "runner/window_control/channel_arguments.h"

namespace {

// The argument map's entry under `key` when it has the wanted type.
FlValue* lookup_argument(FlValue* args, const char* key, FlValueType type) {
  if (args == nullptr || key == nullptr ||
      fl_value_get_type(args) != FL_VALUE_TYPE_MAP) {
    return nullptr;
  }
  FlValue* value = fl_value_lookup_string(args, key);
  if (value == nullptr || fl_value_get_type(value) != type) {
    return nullptr;
  }
  return value;
}

}  // namespace

gint64 read_int_argument(FlValue* args, const char* key, gint64 default_value) {
  FlValue* value = lookup_argument(args, key, FL_VALUE_TYPE_INT);
  return value == nullptr ? default_value : fl_value_get_int(value);
}

bool read_bool_argument(FlValue* args, const char* key, bool default_value) {
  FlValue* value = lookup_argument(args, key, FL_VALUE_TYPE_BOOL);
  return value == nullptr ? default_value : fl_value_get_bool(value);
}
