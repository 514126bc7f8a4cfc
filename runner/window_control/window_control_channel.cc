// The window control channel: the method table that Dart calls to act on the
// main window and on child windows named by view id.
#include "runner/window_control/window_control_channel.h"

#include "runner/child_windows/child_window_adoption.h"
#include "runner/child_windows/native_resize_border.h"
#include "runner/presentation/deferred_window_work.h"
#include "runner/presentation/initial_frame_reveal.h"
#include "runner/presentation/widget_lookup.h"
#include "runner/presentation/window_present.h"
#include "runner/window_control/channel_arguments.h"
#include "runner/window_control/window_drag.h"
#include "runner/window_control/window_placement.h"
#include "runner/window_frame_plugin.h"

namespace {

// The method names Dart calls, in table order.
constexpr char kFocusCurrentWindowMethod[] = "focusCurrentWindow";
constexpr char kCloseCurrentWindowMethod[] = "closeCurrentWindow";
constexpr char kCloseWindowByViewIdMethod[] = "closeWindowByViewId";
constexpr char kHideWindowByViewIdMethod[] = "hideWindowByViewId";
constexpr char kMinimizeCurrentWindowMethod[] = "minimizeCurrentWindow";
constexpr char kMinimizeWindowByViewIdMethod[] = "minimizeWindowByViewId";
constexpr char kMaximizeCurrentWindowMethod[] = "maximizeCurrentWindow";
constexpr char kMaximizeWindowByViewIdMethod[] = "maximizeWindowByViewId";
constexpr char kUnmaximizeCurrentWindowMethod[] = "unmaximizeCurrentWindow";
constexpr char kUnmaximizeWindowByViewIdMethod[] = "unmaximizeWindowByViewId";
constexpr char kCenterCurrentWindowRestoreBoundsMethod[] =
    "centerCurrentWindowRestoreBounds";
constexpr char kCenterWindowRestoreBoundsByViewIdMethod[] =
    "centerWindowRestoreBoundsByViewId";
constexpr char kIsCurrentWindowMaximizedMethod[] = "isCurrentWindowMaximized";
constexpr char kIsWindowMaximizedByViewIdMethod[] = "isWindowMaximizedByViewId";
constexpr char kSetCurrentWindowFullscreenMethod[] =
    "setCurrentWindowFullscreen";
constexpr char kSetWindowFullscreenByViewIdMethod[] =
    "setWindowFullscreenByViewId";
constexpr char kIsCurrentWindowFullscreenMethod[] = "isCurrentWindowFullscreen";
constexpr char kIsWindowFullscreenByViewIdMethod[] =
    "isWindowFullscreenByViewId";
constexpr char kStartCurrentWindowDragMethod[] = "startCurrentWindowDrag";
constexpr char kStartWindowDragByViewIdMethod[] = "startWindowDragByViewId";
constexpr char kStartCurrentWindowResizeMethod[] = "startCurrentWindowResize";
constexpr char kStartWindowResizeByViewIdMethod[] = "startWindowResizeByViewId";
constexpr char kUpdateCurrentWindowDragMethod[] = "updateCurrentWindowDrag";
constexpr char kUpdateWindowDragByViewIdMethod[] = "updateWindowDragByViewId";
constexpr char kEndWindowDragMethod[] = "endWindowDrag";
constexpr char kCenterWindowOnCurrentScreenMethod[] =
    "centerWindowOnCurrentScreen";
constexpr char kCenterWindowOnParentByViewIdMethod[] =
    "centerWindowOnParentByViewId";
constexpr char kPrepareNextWindowSpawnOnCurrentScreenMethod[] =
    "prepareNextWindowSpawnOnCurrentScreen";
constexpr char kPrepareNextWindowSpawnOnParentByViewIdMethod[] =
    "prepareNextWindowSpawnOnParentByViewId";
constexpr char kPrepareNextWindowChromeMethod[] = "prepareNextWindowChrome";
constexpr char kActivateWindowByViewIdMethod[] = "activateWindowByViewId";
constexpr char kBindChildWindowToParentByViewIdMethod[] =
    "bindChildWindowToParentByViewId";
constexpr char kConfigureWindowChromeByViewIdMethod[] =
    "configureWindowChromeByViewId";

constexpr char kTargetViewIdArgument[] = "targetViewId";
constexpr char kChildViewIdArgument[] = "childViewId";
constexpr char kParentViewIdArgument[] = "parentViewId";
constexpr char kFullscreenArgument[] = "fullscreen";
constexpr char kShowSystemTitleBarArgument[] = "showSystemTitleBar";

// The window a row acts on: the main window, the one whose view "targetViewId"
// names, or none (the row finds its windows itself, if any).
enum class Window { kMain, kTarget, kNone };

// How a matched row answers.
enum class Answer { kNull, kBool };

// A row's action, given its window (null only for rows acting on none). The
// result is the answer of a bool row and ignored otherwise.
using Action = bool (*)(MyApplication* self, GtkWindow* window, FlValue* args);

struct MethodRow {
  const char* name;
  Window window;
  Action action;
  Answer answer;
};

// The main window, or null once it is gone.
GtkWindow* main_window(MyApplication* self) {
  GtkWindow* window = self->window;
  if (window == nullptr || gtk_widget_in_destruction(GTK_WIDGET(window))) {
    return nullptr;
  }
  return window;
}

GtkWindow* window_by_argument(MyApplication* self,
                              FlValue* args,
                              const char* key) {
  return find_window_by_view_id(self, read_int_argument(args, key, -1));
}

bool window_state_has(GtkWindow* window, GdkWindowState bit) {
  return window != nullptr && (get_window_state(window) & bit) != 0;
}

bool focus(MyApplication*, GtkWindow* window, FlValue*) {
  present_window_to_front_with_retries(window);
  return false;
}

// Sends a delete event, as the window manager's close button does, unless the
// window is gone; the source holds the window.
gboolean close_window_idle(gpointer window) {
  GdkWindow* gdk_window = gtk_widget_get_window(GTK_WIDGET(window));
  if (window_is_alive(GTK_WINDOW(window)) && gdk_window != nullptr) {
    GdkEvent* event = gdk_event_new(GDK_DELETE);
    event->any.window = GDK_WINDOW(g_object_ref(gdk_window));
    event->any.send_event = TRUE;
    gtk_main_do_event(event);
    gdk_event_free(event);
  }
  return G_SOURCE_REMOVE;
}

// As gtk_window_close, after the answer, but holding the window: GTK keeps
// only the last of several closes pending on one window, and the others then
// run on the freed window.
bool request_close(MyApplication*, GtkWindow* window, FlValue*) {
  g_idle_add_full(G_PRIORITY_DEFAULT, close_window_idle, g_object_ref(window),
                  g_object_unref);
  return false;
}

// Hidden after the answer, and only hidden: the window stays to be shown again.
bool hide_later(MyApplication*, GtkWindow* window, FlValue*) {
  g_idle_add(hide_window_idle, g_object_ref(window));
  return false;
}

bool minimize(MyApplication*, GtkWindow* window, FlValue*) {
  gtk_window_iconify(window);
  return false;
}

bool maximize(MyApplication*, GtkWindow* window, FlValue*) {
  maximize_window(window);
  return false;
}

bool unmaximize(MyApplication*, GtkWindow* window, FlValue*) {
  gtk_window_unmaximize(window);
  queue_flutter_view_geometry_refresh(window);
  return false;
}

// On the main window's monitor.
bool center_restore_bounds(MyApplication* self, GtkWindow* window, FlValue*) {
  center_window_restore_bounds(window, main_window(self));
  return false;
}

bool is_maximized(MyApplication*, GtkWindow* window, FlValue*) {
  return window_state_has(window, GDK_WINDOW_STATE_MAXIMIZED);
}

bool set_fullscreen(MyApplication*, GtkWindow* window, FlValue* args) {
  if (read_bool_argument(args, kFullscreenArgument, false)) {
    gtk_window_fullscreen(window);
  } else {
    gtk_window_unfullscreen(window);
  }
  queue_flutter_view_geometry_refresh(window);
  return false;
}

bool is_fullscreen(MyApplication*, GtkWindow* window, FlValue*) {
  return window_state_has(window, GDK_WINDOW_STATE_FULLSCREEN);
}

bool start_drag(MyApplication*, GtkWindow* window, FlValue* args) {
  begin_window_drag(window, args);
  return false;
}

bool start_resize(MyApplication*, GtkWindow* window, FlValue* args) {
  begin_window_resize(window, args);
  return false;
}

// The window manager runs the move; there is nothing to update or end.
bool nothing(MyApplication*, GtkWindow*, FlValue*) {
  return false;
}

// On the main window's monitor.
bool center_on_current_screen(MyApplication* self,
                              GtkWindow* window,
                              FlValue*) {
  stabilize_child_window_initial_frame(self, window);
  center_window_on_current_screen(window, main_window(self));
  return false;
}

bool center_on_parent(MyApplication* self, GtkWindow* window, FlValue* args) {
  GtkWindow* parent = window_by_argument(self, args, kParentViewIdArgument);
  if (parent != nullptr && window != parent) {
    stabilize_child_window_initial_frame(self, window);
    center_window_on_parent(window, parent);
  }
  return false;
}

bool prepare_next_window(MyApplication* self, GtkWindow*, FlValue*) {
  schedule_child_window_initial_frame_stabilization(self);
  return false;
}

bool prepare_next_window_chrome(MyApplication* self,
                                GtkWindow*,
                                FlValue* args) {
  read_next_window_content_size_hints(self, args);
  schedule_child_window_initial_frame_stabilization(self);
  return false;
}

bool activate(MyApplication* self, GtkWindow* window, FlValue*) {
  stabilize_child_window_initial_frame(self, window);
  activate_window(window);
  return false;
}

// Both look-ups go through as they are; the binding checks them.
bool bind_to_parent(MyApplication* self, GtkWindow*, FlValue* args) {
  bind_child_window_to_parent(
      window_by_argument(self, args, kChildViewIdArgument),
      window_by_argument(self, args, kParentViewIdArgument));
  return false;
}

// Without a window found, the flag goes to every child window.
bool configure_chrome(MyApplication* self, GtkWindow*, FlValue* args) {
  const bool show_system_title_bar =
      read_bool_argument(args, kShowSystemTitleBarArgument, true);
  GtkWindow* window = window_by_argument(self, args, kTargetViewIdArgument);
  if (window == nullptr) {
    apply_child_windows_system_title_bar(self, show_system_title_bar);
    return false;
  }

  const bool is_main_window = window == main_window(self);
  if (is_main_window) {
    gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_NORMAL);
  } else {
    apply_minimal_gtk_child_window_chrome(window);
    schedule_native_child_window_resize_handler(window);
    defer_window_reveal_until_initial_frame(window);
  }

