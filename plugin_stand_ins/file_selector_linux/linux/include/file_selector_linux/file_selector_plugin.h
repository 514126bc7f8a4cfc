// Stand-in for the file-selector plugin: its registration function.
#ifndef FILE_SELECTOR_LINUX_FILE_SELECTOR_PLUGIN_H_
#define FILE_SELECTOR_LINUX_FILE_SELECTOR_PLUGIN_H_

#include <flutter_linux/flutter_linux.h>

#ifdef FLUTTER_PLUGIN_IMPL
#define FLUTTER_PLUGIN_EXPORT __attribute__((visibility("default")))
#else
#define FLUTTER_PLUGIN_EXPORT
#endif

G_BEGIN_DECLS

FLUTTER_PLUGIN_EXPORT void file_selector_plugin_register_with_registrar(
    FlPluginRegistrar* registrar);

G_END_DECLS

#endif  // FILE_SELECTOR_LINUX_FILE_SELECTOR_PLUGIN_H_
