// The virtual clock: clock_gettime interposed for CLOCK_MONOTONIC on the
// main thread, which is the clock GLib's main loop and GDK's frame clock read.
#include "tests/fuzz/virtual_clock.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>

namespace {

std::atomic<bool> started{false};
pthread_t main_thread;
int64_t virtual_ns = 0;

int real_clock_gettime(clockid_t id, struct timespec* ts) {
  return static_cast<int>(syscall(SYS_clock_gettime, id, ts));
}

}  // namespace

extern "C" int clock_gettime(clockid_t id, struct timespec* ts) {
  if (id == CLOCK_MONOTONIC && started.load(std::memory_order_acquire) &&
      pthread_equal(pthread_self(), main_thread)) {
    ts->tv_sec = virtual_ns / 1000000000;
    ts->tv_nsec = virtual_ns % 1000000000;
    return 0;
  }
  return real_clock_gettime(id, ts);
}

void virtual_clock_start() {
  struct timespec now = {};
  real_clock_gettime(CLOCK_MONOTONIC, &now);
  virtual_ns = now.tv_sec * 1000000000LL + now.tv_nsec;
  main_thread = pthread_self();
  started.store(true, std::memory_order_release);
}

void virtual_clock_advance_ms(int64_t ms) {
  virtual_ns += ms * 1000000;
}
