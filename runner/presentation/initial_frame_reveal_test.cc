// Tests of the initial-frame reveal: the transitions between deferred,
// frame-ready and revealed, the fallback, activation while deferred, the
// opacity the window manager sees, and windows closed while waiting.
#include "runner/presentation/initial_frame_reveal.h"

#include <flutter_linux/fl_dev_engine.h>
#include <gtest/gtest.h>

#include "runner/presentation/widget_lookup.h"
#include "runner/presentation/window_present.h"
#include "runner/presentation/window_tags.h"
#include "tests/support/presentation_test_support.h"
#include "tests/support/test_support.h"

namespace {

constexpr gint64 kTransparent = 0;
constexpr gint64 kOpaqueProperty = 0xffffffff;

bool wm_sees_opaque(GtkWindow* window) {
  const gint64 opacity = window_manager_opacity(window);
  return opacity == -1 || opacity == kOpaqueProperty;
}

class InitialFrameRevealTest : public testing::Test {
 protected:
  void TearDown() override { destroy_all_toplevels(); }

  static FlView* view_of(GtkWindow* window) {
    return find_fl_view(GTK_WIDGET(window));
  }
  static bool tag(GtkWindow* window, const char* key) {
    return window_tag_is_set(window, key);
  }
  static bool revealed(GtkWindow* window) {
    return tag(window, kWindowInitialFrameReadyKey) &&
           !tag(window, kWindowInitialFrameRevealDeferredKey) &&
           gtk_widget_get_visible(GTK_WIDGET(window)) &&
           gtk_widget_get_opacity(GTK_WIDGET(window)) == 1.0;
  }
  static void wait_mapped(GtkWindow* window) {
    ASSERT_TRUE(
        run_until([&] { return gtk_widget_get_mapped(GTK_WIDGET(window)); }));
  }
};

TEST_F(InitialFrameRevealTest, FirstFrameAfter200msSizesAndReveals) {
  GtkWindow* window = make_window_with_view(nullptr, 200);
  gtk_window_set_default_size(window, 320, 240);
  // As adoption does: deferred before the window is shown and realized.
  const gint64 start = g_get_monotonic_time();
  defer_window_reveal_until_initial_frame(window);
  EXPECT_TRUE(gtk_widget_get_realized(GTK_WIDGET(view_of(window))));
  EXPECT_TRUE(tag(window, kWindowInitialFrameRevealDeferredKey));
  EXPECT_TRUE(tag(window, kWindowInitialFrameRevealFallbackScheduledKey));
  gtk_widget_show(GTK_WIDGET(window));
  EXPECT_EQ(window_manager_opacity(window), kTransparent);

  ASSERT_TRUE(run_until([&] { return revealed(window); }));
  EXPECT_GE(elapsed_ms(start), 200);
  EXPECT_FALSE(tag(window, kWindowInitialFrameRevealFallbackScheduledKey));
  EXPECT_TRUE(wm_sees_opaque(window));
  GtkAllocation allocation;
  gtk_widget_get_allocation(find_drawing_area(GTK_WIDGET(view_of(window))),
                            &allocation);
  gint width = 0;
  gint height = 0;
  gtk_window_get_default_size(window, &width, &height);
  EXPECT_EQ(width, allocation.width);
  EXPECT_EQ(height, allocation.height);

  // The fallback still fires at 1500 ms and changes nothing.
  ShowCounter shows(window);
  run_for(1600 - elapsed_ms(start));
  EXPECT_TRUE(revealed(window));
  EXPECT_TRUE(wm_sees_opaque(window));
  EXPECT_EQ(shows.count(), 0);
}

TEST_F(InitialFrameRevealTest, FallbackRevealsAndALateFrameSizesAgain) {
  GtkWindow* window = make_window_with_view(nullptr, -1);
  gtk_window_set_default_size(window, 320, 240);
  const gint64 start = g_get_monotonic_time();
  defer_window_reveal_until_initial_frame(window);
  gtk_widget_show(GTK_WIDGET(window));
  wait_mapped(window);
  EXPECT_EQ(window_manager_opacity(window), kTransparent);
  EXPECT_FALSE(revealed(window));

  ASSERT_TRUE(run_until([&] { return revealed(window); }, 5000));
  EXPECT_GE(elapsed_ms(start), 1500);
  EXPECT_LE(elapsed_ms(start), 2200);
  EXPECT_TRUE(wm_sees_opaque(window));
  gint width = 0;
  gint height = 0;
  gtk_window_get_default_size(window, &width, &height);
  EXPECT_EQ(width, 320);
  EXPECT_EQ(height, 240);

  // A first frame after the fallback sizes the window to the view.
  drain_main_loop();
  gtk_window_set_default_size(window, 10, 10);
  fl_dev_view_emit_first_frame(view_of(window));
  GtkAllocation allocation;
  gtk_widget_get_allocation(find_drawing_area(GTK_WIDGET(view_of(window))),
                            &allocation);
  ASSERT_GT(allocation.width, 10);
  ASSERT_TRUE(run_until([&] {
    gtk_window_get_default_size(window, &width, &height);
    return width == allocation.width && height == allocation.height;
  }));
  EXPECT_TRUE(revealed(window));
}

TEST_F(InitialFrameRevealTest, ActivationWhileDeferredPresentsOnceAfterReveal) {
  GtkWindow* window = make_window_with_view(nullptr, 400);
  defer_window_reveal_until_initial_frame(window);
  gtk_widget_show(GTK_WIDGET(window));
  wait_mapped(window);
  const guint refs_deferred = G_OBJECT(window)->ref_count;

  activate_window(window);
  EXPECT_TRUE(tag(window, kWindowPendingActivateAfterInitialFrameKey));
  EXPECT_EQ(window_manager_opacity(window), kTransparent);
  // A second activation and a second deferral arm no second fallback and
  // connect no second handler: no further record holds the window.
  activate_window(window);
  defer_window_reveal_until_initial_frame(window);
  connect_window_first_frame_stabilizer(window);
  EXPECT_EQ(G_OBJECT(window)->ref_count, refs_deferred);
  EXPECT_EQ(window_manager_opacity(window), kTransparent);
  EXPECT_FALSE(fl_dev_view_has_emitted_first_frame(view_of(window)));

  GrabFocusCounter grabs(GTK_WIDGET(view_of(window)));
  ASSERT_TRUE(run_until([&] { return revealed(window); }));
  EXPECT_FALSE(tag(window, kWindowPendingActivateAfterInitialFrameKey));
  EXPECT_TRUE(tag(window, kWindowTransientKeepAboveReleaseScheduledKey));
  const int grabs_at_reveal = grabs.count();
  EXPECT_GT(grabs_at_reveal, 0);
  EXPECT_TRUE(run_until([&] { return window_manager_keeps_above(window); }));
  EXPECT_TRUE(run_until(
      [&] {
        return !tag(window, kWindowTransientKeepAboveReleaseScheduledKey);
      },
      5000));
  // The fallback at 1500 ms presents nothing more.
  run_for(1200);
  EXPECT_EQ(grabs.count(), grabs_at_reveal);
  EXPECT_FALSE(tag(window, kWindowTransientKeepAboveReleaseScheduledKey));
}

TEST_F(InitialFrameRevealTest, DeferralAfterTheRevealKeepsTheWindowOpaque) {
  GtkWindow* window = make_window_with_view(nullptr, 0);
  defer_window_reveal_until_initial_frame(window);
  gtk_widget_show(GTK_WIDGET(window));
  ASSERT_TRUE(run_until([&] { return revealed(window); }));
  defer_window_reveal_until_initial_frame(window);
  EXPECT_TRUE(revealed(window));
  EXPECT_FALSE(tag(window, kWindowInitialFrameRevealDeferredKey));
  EXPECT_TRUE(wm_sees_opaque(window));
}

TEST_F(InitialFrameRevealTest, DeferringAVisibleWindowMakesItTransparent) {
  GtkWindow* window = make_window_with_view(nullptr, -1);
  gtk_widget_show(GTK_WIDGET(window));
  wait_mapped(window);
  defer_window_reveal_until_initial_frame(window);
  EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(window)));
  EXPECT_EQ(window_manager_opacity(window), kTransparent);
  reveal_window_after_initial_frame(window);
  EXPECT_TRUE(wm_sees_opaque(window));
}

