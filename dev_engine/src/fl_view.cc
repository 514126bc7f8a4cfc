// FlView: a box holding an event box holding a drawing area that paints the
// background colour and a placeholder naming the view; emits "first-frame"
// its delay after it is realized (or, like an embedder older than that signal,
// has none).
#include "fl_dev_private.h"

#include <cinttypes>
#include <cstdlib>

namespace {

constexpr char kFirstFrameDelayEnv[] = "FL_DEV_ENGINE_FIRST_FRAME_DELAY_MS";
constexpr char kNoFirstFrameSignalEnv[] = "FL_DEV_ENGINE_NO_FIRST_FRAME_SIGNAL";

enum { kSignalFirstFrame, kLastSignal };
guint view_signals[kLastSignal];

int64_t next_view_id = 0;
// Every live view, in id order (borrowed; a view removes itself on dispose).
GList* live_views = nullptr;

gint first_frame_delay_from_env() {
  const gchar* text = g_getenv(kFirstFrameDelayEnv);
  if (text == nullptr || *text == '\0') {
    return 0;
  }
  gint64 delay = 0;
  if (!g_ascii_string_to_signed(text, 10, -1, G_MAXINT, &delay, nullptr)) {
    return 0;
  }
  return static_cast<gint>(delay);
}

}  // namespace

struct _FlView {
  GtkBox parent_instance;
  FlEngine* engine;
  int64_t id;
  GtkWidget* event_box;
  GtkWidget* drawing_area;
  GdkRGBA background_color;
  gboolean background_color_set;
  gint first_frame_delay_ms;
  gboolean first_frame_emitted;
  guint first_frame_source_id;
  gboolean disposed;
};

static void fl_view_plugin_registry_iface_init(
    FlPluginRegistryInterface* iface);

G_DEFINE_TYPE_WITH_CODE(
    FlView,
    fl_view,
    GTK_TYPE_BOX,
    G_IMPLEMENT_INTERFACE(fl_plugin_registry_get_type(),
                          fl_view_plugin_registry_iface_init))

static FlPluginRegistrar* fl_view_get_registrar_for_plugin(
    FlPluginRegistry* registry,
    const gchar* name) {
  FlView* self = FL_VIEW(registry);
  if (self->engine == nullptr) {
    return nullptr;
  }
  fl_dev_engine_add_registrar_name(self->engine, name);
  return fl_dev_plugin_registrar_new(self, self->engine);
}

static void fl_view_plugin_registry_iface_init(
    FlPluginRegistryInterface* iface) {
  iface->get_registrar_for_plugin = fl_view_get_registrar_for_plugin;
}

static void emit_first_frame(FlView* self) {
  self->first_frame_emitted = TRUE;
  // A handler may destroy the view.
  g_object_ref(self);
  int64_t id = self->id;
  if (view_signals[kSignalFirstFrame] != 0) {
    g_signal_emit(self, view_signals[kSignalFirstFrame], 0);
  }
  fl_dev_control_socket_notify_first_frame(id);
  g_object_unref(self);
}

static gboolean first_frame_cb(gpointer user_data) {
  FlView* self = FL_VIEW(user_data);
  self->first_frame_source_id = 0;
  if (!self->first_frame_emitted && !self->disposed) {
    emit_first_frame(self);
  }
  return G_SOURCE_REMOVE;
}

static void cancel_first_frame(FlView* self) {
  if (self->first_frame_source_id != 0) {
    g_source_remove(self->first_frame_source_id);
    self->first_frame_source_id = 0;
  }
}

static void schedule_first_frame(FlView* self) {
  cancel_first_frame(self);
  if (self->first_frame_emitted || self->disposed ||
      self->first_frame_delay_ms < 0 ||
      !gtk_widget_get_realized(GTK_WIDGET(self))) {
    return;
  }
  // The source is removed when the view goes, so it holds no reference.
  self->first_frame_source_id = g_timeout_add(
      static_cast<guint>(self->first_frame_delay_ms), first_frame_cb, self);
}

static gboolean draw_cb(GtkWidget* widget, cairo_t* cr, gpointer user_data) {
  FlView* self = FL_VIEW(user_data);
  const GdkRGBA& color = self->background_color;
  cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);

  // The placeholder: the view id in large type, in a colour that stands out
  // from the background, inside a frame.
  const double width = gtk_widget_get_allocated_width(widget);
  const double height = gtk_widget_get_allocated_height(widget);
  const double luminance =
      0.299 * color.red + 0.587 * color.green + 0.114 * color.blue;
  const double ink = luminance < 0.5 ? 0.9 : 0.1;
  cairo_set_source_rgb(cr, ink, ink, ink);
  cairo_set_line_width(cr, 2.0);
  cairo_rectangle(cr, 8.0, 8.0, MAX(width - 16.0, 0.0),
                  MAX(height - 16.0, 0.0));
  cairo_stroke(cr);

  g_autofree gchar* label = g_strdup_printf("view %" PRId64, self->id);
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                         CAIRO_FONT_WEIGHT_BOLD);
  cairo_set_font_size(cr, MAX(12.0, MIN(width, height) / 5.0));
  cairo_text_extents_t extents;
  cairo_text_extents(cr, label, &extents);
  cairo_move_to(cr, (width - extents.width) / 2.0 - extents.x_bearing,
                (height - extents.height) / 2.0 - extents.y_bearing);
  cairo_show_text(cr, label);
  return TRUE;
}