  const ChildWindowSizeHints hints = read_child_window_size_hints(args);
  apply_child_window_content_size_hints(window, hints.preferred_width,
                                        hints.preferred_height, hints.min_width,
                                        hints.min_height);
  stabilize_child_window_initial_frame(self, window);

  // A child window keeps the chrome set above whatever the flag says.
  if (is_main_window) {
    apply_system_title_bar(window, show_system_title_bar);
  }
  return false;
}

// The method table, in the order names are compared.
constexpr MethodRow kMethods[] = {
    {kFocusCurrentWindowMethod, Window::kMain, focus, Answer::kNull},
    {kCloseCurrentWindowMethod, Window::kMain, request_close, Answer::kNull},
    {kCloseWindowByViewIdMethod, Window::kTarget, hide_later, Answer::kNull},
    {kHideWindowByViewIdMethod, Window::kTarget, hide_later, Answer::kNull},
    {kMinimizeCurrentWindowMethod, Window::kMain, minimize, Answer::kNull},
    {kMinimizeWindowByViewIdMethod, Window::kTarget, minimize, Answer::kNull},
    {kMaximizeCurrentWindowMethod, Window::kMain, maximize, Answer::kNull},
    {kMaximizeWindowByViewIdMethod, Window::kTarget, maximize, Answer::kNull},
    {kUnmaximizeCurrentWindowMethod, Window::kMain, unmaximize, Answer::kNull},
    {kUnmaximizeWindowByViewIdMethod, Window::kTarget, unmaximize,
     Answer::kNull},
    {kCenterCurrentWindowRestoreBoundsMethod, Window::kMain,
     center_restore_bounds, Answer::kNull},
    {kCenterWindowRestoreBoundsByViewIdMethod, Window::kTarget,
     center_restore_bounds, Answer::kNull},
    {kIsCurrentWindowMaximizedMethod, Window::kMain, is_maximized,
     Answer::kBool},
    {kIsWindowMaximizedByViewIdMethod, Window::kTarget, is_maximized,
     Answer::kBool},
    {kSetCurrentWindowFullscreenMethod, Window::kMain, set_fullscreen,
     Answer::kNull},
    {kSetWindowFullscreenByViewIdMethod, Window::kTarget, set_fullscreen,
     Answer::kNull},
    {kIsCurrentWindowFullscreenMethod, Window::kMain, is_fullscreen,
     Answer::kBool},
    {kIsWindowFullscreenByViewIdMethod, Window::kTarget, is_fullscreen,
     Answer::kBool},
    {kStartCurrentWindowDragMethod, Window::kMain, start_drag, Answer::kNull},
    {kStartWindowDragByViewIdMethod, Window::kTarget, start_drag,
     Answer::kNull},
    {kStartCurrentWindowResizeMethod, Window::kMain, start_resize,
     Answer::kNull},
    {kStartWindowResizeByViewIdMethod, Window::kTarget, start_resize,
     Answer::kNull},
    {kUpdateCurrentWindowDragMethod, Window::kNone, nothing, Answer::kNull},
    {kUpdateWindowDragByViewIdMethod, Window::kNone, nothing, Answer::kNull},
    {kEndWindowDragMethod, Window::kNone, nothing, Answer::kNull},
    {kCenterWindowOnCurrentScreenMethod, Window::kTarget,
     center_on_current_screen, Answer::kNull},
    {kCenterWindowOnParentByViewIdMethod, Window::kTarget, center_on_parent,
     Answer::kNull},
    {kPrepareNextWindowSpawnOnCurrentScreenMethod, Window::kNone,
     prepare_next_window, Answer::kNull},
    {kPrepareNextWindowSpawnOnParentByViewIdMethod, Window::kNone,
     prepare_next_window, Answer::kNull},
    {kPrepareNextWindowChromeMethod, Window::kNone, prepare_next_window_chrome,
     Answer::kNull},
    {kActivateWindowByViewIdMethod, Window::kTarget, activate, Answer::kNull},
    {kBindChildWindowToParentByViewIdMethod, Window::kNone, bind_to_parent,
     Answer::kNull},
    {kConfigureWindowChromeByViewIdMethod, Window::kNone, configure_chrome,
     Answer::kNull},
};

