// Tests of the child windows' resize border and click focus, with button
// events synthesized and handed to the handlers.
#include "runner/child_windows/native_resize_border.h"

#include <gtest/gtest.h>

#include <vector>

#include "runner/presentation/widget_lookup.h"
#include "runner/presentation/window_tags.h"
#include "tests/support/test_support.h"

// Last: Xlib's macros (None, Bool) clash with GoogleTest's names.
#include <gdk/gdkx.h>

namespace {

struct Point {
  double x;
  double y;
};

GdkEvent* make_button_event(GdkEventType type,
                            guint button,
                            double x_root,
                            double y_root,
                            guint32 time) {
  GdkEvent* event = gdk_event_new(type);
  event->button.button = button;
  event->button.x_root = x_root;
  event->button.y_root = y_root;
  event->button.time = time;
  return event;
}

guint32 server_time(GtkWindow* window) {
  return gdk_x11_get_server_time(gtk_widget_get_window(GTK_WIDGET(window)));
}

// Whether the X server has mapped the window (after the window manager
// placed it); GTK's own mapped flag is set at once.
bool is_mapped_on_screen(GtkWindow* window) {
  GdkWindow* gdk_window = gtk_widget_get_window(GTK_WIDGET(window));
  return gdk_window != nullptr &&
         (gdk_window_get_state(gdk_window) & GDK_WINDOW_STATE_WITHDRAWN) == 0;
}

bool show_and_wait(GtkWindow* window) {
  gtk_widget_show(GTK_WIDGET(window));
  return run_until([&] { return is_mapped_on_screen(window); });
}

// The drawing area, event box, view and window: the order a click on the
// view passes through them.
std::vector<GtkWidget*> connected_widgets(GtkWindow* window) {
  GtkWidget* view = GTK_WIDGET(find_fl_view(GTK_WIDGET(window)));
  return {find_drawing_area(view), find_event_box(view), view,
          GTK_WIDGET(window)};
}

gboolean emit_button_event(GtkWidget* widget, GdkEvent* event) {
  gboolean handled = FALSE;
  g_signal_emit_by_name(widget,
                        event->type == GDK_BUTTON_RELEASE
                            ? "button-release-event"
                            : "button-press-event",
                        event, &handled);
  return handled;
}

guint count_handlers(GtkWidget* widget, gpointer callback) {
  const guint n = g_signal_handlers_block_matched(
      widget, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr, callback, nullptr);
  g_signal_handlers_unblock_matched(widget, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr,
                                    callback, nullptr);
  return n;
}

// Ends the interactive resize that a consumed press asked the window
// manager for; no button is really down to end it.
void cancel_window_manager_resize(GtkWindow* window) {
  GdkWindow* gdk_window = gtk_widget_get_window(GTK_WIDGET(window));
  GdkDisplay* display = gdk_window_get_display(gdk_window);
  XEvent event = {};
  event.xclient.type = ClientMessage;
  event.xclient.window = GDK_WINDOW_XID(gdk_window);
  event.xclient.message_type =
      gdk_x11_get_xatom_by_name_for_display(display, "_NET_WM_MOVERESIZE");
  event.xclient.format = 32;
  event.xclient.data.l[2] = 11;  // _NET_WM_MOVERESIZE_CANCEL
  event.xclient.data.l[4] = 1;   // from an application
  XSendEvent(GDK_DISPLAY_XDISPLAY(display),
             GDK_WINDOW_XID(gdk_get_default_root_window()), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &event);
  gdk_display_sync(display);
}

class NativeResizeBorderTest : public testing::Test {
 protected:
  void TearDown() override { destroy_all_toplevels(); }

