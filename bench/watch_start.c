// Times one start of a program on the X display: from just before it is
// spawned until a top-level window of its process is mapped and opaque (no
// _NET_WM_WINDOW_OPACITY below full), and the CPU time its threads used until
// then. A moment later it reads the process's peak resident set and whether
// librsvg is mapped into it, stops it and prints "<milliseconds> <peak RSS in
// KiB> <librsvg mapped: 0 or 1> <CPU milliseconds until shown>".
//
//   watch_start PROGRAM [ARGS...]
#define _GNU_SOURCE
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/pidfd.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

enum {
  kTimeoutMs = 30000,
  // Lets the first frame be drawn before the peak is read.
  kSettleMs = 200,
  kMaxWindows = 256,
};

static Atom pid_atom;
static Atom opacity_atom;

static double now_ms(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Windows vanish while they are looked at; that is no error here.
static int ignore_error(Display* display, XErrorEvent* error) {
  (void)display;
  (void)error;
  return 0;
}

static int cardinal(Display* display,
                    Window window,
                    Atom property,
                    unsigned long* value) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = NULL;
  int found = 0;
  if (XGetWindowProperty(display, window, property, 0, 1, False, XA_CARDINAL,
                         &type, &format, &count, &after, &data) == Success &&
      data != NULL && format == 32 && count == 1) {
    *value = *(unsigned long*)data & 0xffffffffUL;
    found = 1;
  }
  if (data != NULL) {
    XFree(data);
  }
  return found;
}

static int shown(Display* display, Window window, pid_t pid) {
  XWindowAttributes attributes;
  unsigned long value = 0;
  if (!XGetWindowAttributes(display, window, &attributes) ||
      attributes.map_state != IsViewable) {
    return 0;
  }
  if (!cardinal(display, window, pid_atom, &value) ||
      value != (unsigned long)pid) {
    return 0;
  }
  return !cardinal(display, window, opacity_atom, &value) ||
         value == 0xffffffffUL;
}

static long peak_rss_kib(pid_t pid) {
  char path[64];
  char line[256];
  long kib = -1;
  snprintf(path, sizeof path, "/proc/%d/status", (int)pid);
  FILE* file = fopen(path, "r");
  if (file == NULL) {
    return -1;
  }
  while (fgets(line, sizeof line, file) != NULL) {
    if (sscanf(line, "VmHWM: %ld kB", &kib) == 1) {
      break;
    }
  }
  fclose(file);
  return kib;
}

static int maps_librsvg(pid_t pid) {
  char path[64];
  char line[4096];
  int found = 0;
  snprintf(path, sizeof path, "/proc/%d/maps", (int)pid);
  FILE* file = fopen(path, "r");
  if (file == NULL) {
    return -1;
  }
  while (!found && fgets(line, sizeof line, file) != NULL) {
    found = strstr(line, "librsvg") != NULL;
  }
  fclose(file);
  return found;
}

// The CPU time of the process's threads in milliseconds, from the
// scheduler's nanosecond counts (the tick counts of /proc/PID/stat are too
// coarse for a start of a few tens of milliseconds); -1 if unreadable.
static double cpu_ms(pid_t pid) {
  char path[64];
  snprintf(path, sizeof path, "/proc/%d/task", (int)pid);
  DIR* tasks = opendir(path);
  if (tasks == NULL) {
    return -1;
  }
  unsigned long long total = 0;
  int read = 0;
  struct dirent* task;
  while ((task = readdir(tasks)) != NULL) {
    if (task->d_name[0] == '.') {
      continue;
    }
    char stat_path[sizeof path + sizeof task->d_name + 16];
    snprintf(stat_path, sizeof stat_path, "%s/%s/schedstat", path,
             task->d_name);
    FILE* file = fopen(stat_path, "r");
    unsigned long long ns = 0;
    if (file != NULL) {
      if (fscanf(file, "%llu", &ns) == 1) {
        total += ns;
        read++;
      }
      fclose(file);
    }
  }
  closedir(tasks);
  return read > 0 ? total / 1e6 : -1;
}

static void stop(pid_t pid, int pidfd) {
  kill(pid, SIGTERM);
  struct pollfd exited = {.fd = pidfd, .events = POLLIN};
  if (poll(&exited, 1, 2000) <= 0) {
    kill(pid, SIGKILL);
  }
  waitpid(pid, NULL, 0);
}

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s PROGRAM [ARGS...]\n", argv[0]);
    return 2;
  }
  Display* display = XOpenDisplay(NULL);
  if (display == NULL) {
    fprintf(stderr, "watch_start: cannot open the display\n");
    return 2;
  }
  XSetErrorHandler(ignore_error);
  pid_atom = XInternAtom(display, "_NET_WM_PID", False);
  opacity_atom = XInternAtom(display, "_NET_WM_WINDOW_OPACITY", False);
  Window root = DefaultRootWindow(display);
  XSelectInput(display, root, SubstructureNotifyMask);
  XSync(display, False);

  Window windows[kMaxWindows];
  int window_count = 0;
  pid_t pid = 0;
  const double start = now_ms();
  if (posix_spawn(&pid, argv[1], NULL, NULL, argv + 1, environ) != 0) {
    perror("watch_start: spawn");
    return 2;
  }
  int pidfd = pidfd_open(pid, 0);
  if (pidfd < 0) {
    perror("watch_start: pidfd_open");
    kill(pid, SIGKILL);
    return 2;
  }

  double shown_ms = -1;
  double shown_cpu_ms = -1;
  while (shown_ms < 0) {
    while (shown_ms < 0 && XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      int check = event.type == MapNotify;
      if (event.type == CreateNotify && event.xcreatewindow.parent == root &&
          !event.xcreatewindow.override_redirect &&
          window_count < kMaxWindows) {
        Window window = event.xcreatewindow.window;
        windows[window_count++] = window;
        XSelectInput(display, window, StructureNotifyMask | PropertyChangeMask);
        // It may have been mapped before it was watched.
        check = 1;
      } else if (event.type == PropertyNotify &&
                 event.xproperty.atom == opacity_atom) {
        check = 1;
      }
      for (int i = 0; check && i < window_count; i++) {
        if (shown(display, windows[i], pid)) {
          shown_ms = now_ms() - start;
          shown_cpu_ms = cpu_ms(pid);
          break;
        }
      }
    }
    if (shown_ms >= 0) {
      break;
    }
    const double left = kTimeoutMs - (now_ms() - start);
    struct pollfd fds[] = {{.fd = ConnectionNumber(display), .events = POLLIN},
                           {.fd = pidfd, .events = POLLIN}};
    if (left <= 0 || poll(fds, 2, (int)left + 1) < 0) {
      fprintf(stderr, "watch_start: no window shown within %d ms\n",
              kTimeoutMs);
      stop(pid, pidfd);
      return 1;
    }
    if (fds[1].revents != 0) {
      fprintf(stderr, "watch_start: %s ended before showing a window\n",
              argv[1]);
      waitpid(pid, NULL, 0);
      return 1;
    }
  }

  usleep(kSettleMs * 1000);
  const long rss = peak_rss_kib(pid);
  const int librsvg = maps_librsvg(pid);
  stop(pid, pidfd);
  XCloseDisplay(display);
  printf("%.3f %ld %d %.3f\n", shown_ms, rss, librsvg, shown_cpu_ms);
  return rss < 0 || shown_cpu_ms < 0 ? 1 : 0;
}
