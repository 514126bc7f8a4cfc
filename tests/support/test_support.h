// Helpers shared by the in-process tests: main-loop pumping with deadlines,
// windows holding development-engine views, and a registered application.
#ifndef TESTS_SUPPORT_TEST_SUPPORT_H_
#define TESTS_SUPPORT_TEST_SUPPORT_H_

#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <vector>

#include "runner/flutter_embedder.h"
#include "runner/my_application.h"

// Runs the default main context until `condition` holds or `timeout_ms`
// passes; returns whether it holds.
bool run_until(const std::function<bool()>& condition, int timeout_ms = 5000);

// Runs the default main context for `ms` milliseconds (for checking that
// something does NOT happen within a period).
void run_for(int ms);

// Runs pending events and idle work until the main context is quiet.
void drain_main_loop();

// A new view on an engine of its own, with the given first-frame delay
// (-1: never). The view is floating, as fl_view_new returns it.
FlView* make_view(int first_frame_delay_ms = -1);

// A new toplevel window holding a new view (not shown). Destroy it with
// gtk_widget_destroy. `application` may be null.
GtkWindow* make_window_with_view(GtkApplication* application = nullptr,
                                 int first_frame_delay_ms = -1);

// A MyApplication with a unique id, registered (so that startup has run),
// and not running. Release it with g_object_unref.
MyApplication* make_test_application();

// Destroys every toplevel window but GTK's own tooltip window, and drains
// the main loop.
void destroy_all_toplevels();

// Collects log messages of the given levels while alive.
class LogCapture {
 public:
  explicit LogCapture(GLogLevelFlags levels = static_cast<GLogLevelFlags>(
                          G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL |
                          G_LOG_LEVEL_MESSAGE));
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  struct Entry {
    GLogLevelFlags level;
    std::string domain;  // empty for no log domain
    std::string message;
  };
  const std::vector<Entry>& entries() const { return entries_; }
  bool contains(const std::string& text) const;
  size_t count(GLogLevelFlags level) const;

 private:
  static GLogWriterOutput Writer(GLogLevelFlags level,
                                 const GLogField* fields,
                                 gsize n_fields,
                                 gpointer user_data);
  GLogLevelFlags levels_;
  std::vector<Entry> entries_;
};

#endif  // TESTS_SUPPORT_TEST_SUPPORT_H_
