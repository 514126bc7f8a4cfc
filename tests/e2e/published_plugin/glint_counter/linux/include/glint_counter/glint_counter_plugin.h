// The plugin's registration function, as the app's registrant calls it, and
// an inline helper written as plugin headers often are: its parameter unused,
// which the app's settings (-Wall -Werror) allow.
#ifndef GLINT_COUNTER_GLINT_COUNTER_PLUGIN_H_
#define GLINT_COUNTER_GLINT_COUNTER_PLUGIN_H_

#include <flutter_linux/flutter_linux.h>

#ifdef FLUTTER_PLUGIN_IMPL
#define FLUTTER_PLUGIN_EXPORT __attribute__((visibility("default")))
#else
#define FLUTTER_PLUGIN_EXPORT
#endif

G_BEGIN_DECLS

FLUTTER_PLUGIN_EXPORT void glint_counter_plugin_register_with_registrar(
    FlPluginRegistrar* registrar);

static inline const char* glint_counter_plugin_version(
    FlPluginRegistrar* registrar) {
  return "1.0.0";
}

G_END_DECLS

#endif  // GLINT_COUNTER_GLINT_COUNTER_PLUGIN_H_
