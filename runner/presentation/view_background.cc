// The application's dark background: a style class with one CSS rule,
// installed once per screen, on the window, its view and the view's drawing
// area, the view's own background colour, and a short retry while the
// window's widgets are not all there yet.
#include "runner/presentation/view_background.h"

#include "runner/presentation/deferred_window_work.h"
#include "runner/presentation/widget_lookup.h"
#include "runner/presentation/window_tags.h"

namespace {

constexpr char kFlutterViewBackgroundStyleSheet[] =
    ".tarn-glass-flutter-background {\n"
    "  background-color: #262626;\n"
    "}\n";
constexpr guint kBackgroundRetryIntervalMs = 16;
constexpr gint32 kBackgroundRetryAttempts = 60;

void end_background_retry_series(FlutterWindowBackgroundRetryData* record) {
  window_tag_clear(record->window, kFlutterViewBackgroundApplyScheduledKey);
  g_clear_object(&record->window);
  g_free(record);
}

}  // namespace

void apply_widget_background(GtkWidget* widget) {
  g_return_if_fail(GTK_IS_WIDGET(widget));
  GdkScreen* screen = gtk_widget_get_screen(widget);
  if (screen == nullptr) {
    screen = gdk_screen_get_default();
  }
  if (screen != nullptr &&
      !window_tag_is_set(screen, kFlutterViewBackgroundStyleInstalledKey)) {
    g_autoptr(GtkCssProvider) provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, kFlutterViewBackgroundStyleSheet,
                                    -1, nullptr);
    gtk_style_context_add_provider_for_screen(
        screen, GTK_STYLE_PROVIDER(provider),
        GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    window_tag_set(screen, kFlutterViewBackgroundStyleInstalledKey);
  }
  GtkStyleContext* context = gtk_widget_get_style_context(widget);
  if (context != nullptr) {
    gtk_style_context_add_class(context, kFlutterViewBackgroundStyleClass);
  }
  gtk_widget_queue_draw(widget);
}

bool apply_flutter_window_background(GtkWindow* window) {
  g_return_val_if_fail(GTK_IS_WINDOW(window), false);
  GdkRGBA window_colour;
  if (!gdk_rgba_parse(&window_colour, kFlutterWindowBackgroundColor)) {
    return false;
  }
  apply_widget_background(GTK_WIDGET(window));
  FlView* view = find_fl_view(GTK_WIDGET(window));
  if (view == nullptr) {
    return false;
  }
  GdkRGBA view_colour;
  if (!gdk_rgba_parse(&view_colour, kFlutterWindowBackgroundColor)) {
    return false;
  }
  fl_view_set_background_color(view, &view_colour);
  apply_widget_background(GTK_WIDGET(view));
  GtkWidget* drawing_area = find_drawing_area(GTK_WIDGET(view));
  if (drawing_area == nullptr) {
    return false;
  }
  apply_widget_background(drawing_area);
  return true;
}

void schedule_flutter_window_background_retry(GtkWindow* window) {
  g_return_if_fail(GTK_IS_WINDOW(window));
  if (!window_is_alive(window) || apply_flutter_window_background(window) ||
      window_tag_is_set(window, kFlutterViewBackgroundApplyScheduledKey)) {
    return;
  }
  auto* record = static_cast<FlutterWindowBackgroundRetryData*>(
      g_malloc0(sizeof(FlutterWindowBackgroundRetryData)));
  record->window = GTK_WINDOW(g_object_ref(window));
  record->remaining_attempts = kBackgroundRetryAttempts;
  window_tag_set(window, kFlutterViewBackgroundApplyScheduledKey);
  g_timeout_add(kBackgroundRetryIntervalMs,
                apply_flutter_window_background_retry, record);
}

gboolean apply_flutter_window_background_retry(gpointer data) {
  auto* record = static_cast<FlutterWindowBackgroundRetryData*>(data);
  if (record == nullptr) {
    return FALSE;
  }
  if (record->window == nullptr) {
    g_free(record);
    return FALSE;
  }
  // A window closed meanwhile is not restyled; the series ends.
  if (!window_is_alive(record->window)) {
    end_background_retry_series(record);
    return FALSE;
  }
  const bool complete = apply_flutter_window_background(record->window);
  const gint32 remaining = record->remaining_attempts;
  record->remaining_attempts = remaining - 1;
  if (complete || remaining < 2) {
    end_background_retry_series(record);
    return FALSE;
  }
  return TRUE;
}
