// Stand-in for the window-frame plugin: the published plugin's public
// interface, its plugin type and registration and the window object through
// which the shell hands a window's frame to it.
#ifndef BITSDOJO_WINDOW_LINUX_BITSDOJO_WINDOW_PLUGIN_H_
#define BITSDOJO_WINDOW_LINUX_BITSDOJO_WINDOW_PLUGIN_H_

#include <flutter_linux/flutter_linux.h>
#include <gtk/gtk.h>

#ifdef FLUTTER_PLUGIN_IMPL
#define FLUTTER_PLUGIN_EXPORT __attribute__((visibility("default")))
#else
#define FLUTTER_PLUGIN_EXPORT
#endif

G_BEGIN_DECLS

G_DECLARE_FINAL_TYPE(FlBitsdojoWindowPlugin,
                     bitsdojo_window_plugin,
                     FL,
                     BITSDOJO_WINDOW_PLUGIN,
                     GObject)

FlBitsdojoWindowPlugin* bitsdojo_window_plugin_new(
    FlPluginRegistrar* registrar);

FLUTTER_PLUGIN_EXPORT void bitsdojo_window_plugin_register_with_registrar(
    FlPluginRegistrar* registrar);

// One object for the process, pointed at the window last given to
// bitsdojo_window_from. With TRUE, that window shows no system title bar and
// its frame is left to the application.
class BitsdojoWindowGtk {
 public:
  virtual void setCustomFrame(gboolean){};
};

// The plugin's object, re-pointed at the window; null for a null window.
__attribute__((visibility("default"))) BitsdojoWindowGtk* bitsdojo_window_from(
    GtkWindow* window);

G_END_DECLS

#endif  // BITSDOJO_WINDOW_LINUX_BITSDOJO_WINDOW_PLUGIN_H_
