// Stand-in for the application's chart plugin: registration opens its channel,
// whose calls are all answered as not implemented.
#include "tarn_glass_chart/tarn_glass_chart_plugin.h"

#include "common/stand_in_channel.h"

void tarn_glass_chart_plugin_register_with_registrar(
    FlPluginRegistrar* registrar) {
  open_stand_in_channel(registrar, "tarn_glass/chart");
}
