// Adoption of every further window of the application: chrome, size hints
// and a stable first frame.
#ifndef RUNNER_CHILD_WINDOWS_CHILD_WINDOW_ADOPTION_H_
#define RUNNER_CHILD_WINDOWS_CHILD_WINDOW_ADOPTION_H_

#include <gtk/gtk.h>

#include "runner/flutter_embedder.h"
#include "runner/my_application.h"

// The record of one stabilization poll, owned and freed by the poll.
struct ChildWindowStabilizationData {
  // Borrowed, watched by a weak pointer: null once the application is gone.
  MyApplication* application;
  // Runs left, counting the coming one.
  gint32 remaining_attempts;
};

void window_added_cb(GtkApplication* application,
                     GtkWindow* window,
                     gpointer user_data);
// The four content size hints of a method call's arguments: the low 32 bits
// of "preferredWidth", "preferredHeight", "minWidth" and "minHeight", each 0
// when missing.
struct ChildWindowSizeHints {
  gint32 preferred_width;
  gint32 preferred_height;
  gint32 min_width;
  gint32 min_height;
};
ChildWindowSizeHints read_child_window_size_hints(FlValue* args);

void read_next_window_content_size_hints(MyApplication* application,
                                         FlValue* args);
void apply_child_window_content_size_hints(GtkWindow* window,
                                           gint32 preferred_width,
                                           gint32 preferred_height,
                                           gint32 min_width,
                                           gint32 min_height);
bool stabilize_child_window_initial_frame(MyApplication* application,
                                          GtkWindow* window);
// A poll record for `application` with all its attempts left; the poll frees
// it when it stops.
ChildWindowStabilizationData* child_window_stabilization_data_new(
    MyApplication* application);
void schedule_child_window_initial_frame_stabilization(
    MyApplication* application);
gboolean stabilize_next_child_window_initial_frame(gpointer data);
void bind_child_window_to_parent(GtkWindow* child, GtkWindow* parent);
void apply_minimal_gtk_child_window_chrome(GtkWindow* window);
void apply_child_windows_system_title_bar(MyApplication* application,
                                          bool show_system_title_bar);

#endif  // RUNNER_CHILD_WINDOWS_CHILD_WINDOW_ADOPTION_H_