  // A shown 400 × 300 child window. An unmanaged one stays exactly where it
  // is put: the window manager neither moves it nor carries out the resizes
  // its border presses ask for, which would race with the next press.
  GtkWindow* make_child_window(bool managed = true) {
    GtkWindow* window = make_window_with_view();
    if (!managed) {
      window = make_unmanaged_window_with_view(window);
    }
    gtk_window_set_default_size(window, 400, 300);
    gtk_widget_show(GTK_WIDGET(window));
    // The window manager has placed it once it is below its title bar.
    EXPECT_TRUE(run_until([&] {
      gint width = 0, height = 0;
      gtk_window_get_size(window, &width, &height);
      gdk_window_get_origin(gtk_widget_get_window(GTK_WIDGET(window)),
                            &origin_x_, &origin_y_);
      return is_mapped_on_screen(window) && width == 400 && height == 300 &&
             origin_y_ > 0;
    }));
    schedule_native_child_window_resize_handler(window);
    return window;
  }

  // Trades a toplevel holding a view for a popup holding the same view.
  static GtkWindow* make_unmanaged_window_with_view(GtkWindow* toplevel) {
    GtkWidget* view = GTK_WIDGET(find_fl_view(GTK_WIDGET(toplevel)));
    g_object_ref(view);
    gtk_container_remove(GTK_CONTAINER(toplevel), view);
    gtk_widget_destroy(GTK_WIDGET(toplevel));
    GtkWindow* popup = GTK_WINDOW(gtk_window_new(GTK_WINDOW_POPUP));
    gtk_container_add(GTK_CONTAINER(popup), view);
    g_object_unref(view);
    gtk_window_move(popup, 120, 90);
    return popup;
  }

  // The window manager may still move a new window; read where it is now.
  void refresh_origin(GtkWindow* window) {
    gdk_window_get_origin(gtk_widget_get_window(GTK_WIDGET(window)), &origin_x_,
                          &origin_y_);
  }

  gboolean press(GtkWindow* window,
                 Point at,
                 guint32 time,
                 guint button = 1,
                 GdkEventType type = GDK_BUTTON_PRESS) {
    refresh_origin(window);
    g_autoptr(GdkEvent) event = make_button_event(
        type, button, origin_x_ + at.x, origin_y_ + at.y, time);
    NativeChildWindowResizeData data = {window, 8};
    const gboolean consumed = native_child_window_resize_button_press_cb(
        GTK_WIDGET(window), &event->button, &data);
    if (consumed) {
      cancel_window_manager_resize(window);
    }
    return consumed;
  }

