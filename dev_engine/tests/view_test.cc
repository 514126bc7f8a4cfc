// Views: ids, the widget tree, the registry, and when "first-frame" comes.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include "src/fl_dev_private.h"
#include "tests/dev_test_util.h"

namespace {

// A toplevel window (never shown) holding a new view.
class DevEngineViewTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (window_ != nullptr) {
      gtk_widget_destroy(window_);
    }
    pump_for(10);
  }

  FlView* make_view_in_window(gint first_frame_delay_ms) {
    g_autoptr(FlDartProject) project = fl_dart_project_new();
    FlView* view = fl_view_new(project);
    fl_dev_view_set_first_frame_delay(view, first_frame_delay_ms);
    g_signal_connect(view, "first-frame", G_CALLBACK(first_frame_cb),
                     &first_frames_);
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_widget_show(GTK_WIDGET(view));
    gtk_container_add(GTK_CONTAINER(window_), GTK_WIDGET(view));
    return view;
  }

  static void first_frame_cb(FlView*, gpointer user_data) {
    (*static_cast<int*>(user_data))++;
  }

  GtkWidget* window_ = nullptr;
  int first_frames_ = 0;
};

}  // namespace

TEST_F(DevEngineViewTest, IdsCountUpAndTreeIsBoxEventBoxDrawingArea) {
  g_autoptr(FlDartProject) project = fl_dart_project_new();
  FlView* first = FL_VIEW(g_object_ref_sink(fl_view_new(project)));
  FlView* second = FL_VIEW(
      g_object_ref_sink(fl_view_new_for_engine(fl_view_get_engine(first))));
  EXPECT_GE(fl_view_get_id(first), 0);
  EXPECT_EQ(fl_view_get_id(second), fl_view_get_id(first) + 1);
  EXPECT_EQ(fl_view_get_engine(second), fl_view_get_engine(first));
  EXPECT_EQ(fl_dev_view_lookup(fl_view_get_id(second)), second);

  g_autoptr(GList) children = gtk_container_get_children(GTK_CONTAINER(first));
  ASSERT_EQ(g_list_length(children), 1u);
  GtkWidget* event_box = GTK_WIDGET(children->data);
  ASSERT_TRUE(GTK_IS_EVENT_BOX(event_box));
  GtkWidget* area = gtk_bin_get_child(GTK_BIN(event_box));
  ASSERT_TRUE(GTK_IS_DRAWING_AREA(area));
  EXPECT_TRUE(gtk_widget_get_hexpand(area));
  EXPECT_TRUE(gtk_widget_get_vexpand(area));

  // The view can be its window's focus widget.
  EXPECT_TRUE(gtk_widget_get_can_focus(GTK_WIDGET(first)));

  const int64_t second_id = fl_view_get_id(second);
  gtk_widget_destroy(GTK_WIDGET(second));
  EXPECT_EQ(fl_dev_view_lookup(second_id), nullptr);
  g_object_unref(second);
  g_object_unref(first);
}

TEST_F(DevEngineViewTest, FirstFrameFollowsRealizationOnce) {
  FlView* view = make_view_in_window(0);
  pump_for(50);
  EXPECT_EQ(first_frames_, 0);
  gtk_widget_realize(GTK_WIDGET(view));
  EXPECT_TRUE(pump_until([&] { return first_frames_ == 1; }));
  EXPECT_TRUE(fl_dev_view_has_emitted_first_frame(view));
  pump_for(50);
  EXPECT_EQ(first_frames_, 1);
}

TEST_F(DevEngineViewTest, FirstFrameWaitsItsDelay) {
  FlView* view = make_view_in_window(300);
  const gint64 start = g_get_monotonic_time();
  gtk_widget_realize(GTK_WIDGET(view));
  EXPECT_TRUE(pump_until([&] { return first_frames_ == 1; }));
  EXPECT_GE(g_get_monotonic_time() - start, 300 * 1000);
}

TEST_F(DevEngineViewTest, NeverUnlessAskedThenAlwaysOnRequest) {
  FlView* view = make_view_in_window(-1);
  gtk_widget_realize(GTK_WIDGET(view));
  pump_for(200);
  EXPECT_EQ(first_frames_, 0);
  EXPECT_FALSE(fl_dev_view_has_emitted_first_frame(view));
  fl_dev_view_emit_first_frame(view);
  EXPECT_EQ(first_frames_, 1);
  fl_dev_view_emit_first_frame(view);
  EXPECT_EQ(first_frames_, 2);
}

