// Stand-in for the window-frame plugin: registration opens its channel, and
// one process-wide window object takes the title bar off the window it was
// last pointed at.
#include "bitsdojo_window_linux/bitsdojo_window_plugin.h"

#include "bitsdojo_window_stand_in.h"
#include "common/stand_in_channel.h"

struct _FlBitsdojoWindowPlugin {
  GObject parent_instance;
};

G_DEFINE_TYPE(FlBitsdojoWindowPlugin, bitsdojo_window_plugin, G_TYPE_OBJECT)

namespace {

constexpr char kChannelName[] = "bitsdojo/window";

class StandInWindow final : public BitsdojoWindowGtk {
 public:
  // Weak: the object outlives every window it is pointed at.
  void pointAt(GtkWindow* window) { g_set_weak_pointer(&window_, window); }
  GtkWindow* window() const { return window_; }

  void setCustomFrame(gboolean value) override {
    if (window_ != nullptr) {
      gtk_window_set_decorated(window_, value ? FALSE : TRUE);
    }
  }

 private:
  GtkWindow* window_ = nullptr;
};

StandInWindow the_window;

}  // namespace

static void bitsdojo_window_plugin_class_init(
    FlBitsdojoWindowPluginClass* klass) {
  (void)klass;
}

static void bitsdojo_window_plugin_init(FlBitsdojoWindowPlugin* self) {
  (void)self;
}

FlBitsdojoWindowPlugin* bitsdojo_window_plugin_new(
    FlPluginRegistrar* registrar) {
  g_return_val_if_fail(FL_IS_PLUGIN_REGISTRAR(registrar), nullptr);
  // The channel lives with the registrar's view, not with this object.
  open_stand_in_channel(registrar, kChannelName);
  return FL_BITSDOJO_WINDOW_PLUGIN(
      g_object_new(bitsdojo_window_plugin_get_type(), nullptr));
}

void bitsdojo_window_plugin_register_with_registrar(
    FlPluginRegistrar* registrar) {
  FlBitsdojoWindowPlugin* plugin = bitsdojo_window_plugin_new(registrar);
  g_clear_object(&plugin);
}

BitsdojoWindowGtk* bitsdojo_window_from(GtkWindow* window) {
  if (window == nullptr) {
    return nullptr;
  }
  g_return_val_if_fail(GTK_IS_WINDOW(window), nullptr);
  the_window.pointAt(window);
  return &the_window;
}

GtkWindow* bitsdojo_window_stand_in_get_window(void) {
  return the_window.window();
}
