// Window moves and edge resizes handed to the window manager, and the input
// recovery that gives the view its button release once a move has ended.
#include "runner/window_control/window_drag.h"

#include <cmath>

#include "runner/presentation/deferred_window_work.h"
#include "runner/presentation/widget_lookup.h"
#include "runner/window_control/pointer_device.h"

namespace {

constexpr char kEdgeArgument[] = "edge";
constexpr char kGlobalXArgument[] = "globalX";
constexpr char kGlobalYArgument[] = "globalY";

constexpr gint kDragButton = 1;
constexpr gint32 kDragRecoveryTicks = 300;
constexpr guint kDragRecoveryIntervalMs = 16;

struct WindowEdgeName {
  const char* name;
  GdkWindowEdge edge;
};

constexpr WindowEdgeName kWindowEdgeNames[] = {
    {"northWest", GDK_WINDOW_EDGE_NORTH_WEST}, {"north", GDK_WINDOW_EDGE_NORTH},
    {"northEast", GDK_WINDOW_EDGE_NORTH_EAST}, {"east", GDK_WINDOW_EDGE_EAST},
    {"southEast", GDK_WINDOW_EDGE_SOUTH_EAST}, {"south", GDK_WINDOW_EDGE_SOUTH},
    {"southWest", GDK_WINDOW_EDGE_SOUTH_WEST}, {"west", GDK_WINDOW_EDGE_WEST},
};

FlValue* argument_map(FlValue* args) {
  return args != nullptr && fl_value_get_type(args) == FL_VALUE_TYPE_MAP
             ? args
             : nullptr;
}

// An offset in pixels, truncated toward zero. A value that is not a number,
// not finite, or does not fit 32 bits counts as missing.
bool read_offset_argument(FlValue* args, const char* key, gint32* offset) {
  FlValue* value = fl_value_lookup_string(args, key);
  if (value == nullptr) {
    return false;
  }
  switch (fl_value_get_type(value)) {
    case FL_VALUE_TYPE_INT: {
      const int64_t number = fl_value_get_int(value);
      if (number < G_MININT32 || number > G_MAXINT32) {
        return false;
      }
      *offset = static_cast<gint32>(number);
      return true;
    }
    case FL_VALUE_TYPE_FLOAT: {
      const double number = std::trunc(fl_value_get_float(value));
      if (!std::isfinite(number) || number < G_MININT32 ||
          number > G_MAXINT32) {
        return false;
      }
      *offset = static_cast<gint32>(number);
      return true;
    }
    default:
      return false;
  }
}

gint clamp_to_int(gint64 value) {
  return static_cast<gint>(CLAMP(value, G_MININT32, G_MAXINT32));
}

// The pointer over the root of `window`'s screen, in root coordinates; false
// when it cannot be had. GDK fills the position and the mask whatever window
// lies under the pointer, and names that window only when it is one of its
// own children of the root: under a reparenting window manager the pointer is
// over a frame GDK does not know, which must not count as a failed query.
bool query_root_pointer(GtkWindow* window,
                        gint* x,
                        gint* y,
                        GdkModifierType* mask) {
  GdkDevice* pointer = window_pointer_device(window);
  GdkWindow* root = gdk_screen_get_root_window(gtk_window_get_screen(window));
  if (pointer == nullptr || root == nullptr) {
    return false;
  }
  gdk_window_get_device_position(root, pointer, x, y, mask);
  return true;
}

// The current event's time, else the monotonic clock in milliseconds.
guint32 event_time_or_now() {
  guint32 time = gtk_get_current_event_time();
  if (time == 0) {
    time = static_cast<guint32>(g_get_monotonic_time() / 1000);
  }
  return time;
}

// GTK refuses (with a critical) to start a move or resize on a window that
// is not shown, and GDK crashes starting one on a display without a pointer.
bool can_begin_drag(GtkWindow* window) {
  return gtk_widget_get_visible(GTK_WIDGET(window)) &&
         gtk_widget_get_window(GTK_WIDGET(window)) != nullptr &&
         window_pointer_device(window) != nullptr;
}

void send_button_release(GtkWindow* window,
                         GtkWidget* target,
                         GdkWindow* target_window,
                         gint32 root_x,
                         gint32 root_y) {
  gint origin_x = 0;
  gint origin_y = 0;
  if (gdk_window_get_origin(target_window, &origin_x, &origin_y) == 0) {
    origin_x = root_x;
    origin_y = root_y;
  }

  GdkEvent* event = gdk_event_new(GDK_BUTTON_RELEASE);
  event->button.window = GDK_WINDOW(g_object_ref(target_window));
  event->button.send_event = TRUE;
  event->button.time = event_time_or_now();
  event->button.x = static_cast<gdouble>(root_x) - origin_x;
  event->button.y = static_cast<gdouble>(root_y) - origin_y;
  event->button.axes = nullptr;
  event->button.state = 0;
  event->button.button = kDragButton;
  if (GdkDevice* pointer = window_pointer_device(window)) {
    gdk_event_set_device(event, pointer);
  }
  event->button.x_root = root_x;
  event->button.y_root = root_y;

  gboolean handled = FALSE;
  g_signal_emit_by_name(target, "button-release-event", event, &handled);
  gdk_event_free(event);
}

// Brings the moved window back to its user: present, a release for the view
// where the pointer was last seen, and keyboard focus.
void finish_window_drag(WindowDragRecoveryData* recovery) {
  GtkWindow* window = recovery->window;
  if (!window_is_alive(window) ||
      !gtk_widget_get_realized(GTK_WIDGET(window))) {
    return;
  }
  gtk_window_present(window);

  FlView* view = find_fl_view(GTK_WIDGET(window));
  if (view == nullptr) {
    return;
  }
  GtkWidget* target = find_event_box(GTK_WIDGET(view));
  if (target == nullptr) {
    target = GTK_WIDGET(view);
  }
  GdkWindow* target_window = gtk_widget_get_window(target);
  if (gtk_widget_get_realized(target) && target_window != nullptr) {
    send_button_release(window, target, target_window, recovery->root_x,
                        recovery->root_y);
  }
  gtk_widget_grab_focus(GTK_WIDGET(view));
}

}  // namespace

