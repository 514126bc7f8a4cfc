// Stand-in for the window-frame plugin: registration opens its channel, and
// each window gets one frame object that can take the title bar off.
#include "bitsdojo_window_linux/bitsdojo_window_plugin.h"

#include "common/stand_in_channel.h"

namespace {

constexpr char kChannelName[] = "bitsdojo/window";
constexpr char kWindowObjectKey[] = "bitsdojo-window-linux-frame";

class StandInWindow final : public BitsdojoWindow {
 public:
  explicit StandInWindow(GtkWindow* window) : window_(window) {}

  void setCustomFrame(bool value) override {
    gtk_window_set_decorated(window_, value ? FALSE : TRUE);
  }

  // Borrowed: the object lives only as long as its window.
  GtkWindow* getWindow() override { return window_; }

 private:
  GtkWindow* window_;
};

void stand_in_window_free(gpointer data) {
  delete static_cast<StandInWindow*>(data);
}

}  // namespace

void bitsdojo_window_plugin_register_with_registrar(
    FlPluginRegistrar* registrar) {
  open_stand_in_channel(registrar, kChannelName);
}

BitsdojoWindow* bitsdojo_window_from(GtkWindow* window) {
  if (window == nullptr) {
    return nullptr;
  }
  g_return_val_if_fail(GTK_IS_WINDOW(window), nullptr);

  auto* object = static_cast<StandInWindow*>(
      g_object_get_data(G_OBJECT(window), kWindowObjectKey));
  if (object == nullptr) {
    // The window owns the object, so it can never outlive the window.
    object = new StandInWindow(window);
    g_object_set_data_full(G_OBJECT(window), kWindowObjectKey, object,
                           stand_in_window_free);
  }
  return object;
}
