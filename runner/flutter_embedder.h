// The Flutter Linux embedder: project, view, engine messenger, method
// channels, codec and values. The shell builds against the real embedder or
// against the development engine, which offers the same API.
#ifndef RUNNER_FLUTTER_EMBEDDER_H_
#define RUNNER_FLUTTER_EMBEDDER_H_

#include <flutter_linux/flutter_linux.h>

#endif  // RUNNER_FLUTTER_EMBEDDER_H_