TEST_F(InitialFrameRevealTest, MainWindowIsShownOnlyByItsFirstFrame) {
  // As activation arms the main window: hidden, activation pending, no
  // fallback.
  GtkWindow* window = make_window_with_view(nullptr, -1);
  gtk_widget_set_can_focus(GTK_WIDGET(view_of(window)), TRUE);
  window_tag_set(window, kWindowPendingActivateAfterInitialFrameKey);
  connect_window_first_frame_stabilizer(window);
  EXPECT_TRUE(tag(window, kWindowFirstFrameStabilizerConnectedKey));
  gtk_widget_realize(GTK_WIDGET(view_of(window)));
  run_for(1700);
  EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(window)));

  fl_dev_view_emit_first_frame(view_of(window));
  ASSERT_TRUE(run_until([&] { return revealed(window); }));
  EXPECT_FALSE(tag(window, kWindowPendingActivateAfterInitialFrameKey));
  EXPECT_TRUE(tag(window, kWindowTransientKeepAboveReleaseScheduledKey));
  EXPECT_EQ(gtk_window_get_focus(window), GTK_WIDGET(view_of(window)));
  EXPECT_TRUE(run_until([&] { return window_manager_keeps_above(window); }));
}

TEST_F(InitialFrameRevealTest, EmptyAllocationRevealsWithoutSizing) {
  GtkWindow* window = make_window_with_view(nullptr, -1);
  connect_window_first_frame_stabilizer(window);
  gtk_widget_show(GTK_WIDGET(window));
  wait_mapped(window);
  drain_main_loop();
  // A mapped window keeps its size; only the sizing step would change this.
  gtk_window_set_default_size(window, 111, 111);
  GtkWidget* area = find_drawing_area(GTK_WIDGET(view_of(window)));
  GtkAllocation empty = {0, 0, 0, 0};
  gtk_widget_set_allocation(area, &empty);
  fl_dev_view_emit_first_frame(view_of(window));
  ASSERT_TRUE(run_until([&] { return revealed(window); }));
  gint width = 0;
  gint height = 0;
  gtk_window_get_default_size(window, &width, &height);
  EXPECT_EQ(width, 111);
  EXPECT_EQ(height, 111);
}

