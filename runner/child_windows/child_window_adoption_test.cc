// Tests of child window adoption: size hint arithmetic and consumption, and
// the stabilization of a child window's first frame.
#include "runner/child_windows/child_window_adoption.h"

#include <flutter_linux/fl_dev_engine.h>
#include <gtest/gtest.h>

#include "runner/child_windows/native_resize_border.h"
#include "runner/presentation/widget_lookup.h"
#include "runner/presentation/window_tags.h"
#include "tests/support/test_support.h"

namespace {

struct Size {
  gint width;
  gint height;
};

Size default_size(GtkWindow* window) {
  Size size{0, 0};
  gtk_window_get_default_size(window, &size.width, &size.height);
  return size;
}

Size current_size(GtkWindow* window) {
  Size size{0, 0};
  gtk_window_get_size(window, &size.width, &size.height);
  return size;
}

GtkWidget* drawing_area_of(GtkWindow* window) {
  return find_drawing_area(GTK_WIDGET(find_fl_view(GTK_WIDGET(window))));
}

// Shows `window` at width × height and waits until the window manager has
// mapped it at that size.
// Shows the window and waits until the window manager has mapped it at that
// size: a default size changed before then would still count.
bool show_at_size(GtkWindow* window, gint width, gint height) {
  gtk_window_set_default_size(window, width, height);
  gtk_widget_show(GTK_WIDGET(window));
  return run_until([&] {
    Size size = current_size(window);
    GdkWindow* gdk_window = gtk_widget_get_window(GTK_WIDGET(window));
    return gdk_window != nullptr &&
           (gdk_window_get_state(gdk_window) & GDK_WINDOW_STATE_WITHDRAWN) ==
               0 &&
           size.width == width && size.height == height;
  });
}

FlValue* hints_map(gint64 preferred_width,
                   gint64 preferred_height,
                   gint64 min_width,
                   gint64 min_height) {
  FlValue* map = fl_value_new_map();
  fl_value_set_string_take(map, "preferredWidth",
                           fl_value_new_int(preferred_width));
  fl_value_set_string_take(map, "preferredHeight",
                           fl_value_new_int(preferred_height));
  fl_value_set_string_take(map, "minWidth", fl_value_new_int(min_width));
  fl_value_set_string_take(map, "minHeight", fl_value_new_int(min_height));
  return map;
}

// GTK exports every registered application at one fixed D-Bus path and
// never unexports it without a run, so a process registers one only.
MyApplication* shared_application() {
  static MyApplication* application = make_test_application();
  return application;
}

// An application that is neither registered nor running; windows cannot be
// added to it without a critical, which the caller captures.
MyApplication* make_unregistered_application() {
  return MY_APPLICATION(g_object_new(my_application_get_type(), nullptr));
}

class ChildWindowAdoptionTest : public testing::Test {
 protected:
  void SetUp() override {
    application_ = shared_application();
    reset_application();
  }

  void TearDown() override {
    reset_application();
    destroy_all_toplevels();
  }

  void reset_application() {
    application_->window = nullptr;
    application_->main_window_built = FALSE;
    application_->next_window_preferred_width = 0;
    application_->next_window_preferred_height = 0;
    application_->next_window_min_width = 0;
    application_->next_window_min_height = 0;
  }

  // A main window stored in the application, as activation leaves it.
  GtkWindow* make_main_window() {
    GtkWindow* main_window = make_window_with_view();
    application_->window = main_window;
    application_->main_window_built = TRUE;
    gtk_window_set_application(main_window, GTK_APPLICATION(application_));
    return main_window;
  }

  GtkWindow* add_child_window() {
    GtkWindow* window = make_window_with_view();
    gtk_window_set_application(window, GTK_APPLICATION(application_));
    return window;
  }

