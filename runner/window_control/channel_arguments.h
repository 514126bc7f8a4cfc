// Reading the entries of a method call's argument map.
#ifndef RUNNER_WINDOW_CONTROL_CHANNEL_ARGUMENTS_H_
#define RUNNER_WINDOW_CONTROL_CHANNEL_ARGUMENTS_H_

#include "runner/flutter_embedder.h"

// The entry under `key` of an argument map, or the default when there is no
// map, no such entry, or an entry of another type.
gint64 read_int_argument(FlValue* args, const char* key, gint64 default_value);
bool read_bool_argument(FlValue* args, const char* key, bool default_value);

#endif  // RUNNER_WINDOW_CONTROL_CHANNEL_ARGUMENTS_H_
