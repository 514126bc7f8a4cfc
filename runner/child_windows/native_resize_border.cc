// The resize border and click-to-focus of undecorated child windows: a
// left-button press near an edge starts the window manager's resize, a click
// elsewhere focuses the window.
#include "runner/child_windows/native_resize_border.h"

#include "runner/presentation/deferred_window_work.h"
#include "runner/presentation/initial_frame_reveal.h"
#include "runner/presentation/widget_lookup.h"
#include "runner/presentation/window_tags.h"
#include "runner/window_control/pointer_device.h"

namespace {

constexpr gint32 kNativeChildWindowResizeBorderWidth = 8;
constexpr gint kTitleBarControlAreaHeight = 40;
constexpr gint kTitleBarControlAreaWidth = 152;

// The window's root origin and size; false when either is unknown.
bool get_window_frame(GtkWindow* window,
                      gint* origin_x,
                      gint* origin_y,
                      gint* width,
                      gint* height) {
  GdkWindow* gdk_window = gtk_widget_get_window(GTK_WIDGET(window));
  *origin_x = 0;
  *origin_y = 0;
  if (gdk_window == nullptr ||
      !gdk_window_get_origin(gdk_window, origin_x, origin_y)) {
    return false;
  }
  *width = 0;
  *height = 0;
  gtk_window_get_size(window, width, height);
  if (*width <= 0 || *height <= 0) {
    GtkAllocation allocation;
    gtk_widget_get_allocation(GTK_WIDGET(window), &allocation);
    *width = allocation.width;
    *height = allocation.height;
  }
  return *width > 0 && *height > 0;
}

NativeChildWindowResizeData* native_child_window_resize_data_new(
    GtkWindow* window,
    gint32 border_width) {
  auto* data = static_cast<NativeChildWindowResizeData*>(
      g_malloc0(sizeof(NativeChildWindowResizeData)));
  data->window = GTK_WINDOW(g_object_ref(window));
  data->border_width = border_width;
  return data;
}

}  // namespace

void schedule_native_child_window_resize_handler(GtkWindow* window) {
  if (window == nullptr) {
    return;
  }
  connect_native_child_window_resize_handler(
      GTK_WIDGET(window), window, kNativeChildWindowResizeBorderWidth);

  FlView* view = find_fl_view(GTK_WIDGET(window));
  if (view == nullptr) {
    return;
  }
  connect_native_child_window_resize_handler(
      GTK_WIDGET(view), window, kNativeChildWindowResizeBorderWidth);

  GtkWidget* event_box = find_event_box(GTK_WIDGET(view));
  if (event_box != nullptr && event_box != GTK_WIDGET(view)) {
    connect_native_child_window_resize_handler(
        event_box, window, kNativeChildWindowResizeBorderWidth);
  }
  GtkWidget* drawing_area = find_drawing_area(GTK_WIDGET(view));
  if (drawing_area != nullptr && drawing_area != GTK_WIDGET(view)) {
    connect_native_child_window_resize_handler(
        drawing_area, window, kNativeChildWindowResizeBorderWidth);
  }
}

void connect_native_child_window_resize_handler(GtkWidget* widget,
                                                GtkWindow* window,
                                                gint32 border_width) {
  if (widget == nullptr || window == nullptr) {
    return;
  }
  gtk_widget_add_events(widget,
                        GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK);
  if (window_tag_is_set(widget, kNativeChildWindowResizeHandlerKey)) {
    return;
  }
  window_tag_set(widget, kNativeChildWindowResizeHandlerKey);

  // No connect flags: the handlers run before the widget's own class
  // handler, so a border press never reaches the view.
  g_signal_connect_data(
      widget, "button-press-event",
      G_CALLBACK(native_child_window_resize_button_press_cb),
      native_child_window_resize_data_new(window, border_width),
      native_child_window_resize_closure_data_free,
      static_cast<GConnectFlags>(0));
  g_signal_connect_data(
      widget, "button-release-event",
      G_CALLBACK(native_child_window_button_release_focus_cb),
      native_child_window_resize_data_new(window, border_width),
      native_child_window_resize_closure_data_free,
      static_cast<GConnectFlags>(0));
}

bool native_child_window_resize_edge(double dx,
                                     double dy,
                                     gint width,
                                     gint height,
                                     gint32 border_width,
                                     GdkWindowEdge* edge) {
  const gint b =
      border_width > 0 ? border_width : kNativeChildWindowResizeBorderWidth;
  const bool left = dx < b;
  const bool right = dx >= width - b;
  const bool top = dy < b;
  const bool bottom = dy >= height - b;

  if (top && left) {
    *edge = GDK_WINDOW_EDGE_NORTH_WEST;
  } else if (bottom && right) {
    *edge = GDK_WINDOW_EDGE_SOUTH_EAST;
  } else if (top) {
    *edge = GDK_WINDOW_EDGE_NORTH;
  } else if (bottom && left) {
    *edge = GDK_WINDOW_EDGE_SOUTH_WEST;
  } else if (right) {
    *edge = GDK_WINDOW_EDGE_EAST;
  } else if (left) {
    *edge = GDK_WINDOW_EDGE_WEST;
  } else if (bottom) {
    *edge = GDK_WINDOW_EDGE_SOUTH;
  } else {
    return false;
  }
  return true;
}

