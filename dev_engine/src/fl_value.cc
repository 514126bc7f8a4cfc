// FlValue: a tagged, reference-counted value; maps keep insertion order.
#include <flutter_linux/flutter_linux.h>

#include <cinttypes>
#include <cstring>

struct _FlValue {
  FlValueType type;
  gint ref_count;
  union {
    bool bool_value;
    int64_t int_value;
    double float_value;
  };
  gchar* string_value;  // strings
  GBytes* data;         // typed lists
  size_t length;        // element count of typed lists
  GPtrArray* values;    // lists and map values (owned FlValue*)
  GPtrArray* keys;      // map keys (owned FlValue*)
};

namespace {

FlValue* value_new(FlValueType type) {
  FlValue* self = g_new0(FlValue, 1);
  self->type = type;
  self->ref_count = 1;
  return self;
}

FlValue* typed_list_new(FlValueType type,
                        const void* data,
                        size_t length,
                        size_t element_size) {
  FlValue* self = value_new(type);
  self->data = g_bytes_new(data, length * element_size);
  self->length = length;
  return self;
}

void value_unref_cb(gpointer value) {
  fl_value_unref(static_cast<FlValue*>(value));
}

bool is_typed_list(FlValueType type) {
  return type == FL_VALUE_TYPE_UINT8_LIST || type == FL_VALUE_TYPE_INT32_LIST ||
         type == FL_VALUE_TYPE_INT64_LIST || type == FL_VALUE_TYPE_FLOAT_LIST ||
         type == FL_VALUE_TYPE_FLOAT32_LIST;
}

void append_to_string(FlValue* value, GString* out) {
  switch (value->type) {
    case FL_VALUE_TYPE_NULL:
      g_string_append(out, "null");
      return;
    case FL_VALUE_TYPE_BOOL:
      g_string_append(out, value->bool_value ? "true" : "false");
      return;
    case FL_VALUE_TYPE_INT:
      g_string_append_printf(out, "%" PRId64, value->int_value);
      return;
    case FL_VALUE_TYPE_FLOAT: {
      gchar buffer[G_ASCII_DTOSTR_BUF_SIZE];
      g_string_append(
          out, g_ascii_dtostr(buffer, sizeof(buffer), value->float_value));
      return;
    }
    case FL_VALUE_TYPE_STRING:
      g_string_append(out, value->string_value);
      return;
    case FL_VALUE_TYPE_UINT8_LIST:
    case FL_VALUE_TYPE_INT32_LIST:
    case FL_VALUE_TYPE_INT64_LIST:
    case FL_VALUE_TYPE_FLOAT_LIST:
    case FL_VALUE_TYPE_FLOAT32_LIST: {
      g_string_append_c(out, '[');
      const void* data = g_bytes_get_data(value->data, nullptr);
      for (size_t i = 0; i < value->length; i++) {
        if (i > 0) {
          g_string_append(out, ", ");
        }
        gchar buffer[G_ASCII_DTOSTR_BUF_SIZE];
        switch (value->type) {
          case FL_VALUE_TYPE_UINT8_LIST:
            g_string_append_printf(out, "%d",
                                   static_cast<const uint8_t*>(data)[i]);
            break;
          case FL_VALUE_TYPE_INT32_LIST:
            g_string_append_printf(out, "%" PRId32,
                                   static_cast<const int32_t*>(data)[i]);
            break;
          case FL_VALUE_TYPE_INT64_LIST:
            g_string_append_printf(out, "%" PRId64,
                                   static_cast<const int64_t*>(data)[i]);
            break;
          case FL_VALUE_TYPE_FLOAT32_LIST:
            g_string_append(out,
                            g_ascii_dtostr(buffer, sizeof(buffer),
                                           static_cast<const float*>(data)[i]));
            break;
          default:
            g_string_append(
                out, g_ascii_dtostr(buffer, sizeof(buffer),
                                    static_cast<const double*>(data)[i]));
            break;
        }
      }
      g_string_append_c(out, ']');
      return;
    }
    case FL_VALUE_TYPE_LIST:
      g_string_append_c(out, '[');
      for (guint i = 0; i < value->values->len; i++) {
        if (i > 0) {
          g_string_append(out, ", ");
        }
        append_to_string(static_cast<FlValue*>(value->values->pdata[i]), out);
      }
      g_string_append_c(out, ']');
      return;
    case FL_VALUE_TYPE_MAP:
      g_string_append_c(out, '{');
      for (guint i = 0; i < value->values->len; i++) {
        if (i > 0) {
          g_string_append(out, ", ");
        }
        append_to_string(static_cast<FlValue*>(value->keys->pdata[i]), out);
        g_string_append(out, ": ");
        append_to_string(static_cast<FlValue*>(value->values->pdata[i]), out);
      }
      g_string_append_c(out, '}');
      return;
  }
}

}  // namespace