TEST_F(DevEngineViewTest, DelayFromEnvironmentIsReadAtCreation) {
  g_setenv("FL_DEV_ENGINE_FIRST_FRAME_DELAY_MS", "-1", TRUE);
  g_autoptr(FlDartProject) project = fl_dart_project_new();
  FlView* view = fl_view_new(project);
  g_unsetenv("FL_DEV_ENGINE_FIRST_FRAME_DELAY_MS");
  g_signal_connect(view, "first-frame", G_CALLBACK(first_frame_cb),
                   &first_frames_);
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_container_add(GTK_CONTAINER(window_), GTK_WIDGET(view));
  gtk_widget_realize(GTK_WIDGET(view));
  pump_for(200);
  EXPECT_EQ(first_frames_, 0);
}

TEST_F(DevEngineViewTest, DestroyedViewDropsItsPendingFirstFrame) {
  FlView* view = make_view_in_window(100);
  gtk_widget_realize(GTK_WIDGET(view));
  gtk_widget_destroy(window_);
  window_ = nullptr;
  pump_for(300);
  EXPECT_EQ(first_frames_, 0);
}

TEST_F(DevEngineViewTest, RegistryRecordsPluginNamesAndHandsOutMessenger) {
  FlView* view = make_view_in_window(-1);
  FlEngine* engine = fl_view_get_engine(view);
  g_autoptr(FlPluginRegistrar) alpha =
      fl_plugin_registry_get_registrar_for_plugin(FL_PLUGIN_REGISTRY(view),
                                                  "AlphaPlugin");
  g_autoptr(FlPluginRegistrar) beta =
      fl_plugin_registry_get_registrar_for_plugin(FL_PLUGIN_REGISTRY(view),
                                                  "BetaPlugin");
  EXPECT_EQ(fl_plugin_registrar_get_messenger(alpha),
            fl_engine_get_binary_messenger(engine));
  EXPECT_EQ(fl_plugin_registrar_get_view(beta), view);

  g_autoptr(FlValue) names = fl_dev_engine_get_registrar_names(engine);
  ASSERT_EQ(fl_value_get_length(names), 2u);
  EXPECT_STREQ(fl_value_get_string(fl_value_get_list_value(names, 0)),
               "AlphaPlugin");
  EXPECT_STREQ(fl_value_get_string(fl_value_get_list_value(names, 1)),
               "BetaPlugin");

  // The registrar outlives its view safely.
  gtk_widget_destroy(window_);
  window_ = nullptr;
  EXPECT_EQ(fl_plugin_registrar_get_view(beta), nullptr);
}

TEST_F(DevEngineViewTest, BackgroundColorIsKept) {
  FlView* view = make_view_in_window(-1);
  GdkRGBA color;
  EXPECT_FALSE(fl_dev_view_get_background_color(view, &color));
  const GdkRGBA dark = {0.1, 0.2, 0.3, 1.0};
  fl_view_set_background_color(view, &dark);
  ASSERT_TRUE(fl_dev_view_get_background_color(view, &color));
  EXPECT_TRUE(gdk_rgba_equal(&color, &dark));
}

// The switch is read when the view class is made, so the case runs in a
// fresh process of its own (a death test in the threadsafe style re-runs
// the binary) and reports through its exit status.
TEST(DevEngineNoFirstFrameSignalDeathTest, ViewsDrawWithoutTheSignal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        g_setenv("FL_DEV_ENGINE_NO_FIRST_FRAME_SIGNAL", "1", TRUE);
        g_autoptr(FlDartProject) project = fl_dart_project_new();
        FlView* view = fl_view_new(project);
        // Signals are looked up once the class is made.
        bool signal_absent =
            g_signal_lookup("first-frame", fl_view_get_type()) == 0;
        GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_widget_show(GTK_WIDGET(view));
        gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(view));
        gtk_widget_realize(GTK_WIDGET(view));
        bool drew = pump_until(
            [view] { return fl_dev_view_has_emitted_first_frame(view); });
        gtk_widget_destroy(window);
        _exit(signal_absent && drew ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}
