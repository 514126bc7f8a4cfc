// Registers the four plugins with the main view's registry, in order.
#include "flutter/generated_plugin_registrant.h"

#include <bitsdojo_window_linux/bitsdojo_window_plugin.h>
#include <file_selector_linux/file_selector_plugin.h>
#include <flutter_secure_storage_linux/flutter_secure_storage_linux_plugin.h>
#include <tarn_glass_chart/tarn_glass_chart_plugin.h>

void fl_register_plugins(FlPluginRegistry* registry) {
  // Each registrar is held until all four are registered; the automatic
  // cleanup drops them in reverse order.
  g_autoptr(FlPluginRegistrar) bitsdojo_window_linux_registrar =
      fl_plugin_registry_get_registrar_for_plugin(registry,
                                                  "BitsdojoWindowPlugin");
  bitsdojo_window_plugin_register_with_registrar(
      bitsdojo_window_linux_registrar);
  g_autoptr(FlPluginRegistrar) file_selector_linux_registrar =
      fl_plugin_registry_get_registrar_for_plugin(registry,
                                                  "FileSelectorPlugin");
  file_selector_plugin_register_with_registrar(file_selector_linux_registrar);
  g_autoptr(FlPluginRegistrar) flutter_secure_storage_linux_registrar =
      fl_plugin_registry_get_registrar_for_plugin(
          registry, "FlutterSecureStorageLinuxPlugin");
  flutter_secure_storage_linux_plugin_register_with_registrar(
      flutter_secure_storage_linux_registrar);
  g_autoptr(FlPluginRegistrar) tarn_glass_chart_registrar =
      fl_plugin_registry_get_registrar_for_plugin(registry,
                                                  "TarnGlassChartPlugin");
  tarn_glass_chart_plugin_register_with_registrar(tarn_glass_chart_registrar);
}
