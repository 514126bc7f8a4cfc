// Stand-in for the application's chart plugin: its registration function.
#ifndef TARN_GLASS_CHART_TARN_GLASS_CHART_PLUGIN_H_
#define TARN_GLASS_CHART_TARN_GLASS_CHART_PLUGIN_H_

#include <flutter_linux/flutter_linux.h>

#ifdef FLUTTER_PLUGIN_IMPL
#define FLUTTER_PLUGIN_EXPORT __attribute__((visibility("default")))
#else
#define FLUTTER_PLUGIN_EXPORT
#endif

G_BEGIN_DECLS

FLUTTER_PLUGIN_EXPORT void tarn_glass_chart_plugin_register_with_registrar(
    FlPluginRegistrar* registrar);

G_END_DECLS

#endif  // TARN_GLASS_CHART_TARN_GLASS_CHART_PLUGIN_H_
