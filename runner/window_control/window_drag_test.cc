// Tests of window moves and resizes: the start point, the edge names, and the
// input recovery after a move, with the pointer driven through XTest.
#include "runner/window_control/window_drag.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "runner/presentation/widget_lookup.h"
#include "tests/support/test_support.h"
#include "tests/support/window_manager_test_support.h"

namespace {

// Runs xdotool with the given arguments; true when it succeeded.
bool xdotool(const std::string& arguments) {
  g_autofree gchar* command = g_strdup_printf("xdotool %s", arguments.c_str());
  gint status = 0;
  if (!g_spawn_command_line_sync(command, nullptr, nullptr, &status, nullptr)) {
    return false;
  }
  return g_spawn_check_wait_status(status, nullptr);
}

FlValue* offsets(FlValue* x, FlValue* y) {
  FlValue* args = fl_value_new_map();
  if (x != nullptr) {
    fl_value_set_string_take(args, "globalX", x);
  }
  if (y != nullptr) {
    fl_value_set_string_take(args, "globalY", y);
  }
  return args;
}

struct ReleaseRecord {
  int count = 0;
  GdkEventType type = GDK_NOTHING;
  GdkWindow* window = nullptr;  // borrowed, compared only
  gint8 send_event = 0;
  guint32 time = 0;
  gdouble x = 0, y = 0, x_root = 0, y_root = 0;
  bool has_axes = false;
  guint state = 0;
  guint button = 0;
  GdkDevice* device = nullptr;  // borrowed, compared only
};

gboolean record_release_cb(GtkWidget*, GdkEventButton* event, gpointer data) {
  auto* record = static_cast<ReleaseRecord*>(data);
  record->count++;
  record->type = event->type;
  record->window = event->window;
  record->send_event = event->send_event;
  record->time = event->time;
  record->x = event->x;
  record->y = event->y;
  record->x_root = event->x_root;
  record->y_root = event->y_root;
  record->has_axes = event->axes != nullptr;
  record->state = event->state;
  record->button = event->button;
  record->device = gdk_event_get_device(reinterpret_cast<GdkEvent*>(event));
  return FALSE;
}

GdkDevice* seat_pointer() {
  return gdk_seat_get_pointer(
      gdk_display_get_default_seat(gdk_display_get_default()));
}

class WindowDragTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = make_window_with_view();
    gtk_window_set_default_size(window_, 400, 300);
    ASSERT_TRUE(show_placed_at(window_, 100, 100));
    origin_x_ = 100;
    origin_y_ = 100;
    view_ = find_fl_view(GTK_WIDGET(window_));
    target_ = find_event_box(GTK_WIDGET(view_));
    if (target_ == nullptr) {
      target_ = GTK_WIDGET(view_);
    }
    g_signal_connect(target_, "button-release-event",
                     G_CALLBACK(record_release_cb), &release_);
    // The pointer rests on an unmanaged popup, away from the window moved.
    pad_ = GTK_WINDOW(gtk_window_new(GTK_WINDOW_POPUP));
    gtk_window_set_default_size(pad_, 100, 100);
    gtk_window_move(pad_, 700, 600);
    gtk_widget_show(GTK_WIDGET(pad_));
    ASSERT_TRUE(
        run_until([this] { return gtk_widget_get_mapped(GTK_WIDGET(pad_)); }));
    pointer_x_ = 750;
    pointer_y_ = 650;
    // A button left down by an earlier run would make every move look held.
    ASSERT_TRUE(xdotool("mouseup 1"));
    ASSERT_TRUE(xdotool("mousemove " + std::to_string(pointer_x_) + " " +
                        std::to_string(pointer_y_)));
    ASSERT_TRUE(run_until([] {
      gint x = 0, y = 0;
      return gdk_window_get_device_position(gdk_get_default_root_window(),
                                            seat_pointer(), &x, &y,
                                            nullptr) != nullptr;
    }));
  }

  void TearDown() override {
    if (button_held_) {
      xdotool("mouseup 1");
    }
    destroy_all_toplevels();
  }

  // A recovery record as begin_window_drag makes it.
  WindowDragRecoveryData* new_recovery(gint32 ticks) {
    auto* recovery = g_new0(WindowDragRecoveryData, 1);
    recovery->window = GTK_WINDOW(g_object_ref(window_));
    recovery->remaining_ticks = ticks;
    recovery->root_x = -7;
    recovery->root_y = -9;
    return recovery;
  }

  void press_button() {
    ASSERT_TRUE(xdotool("mousedown 1"));
    button_held_ = true;
  }

  void release_button() {
    ASSERT_TRUE(xdotool("mouseup 1"));
    button_held_ = false;
  }

  GtkWindow* window_ = nullptr;
  GtkWindow* pad_ = nullptr;
  FlView* view_ = nullptr;
  GtkWidget* target_ = nullptr;
  gint origin_x_ = 0, origin_y_ = 0;
  gint pointer_x_ = 0, pointer_y_ = 0;
  bool button_held_ = false;
  ReleaseRecord release_;
};