static void fl_view_realize(GtkWidget* widget) {
  GTK_WIDGET_CLASS(fl_view_parent_class)->realize(widget);
  schedule_first_frame(FL_VIEW(widget));
}

static void fl_view_unrealize(GtkWidget* widget) {
  cancel_first_frame(FL_VIEW(widget));
  GTK_WIDGET_CLASS(fl_view_parent_class)->unrealize(widget);
}

static void fl_view_dispose(GObject* object) {
  FlView* self = FL_VIEW(object);
  if (!self->disposed) {
    self->disposed = TRUE;
    live_views = g_list_remove(live_views, self);
  }
  cancel_first_frame(self);
  G_OBJECT_CLASS(fl_view_parent_class)->dispose(object);
}

static void fl_view_finalize(GObject* object) {
  FlView* self = FL_VIEW(object);
  g_clear_object(&self->engine);
  G_OBJECT_CLASS(fl_view_parent_class)->finalize(object);
}

static void fl_view_class_init(FlViewClass* klass) {
  G_OBJECT_CLASS(klass)->dispose = fl_view_dispose;
  G_OBJECT_CLASS(klass)->finalize = fl_view_finalize;
  GTK_WIDGET_CLASS(klass)->realize = fl_view_realize;
  GTK_WIDGET_CLASS(klass)->unrealize = fl_view_unrealize;

  // Switched off, a view still draws its first frame (the control socket
  // reports it); only the signal to connect to is missing.
  if (g_strcmp0(g_getenv(kNoFirstFrameSignalEnv), "1") != 0) {
    view_signals[kSignalFirstFrame] =
        g_signal_new("first-frame", fl_view_get_type(), G_SIGNAL_RUN_LAST, 0,
                     nullptr, nullptr, nullptr, G_TYPE_NONE, 0);
  }
}

static void fl_view_init(FlView* self) {
  self->id = next_view_id++;
  self->first_frame_delay_ms = first_frame_delay_from_env();
  self->background_color = {0.2, 0.2, 0.2, 1.0};
  live_views = g_list_append(live_views, self);
  // The view takes keyboard focus, as the real one does for key events.
  gtk_widget_set_can_focus(GTK_WIDGET(self), TRUE);

  self->event_box = gtk_event_box_new();
  gtk_widget_set_hexpand(self->event_box, TRUE);
  gtk_widget_set_vexpand(self->event_box, TRUE);
  gtk_box_pack_start(GTK_BOX(self), self->event_box, TRUE, TRUE, 0);

  self->drawing_area = gtk_drawing_area_new();
  gtk_widget_set_hexpand(self->drawing_area, TRUE);
  gtk_widget_set_vexpand(self->drawing_area, TRUE);
  g_signal_connect(self->drawing_area, "draw", G_CALLBACK(draw_cb), self);
  gtk_container_add(GTK_CONTAINER(self->event_box), self->drawing_area);

  gtk_widget_show(self->drawing_area);
  gtk_widget_show(self->event_box);
}

FlView* fl_view_new(FlDartProject* project) {
  g_return_val_if_fail(FL_IS_DART_PROJECT(project), nullptr);
  g_autoptr(FlEngine) engine = fl_engine_new(project);
  return fl_view_new_for_engine(engine);
}

FlView* fl_view_new_for_engine(FlEngine* engine) {
  g_return_val_if_fail(FL_IS_ENGINE(engine), nullptr);
  FlView* self = FL_VIEW(g_object_new(fl_view_get_type(), nullptr));
  self->engine = FL_ENGINE(g_object_ref(engine));
  return self;
}

FlEngine* fl_view_get_engine(FlView* self) {
  g_return_val_if_fail(FL_IS_VIEW(self), nullptr);
  return self->engine;
}

int64_t fl_view_get_id(FlView* self) {
  g_return_val_if_fail(FL_IS_VIEW(self), -1);
  return self->id;
}

void fl_view_set_background_color(FlView* self, const GdkRGBA* color) {
  g_return_if_fail(FL_IS_VIEW(self));
  g_return_if_fail(color != nullptr);
  self->background_color = *color;
  self->background_color_set = TRUE;
  gtk_widget_queue_draw(self->drawing_area);
}

void fl_dev_view_emit_first_frame(FlView* self) {
  g_return_if_fail(FL_IS_VIEW(self));
  cancel_first_frame(self);
  emit_first_frame(self);
}

gboolean fl_dev_view_has_emitted_first_frame(FlView* self) {
  g_return_val_if_fail(FL_IS_VIEW(self), FALSE);
  return self->first_frame_emitted;
}

void fl_dev_view_set_first_frame_delay(FlView* self, gint delay_ms) {
  g_return_if_fail(FL_IS_VIEW(self));
  self->first_frame_delay_ms = delay_ms < 0 ? -1 : delay_ms;
  // A view already realized waits the new delay from now.
  schedule_first_frame(self);
}

gboolean fl_dev_view_get_background_color(FlView* self, GdkRGBA* color) {
  g_return_val_if_fail(FL_IS_VIEW(self), FALSE);
  if (!self->background_color_set) {
    return FALSE;
  }
  if (color != nullptr) {
    *color = self->background_color;
  }
  return TRUE;
}

const GList* fl_dev_view_get_live_views() {
  return live_views;
}

FlView* fl_dev_view_lookup(int64_t view_id) {
  for (GList* l = live_views; l != nullptr; l = l->next) {
    FlView* view = FL_VIEW(l->data);
    if (view->id == view_id) {
      return view;
    }
  }
  return nullptr;
}
