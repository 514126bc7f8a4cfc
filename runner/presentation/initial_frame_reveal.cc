// The initial-frame reveal: a window is shown only once its view has drawn
// its first frame (a transparent child window at the latest after a
// fallback), sized to what the view laid out, and brought to the front when
// an activation waited for it; activation itself, which presents at once
// unless a reveal is pending. The reveal presents; presenting knows nothing
// of the reveal.
#include "runner/presentation/initial_frame_reveal.h"

#include "runner/presentation/deferred_window_work.h"
#include "runner/presentation/widget_lookup.h"
#include "runner/presentation/window_present.h"
#include "runner/presentation/window_tags.h"

namespace {

constexpr guint kInitialFrameRevealFallbackMs = 1500;
constexpr char kFirstFrameSignal[] = "first-frame";

// Embedders older than the "first-frame" signal never say that a view has
// drawn. Said once: the same holds for every view of the process.
void warn_no_first_frame_signal() {
  static gboolean warned = FALSE;
  if (!warned) {
    warned = TRUE;
    g_log(nullptr, G_LOG_LEVEL_WARNING,
          "Failed to wait for the first frame: the embedder's view has no "
          "\"%s\" signal; windows are shown before their view has drawn",
          kFirstFrameSignal);
  }
}

}  // namespace

void connect_window_first_frame_stabilizer(GtkWindow* window) {
  if (window == nullptr ||
      window_tag_is_set(window, kWindowFirstFrameStabilizerConnectedKey)) {
    return;
  }
  FlView* view = find_fl_view(GTK_WIDGET(window));
  if (view == nullptr) {
    return;
  }
  if (g_signal_lookup(kFirstFrameSignal, G_OBJECT_TYPE(view)) == 0) {
    warn_no_first_frame_signal();
    window_tag_set(window, kWindowFirstFrameStabilizerConnectedKey);
    // Nothing will ever reveal the main window; a deferred child window still
    // has its fallback, which waits for its size hints.
    if (!window_tag_is_set(window, kWindowInitialFrameRevealDeferredKey)) {
      reveal_window_after_initial_frame(window);
    }
    return;
  }
  g_signal_connect_data(
      view, kFirstFrameSignal, G_CALLBACK(window_first_frame_cb),
      deferred_window_show_data_new(window),
      deferred_window_show_closure_data_free, static_cast<GConnectFlags>(0));
  window_tag_set(window, kWindowFirstFrameStabilizerConnectedKey);
}

void defer_window_reveal_until_initial_frame(GtkWindow* window) {
  if (window == nullptr ||
      window_tag_is_set(window, kWindowInitialFrameReadyKey) ||
      !window_is_alive(window)) {
    return;
  }
  window_tag_set(window, kWindowInitialFrameRevealDeferredKey);
  // Neither shown nor hidden: a visible window stays mapped, transparent.
  set_window_opacity(window, 0.0);
  FlView* view = find_fl_view(GTK_WIDGET(window));
  if (view != nullptr && !gtk_widget_get_realized(GTK_WIDGET(view))) {
    gtk_widget_realize(GTK_WIDGET(view));
  }
  connect_window_first_frame_stabilizer(window);
  schedule_initial_frame_reveal_fallback(window);
}

void schedule_initial_frame_reveal_fallback(GtkWindow* window) {
  g_return_if_fail(GTK_IS_WINDOW(window));
  if (window_tag_is_set(window,
                        kWindowInitialFrameRevealFallbackScheduledKey)) {
    return;
  }
  window_tag_set(window, kWindowInitialFrameRevealFallbackScheduledKey);
  g_timeout_add_full(G_PRIORITY_DEFAULT, kInitialFrameRevealFallbackMs,
                     reveal_window_after_initial_frame_fallback,
                     deferred_window_show_data_new(window),
                     deferred_window_show_data_free);
}

void window_first_frame_cb(FlView*, gpointer data) {
  auto* record = static_cast<DeferredWindowShowData*>(data);
  if (record == nullptr || record->window == nullptr ||
      !window_is_alive(record->window)) {
    return;
  }
  window_tag_set(record->window, kWindowInitialFrameReadyKey);
  g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, show_window_after_first_frame_idle,
                  deferred_window_show_data_new(record->window),
                  deferred_window_show_data_free);
}

gboolean show_window_after_first_frame_idle(gpointer data) {
  auto* record = static_cast<DeferredWindowShowData*>(data);
  if (record == nullptr || record->window == nullptr) {
    return FALSE;
  }
  GtkWindow* window = record->window;
  // Closed before its first frame could be shown: it stays closed.
  if (!window_is_alive(window)) {
    return FALSE;
  }
  FlView* view = find_fl_view(GTK_WIDGET(window));
  if (view != nullptr) {
    GtkWidget* drawing_area = find_drawing_area(GTK_WIDGET(view));
    GtkAllocation allocation;
    gtk_widget_get_allocation(
        drawing_area != nullptr ? drawing_area : GTK_WIDGET(view), &allocation);
    if (allocation.width > 0 && allocation.height > 0) {
      gtk_window_set_default_size(window, allocation.width, allocation.height);
      gint width = 0;
      gint height = 0;
      gtk_window_get_size(window, &width, &height);
      if (width != allocation.width || height != allocation.height ||
          !gtk_widget_get_mapped(GTK_WIDGET(window))) {
        gtk_window_resize(window, allocation.width, allocation.height);
      }
      queue_flutter_view_geometry_refresh(window);
    }
  }
  reveal_window_after_initial_frame(window);
  return FALSE;
}

void reveal_window_after_initial_frame(GtkWindow* window) {
  if (window == nullptr || !window_is_alive(window)) {
    return;
  }
  window_tag_set(window, kWindowInitialFrameReadyKey);
  window_tag_clear(window, kWindowInitialFrameRevealDeferredKey);
  // A fallback still pending finds the window ready and does nothing.
  window_tag_clear(window, kWindowInitialFrameRevealFallbackScheduledKey);
  set_window_opacity(window, 1.0);
  if (!gtk_widget_get_visible(GTK_WIDGET(window))) {
    gtk_widget_show(GTK_WIDGET(window));
  }
  queue_flutter_view_geometry_refresh(window);
  const bool activation_pending =
      window_tag_is_set(window, kWindowPendingActivateAfterInitialFrameKey);
  window_tag_clear(window, kWindowPendingActivateAfterInitialFrameKey);
  if (activation_pending) {
    present_window_to_front(window, 0, false, true);
  }
}

gboolean reveal_window_after_initial_frame_fallback(gpointer data) {
  auto* record = static_cast<DeferredWindowShowData*>(data);
  if (record == nullptr || record->window == nullptr) {
    return FALSE;
  }
  GtkWindow* window = record->window;
  if (window_tag_is_set(window, kWindowInitialFrameReadyKey)) {
    window_tag_clear(window, kWindowInitialFrameRevealFallbackScheduledKey);
  } else {
    reveal_window_after_initial_frame(window);
  }
  return FALSE;
}

void activate_window(GtkWindow* window) {
  g_return_if_fail(GTK_IS_WINDOW(window));
  if (!window_is_alive(window)) {
    return;
  }
  if (window_tag_is_set(window, kWindowInitialFrameReadyKey) ||
      !window_tag_is_set(window, kWindowInitialFrameRevealDeferredKey)) {
    present_window_to_front(window, 0, true, false);
    return;
  }
  // Still transparent and waiting for its first frame: the reveal presents
  // it, at the latest when the fallback runs.
  window_tag_set(window, kWindowPendingActivateAfterInitialFrameKey);
  schedule_initial_frame_reveal_fallback(window);
}