TEST(WindowEdgeTest, EightNamesInTheirExactCase) {
  const std::vector<std::pair<const char*, GdkWindowEdge>> names = {
      {"northWest", GDK_WINDOW_EDGE_NORTH_WEST},
      {"north", GDK_WINDOW_EDGE_NORTH},
      {"northEast", GDK_WINDOW_EDGE_NORTH_EAST},
      {"east", GDK_WINDOW_EDGE_EAST},
      {"southEast", GDK_WINDOW_EDGE_SOUTH_EAST},
      {"south", GDK_WINDOW_EDGE_SOUTH},
      {"southWest", GDK_WINDOW_EDGE_SOUTH_WEST},
      {"west", GDK_WINDOW_EDGE_WEST},
  };
  for (const auto& [name, expected] : names) {
    GdkWindowEdge edge = GDK_WINDOW_EDGE_NORTH_WEST;
    EXPECT_TRUE(window_edge_from_name(name, &edge)) << name;
    EXPECT_EQ(edge, expected) << name;
  }
  for (const char* name : std::initializer_list<const char*>{
           "North", "northwest", "NORTH", "south ", "", "top", nullptr}) {
    GdkWindowEdge edge = GDK_WINDOW_EDGE_NORTH_WEST;
    EXPECT_FALSE(window_edge_from_name(name, &edge)) << (name ? name : "null");
  }
}

TEST_F(WindowDragTest, StartPointAddsTruncatedOffsetsToTheOrigin) {
  // The window manager may still be placing the window: read the origin
  // right before each request.
  auto origin = [this] {
    gdk_window_get_origin(gtk_widget_get_window(GTK_WIDGET(window_)),
                          &origin_x_, &origin_y_);
  };
  gint x = 0, y = 0;
  g_autoptr(FlValue) fractions =
      offsets(fl_value_new_float(10.9), fl_value_new_float(-0.5));
  origin();
  ASSERT_TRUE(get_drag_start_root_position(window_, fractions, &x, &y));
  EXPECT_EQ(x, origin_x_ + 10);
  EXPECT_EQ(y, origin_y_);

  g_autoptr(FlValue) integers =
      offsets(fl_value_new_int(5), fl_value_new_float(-3.99));
  origin();
  ASSERT_TRUE(get_drag_start_root_position(window_, integers, &x, &y));
  EXPECT_EQ(x, origin_x_ + 5);
  EXPECT_EQ(y, origin_y_ - 3);

  // The largest offset that fits stays within 32 bits when added.
  g_autoptr(FlValue) largest = offsets(fl_value_new_int(G_MAXINT32),
                                       fl_value_new_float(G_MININT32 - 0.5));
  origin();
  ASSERT_TRUE(get_drag_start_root_position(window_, largest, &x, &y));
  EXPECT_EQ(x, G_MAXINT32);
  EXPECT_EQ(y, origin_y_ >= 0 ? G_MININT32 + origin_y_ : G_MININT32);
}

TEST_F(WindowDragTest, StartPointUsesThePointerWithoutUsableOffsets) {
  std::vector<FlValue*> cases = {
      nullptr,
      fl_value_new_map(),
      fl_value_new_list(),
      offsets(fl_value_new_float(10.0), nullptr),
      offsets(nullptr, fl_value_new_float(10.0)),
      offsets(fl_value_new_string("10"), fl_value_new_float(10.0)),
      offsets(fl_value_new_float(NAN), fl_value_new_float(10.0)),
      offsets(fl_value_new_float(10.0), fl_value_new_float(-INFINITY)),
      offsets(fl_value_new_float(3e9), fl_value_new_float(10.0)),
      offsets(fl_value_new_int(G_MAXINT32 + 1LL), fl_value_new_int(0)),
  };
  for (size_t i = 0; i < cases.size(); i++) {
    gint x = 0, y = 0;
    EXPECT_TRUE(get_drag_start_root_position(window_, cases[i], &x, &y)) << i;
    EXPECT_EQ(x, pointer_x_) << i;
    EXPECT_EQ(y, pointer_y_) << i;
    if (cases[i] != nullptr) {
      fl_value_unref(cases[i]);
    }
  }
}

// Under a reparenting window manager the pointer mostly rests on frames GDK
// does not know; the pointer is still where the move starts.
TEST_F(WindowDragTest, StartPointUsesThePointerOverAManagedWindow) {
  gint origin_x = 0, origin_y = 0;
  gdk_window_get_origin(gtk_widget_get_window(GTK_WIDGET(window_)), &origin_x,
                        &origin_y);
  const gint target_x = origin_x + 5;
  const gint target_y = origin_y + 5;
  ASSERT_TRUE(xdotool("mousemove " + std::to_string(target_x) + " " +
                      std::to_string(target_y)));
  ASSERT_TRUE(run_until([&] {
    gint x = 0, y = 0;
    gdk_device_get_position(seat_pointer(), nullptr, &x, &y);
    return x == target_x && y == target_y;
  }));
  gint x = 0, y = 0;
  EXPECT_TRUE(get_drag_start_root_position(window_, nullptr, &x, &y));
  EXPECT_EQ(x, target_x);
  EXPECT_EQ(y, target_y);
}

