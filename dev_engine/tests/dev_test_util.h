// Helpers for the development engine's in-process tests: pumping the main
// loop with a deadline and catching criticals.
#ifndef DEV_ENGINE_TESTS_DEV_TEST_UTIL_H_
#define DEV_ENGINE_TESTS_DEV_TEST_UTIL_H_

#include <glib.h>

#include <functional>

// Runs the default main context until `condition` holds or `timeout_ms`
// passes; returns whether it holds.
inline bool pump_until(const std::function<bool()>& condition,
                       int timeout_ms = 5000) {
  const gint64 deadline = g_get_monotonic_time() + timeout_ms * 1000;
  while (!condition()) {
    if (g_get_monotonic_time() > deadline) {
      return false;
    }
    g_main_context_iteration(nullptr, FALSE);
    g_usleep(1000);
  }
  return true;
}

inline void pump_for(int ms) {
  const gint64 deadline = g_get_monotonic_time() + ms * 1000;
  while (g_get_monotonic_time() < deadline) {
    g_main_context_iteration(nullptr, FALSE);
    g_usleep(1000);
  }
}

// Counts criticals logged without a log domain while alive.
class CriticalCounter {
 public:
  CriticalCounter() {
    handler_id_ = g_log_set_handler(
        nullptr,
        static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_FLAG_FATAL |
                                    G_LOG_FLAG_RECURSION),
        Handler, this);
  }
  ~CriticalCounter() { g_log_remove_handler(nullptr, handler_id_); }
  CriticalCounter(const CriticalCounter&) = delete;
  CriticalCounter& operator=(const CriticalCounter&) = delete;

  int count() const { return count_; }

 private:
  static void Handler(const gchar*,
                      GLogLevelFlags,
                      const gchar*,
                      gpointer user_data) {
    static_cast<CriticalCounter*>(user_data)->count_++;
  }
  guint handler_id_ = 0;
  int count_ = 0;
};

#endif  // DEV_ENGINE_TESTS_DEV_TEST_UTIL_H_
