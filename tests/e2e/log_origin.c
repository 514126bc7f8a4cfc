// Preloaded into the app by the Wayland lane: marks the GLib criticals and
// warnings that project code logged or caused, since a compositor without a
// seat makes GTK log criticals of its own that must not hide them.
//
// A critical or warning counts as the project's when the function that
// logged it, or that function's caller, lies in the bundle (the executable or
// a library beside it). Such a line is preceded by "log-origin: project code"
// and the call stack.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <execinfo.h>
#include <glib.h>
#include <limits.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static char bundle_dir[PATH_MAX];

static void find_bundle_dir(void) {
  char path[PATH_MAX];
  if (bundle_dir[0] != '\0' || realpath("/proc/self/exe", path) == NULL) {
    return;
  }
  char* slash = strrchr(path, '/');
  if (slash != NULL) {
    slash[1] = '\0';
    snprintf(bundle_dir, sizeof bundle_dir, "%s", path);
  }
}

static gboolean in_bundle(void* address) {
  Dl_info info;
  char path[PATH_MAX];
  if (dladdr(address, &info) == 0 || info.dli_fname == NULL ||
      realpath(info.dli_fname, path) == NULL) {
    return FALSE;
  }
  return bundle_dir[0] != '\0' &&
         strncmp(path, bundle_dir, strlen(bundle_dir)) == 0;
}

// Frames: 0 this function, 1 the interposed GLib function, 2 the function
// that logged, 3 its caller.
__attribute__((noinline)) static void mark_if_from_project(void) {
  void* frames[4];
  const int count = backtrace(frames, 4);
  find_bundle_dir();
  for (int i = 2; i < count; i++) {
    if (in_bundle(frames[i])) {
      fputs("log-origin: project code\n", stderr);
      backtrace_symbols_fd(frames + 2, count - 2, STDERR_FILENO);
      return;
    }
  }
}

void g_return_if_fail_warning(const char* log_domain,
                              const char* pretty_function,
                              const char* expression) {
  static void (*real)(const char*, const char*, const char*) = NULL;
  if (real == NULL) {
    *(void**)&real = dlsym(RTLD_NEXT, "g_return_if_fail_warning");
  }
  mark_if_from_project();
  real(log_domain, pretty_function, expression);
}

void g_log(const gchar* log_domain,
           GLogLevelFlags log_level,
           const gchar* format,
           ...) {
  if (log_level & (G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING)) {
    mark_if_from_project();
  }
  va_list args;
  va_start(args, format);
  g_logv(log_domain, log_level, format, args);
  va_end(args);
}
