// Tests of the window control channel, driven as Dart drives it: method calls
// on the main view's messenger, against real windows on the test desktop.
#include "runner/window_control/window_control_channel.h"

#include <flutter_linux/fl_dev_engine.h>
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>

#include "runner/presentation/widget_lookup.h"
#include "runner/presentation/window_tags.h"
#include "tests/support/test_support.h"

namespace {

constexpr const char* kNullAnsweringMethods[] = {
    "focusCurrentWindow",
    "closeCurrentWindow",
    "closeWindowByViewId",
    "hideWindowByViewId",
    "minimizeCurrentWindow",
    "minimizeWindowByViewId",
    "maximizeCurrentWindow",
    "maximizeWindowByViewId",
    "unmaximizeCurrentWindow",
    "unmaximizeWindowByViewId",
    "centerCurrentWindowRestoreBounds",
    "centerWindowRestoreBoundsByViewId",
    "setCurrentWindowFullscreen",
    "setWindowFullscreenByViewId",
    "startCurrentWindowDrag",
    "startWindowDragByViewId",
    "startCurrentWindowResize",
    "startWindowResizeByViewId",
    "updateCurrentWindowDrag",
    "updateWindowDragByViewId",
    "endWindowDrag",
    "centerWindowOnCurrentScreen",
    "centerWindowOnParentByViewId",
    "prepareNextWindowSpawnOnCurrentScreen",
    "prepareNextWindowSpawnOnParentByViewId",
    "prepareNextWindowChrome",
    "activateWindowByViewId",
    "bindChildWindowToParentByViewId",
    "configureWindowChromeByViewId",
};

constexpr const char* kQueryMethods[] = {
    "isCurrentWindowMaximized",
    "isWindowMaximizedByViewId",
    "isCurrentWindowFullscreen",
    "isWindowFullscreenByViewId",
};

FlValue* new_map() {
  return fl_value_new_map();
}

void set_int(FlValue* map, const char* key, int64_t value) {
  fl_value_set_string_take(map, key, fl_value_new_int(value));
}

// Arguments naming one view under "targetViewId".
FlValue* target_args(FlView* view) {
  FlValue* args = new_map();
  set_int(args, "targetViewId", fl_view_get_id(view));
  return args;
}

bool is_visible(GtkWindow* window) {
  return gtk_widget_get_visible(GTK_WIDGET(window));
}

GdkWindowState state_of(GtkWindow* window) {
  GdkWindow* gdk_window = gtk_widget_get_window(GTK_WIDGET(window));
  return gdk_window != nullptr ? gdk_window_get_state(gdk_window)
                               : static_cast<GdkWindowState>(0);
}

bool has_state(GtkWindow* window, GdkWindowState bit) {
  return (state_of(window) & bit) != 0;
}

class WindowControlChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    application_ = make_test_application();
    main_window_ = make_window_with_view(GTK_APPLICATION(application_));
    main_view_ = find_fl_view(GTK_WIDGET(main_window_));
    application_->window = main_window_;
    application_->view = main_view_;
    // The channel lives on an engine of its own, so that it outlives the
    // views of the windows under test.
    g_autoptr(FlDartProject) project = fl_dart_project_new();
    engine_ = fl_engine_new(project);
    messenger_ = fl_engine_get_binary_messenger(engine_);
    g_autoptr(FlStandardMethodCodec) codec = fl_standard_method_codec_new();
    channel_ = fl_method_channel_new(messenger_, kWindowControlChannelName,
                                     FL_METHOD_CODEC(codec));
    fl_method_channel_set_method_call_handler(
        channel_, window_control_method_call_cb, application_, nullptr);
  }

  void TearDown() override {
    destroy_all_toplevels();
    application_->window = nullptr;
    application_->view = nullptr;
    g_clear_object(&channel_);
    g_clear_object(&engine_);
    g_clear_object(&application_);
  }

  // A further window of the application, holding a view of its own.
  GtkWindow* add_child_window() {
    return make_window_with_view(GTK_APPLICATION(application_));
  }

  FlView* view_of(GtkWindow* window) {
    return find_fl_view(GTK_WIDGET(window));
  }

  // The handler's response (a new reference); takes `args`.
  FlMethodResponse* call(const char* method, FlValue* args = nullptr) {
    g_autoptr(FlValue) owned_args = args;
    return fl_dev_messenger_invoke_sync(messenger_, kWindowControlChannelName,
                                        method, owned_args);
  }

  // Calls a row that answers success with null.
  void call_null(const char* method, FlValue* args = nullptr) {
    g_autoptr(FlMethodResponse) response = call(method, args);
    ASSERT_TRUE(FL_IS_METHOD_SUCCESS_RESPONSE(response)) << method;
    FlValue* result = fl_method_success_response_get_result(
        FL_METHOD_SUCCESS_RESPONSE(response));
    EXPECT_EQ(fl_value_get_type(result), FL_VALUE_TYPE_NULL) << method;
  }

  // Calls a query; fails the test unless it answers with a bool.
  bool call_bool(const char* method, FlValue* args = nullptr) {
    g_autoptr(FlMethodResponse) response = call(method, args);
    EXPECT_TRUE(FL_IS_METHOD_SUCCESS_RESPONSE(response)) << method;
    if (!FL_IS_METHOD_SUCCESS_RESPONSE(response)) {
      return false;
    }
    FlValue* result = fl_method_success_response_get_result(
        FL_METHOD_SUCCESS_RESPONSE(response));
    EXPECT_EQ(fl_value_get_type(result), FL_VALUE_TYPE_BOOL) << method;
    return fl_value_get_type(result) == FL_VALUE_TYPE_BOOL &&
           fl_value_get_bool(result);
  }

  void show_and_wait(GtkWindow* window) {
    gtk_widget_show(GTK_WIDGET(window));
    ASSERT_TRUE(run_until(
        [window] { return gtk_widget_get_mapped(GTK_WIDGET(window)); }));
  }

  MyApplication* application_ = nullptr;
  GtkWindow* main_window_ = nullptr;
  FlView* main_view_ = nullptr;
  FlEngine* engine_ = nullptr;
  FlBinaryMessenger* messenger_ = nullptr;
  FlMethodChannel* channel_ = nullptr;
};

