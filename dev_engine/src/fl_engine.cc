// FlEngine: owns the messenger and the project; the first engine of the
// process opens the control socket.
#include "fl_dev_private.h"

struct _FlEngine {
  GObject parent_instance;
  FlDartProject* project;
  FlBinaryMessenger* messenger;
  // Plugin names asked of the registries of this engine's views, in order.
  FlValue* registrar_names;
};

G_DEFINE_TYPE(FlEngine, fl_engine, G_TYPE_OBJECT)

static void fl_engine_dispose(GObject* object) {
  FlEngine* self = FL_ENGINE(object);
  g_clear_object(&self->project);
  if (self->messenger != nullptr) {
    // Calls still waiting for Dart hold their channels, and so the messenger.
    fl_dev_dart_side_shutdown(fl_dev_messenger_get_dart_side(self->messenger));
  }
  g_clear_object(&self->messenger);
  g_clear_pointer(&self->registrar_names, fl_value_unref);
  G_OBJECT_CLASS(fl_engine_parent_class)->dispose(object);
}

static void fl_engine_class_init(FlEngineClass* klass) {
  G_OBJECT_CLASS(klass)->dispose = fl_engine_dispose;
}

static void fl_engine_init(FlEngine* self) {
  self->messenger = fl_dev_messenger_new();
  self->registrar_names = fl_value_new_list();
}

FlEngine* fl_engine_new(FlDartProject* project) {
  g_return_val_if_fail(FL_IS_DART_PROJECT(project), nullptr);
  FlEngine* self = FL_ENGINE(g_object_new(fl_engine_get_type(), nullptr));
  self->project = FL_DART_PROJECT(g_object_ref(project));
  fl_dev_dart_side_listen_later_from_environment(
      fl_dev_messenger_get_dart_side(self->messenger));
  fl_dev_control_socket_start(self);
  return self;
}

FlBinaryMessenger* fl_engine_get_binary_messenger(FlEngine* self) {
  g_return_val_if_fail(FL_IS_ENGINE(self), nullptr);
  return self->messenger;
}

void fl_dev_engine_add_registrar_name(FlEngine* self, const gchar* name) {
  g_return_if_fail(FL_IS_ENGINE(self));
  if (self->registrar_names != nullptr) {
    fl_value_append_take(self->registrar_names, fl_value_new_string(name));
  }
}

FlValue* fl_dev_engine_get_registrar_names(FlEngine* self) {
  g_return_val_if_fail(FL_IS_ENGINE(self), nullptr);
  FlValue* names = fl_value_new_list();
  if (self->registrar_names != nullptr) {
    for (size_t i = 0; i < fl_value_get_length(self->registrar_names); i++) {
      fl_value_append(names, fl_value_get_list_value(self->registrar_names, i));
    }
  }
  return names;
}

gchar** fl_dev_engine_get_entrypoint_arguments(FlEngine* self) {
  g_return_val_if_fail(FL_IS_ENGINE(self), nullptr);
  if (self->project == nullptr) {
    return nullptr;
  }
  return fl_dart_project_get_dart_entrypoint_arguments(self->project);
}
