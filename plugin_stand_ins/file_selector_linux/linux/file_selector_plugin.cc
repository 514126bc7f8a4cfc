// Stand-in for the file-selector plugin: registration opens its channel, whose
// calls are all answered as not implemented.
#include "file_selector_linux/file_selector_plugin.h"

#include "common/stand_in_channel.h"

void file_selector_plugin_register_with_registrar(
    FlPluginRegistrar* registrar) {
  open_stand_in_channel(registrar, "plugins.flutter.io/file_selector");
}
