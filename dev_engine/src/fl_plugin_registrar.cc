// The plugin registrar and registry interfaces, and the registrar a view
// hands out: the engine's messenger and the view.
#include "fl_dev_private.h"

G_DEFINE_INTERFACE(FlPluginRegistrar, fl_plugin_registrar, G_TYPE_OBJECT)

static void fl_plugin_registrar_default_init(
    FlPluginRegistrarInterface* /* iface */) {}

FlBinaryMessenger* fl_plugin_registrar_get_messenger(FlPluginRegistrar* self) {
  g_return_val_if_fail(FL_IS_PLUGIN_REGISTRAR(self), nullptr);
  return FL_PLUGIN_REGISTRAR_GET_IFACE(self)->get_messenger(self);
}

FlView* fl_plugin_registrar_get_view(FlPluginRegistrar* self) {
  g_return_val_if_fail(FL_IS_PLUGIN_REGISTRAR(self), nullptr);
  return FL_PLUGIN_REGISTRAR_GET_IFACE(self)->get_view(self);
}

G_DEFINE_INTERFACE(FlPluginRegistry, fl_plugin_registry, G_TYPE_OBJECT)

static void fl_plugin_registry_default_init(
    FlPluginRegistryInterface* /* iface */) {}

FlPluginRegistrar* fl_plugin_registry_get_registrar_for_plugin(
    FlPluginRegistry* self,
    const gchar* name) {
  g_return_val_if_fail(FL_IS_PLUGIN_REGISTRY(self), nullptr);
  g_return_val_if_fail(name != nullptr, nullptr);
  return FL_PLUGIN_REGISTRY_GET_IFACE(self)->get_registrar_for_plugin(self,
                                                                      name);
}

#define FL_TYPE_DEV_PLUGIN_REGISTRAR fl_dev_plugin_registrar_get_type()
G_DECLARE_FINAL_TYPE(FlDevPluginRegistrar,
                     fl_dev_plugin_registrar,
                     FL,
                     DEV_PLUGIN_REGISTRAR,
                     GObject)

struct _FlDevPluginRegistrar {
  GObject parent_instance;
  FlEngine* engine;
  // Weak: the view owns nothing of its registrars and may go first.
  FlView* view;
};

static void fl_dev_plugin_registrar_iface_init(
    FlPluginRegistrarInterface* iface);

G_DEFINE_TYPE_WITH_CODE(
    FlDevPluginRegistrar,
    fl_dev_plugin_registrar,
    G_TYPE_OBJECT,
    G_IMPLEMENT_INTERFACE(fl_plugin_registrar_get_type(),
                          fl_dev_plugin_registrar_iface_init))

static FlBinaryMessenger* registrar_get_messenger(
    FlPluginRegistrar* registrar) {
  FlDevPluginRegistrar* self = FL_DEV_PLUGIN_REGISTRAR(registrar);
  return fl_engine_get_binary_messenger(self->engine);
}

static FlView* registrar_get_view(FlPluginRegistrar* registrar) {
  return FL_DEV_PLUGIN_REGISTRAR(registrar)->view;
}

static void fl_dev_plugin_registrar_iface_init(
    FlPluginRegistrarInterface* iface) {
  iface->get_messenger = registrar_get_messenger;
  iface->get_view = registrar_get_view;
}

static void fl_dev_plugin_registrar_dispose(GObject* object) {
  FlDevPluginRegistrar* self = FL_DEV_PLUGIN_REGISTRAR(object);
  if (self->view != nullptr) {
    g_object_remove_weak_pointer(G_OBJECT(self->view),
                                 reinterpret_cast<gpointer*>(&self->view));
    self->view = nullptr;
  }
  g_clear_object(&self->engine);
  G_OBJECT_CLASS(fl_dev_plugin_registrar_parent_class)->dispose(object);
}

static void fl_dev_plugin_registrar_class_init(
    FlDevPluginRegistrarClass* klass) {
  G_OBJECT_CLASS(klass)->dispose = fl_dev_plugin_registrar_dispose;
}

static void fl_dev_plugin_registrar_init(FlDevPluginRegistrar* /* self */) {}

FlPluginRegistrar* fl_dev_plugin_registrar_new(FlView* view, FlEngine* engine) {
  FlDevPluginRegistrar* self = FL_DEV_PLUGIN_REGISTRAR(
      g_object_new(FL_TYPE_DEV_PLUGIN_REGISTRAR, nullptr));
  self->engine = FL_ENGINE(g_object_ref(engine));
  self->view = view;
  g_object_add_weak_pointer(G_OBJECT(view),
                            reinterpret_cast<gpointer*>(&self->view));
  return FL_PLUGIN_REGISTRAR(self);
}
