// Adoption of every further window of the application: chrome, the size
// hints Dart prepared for it, and a first frame at its preferred size.
#include "runner/child_windows/child_window_adoption.h"

#include "runner/child_windows/native_resize_border.h"
#include "runner/presentation/initial_frame_reveal.h"
#include "runner/presentation/view_background.h"
#include "runner/presentation/widget_lookup.h"
#include "runner/presentation/window_tags.h"
#include "runner/window_control/channel_arguments.h"
#include "runner/window_control/window_placement.h"
#include "runner/window_frame_plugin.h"

namespace {

constexpr gint32 kChildWindowFallbackMinWidth = 320;
constexpr gint32 kChildWindowFallbackMinHeight = 96;
// X11 takes no window side beyond this; the bound for a display that reports
// no monitor.
constexpr gint32 kMaxWindowSide = 32767;
constexpr guint kChildWindowStabilizationIntervalMs = 16;
constexpr gint32 kChildWindowStabilizationAttempts = 60;

constexpr char kPreferredWidthArgument[] = "preferredWidth";
constexpr char kPreferredHeightArgument[] = "preferredHeight";
constexpr char kMinWidthArgument[] = "minWidth";
constexpr char kMinHeightArgument[] = "minHeight";

// The low 32 bits of a hint, as Dart's ints are 64-bit.
gint32 read_size_hint(FlValue* args, const char* key) {
  return static_cast<gint32>(read_int_argument(args, key, 0));
}

// Whether the sweeps may touch the window: it is of this application or of
// none. The callers tell the main window apart themselves.
bool belongs_to_application(MyApplication* self, GtkWindow* window) {
  GtkApplication* owner = gtk_window_get_application(window);
  return owner == nullptr || owner == GTK_APPLICATION(self);
}

void child_window_stabilization_data_free(ChildWindowStabilizationData* data) {
  if (data->application != nullptr) {
    g_object_remove_weak_pointer(
        G_OBJECT(data->application),
        reinterpret_cast<gpointer*>(&data->application));
  }
  g_free(data);
}

}  // namespace

void window_added_cb(GtkApplication* application,
                     GtkWindow* window,
                     gpointer user_data) {
  (void)application;
  MyApplication* self = MY_APPLICATION(user_data);

  // Once the main window has been built, every other window is a child
  // window, also after the main window itself has gone.
  if (window != nullptr && self->main_window_built && window != self->window) {
    schedule_flutter_window_background_retry(window);
    gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_NORMAL);
    gtk_window_set_decorated(window, FALSE);
    schedule_native_child_window_resize_handler(window);
    // The hints go first: the deferral realizes the view, and a window
    // realized at its old default size lays its view out at that size,
    // which the first frame would then restore.
    apply_child_window_content_size_hints(
        window, self->next_window_preferred_width,
        self->next_window_preferred_height, self->next_window_min_width,
        self->next_window_min_height);
    defer_window_reveal_until_initial_frame(window);
    stabilize_child_window_initial_frame(self, window);
    connect_window_first_frame_stabilizer(window);
  } else if (window != nullptr && self->window != nullptr) {
    schedule_flutter_window_background_retry(window);
    gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_NORMAL);
    take_over_window_frame(window);
  }

  // Prepared hints serve exactly the next added window, whichever it is.
  self->next_window_preferred_width = 0;
  self->next_window_preferred_height = 0;
  self->next_window_min_width = 0;
  self->next_window_min_height = 0;
}

ChildWindowSizeHints read_child_window_size_hints(FlValue* args) {
  return {read_size_hint(args, kPreferredWidthArgument),
          read_size_hint(args, kPreferredHeightArgument),
          read_size_hint(args, kMinWidthArgument),
          read_size_hint(args, kMinHeightArgument)};
}

void read_next_window_content_size_hints(MyApplication* application,
                                         FlValue* args) {
  if (application == nullptr) {
    return;
  }
  const ChildWindowSizeHints hints = read_child_window_size_hints(args);
  application->next_window_preferred_width = hints.preferred_width;
  application->next_window_preferred_height = hints.preferred_height;
  application->next_window_min_width = hints.min_width;
  application->next_window_min_height = hints.min_height;
}

