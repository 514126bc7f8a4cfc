// Centring windows: in a monitor's work area or over a parent's client area,
// shrinking a window that does not fit, with its new size and position in one
// request. Also the work area that bounds a window's size.
#include "runner/window_control/window_placement.h"

#include <vector>

#include "runner/presentation/widget_lookup.h"

namespace {

// The monitor that shows `reference`, else the primary one, else the first.
GdkMonitor* monitor_for(GdkDisplay* display, GtkWindow* reference) {
  GdkWindow* gdk_window = gtk_widget_get_window(GTK_WIDGET(reference));
  if (gdk_window != nullptr) {
    if (GdkMonitor* monitor =
            gdk_display_get_monitor_at_window(display, gdk_window)) {
      return monitor;
    }
  }
  if (GdkMonitor* monitor = gdk_display_get_primary_monitor(display)) {
    return monitor;
  }
  if (gdk_display_get_n_monitors(display) >= 1) {
    return gdk_display_get_monitor(display, 0);
  }
  return nullptr;
}

// Asks for a new size and position at once. GTK sends a mapped window's move
// at once but holds its resize back for its own size negotiation, and a
// window manager that keeps windows on screen would clamp that move against
// the old size. So a mapped window gets both in one configure request on its
// GdkWindow, with the size GTK is asked for too: GTK then has no new size to
// send. An unmapped window's size and position go out together at its map.
void move_resize_window(GtkWindow* window,
                        gint x,
                        gint y,
                        gint width,
                        gint height) {
  GtkWidget* widget = GTK_WIDGET(window);
  GdkWindow* gdk_window = gtk_widget_get_window(widget);
  gint old_width = 0;
  gint old_height = 0;
  gtk_window_get_size(window, &old_width, &old_height);
  gtk_window_resize(window, width, height);
  if (gdk_window == nullptr || !gtk_widget_get_mapped(widget)) {
    gtk_window_move(window, x, y);
    return;
  }
  // Client-side decorations make the GdkWindow larger than the size that
  // GTK reports; both still read the size before the window manager's reply.
  gdk_window_move_resize(
      gdk_window, x, y, width + gdk_window_get_width(gdk_window) - old_width,
      height + gdk_window_get_height(gdk_window) - old_height);
}

}  // namespace

void center_window_in_rect(GtkWindow* window, const GdkRectangle* rect) {
  if (rect->width < 1 || rect->height < 1) {
    return;
  }
  gint width = 0;
  gint height = 0;
  gtk_window_get_size(window, &width, &height);
  if (width < 1 || height < 1) {
    gtk_window_get_default_size(window, &width, &height);
  }
  if (width < 1 || height < 1) {
    return;
  }

  const gint placed_width = MIN(width, rect->width);
  const gint placed_height = MIN(height, rect->height);
  const gint x = rect->x + (rect->width - placed_width) / 2;
  const gint y = rect->y + (rect->height - placed_height) / 2;
  if (width > rect->width || height > rect->height) {
    move_resize_window(window, x, y, placed_width, placed_height);
  } else {
    gtk_window_move(window, x, y);
  }
}

void center_window_on_current_screen(GtkWindow* window, GtkWindow* reference) {
  GdkDisplay* display = gdk_display_get_default();
  if (display == nullptr) {
    return;
  }
  GdkMonitor* monitor =
      monitor_for(display, reference != nullptr ? reference : window);
  if (monitor == nullptr) {
    return;
  }
  GdkRectangle work_area;
  gdk_monitor_get_workarea(monitor, &work_area);
  center_window_in_rect(window, &work_area);
}

void center_window_on_parent(GtkWindow* window, GtkWindow* parent) {
  GdkWindow* parent_window = gtk_widget_get_window(GTK_WIDGET(parent));
  gint origin_x = 0;
  gint origin_y = 0;
  if (parent_window != nullptr &&
      gdk_window_get_origin(parent_window, &origin_x, &origin_y) != 0) {
    gint width = 0;
    gint height = 0;
    gtk_window_get_size(parent, &width, &height);
    if (width >= 1 && height >= 1) {
      const GdkRectangle client_area = {origin_x, origin_y, width, height};
      center_window_in_rect(window, &client_area);
      return;
    }
  }
  center_window_on_current_screen(window, parent);
}

void center_window_restore_bounds(GtkWindow* window, GtkWindow* reference) {
  if (window == nullptr) {
    return;
  }
  gtk_window_unmaximize(window);
  center_window_on_current_screen(window, reference);
  queue_flutter_view_geometry_refresh(window);
}

GdkRectangle size_limit_work_area(const GdkRectangle* own_area,
                                  const GdkRectangle* areas,
                                  size_t count) {
  if (own_area != nullptr && own_area->width >= 1 && own_area->height >= 1) {
    return *own_area;
  }
  GdkRectangle largest = {0, 0, 0, 0};
  for (size_t i = 0; i < count; ++i) {
    if (static_cast<gint64>(areas[i].width) * areas[i].height >
        static_cast<gint64>(largest.width) * largest.height) {
      largest = areas[i];
    }
  }
  return largest;
}

bool get_window_size_limit(GtkWindow* window, gint* width, gint* height) {
  GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(window));
  if (display == nullptr) {
    return false;
  }
  std::vector<GdkRectangle> areas(gdk_display_get_n_monitors(display));
  for (size_t i = 0; i < areas.size(); ++i) {
    gdk_monitor_get_workarea(gdk_display_get_monitor(display, i), &areas[i]);
  }
  GdkWindow* gdk_window = gtk_widget_get_window(GTK_WIDGET(window));
  GdkMonitor* monitor =
      gdk_window != nullptr
          ? gdk_display_get_monitor_at_window(display, gdk_window)
          : nullptr;
  GdkRectangle own_area = {0, 0, 0, 0};
  if (monitor != nullptr) {
    gdk_monitor_get_workarea(monitor, &own_area);
  }
  const GdkRectangle area =
      size_limit_work_area(&own_area, areas.data(), areas.size());
  if (area.width < 1 || area.height < 1) {
    return false;
  }
  *width = area.width;
  *height = area.height;
  return true;
}