gboolean native_child_window_resize_button_press_cb(GtkWidget* widget,
                                                    GdkEventButton* event,
                                                    gpointer user_data) {
  (void)widget;
  auto* data = static_cast<NativeChildWindowResizeData*>(user_data);
  if (event == nullptr || data == nullptr || event->type != GDK_BUTTON_PRESS ||
      event->button != 1 || data->window == nullptr ||
      !window_is_alive(data->window)) {
    return FALSE;
  }
  GtkWindow* window = data->window;

  // The title-bar controls belong to the view.
  if (is_native_child_window_title_bar_control_area(window, event->x_root,
                                                    event->y_root)) {
    focus_child_window_after_button_event(window, event->time);
    return FALSE;
  }

  gint origin_x, origin_y, width, height;
  if (!get_window_frame(window, &origin_x, &origin_y, &width, &height)) {
    return FALSE;
  }
  const double dx = event->x_root - origin_x;
  const double dy = event->y_root - origin_y;
  if (dx < 0 || dy < 0 || dx >= width || dy >= height) {
    return FALSE;
  }
  GdkWindowEdge edge;
  if (!native_child_window_resize_edge(dx, dy, width, height,
                                       data->border_width, &edge)) {
    return FALSE;
  }
  // A press that a touch screen emulates, on a seat without a pointer: GDK
  // crashes starting a resize there, so the press stays an ordinary click.
  if (window_pointer_device(window) == nullptr) {
    return FALSE;
  }

  focus_child_window_after_button_event(window, event->time);
  gtk_window_begin_resize_drag(window, edge, 1,
                               static_cast<gint>(event->x_root),
                               static_cast<gint>(event->y_root), event->time);
  return TRUE;
}

gboolean native_child_window_button_release_focus_cb(GtkWidget* widget,
                                                     GdkEventButton* event,
                                                     gpointer user_data) {
  (void)widget;
  auto* data = static_cast<NativeChildWindowResizeData*>(user_data);
  if (event == nullptr || event->button != 1 || data == nullptr ||
      event->type != GDK_BUTTON_RELEASE || data->window == nullptr ||
      !window_is_alive(data->window)) {
    return FALSE;
  }
  if (is_native_child_window_title_bar_control_area(data->window, event->x_root,
                                                    event->y_root)) {
    return FALSE;
  }
  // After the view has had the release.
  g_idle_add_full(G_PRIORITY_DEFAULT_IDLE,
                  focus_child_window_after_button_release_idle,
                  deferred_window_focus_data_new(data->window, event->time, 0),
                  deferred_window_focus_data_free);
  return FALSE;
}

void native_child_window_resize_closure_data_free(gpointer user_data,
                                                  GClosure* closure) {
  (void)closure;
  auto* data = static_cast<NativeChildWindowResizeData*>(user_data);
  if (data == nullptr) {
    return;
  }
  g_clear_object(&data->window);
  g_free(data);
}

bool is_native_child_window_title_bar_control_area(GtkWindow* window,
                                                   double root_x,
                                                   double root_y) {
  if (window == nullptr) {
    return false;
  }
  gint origin_x, origin_y, width, height;
  if (!get_window_frame(window, &origin_x, &origin_y, &width, &height)) {
    return false;
  }
  const double dx = root_x - origin_x;
  const double dy = root_y - origin_y;
  return dy >= 0 && dy < kTitleBarControlAreaHeight &&
         dx >= width - kTitleBarControlAreaWidth && dx < width;
}

void focus_child_window_after_button_event(GtkWindow* window,
                                           guint32 event_time) {
  if (!window_is_alive(window)) {
    return;
  }

  // One click reaches several connected widgets; focus once per click.
  if (event_time != 0) {
    if (event_time ==
        window_tag_get_uint(window, kNativeChildWindowLastFocusEventTimeKey)) {
      return;
    }
    window_tag_set_uint(window, kNativeChildWindowLastFocusEventTimeKey,
                        event_time);
  }

  // Still transparent: the reveal carries out the activation.
  if (!window_tag_is_set(window, kWindowInitialFrameReadyKey) &&
      window_tag_is_set(window, kWindowInitialFrameRevealDeferredKey)) {
    window_tag_set(window, kWindowPendingActivateAfterInitialFrameKey);
    schedule_initial_frame_reveal_fallback(window);
    return;
  }

  GtkWidget* widget = GTK_WIDGET(window);
  GdkWindow* gdk_window = gtk_widget_get_window(widget);
  if (gdk_window != nullptr &&
      (gdk_window_get_state(gdk_window) & GDK_WINDOW_STATE_FOCUSED) != 0) {
    return;
  }
  if (!gtk_widget_get_visible(widget) || !gtk_widget_get_mapped(widget)) {
    return;
  }

  if (event_time != 0) {
    gtk_window_present_with_time(window, event_time);
  } else {
    gtk_window_present(window);
  }
  gdk_window = gtk_widget_get_window(widget);
  if (gdk_window != nullptr) {
    gdk_window_focus(gdk_window, event_time);
  }
  // A view that takes no focus would only raise a GTK critical.
  FlView* view = find_fl_view(widget);
  if (view != nullptr && gtk_widget_get_can_focus(GTK_WIDGET(view))) {
    gtk_window_set_focus(window, GTK_WIDGET(view));
    gtk_widget_grab_focus(GTK_WIDGET(view));
  }
}

gboolean focus_child_window_after_button_release_idle(gpointer user_data) {
  auto* data = static_cast<DeferredWindowFocusData*>(user_data);
  if (data != nullptr && data->window != nullptr) {
    focus_child_window_after_button_event(data->window, data->event_time);
  }
  return G_SOURCE_REMOVE;
}