void apply_child_window_content_size_hints(GtkWindow* window,
                                           gint32 preferred_width,
                                           gint32 preferred_height,
                                           gint32 min_width,
                                           gint32 min_height) {
  if (window == nullptr) {
    return;
  }

  // Hints come from Dart unchecked. A window larger than its screen cannot
  // be seen whole, and a huge one makes the display server allocate its
  // pixels (gigabytes at 32767 × 32767), so the work area bounds every size,
  // the floor for missing minimums included.
  gint limit_width = kMaxWindowSide;
  gint limit_height = kMaxWindowSide;
  get_window_size_limit(window, &limit_width, &limit_height);
  const gint32 effective_min_width = MIN(
      min_width >= 2 ? min_width : kChildWindowFallbackMinWidth, limit_width);
  const gint32 effective_min_height =
      MIN(min_height >= 2 ? min_height : kChildWindowFallbackMinHeight,
          limit_height);
  const gint32 effective_preferred_width =
      MIN(preferred_width > effective_min_width ? preferred_width
                                                : effective_min_width,
          limit_width);
  const gint32 effective_preferred_height =
      MIN(preferred_height > effective_min_height ? preferred_height
                                                  : effective_min_height,
          limit_height);

  window_tag_set_int(window, kChildWindowPreferredWidthKey,
                     effective_preferred_width);
  window_tag_set_int(window, kChildWindowPreferredHeightKey,
                     effective_preferred_height);
  window_tag_set_int(window, kChildWindowMinWidthKey, effective_min_width);
  window_tag_set_int(window, kChildWindowMinHeightKey, effective_min_height);

  GdkGeometry geometry = {};
  geometry.min_width = effective_min_width;
  geometry.min_height = effective_min_height;
  gtk_window_set_geometry_hints(window, nullptr, &geometry, GDK_HINT_MIN_SIZE);

  FlView* view = find_fl_view(GTK_WIDGET(window));
  GtkWidget* drawing_area =
      view != nullptr ? find_drawing_area(GTK_WIDGET(view)) : nullptr;
  if (view != nullptr) {
    GdkRGBA color;
    if (gdk_rgba_parse(&color, kFlutterWindowBackgroundColor)) {
      fl_view_set_background_color(view, &color);
      apply_widget_background(GTK_WIDGET(view));
      if (drawing_area != nullptr) {
        apply_widget_background(drawing_area);
      }
    }
    gtk_widget_set_size_request(GTK_WIDGET(view), effective_min_width,
                                effective_min_height);
    if (drawing_area != nullptr) {
      gtk_widget_set_size_request(drawing_area, effective_min_width,
                                  effective_min_height);
    }
  }

  gtk_window_set_default_size(window, effective_preferred_width,
                              effective_preferred_height);

  gint width = 0;
  gint height = 0;
  gtk_window_get_size(window, &width, &height);
  if (gtk_widget_get_mapped(GTK_WIDGET(window)) &&
      (width < effective_min_width || height < effective_min_height)) {
    gtk_window_resize(window, effective_preferred_width,
                      effective_preferred_height);
  }

  if (view != nullptr) {
    if (drawing_area != nullptr) {
      gtk_widget_queue_resize(drawing_area);
    }
    gtk_widget_queue_resize(GTK_WIDGET(view));
  }
}

bool stabilize_child_window_initial_frame(MyApplication* application,
                                          GtkWindow* window) {
  if (application == nullptr || window == nullptr) {
    return false;
  }
  GtkApplication* owner = gtk_window_get_application(window);
  if (owner != nullptr && owner != GTK_APPLICATION(application)) {
    return false;
  }
  if (window == application->window) {
    return false;
  }
  if (find_fl_view(GTK_WIDGET(window)) == nullptr) {
    return false;
  }
  if (window_tag_is_set(window, kInitialFrameStabilizedKey)) {
    return false;
  }

  gint default_width = 0;
  gint default_height = 0;
  gtk_window_get_default_size(window, &default_width, &default_height);
  const gint32 preferred_width =
      window_tag_get_int(window, kChildWindowPreferredWidthKey);
  const gint32 preferred_height =
      window_tag_get_int(window, kChildWindowPreferredHeightKey);
  apply_child_window_content_size_hints(
      window, preferred_width > 0 ? preferred_width : default_width,
      preferred_height > 0 ? preferred_height : default_height,
      window_tag_get_int(window, kChildWindowMinWidthKey),
      window_tag_get_int(window, kChildWindowMinHeightKey));
  gtk_window_get_default_size(window, &default_width, &default_height);

  // Until the view draws into a realized area there is nothing to settle;
  // the next tick or request tries again.
  FlView* view = find_fl_view(GTK_WIDGET(window));
  if (view == nullptr) {
    return false;
  }
  GtkWidget* drawing_area = find_drawing_area(GTK_WIDGET(view));
  if (drawing_area == nullptr || !gtk_widget_get_realized(drawing_area)) {
    return false;
  }

  gint width = 0;
  gint height = 0;
  gtk_window_get_size(window, &width, &height);
  gtk_window_set_default_size(window, default_width, default_height);
  if (width != default_width || height != default_height ||
      !gtk_widget_get_mapped(GTK_WIDGET(window))) {
    gtk_window_resize(window, default_width, default_height);
  }
  gtk_widget_queue_resize(GTK_WIDGET(view));
  window_tag_set(window, kInitialFrameStabilizedKey);
  return true;
}

