// The command line of every launch, and the deep-link channel that carries a
// later launch's deep link to Dart.
#ifndef RUNNER_COMMAND_LINE_H_
#define RUNNER_COMMAND_LINE_H_

#include <gio/gio.h>

#include "runner/flutter_embedder.h"

inline constexpr char kDeepLinkChannelName[] = "ferrow-dadira/deep_link";
inline constexpr char kDeepLinkOpenUrlMethod[] = "openUrl";
// Links the engine holds for Dart until it listens: more than any burst of
// launches during its start-up.
inline constexpr int64_t kDeepLinkChannelBufferSize = 128;

// Whether the argument begins with one of the deep-link prefixes, compared
// byte for byte.
bool is_deep_link(const char* argument);

// Hands a deep link to Dart, without waiting for a reply.
void send_deep_link(FlMethodChannel* channel, const char* link);

int my_application_command_line(GApplication* application,
                                GApplicationCommandLine* command_line);

#endif  // RUNNER_COMMAND_LINE_H_
