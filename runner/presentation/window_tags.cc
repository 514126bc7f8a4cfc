// Reading and writing window tags.
#include "runner/presentation/window_tags.h"

bool window_tag_is_set(gpointer object, const char* key) {
  return object != nullptr &&
         g_object_get_data(G_OBJECT(object), key) != nullptr;
}

void window_tag_set(gpointer object, const char* key) {
  g_object_set_data(G_OBJECT(object), key, GINT_TO_POINTER(1));
}

void window_tag_clear(gpointer object, const char* key) {
  g_object_set_data(G_OBJECT(object), key, nullptr);
}

gint32 window_tag_get_int(gpointer object, const char* key) {
  return static_cast<gint32>(
      GPOINTER_TO_INT(g_object_get_data(G_OBJECT(object), key)));
}

void window_tag_set_int(gpointer object, const char* key, gint32 value) {
  g_object_set_data(G_OBJECT(object), key, GINT_TO_POINTER(value));
}

guint32 window_tag_get_uint(gpointer object, const char* key) {
  return static_cast<guint32>(
      GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(object), key)));
}

void window_tag_set_uint(gpointer object, const char* key, guint32 value) {
  g_object_set_data(G_OBJECT(object), key, GUINT_TO_POINTER(value));
}