  gint origin_x_ = 0;
  gint origin_y_ = 0;
};

TEST_F(NativeResizeBorderTest, EdgeChoiceIn400By300Window) {
  struct Case {
    Point at;
    GdkWindowEdge edge;
  };
  const Case on_border[] = {
      {{3, 3}, GDK_WINDOW_EDGE_NORTH_WEST},
      {{396, 296}, GDK_WINDOW_EDGE_SOUTH_EAST},
      {{200, 3}, GDK_WINDOW_EDGE_NORTH},
      {{3, 296}, GDK_WINDOW_EDGE_SOUTH_WEST},
      {{396, 150}, GDK_WINDOW_EDGE_EAST},
      {{3, 150}, GDK_WINDOW_EDGE_WEST},
      {{200, 296}, GDK_WINDOW_EDGE_SOUTH},
      {{392, 150}, GDK_WINDOW_EDGE_EAST},
      {{7.9, 150}, GDK_WINDOW_EDGE_WEST},
      {{247, 3}, GDK_WINDOW_EDGE_NORTH},
  };
  for (const Case& c : on_border) {
    GdkWindowEdge edge = GDK_WINDOW_EDGE_NORTH;
    EXPECT_TRUE(
        native_child_window_resize_edge(c.at.x, c.at.y, 400, 300, 8, &edge))
        << c.at.x << "," << c.at.y;
    EXPECT_EQ(edge, c.edge) << c.at.x << "," << c.at.y;
  }
  GdkWindowEdge edge;
  for (Point inside : {Point{200, 150}, Point{391.5, 150}, Point{8, 150}}) {
    EXPECT_FALSE(
        native_child_window_resize_edge(inside.x, inside.y, 400, 300, 8, &edge))
        << inside.x << "," << inside.y;
  }
  // A border width of 0 or less means 8.
  EXPECT_TRUE(native_child_window_resize_edge(7, 150, 400, 300, 0, &edge));
  EXPECT_FALSE(native_child_window_resize_edge(8, 150, 400, 300, -1, &edge));
  // Windows lower or narrower than two borders: top beats bottom, right
  // beats left except in the top-left corner.
  native_child_window_resize_edge(50, 5, 100, 10, 8, &edge);
  EXPECT_EQ(edge, GDK_WINDOW_EDGE_NORTH);
  native_child_window_resize_edge(5, 50, 10, 100, 8, &edge);
  EXPECT_EQ(edge, GDK_WINDOW_EDGE_EAST);
  native_child_window_resize_edge(5, 5, 10, 100, 8, &edge);
  EXPECT_EQ(edge, GDK_WINDOW_EDGE_NORTH_WEST);
}

TEST_F(NativeResizeBorderTest, PressesConsumedOnlyOnTheBorderOutsideControls) {
  GtkWindow* window = make_child_window(/*managed=*/false);
  guint32 time = 1000;
  for (Point border :
       {Point{3, 3}, Point{396, 296}, Point{200, 3}, Point{3, 296},
        Point{396, 150}, Point{3, 150}, Point{200, 296}, Point{392, 150},
        Point{7.9, 150}, Point{247, 3}}) {
    time++;
    EXPECT_TRUE(press(window, border, time)) << border.x << "," << border.y;
    // The border press asks for focus first.
    EXPECT_EQ(
        window_tag_get_uint(window, kNativeChildWindowLastFocusEventTimeKey),
        time);
  }

  // Inside: passed on, no focus request.
  for (Point inside : {Point{200, 150}, Point{391.5, 150}, Point{8, 150},
                       Point{-1, 150}, Point{400, 150}}) {
    EXPECT_FALSE(press(window, inside, ++time)) << inside.x << "," << inside.y;
    EXPECT_NE(
        window_tag_get_uint(window, kNativeChildWindowLastFocusEventTimeKey),
        time);
  }

  // The title-bar controls: focused and passed on, even on the border.
  refresh_origin(window);
  for (Point control : {Point{396, 3}, Point{396, 20}, Point{300, 20},
                        Point{248, 3}, Point{399.5, 39.5}}) {
    EXPECT_TRUE(is_native_child_window_title_bar_control_area(
        window, origin_x_ + control.x, origin_y_ + control.y));
    EXPECT_FALSE(press(window, control, ++time))
        << control.x << "," << control.y;
    EXPECT_EQ(
        window_tag_get_uint(window, kNativeChildWindowLastFocusEventTimeKey),
        time);
  }
  refresh_origin(window);
  for (Point outside : {Point{247, 20}, Point{300, 40}, Point{400, 20}}) {
    EXPECT_FALSE(is_native_child_window_title_bar_control_area(
        window, origin_x_ + outside.x, origin_y_ + outside.y));
  }

  // Other buttons and the extra event of a double click do nothing.
  const guint32 before =
      window_tag_get_uint(window, kNativeChildWindowLastFocusEventTimeKey);
  EXPECT_FALSE(press(window, {3, 3}, ++time, 3));
  EXPECT_FALSE(press(window, {3, 3}, ++time, 1, GDK_2BUTTON_PRESS));
  EXPECT_FALSE(press(window, {396, 3}, ++time, 3));
  refresh_origin(window);
  g_autoptr(GdkEvent) right_release = make_button_event(
      GDK_BUTTON_RELEASE, 3, origin_x_ + 200, origin_y_ + 150, ++time);
  NativeChildWindowResizeData data = {window, 8};
  EXPECT_FALSE(native_child_window_button_release_focus_cb(
      GTK_WIDGET(window), &right_release->button, &data));
  drain_main_loop();
  EXPECT_EQ(
      window_tag_get_uint(window, kNativeChildWindowLastFocusEventTimeKey),
      before);

  // No record, no event, no window: passed on.
  g_autoptr(GdkEvent) event = make_button_event(GDK_BUTTON_PRESS, 1, 0, 0, 1);
  NativeChildWindowResizeData empty = {nullptr, 8};
  EXPECT_FALSE(native_child_window_resize_button_press_cb(
      GTK_WIDGET(window), &event->button, nullptr));
  EXPECT_FALSE(native_child_window_resize_button_press_cb(GTK_WIDGET(window),
                                                          nullptr, &data));
  EXPECT_FALSE(native_child_window_resize_button_press_cb(
      GTK_WIDGET(window), &event->button, &empty));
}

TEST_F(NativeResizeBorderTest, ConnectingTwiceConnectsOnePairOfHandlers) {
  GtkWindow* window = make_window_with_view();
  GtkWidget* widget = gtk_event_box_new();
  g_object_ref_sink(widget);
  connect_native_child_window_resize_handler(widget, window, 8);
  connect_native_child_window_resize_handler(widget, window, 8);
  const gint mask = GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK;
  EXPECT_EQ(gtk_widget_get_events(widget) & mask, mask);
  EXPECT_EQ(
      count_handlers(widget, reinterpret_cast<gpointer>(
                                 native_child_window_resize_button_press_cb)),
      1u);
  EXPECT_EQ(
      count_handlers(widget, reinterpret_cast<gpointer>(
                                 native_child_window_button_release_focus_cb)),
      1u);
  // Releasing the widget releases the records and their window references.
  gtk_widget_destroy(widget);
  g_object_unref(widget);

  schedule_native_child_window_resize_handler(window);
  schedule_native_child_window_resize_handler(window);
  for (GtkWidget* connected : connected_widgets(window)) {
    EXPECT_TRUE(
        window_tag_is_set(connected, kNativeChildWindowResizeHandlerKey));
    EXPECT_EQ(count_handlers(connected,
                             reinterpret_cast<gpointer>(
                                 native_child_window_resize_button_press_cb)),
              1u);
  }
}

TEST_F(NativeResizeBorderTest, ReleaseAsksForFocusFromAnIdleAndPassesOn) {
  LogCapture log;
  // Where a release lands depends on where the window is at that moment.
  GtkWindow* child = make_child_window(/*managed=*/false);
  const guint32 time = server_time(child);

  refresh_origin(child);
  g_autoptr(GdkEvent) on_controls = make_button_event(
      GDK_BUTTON_RELEASE, 1, origin_x_ + 300, origin_y_ + 20, time);
  ASSERT_TRUE(is_native_child_window_title_bar_control_area(
      child, origin_x_ + 300, origin_y_ + 20));
  for (GtkWidget* widget : connected_widgets(child)) {
    EXPECT_FALSE(emit_button_event(widget, on_controls));
  }
  drain_main_loop();
  EXPECT_EQ(window_tag_get_uint(child, kNativeChildWindowLastFocusEventTimeKey),
            0u);

  refresh_origin(child);
  g_autoptr(GdkEvent) inside = make_button_event(
      GDK_BUTTON_RELEASE, 1, origin_x_ + 200, origin_y_ + 150, time);
  for (GtkWidget* widget : connected_widgets(child)) {
    EXPECT_FALSE(emit_button_event(widget, inside));
  }
  // Not before the view has had the release.
  EXPECT_EQ(window_tag_get_uint(child, kNativeChildWindowLastFocusEventTimeKey),
            0u);
  drain_main_loop();
  EXPECT_EQ(window_tag_get_uint(child, kNativeChildWindowLastFocusEventTimeKey),
            time);
  EXPECT_EQ(log.count(static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING |
                                                  G_LOG_LEVEL_CRITICAL)),
            0u);
}