bool window_edge_from_name(const gchar* name, GdkWindowEdge* edge) {
  for (const WindowEdgeName& entry : kWindowEdgeNames) {
    if (g_strcmp0(name, entry.name) == 0) {
      *edge = entry.edge;
      return true;
    }
  }
  return false;
}

bool get_drag_start_root_position(GtkWindow* window,
                                  FlValue* args,
                                  gint* x,
                                  gint* y) {
  args = argument_map(args);
  gint32 offset_x = 0;
  gint32 offset_y = 0;
  if (args != nullptr &&
      read_offset_argument(args, kGlobalXArgument, &offset_x) &&
      read_offset_argument(args, kGlobalYArgument, &offset_y)) {
    GdkWindow* gdk_window =
        window != nullptr ? gtk_widget_get_window(GTK_WIDGET(window)) : nullptr;
    gint origin_x = 0;
    gint origin_y = 0;
    if (gdk_window != nullptr &&
        gdk_window_get_origin(gdk_window, &origin_x, &origin_y) != 0) {
      *x = clamp_to_int(static_cast<gint64>(origin_x) + offset_x);
      *y = clamp_to_int(static_cast<gint64>(origin_y) + offset_y);
      return true;
    }
  }
  return window != nullptr && query_root_pointer(window, x, y, nullptr);
}

void begin_window_drag(GtkWindow* window, FlValue* args) {
  if (window == nullptr || !can_begin_drag(window)) {
    return;
  }
  gint x = 0;
  gint y = 0;
  if (!get_drag_start_root_position(window, args, &x, &y)) {
    return;
  }
  gtk_window_begin_move_drag(window, kDragButton, x, y,
                             gtk_get_current_event_time());

  auto* recovery = g_new0(WindowDragRecoveryData, 1);
  recovery->window = GTK_WINDOW(g_object_ref(window));
  recovery->remaining_ticks = kDragRecoveryTicks;
  recovery->root_x = x;
  recovery->root_y = y;
  g_timeout_add(kDragRecoveryIntervalMs, recover_window_input_after_drag,
                recovery);
}

void begin_window_resize(GtkWindow* window, FlValue* args) {
  args = argument_map(args);
  if (window == nullptr || args == nullptr || !can_begin_drag(window)) {
    return;
  }
  FlValue* edge_value = fl_value_lookup_string(args, kEdgeArgument);
  if (edge_value == nullptr ||
      fl_value_get_type(edge_value) != FL_VALUE_TYPE_STRING) {
    return;
  }
  GdkWindowEdge edge;
  if (!window_edge_from_name(fl_value_get_string(edge_value), &edge)) {
    return;
  }
  gint x = 0;
  gint y = 0;
  if (!get_drag_start_root_position(window, args, &x, &y)) {
    return;
  }
  gtk_window_begin_resize_drag(window, edge, kDragButton, x, y,
                               event_time_or_now());
}

gboolean recover_window_input_after_drag(gpointer data) {
  auto* recovery = static_cast<WindowDragRecoveryData*>(data);
  if (recovery == nullptr) {
    return G_SOURCE_REMOVE;
  }

  const gint32 ticks = recovery->remaining_ticks;
  recovery->remaining_ticks = ticks - 1;
  gint x = 0;
  gint y = 0;
  GdkModifierType mask = static_cast<GdkModifierType>(0);
  // A window destroyed meanwhile has nothing left to recover.
  if (window_is_alive(recovery->window) &&
      query_root_pointer(recovery->window, &x, &y, &mask)) {
    recovery->root_x = x;
    recovery->root_y = y;
    if ((mask & GDK_BUTTON1_MASK) != 0 && ticks >= 2) {
      return G_SOURCE_CONTINUE;
    }
  }

  finish_window_drag(recovery);
  g_clear_object(&recovery->window);
  g_free(recovery);
  return G_SOURCE_REMOVE;
}