TEST_F(WindowControlChannelTest, NamesOutsideTheTableAreNotImplemented) {
  for (const char* name :
       {"FocusCurrentWindow", "focuscurrentwindow", "HideWindowByViewId",
        "isCurrentWindowMaximized ", "", "noSuchMethod"}) {
    g_autoptr(FlMethodResponse) response = call(name, target_args(main_view_));
    EXPECT_TRUE(FL_IS_METHOD_NOT_IMPLEMENTED_RESPONSE(response)) << name;
  }
  drain_main_loop();
  EXPECT_FALSE(is_visible(main_window_));
}

// Every row answers exactly as its kind says with its window absent, whatever
// shape the arguments take, and none of them makes GTK or GLib complain.
TEST_F(WindowControlChannelTest, EveryRowAnswersWithoutItsWindow) {
  LogCapture log;
  application_->window = nullptr;
  application_->view = nullptr;

  auto build_args = [](int variant) -> FlValue* {
    FlValue* args = nullptr;
    switch (variant) {
      case 0:  // no argument map
        return nullptr;
      case 1:  // an empty map
        return new_map();
      case 2:  // ids that name nothing
        args = new_map();
        for (const char* key : {"targetViewId", "childViewId", "parentViewId"})
          set_int(args, key, 987654);
        return args;
      case 3:  // wrong types everywhere
        args = new_map();
        for (const char* key :
             {"targetViewId", "childViewId", "parentViewId", "fullscreen",
              "showSystemTitleBar", "preferredWidth", "minHeight", "globalX",
              "globalY"}) {
          fl_value_set_string_take(args, key, fl_value_new_string("0"));
        }
        set_int(args, "edge", 1);
        return args;
      case 4:  // arguments that are not a map
        return fl_value_new_list();
      default:  // numbers no pixel offset can hold
        args = new_map();
        fl_value_set_string_take(args, "globalX", fl_value_new_float(NAN));
        fl_value_set_string_take(args, "globalY", fl_value_new_float(INFINITY));
        fl_value_set_string_take(args, "edge", fl_value_new_string("north"));
        set_int(args, "targetViewId", -1);
        return args;
    }
  };

  for (int variant = 0; variant <= 5; variant++) {
    for (const char* name : kNullAnsweringMethods) {
      call_null(name, build_args(variant));
    }
    for (const char* name : kQueryMethods) {
      EXPECT_FALSE(call_bool(name, build_args(variant))) << name;
    }
  }
  drain_main_loop();
  EXPECT_FALSE(is_visible(main_window_));
  EXPECT_EQ(log.count(G_LOG_LEVEL_CRITICAL), 0u);
  EXPECT_EQ(log.count(G_LOG_LEVEL_WARNING), 0u);
}