FlValue* fl_value_new_null() {
  return value_new(FL_VALUE_TYPE_NULL);
}

FlValue* fl_value_new_bool(bool value) {
  FlValue* self = value_new(FL_VALUE_TYPE_BOOL);
  self->bool_value = value;
  return self;
}

FlValue* fl_value_new_int(int64_t value) {
  FlValue* self = value_new(FL_VALUE_TYPE_INT);
  self->int_value = value;
  return self;
}

FlValue* fl_value_new_float(double value) {
  FlValue* self = value_new(FL_VALUE_TYPE_FLOAT);
  self->float_value = value;
  return self;
}

FlValue* fl_value_new_string(const gchar* value) {
  return fl_value_new_string_sized(value, value != nullptr ? strlen(value) : 0);
}

FlValue* fl_value_new_string_sized(const gchar* value, size_t value_length) {
  FlValue* self = value_new(FL_VALUE_TYPE_STRING);
  self->string_value =
      value_length == 0 ? g_strdup("") : g_strndup(value, value_length);
  return self;
}

FlValue* fl_value_new_uint8_list(const uint8_t* value, size_t value_length) {
  return typed_list_new(FL_VALUE_TYPE_UINT8_LIST, value, value_length,
                        sizeof(uint8_t));
}

FlValue* fl_value_new_int32_list(const int32_t* value, size_t value_length) {
  return typed_list_new(FL_VALUE_TYPE_INT32_LIST, value, value_length,
                        sizeof(int32_t));
}

FlValue* fl_value_new_int64_list(const int64_t* value, size_t value_length) {
  return typed_list_new(FL_VALUE_TYPE_INT64_LIST, value, value_length,
                        sizeof(int64_t));
}

FlValue* fl_value_new_float32_list(const float* value, size_t value_length) {
  return typed_list_new(FL_VALUE_TYPE_FLOAT32_LIST, value, value_length,
                        sizeof(float));
}

FlValue* fl_value_new_float_list(const double* value, size_t value_length) {
  return typed_list_new(FL_VALUE_TYPE_FLOAT_LIST, value, value_length,
                        sizeof(double));
}

FlValue* fl_value_new_list() {
  FlValue* self = value_new(FL_VALUE_TYPE_LIST);
  self->values = g_ptr_array_new_with_free_func(value_unref_cb);
  return self;
}

FlValue* fl_value_new_map() {
  FlValue* self = value_new(FL_VALUE_TYPE_MAP);
  self->keys = g_ptr_array_new_with_free_func(value_unref_cb);
  self->values = g_ptr_array_new_with_free_func(value_unref_cb);
  return self;
}

FlValue* fl_value_ref(FlValue* self) {
  g_return_val_if_fail(self != nullptr, nullptr);
  g_atomic_int_inc(&self->ref_count);
  return self;
}

void fl_value_unref(FlValue* self) {
  g_return_if_fail(self != nullptr);
  g_return_if_fail(self->ref_count > 0);
  if (!g_atomic_int_dec_and_test(&self->ref_count)) {
    return;
  }
  g_free(self->string_value);
  g_clear_pointer(&self->data, g_bytes_unref);
  g_clear_pointer(&self->values, g_ptr_array_unref);
  g_clear_pointer(&self->keys, g_ptr_array_unref);
  g_free(self);
}

FlValueType fl_value_get_type(FlValue* self) {
  g_return_val_if_fail(self != nullptr, FL_VALUE_TYPE_NULL);
  return self->type;
}

