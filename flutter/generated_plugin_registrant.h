// Registers the application's plugins with the main view.
#ifndef FLUTTER_GENERATED_PLUGIN_REGISTRANT_H_
#define FLUTTER_GENERATED_PLUGIN_REGISTRANT_H_

#include <flutter_linux/flutter_linux.h>

void fl_register_plugins(FlPluginRegistry* registry);

#endif  // FLUTTER_GENERATED_PLUGIN_REGISTRANT_H_