// The same inputs against windows that are there but not shown.
TEST_F(WindowControlChannelTest, RowsOnUnshownWindowsLogNothing) {
  LogCapture log;
  GtkWindow* child = add_child_window();
  for (const char* name : kNullAnsweringMethods) {
    // These would show the main window; the rest must cope with windows
    // that are not shown.
    if (g_strcmp0(name, "closeCurrentWindow") == 0 ||
        g_strcmp0(name, "focusCurrentWindow") == 0) {
      continue;
    }
    FlValue* args = target_args(view_of(child));
    set_int(args, "parentViewId", fl_view_get_id(main_view_));
    set_int(args, "childViewId", fl_view_get_id(view_of(child)));
    fl_value_set_string_take(args, "globalX", fl_value_new_float(1e300));
    fl_value_set_string_take(args, "globalY", fl_value_new_float(-1e300));
    fl_value_set_string_take(args, "edge", fl_value_new_string("south"));
    call_null(name, args);
  }
  for (const char* name : kQueryMethods) {
    EXPECT_FALSE(call_bool(name, target_args(view_of(child)))) << name;
  }
  drain_main_loop();
  EXPECT_EQ(log.count(G_LOG_LEVEL_CRITICAL), 0u);
  EXPECT_EQ(log.count(G_LOG_LEVEL_WARNING), 0u);
}

TEST_F(WindowControlChannelTest, WrongTypedViewIdNamesNoWindow) {
  show_and_wait(main_window_);
  const int64_t id = fl_view_get_id(main_view_);

  FlValue* as_float = new_map();
  fl_value_set_string_take(as_float, "targetViewId",
                           fl_value_new_float(static_cast<double>(id)));
  call_null("hideWindowByViewId", as_float);
  FlValue* as_string = new_map();
  g_autofree gchar* text = g_strdup_printf("%" G_GINT64_FORMAT, id);
  fl_value_set_string_take(as_string, "targetViewId",
                           fl_value_new_string(text));
  call_null("closeWindowByViewId", as_string);
  drain_main_loop();
  EXPECT_TRUE(is_visible(main_window_));

  // The same id as an integer does name it.
  call_null("hideWindowByViewId", target_args(main_view_));
  EXPECT_TRUE(run_until([this] { return !is_visible(main_window_); }));
}

TEST_F(WindowControlChannelTest, CloseByViewIdHidesOnIdleAndFocusShowsAgain) {
  show_and_wait(main_window_);
  gtk_window_maximize(main_window_);
  ASSERT_TRUE(run_until(
      [this] { return has_state(main_window_, GDK_WINDOW_STATE_MAXIMIZED); }));

  call_null("closeWindowByViewId", target_args(main_view_));
  // Before the idle runs the window is as it was.
  EXPECT_TRUE(is_visible(main_window_));
  EXPECT_TRUE(call_bool("isWindowMaximizedByViewId", target_args(main_view_)));
  EXPECT_TRUE(call_bool("isCurrentWindowMaximized"));

  ASSERT_TRUE(run_until([this] { return !is_visible(main_window_); }));
  // Hidden, not destroyed: still found by its view id.
  EXPECT_EQ(find_window_by_view_id(application_, fl_view_get_id(main_view_)),
            main_window_);

  call_null("focusCurrentWindow");
  EXPECT_TRUE(is_visible(main_window_));
  EXPECT_TRUE(run_until(
      [this] { return gtk_widget_get_mapped(GTK_WIDGET(main_window_)); }));
}

