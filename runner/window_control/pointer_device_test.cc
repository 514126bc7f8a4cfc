// Moves and resizes on a display without a pointer: a headless weston, whose
// seatless display the test opens beside the X11 one.
#include "runner/window_control/pointer_device.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include "runner/child_windows/native_resize_border.h"
#include "runner/presentation/widget_lookup.h"
#include "runner/window_control/window_drag.h"
#include "tests/support/test_support.h"

namespace {

gboolean count_release_cb(GtkWidget*, GdkEventButton*, gpointer count) {
  ++*static_cast<int*>(count);
  return FALSE;
}

class SeatlessWaylandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    socket_name_ = g_strdup_printf("ferrow-seatless-%d", getpid());
    g_autofree gchar* socket_path =
        g_build_filename(g_get_user_runtime_dir(), socket_name_, nullptr);
    g_autofree gchar* socket_argument =
        g_strdup_printf("--socket=%s", socket_name_);
    const gchar* argv[] = {"weston", "--backend=headless-backend.so",
                           socket_argument, "--idle-time=0", nullptr};
    g_autoptr(GError) error = nullptr;
    ASSERT_TRUE(g_spawn_async(
        nullptr, const_cast<gchar**>(argv), nullptr,
        static_cast<GSpawnFlags>(
            G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD |
            G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL),
        nullptr, nullptr, &weston_, &error))
        << (error != nullptr ? error->message : "");
    ASSERT_TRUE(run_until(
        [&] { return g_file_test(socket_path, G_FILE_TEST_EXISTS); }, 20000))
        << "weston did not start";
    // The tests run GDK on X11 only; this one display is Wayland's.
    g_setenv("GDK_BACKEND", "wayland", TRUE);
    display_ = gdk_display_open(socket_name_);
    g_setenv("GDK_BACKEND", "x11", TRUE);
    ASSERT_NE(display_, nullptr);
  }

  void TearDown() override {
    destroy_all_toplevels();
    if (display_ != nullptr) {
      gdk_display_close(display_);
    }
    if (weston_ != 0) {
      kill(weston_, SIGTERM);
      waitpid(weston_, nullptr, 0);
      g_spawn_close_pid(weston_);
    }
    g_free(socket_name_);
  }

  gchar* socket_name_ = nullptr;
  GPid weston_ = 0;
  GdkDisplay* display_ = nullptr;
};

TEST_F(SeatlessWaylandTest, MovesAndResizesDoNothingWithoutAPointer) {
  EXPECT_NE(display_pointer_device(gdk_display_get_default()), nullptr);
  ASSERT_EQ(gdk_display_get_default_seat(display_), nullptr);

  GtkWindow* window = make_window_with_view();
  gtk_window_set_screen(window, gdk_display_get_default_screen(display_));
  gtk_window_set_default_size(window, 400, 300);
  gtk_widget_show(GTK_WIDGET(window));
  ASSERT_TRUE(
      run_until([&] { return gtk_widget_get_mapped(GTK_WIDGET(window)); }));
  EXPECT_EQ(window_pointer_device(window), nullptr);
  int releases = 0;
  g_signal_connect(find_fl_view(GTK_WIDGET(window)), "button-release-event",
                   G_CALLBACK(count_release_cb), &releases);

  LogCapture log(G_LOG_LEVEL_CRITICAL);
  g_autoptr(FlValue) offsets = fl_value_new_map();
  fl_value_set_string_take(offsets, "globalX", fl_value_new_float(5));
  fl_value_set_string_take(offsets, "globalY", fl_value_new_float(5));
  begin_window_drag(window, offsets);
  begin_window_drag(window, nullptr);
  fl_value_set_string_take(offsets, "edge", fl_value_new_string("east"));
  begin_window_resize(window, offsets);

  // A press in the corner of the resize border, as a touch emulates it.
  gint origin_x = 0, origin_y = 0;
  gdk_window_get_origin(gtk_widget_get_window(GTK_WIDGET(window)), &origin_x,
                        &origin_y);
  GdkEvent* press = gdk_event_new(GDK_BUTTON_PRESS);
  press->button.button = 1;
  press->button.x_root = origin_x + 1;
  press->button.y_root = origin_y + 1;
  NativeChildWindowResizeData border = {window, 8};
  EXPECT_FALSE(native_child_window_resize_button_press_cb(
      GTK_WIDGET(window), &press->button, &border));
  gdk_event_free(press);

  // No move started, so no recovery hands the view a release.
  run_for(100);
  EXPECT_EQ(releases, 0);
  EXPECT_EQ(log.count(G_LOG_LEVEL_CRITICAL), 0u);
}

}  // namespace
