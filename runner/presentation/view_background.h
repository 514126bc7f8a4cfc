// The application's dark background on windows, views and drawing areas.
#ifndef RUNNER_PRESENTATION_VIEW_BACKGROUND_H_
#define RUNNER_PRESENTATION_VIEW_BACKGROUND_H_

#include <gtk/gtk.h>

inline constexpr char kFlutterWindowBackgroundColor[] = "#262626";
inline constexpr char kFlutterViewBackgroundStyleClass[] =
    "tarn-glass-flutter-background";

struct FlutterWindowBackgroundRetryData {
  GtkWindow* window;  // strong reference
  gint32 remaining_attempts;
};

void apply_widget_background(GtkWidget* widget);
bool apply_flutter_window_background(GtkWindow* window);
void schedule_flutter_window_background_retry(GtkWindow* window);
gboolean apply_flutter_window_background_retry(gpointer data);

#endif  // RUNNER_PRESENTATION_VIEW_BACKGROUND_H_