  MyApplication* application_ = nullptr;
};

TEST_F(ChildWindowAdoptionTest, HintsFallToMinimumsAndAreBoundByTheWorkArea) {
  // The test desktop has one monitor; a window not yet shown is bound by it.
  GdkDisplay* display = gdk_display_get_default();
  ASSERT_EQ(gdk_display_get_n_monitors(display), 1);
  GdkRectangle area;
  gdk_monitor_get_workarea(gdk_display_get_monitor(display, 0), &area);
  const gint32 w = area.width;
  const gint32 h = area.height;
  ASSERT_GT(w, 500);
  ASSERT_GT(h, 400);

  struct Case {
    gint32 preferred_width, preferred_height, min_width, min_height;
    gint32 expected_min_width, expected_min_height;
    gint32 expected_width, expected_height;
  };
  const Case cases[] = {
      {0, 0, 0, 0, 320, 96, 320, 96},
      {500, 400, 1, 1, 320, 96, 500, 400},
      {0, 0, 2, 2, 2, 2, 2, 2},
      {100, 50, 200, 100, 200, 100, 200, 100},
      {200, 100, 200, 100, 200, 100, 200, 100},
      {-7, -7, -7, -7, 320, 96, 320, 96},
      {100000, 40000, 50000, 5, w, 5, w, h},
      {32767, 32767, 32767, 32767, w, h, w, h},
      {G_MAXINT32, G_MAXINT32, G_MININT32, G_MAXINT32, 320, h, w, h},
  };
  LogCapture log;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.preferred_width << "x" << c.preferred_height << " min "
                 << c.min_width << "x" << c.min_height);
    GtkWindow* window = make_window_with_view();
    apply_child_window_content_size_hints(window, c.preferred_width,
                                          c.preferred_height, c.min_width,
                                          c.min_height);
    EXPECT_EQ(window_tag_get_int(window, kChildWindowMinWidthKey),
              c.expected_min_width);
    EXPECT_EQ(window_tag_get_int(window, kChildWindowMinHeightKey),
              c.expected_min_height);
    EXPECT_EQ(window_tag_get_int(window, kChildWindowPreferredWidthKey),
              c.expected_width);
    EXPECT_EQ(window_tag_get_int(window, kChildWindowPreferredHeightKey),
              c.expected_height);
    Size size = default_size(window);
    EXPECT_EQ(size.width, c.expected_width);
    EXPECT_EQ(size.height, c.expected_height);

    gint request_width = 0, request_height = 0;
    gtk_widget_get_size_request(drawing_area_of(window), &request_width,
                                &request_height);
    EXPECT_EQ(request_width, c.expected_min_width);
    EXPECT_EQ(request_height, c.expected_min_height);
    GdkRGBA color;
    ASSERT_TRUE(fl_dev_view_get_background_color(
        find_fl_view(GTK_WIDGET(window)), &color));
    g_autofree gchar* color_text = gdk_rgba_to_string(&color);
    EXPECT_STREQ(color_text, "rgb(38,38,38)");
    gtk_widget_destroy(GTK_WIDGET(window));
  }
  drain_main_loop();
  EXPECT_EQ(log.count(static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING |
                                                  G_LOG_LEVEL_CRITICAL)),
            0u);
}

TEST_F(ChildWindowAdoptionTest, HintsResizeOnlyMappedWindowsBelowMinimum) {
  GtkWindow* too_narrow = add_child_window();
  ASSERT_TRUE(show_at_size(too_narrow, 300, 500));
  apply_child_window_content_size_hints(too_narrow, 640, 480, 0, 0);
  EXPECT_TRUE(run_until([&] {
    Size size = current_size(too_narrow);
    return size.width == 640 && size.height == 480;
  }));

  GtkWindow* large = add_child_window();
  ASSERT_TRUE(show_at_size(large, 800, 600));
  apply_child_window_content_size_hints(large, 640, 480, 0, 0);
  run_for(300);
  Size size = current_size(large);
  EXPECT_EQ(size.width, 800);
  EXPECT_EQ(size.height, 600);

  GtkWindow* unmapped = add_child_window();
  gtk_window_resize(unmapped, 400, 500);
  apply_child_window_content_size_hints(unmapped, 640, 480, 0, 0);
  size = current_size(unmapped);
  EXPECT_EQ(size.width, 400);
  EXPECT_EQ(size.height, 500);
}