// The idle holds a window only until it has run, whether it hid the window
// or found it destroyed: then the test's own reference is the last.
TEST_F(WindowControlChannelTest, HiddenWindowsAreFinalizedOnceDestroyed) {
  LogCapture log;
  g_autoptr(GtkWindow) hidden = GTK_WINDOW(g_object_ref(add_child_window()));
  g_autoptr(GtkWindow) destroyed = GTK_WINDOW(g_object_ref(add_child_window()));
  show_and_wait(hidden);
  show_and_wait(destroyed);
  call_null("hideWindowByViewId", target_args(view_of(hidden)));
  call_null("closeWindowByViewId", target_args(view_of(destroyed)));
  gtk_widget_destroy(GTK_WIDGET(destroyed));
  ASSERT_TRUE(run_until([&] { return !is_visible(hidden); }));
  gtk_widget_destroy(GTK_WIDGET(hidden));
  EXPECT_TRUE(run_until([&] {
    return G_OBJECT(hidden)->ref_count == 1 &&
           G_OBJECT(destroyed)->ref_count == 1;
  }));
  EXPECT_EQ(log.count(G_LOG_LEVEL_CRITICAL), 0u);
  EXPECT_EQ(log.count(G_LOG_LEVEL_WARNING), 0u);
}

TEST_F(WindowControlChannelTest, CloseCurrentWindowClosesTheMainWindow) {
  show_and_wait(main_window_);
  bool destroyed = false;
  g_signal_connect_swapped(main_window_, "destroy",
                           G_CALLBACK(+[](bool* flag) { *flag = true; }),
                           &destroyed);
  LogCapture log;
  // Twice before the main loop runs: neither close may outlive the window.
  call_null("closeCurrentWindow");
  call_null("closeCurrentWindow");
  EXPECT_TRUE(run_until([&destroyed] { return destroyed; }));
  drain_main_loop();
  EXPECT_EQ(log.count(static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL |
                                                  G_LOG_LEVEL_WARNING)),
            0u);
  application_->window = nullptr;
  application_->view = nullptr;
}

TEST_F(WindowControlChannelTest, MaximizeAndFullscreenRowsOnBothAddressings) {
  GtkWindow* child = add_child_window();
  EXPECT_FALSE(call_bool("isCurrentWindowMaximized"));  // not realized yet
  show_and_wait(main_window_);
  show_and_wait(child);
  auto child_args = [this, child] { return target_args(view_of(child)); };

  call_null("maximizeCurrentWindow");
  ASSERT_TRUE(
      run_until([this] { return call_bool("isCurrentWindowMaximized"); }));
  call_null("unmaximizeCurrentWindow");
  ASSERT_TRUE(
      run_until([this] { return !call_bool("isCurrentWindowMaximized"); }));

  call_null("maximizeWindowByViewId", child_args());
  ASSERT_TRUE(run_until(
      [&] { return call_bool("isWindowMaximizedByViewId", child_args()); }));
  EXPECT_FALSE(call_bool("isCurrentWindowMaximized"));
  call_null("unmaximizeWindowByViewId", child_args());
  ASSERT_TRUE(run_until(
      [&] { return !call_bool("isWindowMaximizedByViewId", child_args()); }));

  FlValue* on = new_map();
  fl_value_set_string_take(on, "fullscreen", fl_value_new_bool(TRUE));
  call_null("setCurrentWindowFullscreen", on);
  ASSERT_TRUE(
      run_until([this] { return call_bool("isCurrentWindowFullscreen"); }));
  // Without the key the flag reads false: fullscreen is left.
  call_null("setCurrentWindowFullscreen", new_map());
  ASSERT_TRUE(
      run_until([this] { return !call_bool("isCurrentWindowFullscreen"); }));

  FlValue* child_on = child_args();
  fl_value_set_string_take(child_on, "fullscreen", fl_value_new_bool(TRUE));
  call_null("setWindowFullscreenByViewId", child_on);
  ASSERT_TRUE(run_until(
      [&] { return call_bool("isWindowFullscreenByViewId", child_args()); }));
  EXPECT_FALSE(call_bool("isCurrentWindowFullscreen"));
  call_null("setWindowFullscreenByViewId", child_args());
  ASSERT_TRUE(run_until(
      [&] { return !call_bool("isWindowFullscreenByViewId", child_args()); }));

  call_null("minimizeWindowByViewId", child_args());
  EXPECT_TRUE(run_until(
      [child] { return has_state(child, GDK_WINDOW_STATE_ICONIFIED); }));
  call_null("minimizeCurrentWindow");
  EXPECT_TRUE(run_until(
      [this] { return has_state(main_window_, GDK_WINDOW_STATE_ICONIFIED); }));
}

