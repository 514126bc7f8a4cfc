// Helpers of the presentation tests: what the window manager sees of a
// window, and counting what happens to a window.
#ifndef TESTS_SUPPORT_PRESENTATION_TEST_SUPPORT_H_
#define TESTS_SUPPORT_PRESENTATION_TEST_SUPPORT_H_

#include <gtk/gtk.h>

// The toplevel's _NET_WM_WINDOW_OPACITY as a 32-bit cardinal, or -1 when the
// window has no X window or no such property (which means fully opaque).
gint64 window_manager_opacity(GtkWindow* window);

// Whether the X window carries `property` at all.
bool x_window_has_property(GtkWindow* window, const char* property);
void x_window_delete_property(GtkWindow* window, const char* property);

// Whether GDK reports the state on the window (GDK does not follow the
// window manager's keep-above).
bool window_state_has(GtkWindow* window, GdkWindowState state);

// Whether the window manager keeps the window above others
// (_NET_WM_STATE_ABOVE).
bool window_manager_keeps_above(GtkWindow* window);

// Milliseconds since `start_us` (a g_get_monotonic_time value).
gint64 elapsed_ms(gint64 start_us);

// Counts "show" emissions on one widget, also after it has been destroyed
// (when its own signal handlers are gone).
class ShowCounter {
 public:
  explicit ShowCounter(gpointer widget);
  ~ShowCounter();
  ShowCounter(const ShowCounter&) = delete;
  ShowCounter& operator=(const ShowCounter&) = delete;
  int count() const { return count_; }

 private:
  static gboolean Hook(GSignalInvocationHint* hint,
                       guint n_param_values,
                       const GValue* param_values,
                       gpointer data);
  gpointer widget_;
  guint signal_id_;
  gulong hook_id_;
  int count_ = 0;
};

// Counts "grab-focus" emissions on a widget, which it holds a reference
// to: every present focuses the window's view.
class GrabFocusCounter {
 public:
  explicit GrabFocusCounter(GtkWidget* widget);
  ~GrabFocusCounter();
  GrabFocusCounter(const GrabFocusCounter&) = delete;
  GrabFocusCounter& operator=(const GrabFocusCounter&) = delete;
  int count() const { return count_; }

 private:
  static void Cb(GtkWidget*, gpointer data);
  GtkWidget* widget_;
  gulong handler_id_;
  int count_ = 0;
};

#endif  // TESTS_SUPPORT_PRESENTATION_TEST_SUPPORT_H_