TEST_F(InitialFrameRevealTest, WindowClosedWhileDeferredStaysClosed) {
  // A weak pointer would be cleared by the destruction already.
  g_autoptr(GtkWindow) window =
      GTK_WINDOW(g_object_ref(make_window_with_view(nullptr, -1)));
  ShowCounter shows(window);
  LogCapture log(
      static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING));
  defer_window_reveal_until_initial_frame(window);
  gtk_widget_show(GTK_WIDGET(window));
  wait_mapped(window);
  activate_window(window);
  run_for(200);
  const int shows_before = shows.count();
  gtk_widget_destroy(GTK_WIDGET(window));

  // The fallback finds the window closed and drops the last reference.
  EXPECT_TRUE(
      run_until([&] { return G_OBJECT(window)->ref_count == 1; }, 5000));
  EXPECT_EQ(shows.count(), shows_before);
  EXPECT_EQ(log.entries().size(), 0u);
}

TEST_F(InitialFrameRevealTest, WindowClosedBeforeItsFirstFrameIdleStaysClosed) {
  // A weak pointer would be cleared by the destruction already.
  g_autoptr(GtkWindow) window =
      GTK_WINDOW(g_object_ref(make_window_with_view(nullptr, -1)));
  ShowCounter shows(window);
  LogCapture log(
      static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING));
  defer_window_reveal_until_initial_frame(window);
  fl_dev_view_emit_first_frame(view_of(window));
  EXPECT_TRUE(tag(window, kWindowInitialFrameReadyKey));
  gtk_widget_destroy(GTK_WIDGET(window));

  EXPECT_TRUE(
      run_until([&] { return G_OBJECT(window)->ref_count == 1; }, 5000));
  EXPECT_EQ(shows.count(), 0);
  EXPECT_EQ(log.entries().size(), 0u);
}

}  // namespace