TEST_F(NativeResizeBorderTest, ClickBeforeFirstFrameMarksPendingActivation) {
  GtkWindow* window = make_window_with_view();
  gtk_widget_realize(GTK_WIDGET(window));
  schedule_native_child_window_resize_handler(window);
  window_tag_set(window, kWindowInitialFrameRevealDeferredKey);

  // One release passes through four widgets; each schedules a focus idle.
  // A counting idle after each one sees whether that idle asked for the
  // activation.
  int activations = 0;
  g_autoptr(GdkEvent) release =
      make_button_event(GDK_BUTTON_RELEASE, 1, 20000, 20000, 4242);
  for (GtkWidget* widget : connected_widgets(window)) {
    emit_button_event(widget, release);
    g_idle_add_full(
        G_PRIORITY_DEFAULT_IDLE,
        [](gpointer data) -> gboolean {
          auto* counter = static_cast<std::pair<GtkWindow*, int*>*>(data);
          if (window_tag_is_set(counter->first,
                                kWindowPendingActivateAfterInitialFrameKey)) {
            (*counter->second)++;
            window_tag_clear(counter->first,
                             kWindowPendingActivateAfterInitialFrameKey);
          }
          return G_SOURCE_REMOVE;
        },
        new std::pair<GtkWindow*, int*>(window, &activations),
        [](gpointer data) {
          delete static_cast<std::pair<GtkWindow*, int*>*>(data);
        });
  }
  drain_main_loop();
  EXPECT_EQ(activations, 1);
  EXPECT_TRUE(
      window_tag_is_set(window, kWindowInitialFrameRevealFallbackScheduledKey));
  EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(window)));

  // A second click only marks the activation again; the armed fallback
  // reveals the window.
  focus_child_window_after_button_event(window, 4243);
  EXPECT_TRUE(
      window_tag_is_set(window, kWindowPendingActivateAfterInitialFrameKey));
  EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(window)));
  EXPECT_TRUE(run_until(
      [&] { return gtk_widget_get_visible(GTK_WIDGET(window)); }, 10000));
}

