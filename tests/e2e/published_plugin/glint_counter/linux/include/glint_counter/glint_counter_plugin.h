// The plugin's registration function, as the app's registrant calls it.
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

G_END_DECLS

#endif  // GLINT_COUNTER_GLINT_COUNTER_PLUGIN_H_
