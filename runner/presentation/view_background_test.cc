// Tests of the dark background: the style class and colour on window, view
// and drawing area, and the retry series while widgets are missing.
#include "runner/presentation/view_background.h"

#include <flutter_linux/fl_dev_engine.h>
#include <gtest/gtest.h>

#include "runner/presentation/widget_lookup.h"
#include "runner/presentation/window_tags.h"
#include "tests/support/presentation_test_support.h"
#include "tests/support/test_support.h"

namespace {

bool styled(GtkWidget* widget) {
  return gtk_style_context_has_class(gtk_widget_get_style_context(widget),
                                     kFlutterViewBackgroundStyleClass);
}

bool painted_dark(GtkWidget* widget) {
  GtkStyleContext* context = gtk_widget_get_style_context(widget);
  GdkRGBA* colour = nullptr;
  gtk_style_context_get(context, gtk_style_context_get_state(context),
                        "background-color", &colour, nullptr);
  GdkRGBA expected;
  gdk_rgba_parse(&expected, "#262626");
  const bool dark = colour != nullptr && gdk_rgba_equal(colour, &expected);
  if (colour != nullptr) {
    gdk_rgba_free(colour);
  }
  return dark;
}

bool retry_running(GtkWindow* window) {
  return window_tag_is_set(window, kFlutterViewBackgroundApplyScheduledKey);
}

class ViewBackgroundTest : public testing::Test {
 protected:
  void TearDown() override { destroy_all_toplevels(); }
};

TEST_F(ViewBackgroundTest, StylesWindowViewAndDrawingArea) {
  GtkWindow* window = make_window_with_view();
  FlView* view = find_fl_view(GTK_WIDGET(window));
  GtkWidget* area = find_drawing_area(GTK_WIDGET(view));
  const guint refs = G_OBJECT(window)->ref_count;

  schedule_flutter_window_background_retry(window);
  EXPECT_FALSE(retry_running(window));
  EXPECT_EQ(G_OBJECT(window)->ref_count, refs);
  for (GtkWidget* widget : {GTK_WIDGET(window), GTK_WIDGET(view), area}) {
    EXPECT_TRUE(styled(widget));
    EXPECT_TRUE(painted_dark(widget));
  }
  GdkRGBA colour;
  ASSERT_TRUE(fl_dev_view_get_background_color(view, &colour));
  EXPECT_DOUBLE_EQ(colour.red, 38.0 / 255.0);
  EXPECT_DOUBLE_EQ(colour.green, 38.0 / 255.0);
  EXPECT_DOUBLE_EQ(colour.blue, 38.0 / 255.0);
  EXPECT_DOUBLE_EQ(colour.alpha, 1.0);
  EXPECT_TRUE(window_tag_is_set(gtk_widget_get_screen(GTK_WIDGET(window)),
                                kFlutterViewBackgroundStyleInstalledKey));

  // Any widget on the screen takes the rule through the class alone.
  GtkWidget* label = gtk_label_new("x");
  g_object_ref_sink(label);
  apply_widget_background(label);
  EXPECT_TRUE(painted_dark(label));
  gtk_widget_destroy(label);
  g_object_unref(label);
}

TEST_F(ViewBackgroundTest, DrawingAreaArriving100msLaterEndsTheSeries) {
  GtkWindow* window = make_window_with_view();
  FlView* view = find_fl_view(GTK_WIDGET(window));
  GtkWidget* event_box = find_event_box(GTK_WIDGET(view));
  GtkWidget* area = find_drawing_area(GTK_WIDGET(view));
  g_object_ref(event_box);
  gtk_container_remove(GTK_CONTAINER(view), event_box);
  const guint refs = G_OBJECT(window)->ref_count;

  const gint64 start = g_get_monotonic_time();
  schedule_flutter_window_background_retry(window);
  EXPECT_TRUE(styled(GTK_WIDGET(window)));
  EXPECT_TRUE(styled(GTK_WIDGET(view)));
  EXPECT_FALSE(styled(area));
  EXPECT_TRUE(retry_running(window));
  EXPECT_EQ(G_OBJECT(window)->ref_count, refs + 1);

  ASSERT_TRUE(run_until([&] { return elapsed_ms(start) >= 100; }));
  gtk_container_add(GTK_CONTAINER(view), event_box);
  g_object_unref(event_box);
  ASSERT_TRUE(run_until([&] { return !retry_running(window); }));
  EXPECT_TRUE(styled(area));
  EXPECT_EQ(G_OBJECT(window)->ref_count, refs);
}

TEST_F(ViewBackgroundTest, OneSeriesPerWindowAndANewOneAfterItEnds) {
  GtkWindow* window = GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL));
  const guint refs = G_OBJECT(window)->ref_count;
  schedule_flutter_window_background_retry(window);
  schedule_flutter_window_background_retry(window);
  EXPECT_TRUE(styled(GTK_WIDGET(window)));
  EXPECT_TRUE(retry_running(window));
  EXPECT_EQ(G_OBJECT(window)->ref_count, refs + 1);

  // Sixty runs about 16 ms apart, then the incomplete series ends.
  const gint64 start = g_get_monotonic_time();
  ASSERT_TRUE(run_until([&] { return !retry_running(window); }, 10000));
  EXPECT_GE(elapsed_ms(start), 59 * 16);
  EXPECT_EQ(G_OBJECT(window)->ref_count, refs);

  schedule_flutter_window_background_retry(window);
  EXPECT_TRUE(retry_running(window));
  EXPECT_EQ(G_OBJECT(window)->ref_count, refs + 1);
}

TEST_F(ViewBackgroundTest, WindowDestroyedDuringTheSeriesIsNotRestyled) {
  // A weak pointer would be cleared by the destruction already.
  g_autoptr(GtkWindow) window =
      GTK_WINDOW(g_object_ref(gtk_window_new(GTK_WINDOW_TOPLEVEL)));
  LogCapture log(
      static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING));
  schedule_flutter_window_background_retry(window);
  run_for(50);
  gtk_widget_destroy(GTK_WIDGET(window));
  EXPECT_TRUE(
      run_until([&] { return G_OBJECT(window)->ref_count == 1; }, 2000));
  EXPECT_EQ(log.entries().size(), 0u);
}

}  // namespace
