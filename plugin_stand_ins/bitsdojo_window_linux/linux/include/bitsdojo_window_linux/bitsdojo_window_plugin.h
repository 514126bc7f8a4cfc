// Stand-in for the window-frame plugin: its registration function and the
// per-window object through which the shell hands a window's frame to it.
#ifndef BITSDOJO_WINDOW_LINUX_BITSDOJO_WINDOW_PLUGIN_H_
#define BITSDOJO_WINDOW_LINUX_BITSDOJO_WINDOW_PLUGIN_H_

#include <flutter_linux/flutter_linux.h>
#include <gtk/gtk.h>

#ifdef FLUTTER_PLUGIN_IMPL
#define FLUTTER_PLUGIN_EXPORT __attribute__((visibility("default")))
#else
#define FLUTTER_PLUGIN_EXPORT
#endif

// The plugin's object for one window. Only the first operation is part of
// the contract with the shell.
class BitsdojoWindow {
 public:
  // With true, the window shows no system title bar and its frame is left
  // to the application.
  virtual void setCustomFrame(bool value) = 0;
  virtual GtkWindow* getWindow() = 0;

 protected:
  ~BitsdojoWindow() = default;
};

G_BEGIN_DECLS

FLUTTER_PLUGIN_EXPORT void bitsdojo_window_plugin_register_with_registrar(
    FlPluginRegistrar* registrar);

// The plugin's object for the window, owned by the plugin; null for a null
// window.
FLUTTER_PLUGIN_EXPORT BitsdojoWindow* bitsdojo_window_from(GtkWindow* window);

G_END_DECLS

#endif  // BITSDOJO_WINDOW_LINUX_BITSDOJO_WINDOW_PLUGIN_H_