TEST_F(NativeResizeBorderTest, HiddenOrDestroyedWindowsAreNotFocused) {
  LogCapture log;
  GtkWindow* hidden = make_window_with_view();
  gtk_widget_realize(GTK_WIDGET(hidden));
  focus_child_window_after_button_event(hidden, 0);
  focus_child_window_after_button_event(hidden, 77);
  drain_main_loop();
  EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(hidden)));

  // A release whose window is destroyed before its idle runs.
  GtkWindow* doomed = make_window_with_view();
  schedule_native_child_window_resize_handler(doomed);
  ASSERT_TRUE(show_and_wait(doomed));
  g_object_ref(doomed);
  g_autoptr(GdkEvent) release =
      make_button_event(GDK_BUTTON_RELEASE, 1, 20000, 20000, 99);
  emit_button_event(GTK_WIDGET(doomed), release);
  gtk_widget_destroy(GTK_WIDGET(doomed));
  drain_main_loop();
  EXPECT_EQ(
      window_tag_get_uint(doomed, kNativeChildWindowLastFocusEventTimeKey), 0u);
  focus_child_window_after_button_event(doomed, 100);
  window_tag_set(doomed, kWindowInitialFrameRevealDeferredKey);
  focus_child_window_after_button_event(doomed, 101);
  EXPECT_FALSE(
      window_tag_is_set(doomed, kWindowPendingActivateAfterInitialFrameKey));
  EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(doomed)));
  g_object_unref(doomed);
  EXPECT_EQ(log.count(static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING |
                                                  G_LOG_LEVEL_CRITICAL)),
            0u);
}

}  // namespace