TEST_F(ChildWindowAdoptionTest, ReadingHints) {
  g_autoptr(FlValue) hints =
      hints_map((G_GINT64_CONSTANT(1) << 32) + 500, 400, -3, 2);
  read_next_window_content_size_hints(application_, hints);
  EXPECT_EQ(application_->next_window_preferred_width, 500);
  EXPECT_EQ(application_->next_window_preferred_height, 400);
  EXPECT_EQ(application_->next_window_min_width, -3);
  EXPECT_EQ(application_->next_window_min_height, 2);

  g_autoptr(FlValue) partial = fl_value_new_map();
  fl_value_set_string_take(partial, "minWidth", fl_value_new_int(330));
  read_next_window_content_size_hints(application_, partial);
  EXPECT_EQ(application_->next_window_preferred_width, 0);
  EXPECT_EQ(application_->next_window_preferred_height, 0);
  EXPECT_EQ(application_->next_window_min_width, 330);
  EXPECT_EQ(application_->next_window_min_height, 0);

  read_next_window_content_size_hints(application_, nullptr);
  EXPECT_EQ(application_->next_window_min_width, 0);
  read_next_window_content_size_hints(nullptr, hints);
}

TEST_F(ChildWindowAdoptionTest, PreparedHintsServeExactlyTheNextAddedWindow) {
  make_main_window();
  g_autoptr(FlValue) hints = hints_map(500, 400, 1, 1);
  read_next_window_content_size_hints(application_, hints);

  GtkWindow* first = add_child_window();
  Size size = default_size(first);
  EXPECT_EQ(size.width, 500);
  EXPECT_EQ(size.height, 400);
  EXPECT_EQ(window_tag_get_int(first, kChildWindowMinWidthKey), 320);
  EXPECT_EQ(window_tag_get_int(first, kChildWindowMinHeightKey), 96);
  EXPECT_FALSE(gtk_window_get_decorated(first));
  EXPECT_EQ(gtk_window_get_type_hint(first), GDK_WINDOW_TYPE_HINT_NORMAL);
  EXPECT_TRUE(window_tag_is_set(first, kNativeChildWindowResizeHandlerKey));
  EXPECT_TRUE(window_tag_is_set(drawing_area_of(first),
                                kNativeChildWindowResizeHandlerKey));
  EXPECT_EQ(application_->next_window_preferred_width, 0);
  EXPECT_EQ(application_->next_window_min_height, 0);

  GtkWindow* second = add_child_window();
  size = default_size(second);
  EXPECT_EQ(size.width, 320);
  EXPECT_EQ(size.height, 96);
}

TEST_F(ChildWindowAdoptionTest, HintsAreConsumedByTheMainWindowToo) {
  GtkWindow* main_window = make_window_with_view();
  application_->window = main_window;
  application_->main_window_built = TRUE;
  g_autoptr(FlValue) hints = hints_map(500, 400, 400, 300);
  read_next_window_content_size_hints(application_, hints);
  gtk_window_set_application(main_window, GTK_APPLICATION(application_));
  // The frame plugin takes the frame; no child chrome, no size hints.
  EXPECT_FALSE(gtk_window_get_decorated(main_window));
  EXPECT_FALSE(
      window_tag_is_set(main_window, kNativeChildWindowResizeHandlerKey));
  EXPECT_EQ(window_tag_get_int(main_window, kChildWindowMinWidthKey), 0);
  EXPECT_EQ(application_->next_window_preferred_width, 0);

  Size size = default_size(add_child_window());
  EXPECT_EQ(size.width, 320);
  EXPECT_EQ(size.height, 96);
}

TEST_F(ChildWindowAdoptionTest, WindowsAddedAfterTheMainWindowWentAreAdopted) {
  GtkWindow* main_window = make_main_window();
  gtk_widget_destroy(GTK_WIDGET(main_window));
  application_->window = nullptr;  // as the main window's destruction does
  GtkWindow* window = add_child_window();
  EXPECT_FALSE(gtk_window_get_decorated(window));
  EXPECT_TRUE(window_tag_is_set(window, kNativeChildWindowResizeHandlerKey));
  EXPECT_EQ(window_tag_get_int(window, kChildWindowMinWidthKey), 320);
}

