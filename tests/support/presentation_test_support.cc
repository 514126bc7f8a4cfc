// Helpers of the presentation tests, reading X11 window properties directly.
#include "tests/support/presentation_test_support.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/gdkx.h>

#include <algorithm>
#include <vector>

namespace {

::Window x_window_of(GtkWindow* window) {
  GdkWindow* gdk_window = gtk_widget_get_window(GTK_WIDGET(window));
  if (gdk_window == nullptr || !GDK_IS_X11_WINDOW(gdk_window)) {
    return 0;
  }
  return gdk_x11_window_get_xid(gdk_window);
}

Display* x_display() {
  return gdk_x11_display_get_xdisplay(gdk_display_get_default());
}

// A property of the window's X window as the server has it now; format-32
// items only (Xlib hands those over as longs).
struct XProperty {
  bool present = false;
  Atom type = None;
  int format = 0;
  std::vector<unsigned long> items;
};

XProperty read_x_property(GtkWindow* window, const char* name) {
  XProperty property;
  ::Window xid = x_window_of(window);
  if (xid == 0) {
    return property;
  }
  gdk_display_flush(gdk_display_get_default());
  unsigned long n_items = 0;
  unsigned long bytes_after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(x_display(), xid,
                         XInternAtom(x_display(), name, False), 0, 64, False,
                         AnyPropertyType, &property.type, &property.format,
                         &n_items, &bytes_after, &data) == Success) {
    property.present = property.type != None;
    if (property.format == 32) {
      auto* longs = reinterpret_cast<unsigned long*>(data);
      property.items.assign(longs, longs + n_items);
    }
  }
  if (data != nullptr) {
    XFree(data);
  }
  return property;
}

}  // namespace

gint64 window_manager_opacity(GtkWindow* window) {
  const XProperty opacity = read_x_property(window, "_NET_WM_WINDOW_OPACITY");
  if (opacity.type != XA_CARDINAL || opacity.items.size() != 1) {
    return -1;
  }
  return static_cast<guint32>(opacity.items[0]);
}

bool x_window_has_property(GtkWindow* window, const char* property) {
  return read_x_property(window, property).present;
}

void x_window_delete_property(GtkWindow* window, const char* property) {
  ::Window xid = x_window_of(window);
  if (xid != 0) {
    XDeleteProperty(x_display(), xid,
                    XInternAtom(x_display(), property, False));
    XSync(x_display(), False);
  }
}

bool window_state_has(GtkWindow* window, GdkWindowState state) {
  GdkWindow* gdk_window = gtk_widget_get_window(GTK_WIDGET(window));
  return gdk_window != nullptr && (gdk_window_get_state(gdk_window) & state);
}

bool window_manager_keeps_above(GtkWindow* window) {
  const XProperty state = read_x_property(window, "_NET_WM_STATE");
  const Atom above = XInternAtom(x_display(), "_NET_WM_STATE_ABOVE", False);
  return state.type == XA_ATOM &&
         std::find(state.items.begin(), state.items.end(), above) !=
             state.items.end();
}

gint64 elapsed_ms(gint64 start_us) {
  return (g_get_monotonic_time() - start_us) / 1000;
}

ShowCounter::ShowCounter(gpointer widget)
    : widget_(widget), signal_id_(g_signal_lookup("show", GTK_TYPE_WIDGET)) {
  hook_id_ = g_signal_add_emission_hook(signal_id_, 0, &ShowCounter::Hook, this,
                                        nullptr);
}

ShowCounter::~ShowCounter() {
  g_signal_remove_emission_hook(signal_id_, hook_id_);
}

gboolean ShowCounter::Hook(GSignalInvocationHint*,
                           guint n_param_values,
                           const GValue* param_values,
                           gpointer data) {
  auto* self = static_cast<ShowCounter*>(data);
  if (n_param_values > 0 &&
      g_value_peek_pointer(&param_values[0]) == self->widget_) {
    self->count_++;
  }
  return TRUE;
}

GrabFocusCounter::GrabFocusCounter(GtkWidget* widget)
    : widget_(GTK_WIDGET(g_object_ref(widget))) {
  handler_id_ = g_signal_connect(widget, "grab-focus",
                                 G_CALLBACK(&GrabFocusCounter::Cb), this);
}

GrabFocusCounter::~GrabFocusCounter() {
  // A destroyed widget has lost its handlers already.
  if (g_signal_handler_is_connected(widget_, handler_id_)) {
    g_signal_handler_disconnect(widget_, handler_id_);
  }
  g_object_unref(widget_);
}

void GrabFocusCounter::Cb(GtkWidget*, gpointer data) {
  static_cast<GrabFocusCounter*>(data)->count_++;
}