TEST_F(WindowControlChannelTest, DragUpdatesAndEndChangeNothing) {
  gtk_window_move(main_window_, 31, 37);
  gint x_before = 0, y_before = 0;
  gtk_window_get_position(main_window_, &x_before, &y_before);
  for (const char* name : {"updateCurrentWindowDrag",
                           "updateWindowDragByViewId", "endWindowDrag"}) {
    FlValue* args = target_args(main_view_);
    fl_value_set_string_take(args, "globalX", fl_value_new_float(300.0));
    fl_value_set_string_take(args, "globalY", fl_value_new_float(300.0));
    call_null(name, args);
    call_null(name, fl_value_new_string("anything"));
  }
  drain_main_loop();
  gint x = 0, y = 0;
  gtk_window_get_position(main_window_, &x, &y);
  EXPECT_EQ(x, x_before);
  EXPECT_EQ(y, y_before);
}

TEST_F(WindowControlChannelTest, ChromeOnTheMainWindowFollowsTheFlag) {
  gtk_window_set_decorated(main_window_, FALSE);
  FlValue* wanted = target_args(main_view_);
  fl_value_set_string_take(wanted, "showSystemTitleBar",
                           fl_value_new_bool(TRUE));
  call_null("configureWindowChromeByViewId", wanted);
  EXPECT_TRUE(gtk_window_get_decorated(main_window_));
  EXPECT_EQ(gtk_window_get_type_hint(main_window_),
            GDK_WINDOW_TYPE_HINT_NORMAL);

  // Without the title bar the frame plugin takes the frame over.
  FlValue* unwanted = target_args(main_view_);
  fl_value_set_string_take(unwanted, "showSystemTitleBar",
                           fl_value_new_bool(FALSE));
  set_int(unwanted, "minWidth", 500);
  set_int(unwanted, "minHeight", 300);
  call_null("configureWindowChromeByViewId", unwanted);
  EXPECT_FALSE(gtk_window_get_decorated(main_window_));
  // The size hints reach the main window too.
  EXPECT_EQ(window_tag_get_int(main_window_, kChildWindowMinWidthKey), 500);
  EXPECT_EQ(window_tag_get_int(main_window_, kChildWindowMinHeightKey), 300);
}

TEST_F(WindowControlChannelTest, ChromeOnAChildWindowIgnoresTheFlag) {
  GtkWindow* child = add_child_window();
  gtk_window_set_decorated(child, TRUE);
  FlValue* args = target_args(view_of(child));
  fl_value_set_string_take(args, "showSystemTitleBar", fl_value_new_bool(TRUE));
  call_null("configureWindowChromeByViewId", args);
  EXPECT_FALSE(gtk_window_get_decorated(child));
  EXPECT_TRUE(window_tag_is_set(child, kWindowInitialFrameRevealDeferredKey));
}

TEST_F(WindowControlChannelTest, ChromeWithoutAWindowSweepsOnlyWhenUnwanted) {
  GtkWindow* child = add_child_window();
  gtk_window_set_decorated(main_window_, TRUE);
  gtk_window_set_decorated(child, TRUE);

  // No map: the flag reads true, nothing changes.
  call_null("configureWindowChromeByViewId");
  EXPECT_TRUE(gtk_window_get_decorated(main_window_));
  EXPECT_TRUE(gtk_window_get_decorated(child));

  FlValue* args = new_map();
  set_int(args, "targetViewId", 987654);
  fl_value_set_string_take(args, "showSystemTitleBar",
                           fl_value_new_bool(FALSE));
  call_null("configureWindowChromeByViewId", args);
  EXPECT_FALSE(gtk_window_get_decorated(main_window_));
  EXPECT_FALSE(gtk_window_get_decorated(child));
}

TEST_F(WindowControlChannelTest, BindAndCentreOnParentNeedTwoDistinctWindows) {
  GtkWindow* child = add_child_window();
  const int64_t child_id = fl_view_get_id(view_of(child));
  const int64_t main_id = fl_view_get_id(main_view_);

  FlValue* self_bound = new_map();
  set_int(self_bound, "childViewId", child_id);
  set_int(self_bound, "parentViewId", child_id);
  call_null("bindChildWindowToParentByViewId", self_bound);
  FlValue* parent_missing = new_map();
  set_int(parent_missing, "childViewId", child_id);
  call_null("bindChildWindowToParentByViewId", parent_missing);
  EXPECT_EQ(gtk_window_get_transient_for(child), nullptr);

  FlValue* bound = new_map();
  set_int(bound, "childViewId", child_id);
  set_int(bound, "parentViewId", main_id);
  call_null("bindChildWindowToParentByViewId", bound);
  EXPECT_EQ(gtk_window_get_transient_for(child), main_window_);
  EXPECT_FALSE(gtk_window_get_destroy_with_parent(child));

  // Centring a window over itself does nothing.
  gtk_window_set_default_size(main_window_, 400, 300);
  gtk_window_move(main_window_, 7, 9);
  FlValue* over_itself = target_args(main_view_);
  set_int(over_itself, "parentViewId", main_id);
  call_null("centerWindowOnParentByViewId", over_itself);
  gint x = 0, y = 0;
  gtk_window_get_position(main_window_, &x, &y);
  EXPECT_EQ(x, 7);
  EXPECT_EQ(y, 9);
}