TEST_F(ChildWindowAdoptionTest,
       WindowAddedBeforeMainWindowIsStoredIsLeftAlone) {
  g_autoptr(FlValue) hints = hints_map(500, 400, 400, 300);
  read_next_window_content_size_hints(application_, hints);
  GtkWindow* window = add_child_window();
  EXPECT_TRUE(gtk_window_get_decorated(window));
  EXPECT_FALSE(window_tag_is_set(window, kNativeChildWindowResizeHandlerKey));
  EXPECT_EQ(window_tag_get_int(window, kChildWindowMinWidthKey), 0);
  EXPECT_EQ(application_->next_window_preferred_width, 0);
  EXPECT_EQ(application_->next_window_min_height, 0);
}

TEST_F(ChildWindowAdoptionTest, StabilizationRefusalsChangeNothing) {
  GtkWindow* main_window = make_main_window();
  EXPECT_FALSE(stabilize_child_window_initial_frame(nullptr, main_window));
  EXPECT_FALSE(stabilize_child_window_initial_frame(application_, nullptr));
  EXPECT_FALSE(stabilize_child_window_initial_frame(application_, main_window));
  EXPECT_EQ(window_tag_get_int(main_window, kChildWindowMinWidthKey), 0);

  MyApplication* other = make_unregistered_application();
  GtkWindow* foreign = nullptr;
  {
    LogCapture swallow_unregistered_critical(G_LOG_LEVEL_CRITICAL);
    foreign = make_window_with_view(GTK_APPLICATION(other));
  }
  ASSERT_EQ(gtk_window_get_application(foreign), GTK_APPLICATION(other));
  EXPECT_FALSE(stabilize_child_window_initial_frame(application_, foreign));
  EXPECT_EQ(window_tag_get_int(foreign, kChildWindowMinWidthKey), 0);

  GtkWindow* viewless = GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL));
  EXPECT_FALSE(stabilize_child_window_initial_frame(application_, viewless));
  EXPECT_EQ(window_tag_get_int(viewless, kChildWindowMinWidthKey), 0);

  GtkWindow* marked = add_child_window();
  window_tag_set(marked, kInitialFrameStabilizedKey);
  window_tag_set_int(marked, kChildWindowPreferredWidthKey, 0);
  EXPECT_FALSE(stabilize_child_window_initial_frame(application_, marked));
  EXPECT_EQ(window_tag_get_int(marked, kChildWindowPreferredWidthKey), 0);

  gtk_widget_destroy(GTK_WIDGET(foreign));
  drain_main_loop();
  g_object_unref(other);
}

TEST_F(ChildWindowAdoptionTest, StabilizesOnceWhenTheDrawingAreaIsRealized) {
  GtkWindow* window = make_window_with_view();
  window_tag_set_int(window, kChildWindowPreferredWidthKey, 500);
  window_tag_set_int(window, kChildWindowPreferredHeightKey, 400);
  gtk_window_resize(window, 300, 500);

  // Not realized yet: the hints are applied, the window is not settled.
  EXPECT_FALSE(stabilize_child_window_initial_frame(application_, window));
  EXPECT_FALSE(window_tag_is_set(window, kInitialFrameStabilizedKey));
  EXPECT_EQ(window_tag_get_int(window, kChildWindowMinWidthKey), 320);

  // Unmapped: always resized to the default size.
  gtk_widget_realize(drawing_area_of(window));
  EXPECT_TRUE(stabilize_child_window_initial_frame(application_, window));
  EXPECT_TRUE(window_tag_is_set(window, kInitialFrameStabilizedKey));
  Size size = current_size(window);
  EXPECT_EQ(size.width, 500);
  EXPECT_EQ(size.height, 400);
  EXPECT_FALSE(stabilize_child_window_initial_frame(application_, window));

  // Mapped at exactly its default size.
  GtkWindow* mapped = make_window_with_view();
  ASSERT_TRUE(show_at_size(mapped, 500, 400));
  window_tag_set_int(mapped, kChildWindowPreferredWidthKey, 500);
  window_tag_set_int(mapped, kChildWindowPreferredHeightKey, 400);
  EXPECT_TRUE(stabilize_child_window_initial_frame(application_, mapped));
  EXPECT_TRUE(window_tag_is_set(mapped, kInitialFrameStabilizedKey));
  run_for(200);
  size = current_size(mapped);
  EXPECT_EQ(size.width, 500);
  EXPECT_EQ(size.height, 400);
}

