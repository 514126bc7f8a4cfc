// Finding a window's view and the view's inner widgets by walking the widget
// tree, finding a window by the id of its view, and the geometry refresh.
#include "runner/presentation/widget_lookup.h"

namespace {

// Depth-first pre-order: a widget before its descendants, earlier children
// and their subtrees before later children; the first match wins.
GtkWidget* find_widget_of_type(GtkWidget* widget, GType type) {
  if (widget == nullptr) {
    return nullptr;
  }
  if (G_TYPE_CHECK_INSTANCE_TYPE(widget, type)) {
    return widget;
  }
  if (!GTK_IS_CONTAINER(widget)) {
    return nullptr;
  }
  GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
  GtkWidget* result = nullptr;
  for (GList* l = children; l != nullptr && result == nullptr; l = l->next) {
    if (l->data == nullptr || !GTK_IS_WIDGET(l->data)) {
      continue;
    }
    result = find_widget_of_type(GTK_WIDGET(l->data), type);
  }
  g_list_free(children);
  return result;
}

}  // namespace

FlView* find_fl_view(GtkWidget* widget) {
  GtkWidget* view = find_widget_of_type(widget, fl_view_get_type());
  return view == nullptr ? nullptr : FL_VIEW(view);
}

GtkWidget* find_drawing_area(GtkWidget* widget) {
  return find_widget_of_type(widget, GTK_TYPE_DRAWING_AREA);
}

GtkWidget* find_event_box(GtkWidget* widget) {
  return find_widget_of_type(widget, GTK_TYPE_EVENT_BOX);
}

GtkWindow* find_window_by_view_id(MyApplication* application, gint64 view_id) {
  if (view_id < 0) {
    return nullptr;
  }
  GList* toplevels = gtk_window_list_toplevels();
  GtkWindow* result = nullptr;
  for (GList* l = toplevels; l != nullptr && result == nullptr; l = l->next) {
    if (l->data == nullptr || !GTK_IS_WINDOW(l->data)) {
      continue;
    }
    GtkWindow* window = GTK_WINDOW(l->data);
    GtkApplication* owner = gtk_window_get_application(window);
    if (owner != nullptr &&
        owner != reinterpret_cast<GtkApplication*>(application)) {
      continue;
    }
    FlView* view = find_fl_view(GTK_WIDGET(window));
    if (view == nullptr || fl_view_get_id(view) != view_id) {
      continue;
    }
    result = window;
  }
  g_list_free(toplevels);
  return result;
}

void queue_flutter_view_geometry_refresh(GtkWindow* window) {
  if (window == nullptr) {
    return;
  }
  FlView* view = find_fl_view(GTK_WIDGET(window));
  if (view == nullptr) {
    return;
  }
  GtkWidget* drawing_area = find_drawing_area(GTK_WIDGET(view));
  if (drawing_area != nullptr) {
    gtk_widget_queue_resize(drawing_area);
  }
  gtk_widget_queue_resize(GTK_WIDGET(view));
}
