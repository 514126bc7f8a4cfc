// Stand-in for the secure-storage plugin: registration opens its channel, whose
// calls are all answered as not implemented.
#include "flutter_secure_storage_linux/flutter_secure_storage_linux_plugin.h"

#include "common/stand_in_channel.h"

void flutter_secure_storage_linux_plugin_register_with_registrar(
    FlPluginRegistrar* registrar) {
  open_stand_in_channel(registrar,
                        "plugins.it_nomads.com/flutter_secure_storage");
}
