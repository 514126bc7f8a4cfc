// Stand-in for the secure-storage plugin: its registration function.
#ifndef FLUTTER_SECURE_STORAGE_LINUX_FLUTTER_SECURE_STORAGE_LINUX_PLUGIN_H_
#define FLUTTER_SECURE_STORAGE_LINUX_FLUTTER_SECURE_STORAGE_LINUX_PLUGIN_H_

#include <flutter_linux/flutter_linux.h>

#ifdef FLUTTER_PLUGIN_IMPL
#define FLUTTER_PLUGIN_EXPORT __attribute__((visibility("default")))
#else
#define FLUTTER_PLUGIN_EXPORT
#endif

G_BEGIN_DECLS

FLUTTER_PLUGIN_EXPORT void
flutter_secure_storage_linux_plugin_register_with_registrar(
    FlPluginRegistrar* registrar);

G_END_DECLS

#endif  // FLUTTER_SECURE_STORAGE_LINUX_FLUTTER_SECURE_STORAGE_LINUX_PLUGIN_H_