// The first row named `name` exactly, or null.
const MethodRow* find_method(const gchar* name) {
  for (const MethodRow& row : kMethods) {
    if (g_strcmp0(name, row.name) == 0) {
      return &row;
    }
  }
  return nullptr;
}

// Performs `row`: a row whose window is not there does nothing, and a query
// about it answers false.
FlValue* perform_method(MyApplication* self,
                        const MethodRow& row,
                        FlValue* args) {
  GtkWindow* window = nullptr;
  switch (row.window) {
    case Window::kMain:
      window = main_window(self);
      break;
    case Window::kTarget:
      window = window_by_argument(self, args, kTargetViewIdArgument);
      break;
    case Window::kNone:
      break;
  }
  bool result = false;
  if (window != nullptr || row.window == Window::kNone) {
    result = row.action(self, window, args);
  }
  return row.answer == Answer::kBool ? fl_value_new_bool(result)
                                     : fl_value_new_null();
}

}  // namespace

void window_control_method_call_cb(FlMethodChannel* /* channel */,
                                   FlMethodCall* method_call,
                                   gpointer user_data) {
  MyApplication* self = MY_APPLICATION(user_data);
  const gchar* name = fl_method_call_get_name(method_call);
  // Anything but a map carries no arguments.
  FlValue* args = fl_method_call_get_args(method_call);
  if (args != nullptr && fl_value_get_type(args) != FL_VALUE_TYPE_MAP) {
    args = nullptr;
  }

  const MethodRow* row = find_method(name);
  g_autoptr(FlMethodResponse) response = nullptr;
  if (row == nullptr) {
    response = FL_METHOD_RESPONSE(fl_method_not_implemented_response_new());
  } else {
    g_autoptr(FlValue) value = perform_method(self, *row, args);
    response = FL_METHOD_RESPONSE(fl_method_success_response_new(value));
  }
  fl_method_call_respond(method_call, response, nullptr);
}