bool fl_value_equal(FlValue* a, FlValue* b) {
  g_return_val_if_fail(a != nullptr, false);
  g_return_val_if_fail(b != nullptr, false);
  if (a->type != b->type) {
    return false;
  }
  switch (a->type) {
    case FL_VALUE_TYPE_NULL:
      return true;
    case FL_VALUE_TYPE_BOOL:
      return a->bool_value == b->bool_value;
    case FL_VALUE_TYPE_INT:
      return a->int_value == b->int_value;
    case FL_VALUE_TYPE_FLOAT:
      return a->float_value == b->float_value;
    case FL_VALUE_TYPE_STRING:
      return g_strcmp0(a->string_value, b->string_value) == 0;
    case FL_VALUE_TYPE_UINT8_LIST:
    case FL_VALUE_TYPE_INT32_LIST:
    case FL_VALUE_TYPE_INT64_LIST:
    case FL_VALUE_TYPE_FLOAT_LIST:
    case FL_VALUE_TYPE_FLOAT32_LIST:
      return g_bytes_equal(a->data, b->data);
    case FL_VALUE_TYPE_LIST:
    case FL_VALUE_TYPE_MAP:
      if (a->values->len != b->values->len) {
        return false;
      }
      for (guint i = 0; i < a->values->len; i++) {
        if (a->type == FL_VALUE_TYPE_MAP) {
          FlValue* b_value =
              fl_value_lookup(b, static_cast<FlValue*>(a->keys->pdata[i]));
          if (b_value == nullptr ||
              !fl_value_equal(static_cast<FlValue*>(a->values->pdata[i]),
                              b_value)) {
            return false;
          }
        } else if (!fl_value_equal(
                       static_cast<FlValue*>(a->values->pdata[i]),
                       static_cast<FlValue*>(b->values->pdata[i]))) {
          return false;
        }
      }
      return true;
  }
  return false;
}

void fl_value_append(FlValue* self, FlValue* child) {
  g_return_if_fail(self != nullptr);
  g_return_if_fail(self->type == FL_VALUE_TYPE_LIST);
  g_return_if_fail(child != nullptr);
  fl_value_append_take(self, fl_value_ref(child));
}

void fl_value_append_take(FlValue* self, FlValue* child) {
  g_return_if_fail(self != nullptr);
  g_return_if_fail(self->type == FL_VALUE_TYPE_LIST);
  g_return_if_fail(child != nullptr);
  g_ptr_array_add(self->values, child);
}

void fl_value_set(FlValue* self, FlValue* key, FlValue* child_value) {
  g_return_if_fail(self != nullptr);
  g_return_if_fail(self->type == FL_VALUE_TYPE_MAP);
  g_return_if_fail(key != nullptr);
  g_return_if_fail(child_value != nullptr);
  fl_value_set_take(self, fl_value_ref(key), fl_value_ref(child_value));
}

void fl_value_set_take(FlValue* self, FlValue* key, FlValue* child_value) {
  g_return_if_fail(self != nullptr);
  g_return_if_fail(self->type == FL_VALUE_TYPE_MAP);
  g_return_if_fail(key != nullptr);
  g_return_if_fail(child_value != nullptr);
  for (guint i = 0; i < self->keys->len; i++) {
    if (fl_value_equal(static_cast<FlValue*>(self->keys->pdata[i]), key)) {
      // An existing key keeps its place; the new entry replaces the old.
      fl_value_unref(static_cast<FlValue*>(self->keys->pdata[i]));
      fl_value_unref(static_cast<FlValue*>(self->values->pdata[i]));
      self->keys->pdata[i] = key;
      self->values->pdata[i] = child_value;
      return;
    }
  }
  g_ptr_array_add(self->keys, key);
  g_ptr_array_add(self->values, child_value);
}

void fl_value_set_string(FlValue* self,
                         const gchar* key,
                         FlValue* child_value) {
  g_return_if_fail(self != nullptr);
  g_return_if_fail(self->type == FL_VALUE_TYPE_MAP);
  g_return_if_fail(key != nullptr);
  g_return_if_fail(child_value != nullptr);
  fl_value_set_take(self, fl_value_new_string(key), fl_value_ref(child_value));
}

void fl_value_set_string_take(FlValue* self,
                              const gchar* key,
                              FlValue* child_value) {
  g_return_if_fail(self != nullptr);
  g_return_if_fail(self->type == FL_VALUE_TYPE_MAP);
  g_return_if_fail(key != nullptr);
  g_return_if_fail(child_value != nullptr);
  fl_value_set_take(self, fl_value_new_string(key), child_value);
}

bool fl_value_get_bool(FlValue* self) {
  g_return_val_if_fail(self != nullptr, false);
  g_return_val_if_fail(self->type == FL_VALUE_TYPE_BOOL, false);
  return self->bool_value;
}

int64_t fl_value_get_int(FlValue* self) {
  g_return_val_if_fail(self != nullptr, 0);
  g_return_val_if_fail(self->type == FL_VALUE_TYPE_INT, 0);
  return self->int_value;
}

double fl_value_get_float(FlValue* self) {
  g_return_val_if_fail(self != nullptr, 0.0);
  g_return_val_if_fail(self->type == FL_VALUE_TYPE_FLOAT, 0.0);
  return self->float_value;
}

const gchar* fl_value_get_string(FlValue* self) {
  g_return_val_if_fail(self != nullptr, nullptr);
  g_return_val_if_fail(self->type == FL_VALUE_TYPE_STRING, nullptr);
  return self->string_value;
}