TEST_F(WindowDragTest, RecoveryFinishesAtOnceWhenTheButtonIsUp) {
  EXPECT_FALSE(recover_window_input_after_drag(new_recovery(300)));
  ASSERT_EQ(release_.count, 1);
  GdkWindow* target_window = gtk_widget_get_window(target_);
  gint target_x = 0, target_y = 0;
  gdk_window_get_origin(target_window, &target_x, &target_y);
  EXPECT_EQ(release_.type, GDK_BUTTON_RELEASE);
  EXPECT_EQ(release_.window, target_window);
  EXPECT_EQ(release_.send_event, 1);
  EXPECT_NE(release_.time, 0u);
  // The last pointer position, in the target's and in root coordinates.
  EXPECT_EQ(release_.x_root, pointer_x_);
  EXPECT_EQ(release_.y_root, pointer_y_);
  EXPECT_EQ(release_.x, pointer_x_ - target_x);
  EXPECT_EQ(release_.y, pointer_y_ - target_y);
  EXPECT_FALSE(release_.has_axes);
  EXPECT_EQ(release_.state, 0u);
  EXPECT_EQ(release_.button, 1u);
  EXPECT_EQ(release_.device, seat_pointer());
  EXPECT_EQ(gtk_window_get_focus(window_), GTK_WIDGET(view_));
}

TEST_F(WindowDragTest, RecoveryPresentsAHiddenRealizedWindow) {
  gtk_widget_hide(GTK_WIDGET(window_));
  EXPECT_FALSE(recover_window_input_after_drag(new_recovery(300)));
  EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(window_)));
  EXPECT_EQ(release_.count, 1);
}

TEST_F(WindowDragTest, RecoveryWatchesAHeldButtonForAtMostItsTicks) {
  press_button();
  auto* recovery = new_recovery(300);
  EXPECT_TRUE(recover_window_input_after_drag(recovery));
  EXPECT_EQ(recovery->remaining_ticks, 299);
  EXPECT_EQ(recovery->root_x, pointer_x_);
  EXPECT_EQ(recovery->root_y, pointer_y_);
  EXPECT_EQ(release_.count, 0);

  // The last tick finishes although the button is still down.
  recovery->remaining_ticks = 1;
  EXPECT_FALSE(recover_window_input_after_drag(recovery));
  EXPECT_EQ(release_.count, 1);
}

TEST_F(WindowDragTest, MoveEndsWithTheReleaseOnceTheButtonComesUp) {
  press_button();
  g_autoptr(FlValue) args =
      offsets(fl_value_new_float(200.0), fl_value_new_float(150.0));
  begin_window_drag(window_, args);
  run_for(200);
  EXPECT_EQ(release_.count, 0);
  release_button();
  EXPECT_TRUE(run_until([this] { return release_.count == 1; }));
  run_for(100);
  EXPECT_EQ(release_.count, 1);
}

TEST_F(WindowDragTest, RecoveryLeavesADestroyedWindowAlone) {
  LogCapture log;
  auto* recovery = new_recovery(300);
  gtk_widget_destroy(GTK_WIDGET(window_));
  EXPECT_FALSE(recover_window_input_after_drag(recovery));
  EXPECT_EQ(release_.count, 0);
  EXPECT_EQ(log.count(G_LOG_LEVEL_CRITICAL), 0u);
  EXPECT_EQ(log.count(G_LOG_LEVEL_WARNING), 0u);
}

TEST_F(WindowDragTest, NothingStartsOnAHiddenWindowOrWithoutAnEdge) {
  LogCapture log;
  g_autoptr(FlValue) bad_edge = fl_value_new_map();
  fl_value_set_string_take(bad_edge, "edge", fl_value_new_string("North"));
  begin_window_resize(window_, bad_edge);
  begin_window_resize(window_, nullptr);
  begin_window_resize(nullptr, bad_edge);
  begin_window_drag(nullptr, nullptr);

  gtk_widget_hide(GTK_WIDGET(window_));
  g_autoptr(FlValue) edge = fl_value_new_map();
  fl_value_set_string_take(edge, "edge", fl_value_new_string("south"));
  begin_window_resize(window_, edge);
  begin_window_drag(window_, nullptr);
  run_for(100);
  EXPECT_EQ(release_.count, 0);
  EXPECT_EQ(log.count(G_LOG_LEVEL_CRITICAL), 0u);
}

}  // namespace