gboolean hide_window_idle(gpointer window) {
  GtkWindow* target = GTK_WINDOW(window);
  // A window destroyed meanwhile is left alone; only the reference goes.
  if (window_is_alive(target)) {
    gtk_widget_hide(GTK_WIDGET(target));
  }
  g_object_unref(target);
  return G_SOURCE_REMOVE;
}

void maximize_window(GtkWindow* window) {
  gtk_window_maximize(window);
  queue_flutter_view_geometry_refresh(window);
}

GdkWindowState get_current_window_state(MyApplication* application) {
  GtkWindow* window =
      application != nullptr ? main_window(application) : nullptr;
  if (window == nullptr) {
    return static_cast<GdkWindowState>(0);
  }
  return get_window_state(window);
}

GdkWindowState get_window_state(GtkWindow* window) {
  GdkWindow* gdk_window = gtk_widget_get_window(GTK_WIDGET(window));
  if (gdk_window == nullptr) {
    return static_cast<GdkWindowState>(0);
  }
  return gdk_window_get_state(gdk_window);
}

void apply_system_title_bar(GtkWindow* window, bool show_system_title_bar) {
  if (window == nullptr) {
    return;
  }
  if (show_system_title_bar) {
    gtk_window_set_decorated(window, TRUE);
  } else {
    take_over_window_frame(window);
  }
}
