// The resize border and click-to-focus of undecorated child windows.
#ifndef RUNNER_CHILD_WINDOWS_NATIVE_RESIZE_BORDER_H_
#define RUNNER_CHILD_WINDOWS_NATIVE_RESIZE_BORDER_H_

#include <gtk/gtk.h>

// The user data of one connected button handler.
struct NativeChildWindowResizeData {
  GtkWindow* window;  // strong reference
  gint32 border_width;
};

void schedule_native_child_window_resize_handler(GtkWindow* window);
void connect_native_child_window_resize_handler(GtkWidget* widget,
                                                GtkWindow* window,
                                                gint32 border_width);
gboolean native_child_window_resize_button_press_cb(GtkWidget* widget,
                                                    GdkEventButton* event,
                                                    gpointer data);
gboolean native_child_window_button_release_focus_cb(GtkWidget* widget,
                                                     GdkEventButton* event,
                                                     gpointer data);
void native_child_window_resize_closure_data_free(gpointer data,
                                                  GClosure* closure);
// The edge a press at (dx, dy) in a window of the given size resizes from;
// false when the press lies inside the border.
bool native_child_window_resize_edge(double dx,
                                     double dy,
                                     gint width,
                                     gint height,
                                     gint32 border_width,
                                     GdkWindowEdge* edge);
bool is_native_child_window_title_bar_control_area(GtkWindow* window,
                                                   double root_x,
                                                   double root_y);
void focus_child_window_after_button_event(GtkWindow* window,
                                           guint32 event_time);
gboolean focus_child_window_after_button_release_idle(gpointer data);

#endif  // RUNNER_CHILD_WINDOWS_NATIVE_RESIZE_BORDER_H_
