// The end of an application nobody can see, driven in process: what counts
// as gone, and that the end waits for the signal emissions that led to it.
#include "runner/unseen_session.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "runner/keep_alive/logind_lock.h"
#include "runner/presentation/initial_frame_reveal.h"
#include "tests/support/test_support.h"

namespace {

class UnseenSessionTest : public testing::Test {
 protected:
  void SetUp() override {
    g_setenv("FL_DEV_ENGINE_FIRST_FRAME_DELAY_MS", "-1", TRUE);
    app_ = make_test_application();
    g_application_activate(G_APPLICATION(app_));
    ASSERT_NE(app_->window, nullptr);
  }

  void TearDown() override {
    destroy_all_toplevels();
    g_object_unref(app_);
    drain_main_loop();
    g_unsetenv("FL_DEV_ENGINE_FIRST_FRAME_DELAY_MS");
  }

  // A child window that has been shown and then hidden.
  GtkWindow* hidden_child() {
    GtkWindow* window = make_window_with_view(GTK_APPLICATION(app_));
    reveal_window_after_initial_frame(window);
    gtk_widget_hide(GTK_WIDGET(window));
    return window;
  }

  guint window_count() {
    return g_list_length(gtk_application_get_windows(GTK_APPLICATION(app_)));
  }

  MyApplication* app_ = nullptr;
};

TEST_F(UnseenSessionTest, EndsOnlyOnceTheMainWindowIsGone) {
  int pipe_fds[2];
  ASSERT_EQ(pipe(pipe_fds), 0);
  logind_lock_hold_fd_for_testing(KEEP_ALIVE_LOGIND_LOCK(app_->sleep_lock),
                                  pipe_fds[0]);
  hidden_child();
  GtkWindow* other = hidden_child();

  // A hidden main window can be shown again.
  gtk_widget_hide(GTK_WIDGET(app_->window));
  drain_main_loop();
  EXPECT_EQ(window_count(), 3u);
  EXPECT_EQ(logind_lock_get_fd(KEEP_ALIVE_LOGIND_LOCK(app_->sleep_lock)),
            pipe_fds[0]);

  gtk_widget_destroy(GTK_WIDGET(app_->window));
  // Nothing is destroyed inside the destroy emission; a window destroyed
  // before the check runs is simply not there.
  EXPECT_EQ(window_count(), 2u);
  gtk_widget_destroy(GTK_WIDGET(other));
  drain_main_loop();
  EXPECT_EQ(window_count(), 0u);
  EXPECT_FALSE(keep_alive_lock_is_held(app_->sleep_lock));
  close(pipe_fds[1]);
}

// It may be hidden after the application has gone.
TEST_F(UnseenSessionTest, WindowLeavingTheApplicationIsNoLongerWatched) {
  GtkWindow* window = make_window_with_view(GTK_APPLICATION(app_));
  gtk_application_remove_window(GTK_APPLICATION(app_), window);
  EXPECT_EQ(g_signal_handlers_disconnect_by_data(window, app_), 0u);
}

}  // namespace