TEST_F(WindowControlChannelTest, PrepareSpawnOnParentActsAsOnCurrentScreen) {
  for (const char* name : {"prepareNextWindowSpawnOnCurrentScreen",
                           "prepareNextWindowSpawnOnParentByViewId"}) {
    GtkWindow* existing = add_child_window();
    ASSERT_FALSE(window_tag_is_set(existing, kInitialFrameStabilizedKey));
    FlValue* args = new_map();
    set_int(args, "parentViewId", fl_view_get_id(main_view_));
    call_null(name, args);
    // Windows that exist already are kept out of the coming stabilization.
    EXPECT_TRUE(window_tag_is_set(existing, kInitialFrameStabilizedKey))
        << name;
    EXPECT_FALSE(window_tag_is_set(main_window_, kInitialFrameStabilizedKey))
        << name;
  }
}

TEST_F(WindowControlChannelTest, PrepareNextWindowChromeStoresHints) {
  FlValue* args = new_map();
  set_int(args, "preferredWidth", 640);
  set_int(args, "preferredHeight", 480);
  set_int(args, "minWidth", 400);
  set_int(args, "minHeight", 200);
  call_null("prepareNextWindowChrome", args);
  EXPECT_EQ(application_->next_window_preferred_width, 640);
  EXPECT_EQ(application_->next_window_preferred_height, 480);
  EXPECT_EQ(application_->next_window_min_width, 400);
  EXPECT_EQ(application_->next_window_min_height, 200);

  call_null("prepareNextWindowChrome");
  EXPECT_EQ(application_->next_window_preferred_width, 0);
  EXPECT_EQ(application_->next_window_preferred_height, 0);
  EXPECT_EQ(application_->next_window_min_width, 0);
  EXPECT_EQ(application_->next_window_min_height, 0);
}

TEST_F(WindowControlChannelTest, ActivateShowsAHiddenWindow) {
  show_and_wait(main_window_);
  call_null("hideWindowByViewId", target_args(main_view_));
  ASSERT_TRUE(run_until([this] { return !is_visible(main_window_); }));
  call_null("activateWindowByViewId", target_args(main_view_));
  EXPECT_TRUE(is_visible(main_window_));
}

// Once the main window is gone, its rows do nothing and centring a child
// window uses the child's own monitor.
TEST_F(WindowControlChannelTest, RowsAfterTheMainWindowIsGone) {
  LogCapture log;
  GtkWindow* child = add_child_window();
  gtk_window_set_default_size(child, 200, 100);
  gtk_widget_destroy(GTK_WIDGET(main_window_));
  application_->window = nullptr;
  application_->view = nullptr;
  main_window_ = nullptr;

  for (const char* name : kNullAnsweringMethods) {
    call_null(name);
  }
  EXPECT_FALSE(call_bool("isCurrentWindowMaximized"));
  EXPECT_FALSE(call_bool("isCurrentWindowFullscreen"));

  call_null("centerWindowOnCurrentScreen", target_args(view_of(child)));
  GdkRectangle area;
  gdk_monitor_get_workarea(
      gdk_display_get_monitor(gdk_display_get_default(), 0), &area);
  gint x = 0, y = 0;
  gtk_window_get_position(child, &x, &y);
  gint width = 0, height = 0;
  gtk_window_get_size(child, &width, &height);
  EXPECT_EQ(x, area.x + (area.width - width) / 2);
  EXPECT_EQ(y, area.y + (area.height - height) / 2);
  drain_main_loop();
  EXPECT_EQ(log.count(G_LOG_LEVEL_CRITICAL), 0u);
}

}  // namespace