ChildWindowStabilizationData* child_window_stabilization_data_new(
    MyApplication* application) {
  g_return_val_if_fail(application != nullptr, nullptr);
  auto* data = static_cast<ChildWindowStabilizationData*>(
      g_malloc0(sizeof(ChildWindowStabilizationData)));
  data->application = application;
  data->remaining_attempts = kChildWindowStabilizationAttempts;
  // The poll holds no reference; it ends itself if the application goes.
  g_object_add_weak_pointer(G_OBJECT(application),
                            reinterpret_cast<gpointer*>(&data->application));
  return data;
}

void schedule_child_window_initial_frame_stabilization(
    MyApplication* application) {
  if (application == nullptr) {
    return;
  }

  // Windows that exist now are not the announced one.
  GList* toplevels = gtk_window_list_toplevels();
  for (GList* l = toplevels; l != nullptr; l = l->next) {
    if (l->data == nullptr || !GTK_IS_WINDOW(l->data)) {
      continue;
    }
    GtkWindow* window = GTK_WINDOW(l->data);
    if (!belongs_to_application(application, window) ||
        window == application->window ||
        find_fl_view(GTK_WIDGET(window)) == nullptr) {
      continue;
    }
    window_tag_set(window, kInitialFrameStabilizedKey);
  }
  g_list_free(toplevels);

  g_timeout_add(kChildWindowStabilizationIntervalMs,
                stabilize_next_child_window_initial_frame,
                child_window_stabilization_data_new(application));
}

gboolean stabilize_next_child_window_initial_frame(gpointer user_data) {
  auto* data = static_cast<ChildWindowStabilizationData*>(user_data);
  if (data == nullptr) {
    return G_SOURCE_REMOVE;
  }
  if (data->application == nullptr) {
    child_window_stabilization_data_free(data);
    return G_SOURCE_REMOVE;
  }

  bool stabilized = false;
  GList* toplevels = gtk_window_list_toplevels();
  for (GList* l = toplevels; l != nullptr && !stabilized; l = l->next) {
    if (l->data != nullptr && GTK_IS_WINDOW(l->data)) {
      stabilized = stabilize_child_window_initial_frame(data->application,
                                                        GTK_WINDOW(l->data));
    }
  }
  g_list_free(toplevels);

  const gint32 attempts = data->remaining_attempts;
  data->remaining_attempts = attempts - 1;
  if (stabilized || attempts < 2) {
    child_window_stabilization_data_free(data);
    return G_SOURCE_REMOVE;
  }
  return G_SOURCE_CONTINUE;
}

void bind_child_window_to_parent(GtkWindow* child, GtkWindow* parent) {
  if (child == nullptr || parent == nullptr || child == parent) {
    return;
  }
  gtk_window_set_transient_for(child, parent);
  gtk_window_set_destroy_with_parent(child, FALSE);
}

void apply_minimal_gtk_child_window_chrome(GtkWindow* window) {
  if (window == nullptr) {
    return;
  }
  gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_NORMAL);
  gtk_window_set_decorated(window, FALSE);
}

void apply_child_windows_system_title_bar(MyApplication* application,
                                          bool show_system_title_bar) {
  if (show_system_title_bar || application == nullptr) {
    return;
  }
  GList* toplevels = gtk_window_list_toplevels();
  for (GList* l = toplevels; l != nullptr; l = l->next) {
    if (l->data == nullptr || !GTK_IS_WINDOW(l->data)) {
      continue;
    }
    GtkWindow* window = GTK_WINDOW(l->data);
    if (!belongs_to_application(application, window)) {
      continue;
    }
    if (window == application->window) {
      take_over_window_frame(window);
    } else {
      apply_minimal_gtk_child_window_chrome(window);
      schedule_native_child_window_resize_handler(window);
    }
  }
  g_list_free(toplevels);
}
