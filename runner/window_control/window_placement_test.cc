// Tests of window placement: the centring arithmetic on rectangles, and the
// choice of target rectangle over a parent or on a monitor.
#include "runner/window_control/window_placement.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"
#include "tests/support/window_manager_test_support.h"

namespace {

struct Placement {
  gint x, y, width, height;
};

// Size and position as GTK will request them of the window manager.
Placement placement_of(GtkWindow* window) {
  Placement placement = {};
  gtk_window_get_position(window, &placement.x, &placement.y);
  gtk_window_get_size(window, &placement.width, &placement.height);
  return placement;
}

// A window without content, of the given default size, at (3, 5).
GtkWindow* make_sized_window(gint width, gint height) {
  GtkWindow* window = GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL));
  gtk_window_set_default_size(window, width, height);
  gtk_window_move(window, 3, 5);
  return window;
}

GdkRectangle first_monitor_work_area() {
  GdkRectangle area = {};
  gdk_monitor_get_workarea(
      gdk_display_get_monitor(gdk_display_get_default(), 0), &area);
  return area;
}

void expect_placement(GtkWindow* window, Placement expected) {
  Placement placement = placement_of(window);
  EXPECT_EQ(placement.x, expected.x);
  EXPECT_EQ(placement.y, expected.y);
  EXPECT_EQ(placement.width, expected.width);
  EXPECT_EQ(placement.height, expected.height);
}

class WindowPlacementTest : public ::testing::Test {
 protected:
  void TearDown() override { destroy_all_toplevels(); }
};

TEST_F(WindowPlacementTest, CentresAndShrinksToTheRectangle) {
  const GdkRectangle area = {0, 27, 900, 701};

  GtkWindow* fits = make_sized_window(600, 400);
  center_window_in_rect(fits, &area);
  expect_placement(fits, {150, 177, 600, 400});

  GtkWindow* too_large = make_sized_window(950, 800);
  center_window_in_rect(too_large, &area);
  expect_placement(too_large, {0, 27, 900, 701});

  // Only too wide: the height goes to the resize unchanged.
  GtkWindow* too_wide = make_sized_window(1000, 300);
  center_window_in_rect(too_wide, &area);
  expect_placement(too_wide, {0, 227, 900, 300});

  // An odd remainder leaves the extra pixel on the right and at the bottom.
  const GdkRectangle small = {0, 0, 200, 100};
  GtkWindow* odd = make_sized_window(101, 51);
  center_window_in_rect(odd, &small);
  expect_placement(odd, {49, 24, 101, 51});

  GtkWindow* defaulted = make_sized_window(640, 480);
  center_window_in_rect(defaulted, &area);
  expect_placement(defaulted, {130, 137, 640, 480});
}

TEST_F(WindowPlacementTest, EmptyRectangleLeavesTheWindowAlone) {
  GtkWindow* window = make_sized_window(600, 400);
  const GdkRectangle no_width = {0, 0, 0, 500};
  const GdkRectangle no_height = {0, 0, 500, -1};
  center_window_in_rect(window, &no_width);
  center_window_in_rect(window, &no_height);
  expect_placement(window, {3, 5, 600, 400});
}

TEST_F(WindowPlacementTest, CentresOverAShownParent) {
  GtkWindow* parent = make_sized_window(500, 400);
  ASSERT_TRUE(show_placed_at(parent, 200, 150));
  const gint origin_x = 200;
  const gint origin_y = 150;
  gint parent_width = 0, parent_height = 0;
  gtk_window_get_size(parent, &parent_width, &parent_height);

  GtkWindow* child = make_sized_window(300, 200);
  center_window_on_parent(child, parent);
  expect_placement(child, {origin_x + (parent_width - 300) / 2,
                           origin_y + (parent_height - 200) / 2, 300, 200});

  // Larger than the parent: shrunk to its client area and laid over it.
  GtkWindow* large = make_sized_window(900, 900);
  center_window_on_parent(large, parent);
  expect_placement(large, {origin_x, origin_y, parent_width, parent_height});
}

TEST_F(WindowPlacementTest, ParentWithoutGdkWindowFallsBackToTheMonitor) {
  GtkWindow* parent = make_sized_window(500, 400);
  GtkWindow* child = make_sized_window(300, 200);
  center_window_on_parent(child, parent);
  const GdkRectangle area = first_monitor_work_area();
  expect_placement(child, {area.x + (area.width - 300) / 2,
                           area.y + (area.height - 200) / 2, 300, 200});
}

TEST_F(WindowPlacementTest, CurrentScreenFollowsTheReferenceOrTheWindow) {
  const GdkRectangle area = first_monitor_work_area();
  GtkWindow* reference = make_sized_window(100, 100);
  gtk_widget_show(GTK_WIDGET(reference));
  ASSERT_TRUE(run_until(
      [reference] { return gtk_widget_get_mapped(GTK_WIDGET(reference)); }));

  GtkWindow* with_reference = make_sized_window(400, 300);
  center_window_on_current_screen(with_reference, reference);
  expect_placement(with_reference,
                   {area.x + (area.width - 400) / 2,
                    area.y + (area.height - 300) / 2, 400, 300});

  GtkWindow* own = make_sized_window(401, 301);
  center_window_on_current_screen(own, nullptr);
  expect_placement(own, {area.x + (area.width - 401) / 2,
                         area.y + (area.height - 301) / 2, 401, 301});
}

// The test desktop shows GDK one monitor; the choice is tested on its own.
TEST_F(WindowPlacementTest, SizeLimitIsTheWindowsMonitorElseTheLargest) {
  const GdkRectangle areas[] = {{1920, 0, 1280, 1024}, {0, 27, 1920, 1053}};
  const GdkRectangle empty = {0, 0, 0, 0};
  const auto is = [](GdkRectangle a, const GdkRectangle& b) {
    return gdk_rectangle_equal(&a, &b);
  };
  EXPECT_TRUE(is(size_limit_work_area(&areas[0], areas, 2), areas[0]));
  EXPECT_TRUE(is(size_limit_work_area(&empty, areas, 2), areas[1]));
  EXPECT_TRUE(is(size_limit_work_area(nullptr, areas, 2), areas[1]));
  EXPECT_TRUE(is(size_limit_work_area(nullptr, areas, 0), empty));
}

TEST_F(WindowPlacementTest, RestoreBoundsUnmaximizesAndCentres) {
  center_window_restore_bounds(nullptr, nullptr);

  GtkWindow* window = make_sized_window(400, 300);
  gtk_widget_show(GTK_WIDGET(window));
  gtk_window_maximize(window);
  ASSERT_TRUE(run_until([window] {
    GdkWindow* gdk_window = gtk_widget_get_window(GTK_WIDGET(window));
    return gdk_window != nullptr &&
           (gdk_window_get_state(gdk_window) & GDK_WINDOW_STATE_MAXIMIZED);
  }));
  center_window_restore_bounds(window, window);
  EXPECT_TRUE(run_until([window] {
    return !(gdk_window_get_state(gtk_widget_get_window(GTK_WIDGET(window))) &
             GDK_WINDOW_STATE_MAXIMIZED);
  }));
}

}  // namespace