TEST_F(ChildWindowAdoptionTest,
       WindowsExistingWhenAnnouncedAreNeverStabilized) {
  make_main_window();
  GtkWindow* existing = add_child_window();
  gtk_widget_show(GTK_WIDGET(existing));
  schedule_child_window_initial_frame_stabilization(application_);
  EXPECT_TRUE(window_tag_is_set(existing, kInitialFrameStabilizedKey));

  GtkWindow* announced = add_child_window();
  EXPECT_FALSE(window_tag_is_set(announced, kInitialFrameStabilizedKey));
  gtk_widget_show(GTK_WIDGET(announced));
  EXPECT_TRUE(run_until([&] {
    return window_tag_is_set(announced, kInitialFrameStabilizedKey);
  }));

  EXPECT_FALSE(stabilize_child_window_initial_frame(application_, existing));
  // The chrome request still updates an existing window's size tags.
  apply_child_window_content_size_hints(existing, 700, 500, 400, 300);
  EXPECT_EQ(window_tag_get_int(existing, kChildWindowPreferredWidthKey), 700);
  EXPECT_EQ(window_tag_get_int(existing, kChildWindowMinHeightKey), 300);
}

TEST_F(ChildWindowAdoptionTest, PollStabilizesOnTheTickTheAreaIsRealized) {
  ChildWindowStabilizationData* data =
      child_window_stabilization_data_new(application_);
  GtkWindow* window = add_child_window();
  for (int tick = 1; tick <= 4; tick++) {
    EXPECT_EQ(stabilize_next_child_window_initial_frame(data),
              G_SOURCE_CONTINUE);
  }
  gtk_widget_realize(drawing_area_of(window));
  // Fifth tick: stabilizes, stops and frees its record.
  EXPECT_EQ(stabilize_next_child_window_initial_frame(data), G_SOURCE_REMOVE);
  EXPECT_TRUE(window_tag_is_set(window, kInitialFrameStabilizedKey));
}

TEST_F(ChildWindowAdoptionTest, PollEndsAfterSixtyTicks) {
  ChildWindowStabilizationData* data =
      child_window_stabilization_data_new(application_);
  for (int tick = 1; tick < 60; tick++) {
    ASSERT_EQ(stabilize_next_child_window_initial_frame(data),
              G_SOURCE_CONTINUE)
        << "tick " << tick;
  }
  EXPECT_EQ(stabilize_next_child_window_initial_frame(data), G_SOURCE_REMOVE);
}

TEST_F(ChildWindowAdoptionTest, PollEndsWhenTheApplicationIsGone) {
  MyApplication* other = make_unregistered_application();
  ChildWindowStabilizationData* data =
      child_window_stabilization_data_new(other);
  g_object_unref(other);
  ASSERT_EQ(data->application, nullptr);
  EXPECT_EQ(stabilize_next_child_window_initial_frame(data), G_SOURCE_REMOVE);
}

TEST_F(ChildWindowAdoptionTest, BindingAndTitleBarSweep) {
  GtkWindow* main_window = make_main_window();
  GtkWindow* child = add_child_window();
  bind_child_window_to_parent(child, child);
  bind_child_window_to_parent(child, nullptr);
  EXPECT_EQ(gtk_window_get_transient_for(child), nullptr);
  bind_child_window_to_parent(child, main_window);
  EXPECT_EQ(gtk_window_get_transient_for(child), main_window);
  EXPECT_FALSE(gtk_window_get_destroy_with_parent(child));

  GtkWindow* viewless = GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL));
  gtk_window_set_application(viewless, GTK_APPLICATION(application_));
  gtk_window_set_decorated(viewless, TRUE);
  apply_child_windows_system_title_bar(application_, true);
  EXPECT_TRUE(gtk_window_get_decorated(viewless));
  apply_child_windows_system_title_bar(application_, false);
  EXPECT_FALSE(gtk_window_get_decorated(viewless));
  EXPECT_TRUE(window_tag_is_set(viewless, kNativeChildWindowResizeHandlerKey));
  EXPECT_FALSE(
      window_tag_is_set(main_window, kNativeChildWindowResizeHandlerKey));
}

}  // namespace