const uint8_t* fl_value_get_uint8_list(FlValue* self) {
  g_return_val_if_fail(self != nullptr, nullptr);
  g_return_val_if_fail(self->type == FL_VALUE_TYPE_UINT8_LIST, nullptr);
  return static_cast<const uint8_t*>(g_bytes_get_data(self->data, nullptr));
}

const int32_t* fl_value_get_int32_list(FlValue* self) {
  g_return_val_if_fail(self != nullptr, nullptr);
  g_return_val_if_fail(self->type == FL_VALUE_TYPE_INT32_LIST, nullptr);
  return static_cast<const int32_t*>(g_bytes_get_data(self->data, nullptr));
}

const int64_t* fl_value_get_int64_list(FlValue* self) {
  g_return_val_if_fail(self != nullptr, nullptr);
  g_return_val_if_fail(self->type == FL_VALUE_TYPE_INT64_LIST, nullptr);
  return static_cast<const int64_t*>(g_bytes_get_data(self->data, nullptr));
}

const float* fl_value_get_float32_list(FlValue* self) {
  g_return_val_if_fail(self != nullptr, nullptr);
  g_return_val_if_fail(self->type == FL_VALUE_TYPE_FLOAT32_LIST, nullptr);
  return static_cast<const float*>(g_bytes_get_data(self->data, nullptr));
}

const double* fl_value_get_float_list(FlValue* self) {
  g_return_val_if_fail(self != nullptr, nullptr);
  g_return_val_if_fail(self->type == FL_VALUE_TYPE_FLOAT_LIST, nullptr);
  return static_cast<const double*>(g_bytes_get_data(self->data, nullptr));
}

size_t fl_value_get_length(FlValue* self) {
  g_return_val_if_fail(self != nullptr, 0);
  g_return_val_if_fail(is_typed_list(self->type) ||
                           self->type == FL_VALUE_TYPE_LIST ||
                           self->type == FL_VALUE_TYPE_MAP,
                       0);
  if (is_typed_list(self->type)) {
    return self->length;
  }
  return self->values->len;
}

FlValue* fl_value_get_list_value(FlValue* self, size_t index) {
  g_return_val_if_fail(self != nullptr, nullptr);
  g_return_val_if_fail(self->type == FL_VALUE_TYPE_LIST, nullptr);
  g_return_val_if_fail(index < self->values->len, nullptr);
  return static_cast<FlValue*>(self->values->pdata[index]);
}

FlValue* fl_value_get_map_key(FlValue* self, size_t index) {
  g_return_val_if_fail(self != nullptr, nullptr);
  g_return_val_if_fail(self->type == FL_VALUE_TYPE_MAP, nullptr);
  g_return_val_if_fail(index < self->keys->len, nullptr);
  return static_cast<FlValue*>(self->keys->pdata[index]);
}

FlValue* fl_value_get_map_value(FlValue* self, size_t index) {
  g_return_val_if_fail(self != nullptr, nullptr);
  g_return_val_if_fail(self->type == FL_VALUE_TYPE_MAP, nullptr);
  g_return_val_if_fail(index < self->values->len, nullptr);
  return static_cast<FlValue*>(self->values->pdata[index]);
}

FlValue* fl_value_lookup(FlValue* self, FlValue* key) {
  g_return_val_if_fail(self != nullptr, nullptr);
  g_return_val_if_fail(self->type == FL_VALUE_TYPE_MAP, nullptr);
  g_return_val_if_fail(key != nullptr, nullptr);
  for (guint i = 0; i < self->keys->len; i++) {
    if (fl_value_equal(static_cast<FlValue*>(self->keys->pdata[i]), key)) {
      return static_cast<FlValue*>(self->values->pdata[i]);
    }
  }
  return nullptr;
}

FlValue* fl_value_lookup_string(FlValue* self, const gchar* key) {
  g_return_val_if_fail(self != nullptr, nullptr);
  g_return_val_if_fail(self->type == FL_VALUE_TYPE_MAP, nullptr);
  g_return_val_if_fail(key != nullptr, nullptr);
  for (guint i = 0; i < self->keys->len; i++) {
    FlValue* k = static_cast<FlValue*>(self->keys->pdata[i]);
    if (k->type == FL_VALUE_TYPE_STRING && strcmp(k->string_value, key) == 0) {
      return static_cast<FlValue*>(self->values->pdata[i]);
    }
  }
  return nullptr;
}

gchar* fl_value_to_string(FlValue* self) {
  g_return_val_if_fail(self != nullptr, nullptr);
  GString* out = g_string_new(nullptr);
  append_to_string(self, out);
  return g_string_free(out, FALSE);
}
