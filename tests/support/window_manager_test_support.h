// Test helper: waiting until the window manager has taken a window in and
// placed it.
#ifndef TESTS_SUPPORT_WINDOW_MANAGER_TEST_SUPPORT_H_
#define TESTS_SUPPORT_WINDOW_MANAGER_TEST_SUPPORT_H_

#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include "tests/support/test_support.h"

// Whether the window manager has reparented the window into a frame of its
// own: until then the window's position is GTK's request, not the result.
inline bool is_framed_by_window_manager(GtkWindow* window) {
  GdkWindow* gdk_window = gtk_widget_get_window(GTK_WIDGET(window));
  if (gdk_window == nullptr) {
    return false;
  }
  Display* display = GDK_WINDOW_XDISPLAY(gdk_window);
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned int n_children = 0;
  if (XQueryTree(display, GDK_WINDOW_XID(gdk_window), &root, &parent, &children,
                 &n_children) == 0) {
    return false;
  }
  if (children != nullptr) {
    XFree(children);
  }
  return parent != root;
}

// Shows an undecorated window and waits until it is mapped, framed, and has
// its origin at (x, y), where it asked to be; false on timeout.
inline bool show_placed_at(GtkWindow* window, gint x, gint y) {
  gtk_window_set_decorated(window, FALSE);
  gtk_window_move(window, x, y);
  gtk_widget_show(GTK_WIDGET(window));
  return run_until([window, x, y] {
    if (!gtk_widget_get_mapped(GTK_WIDGET(window)) ||
        !is_framed_by_window_manager(window)) {
      return false;
    }
    gint origin_x = 0;
    gint origin_y = 0;
    gdk_window_get_origin(gtk_widget_get_window(GTK_WIDGET(window)), &origin_x,
                          &origin_y);
    return origin_x == x && origin_y == y;
  });
}

#endif  // TESTS_SUPPORT_WINDOW_MANAGER_TEST_SUPPORT_H_
