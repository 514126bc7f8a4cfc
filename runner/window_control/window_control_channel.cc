// The window control channel: the method table that Dart calls to act on the
// main window and on child windows named by view id.
#include "runner/window_control/window_control_channel.h"

#include "runner/child_windows/child_window_adoption.h"
#include "runner/child_windows/native_resize_border.h"
#include "runner/presentation/initial_frame_reveal.h"
#include "runner/presentation/live_window.h"
#include "runner/presentation/widget_lookup.h"
#include "runner/presentation/window_present.h"
#include "runner/window_control/window_drag.h"
#include "runner/window_control/window_placement.h"
#include "runner/window_frame_plugin.h"

namespace {

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

// How a matched row answers.
enum class Answer { kNull, kBool };

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

GtkWindow* target_window(MyApplication* self, FlValue* args) {
  return window_by_argument(self, args, kTargetViewIdArgument);
}

bool window_state_has(GtkWindow* window, GdkWindowState bit) {
  return window != nullptr && (get_window_state(window) & bit) != 0;
}

void hide_window_later(GtkWindow* window) {
  if (window != nullptr) {
    g_idle_add(hide_window_idle, g_object_ref(window));
  }
}

void unmaximize_window(GtkWindow* window) {
  if (window != nullptr) {
    gtk_window_unmaximize(window);
    queue_flutter_view_geometry_refresh(window);
  }
}

void set_window_fullscreen(GtkWindow* window, FlValue* args) {
  if (window == nullptr) {
    return;
  }
  if (read_bool_argument(args, kFullscreenArgument, false)) {
    gtk_window_fullscreen(window);
  } else {
    gtk_window_unfullscreen(window);
  }
  queue_flutter_view_geometry_refresh(window);
}

void configure_window_chrome(MyApplication* self, FlValue* args) {
  const bool show_system_title_bar =
      read_bool_argument(args, kShowSystemTitleBarArgument, true);
  GtkWindow* window = target_window(self, args);
  if (window == nullptr) {
    apply_child_windows_system_title_bar(self, show_system_title_bar);
    return;
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
}

// Performs the row named `name`. Returns false for a name outside the table;
// otherwise sets how to answer and, for queries, the answer.
bool handle_method(MyApplication* self,
                   const gchar* name,
                   FlValue* args,
                   Answer* answer,
                   bool* result) {
  *answer = Answer::kNull;
  *result = false;

  if (g_strcmp0(name, kFocusCurrentWindowMethod) == 0) {
    if (GtkWindow* window = main_window(self)) {
      present_window_to_front_with_retries(window);
    }
  } else if (g_strcmp0(name, kCloseCurrentWindowMethod) == 0) {
    if (GtkWindow* window = main_window(self)) {
      gtk_window_close(window);
    }
  } else if (g_strcmp0(name, kCloseWindowByViewIdMethod) == 0 ||
             g_strcmp0(name, kHideWindowByViewIdMethod) == 0) {
    hide_window_later(target_window(self, args));
  } else if (g_strcmp0(name, kMinimizeCurrentWindowMethod) == 0) {
    if (GtkWindow* window = main_window(self)) {
      gtk_window_iconify(window);
    }
  } else if (g_strcmp0(name, kMinimizeWindowByViewIdMethod) == 0) {
    if (GtkWindow* window = target_window(self, args)) {
      gtk_window_iconify(window);
    }
  } else if (g_strcmp0(name, kMaximizeCurrentWindowMethod) == 0) {
    if (GtkWindow* window = main_window(self)) {
      maximize_window(window);
    }
  } else if (g_strcmp0(name, kMaximizeWindowByViewIdMethod) == 0) {
    if (GtkWindow* window = target_window(self, args)) {
      maximize_window(window);
    }
  } else if (g_strcmp0(name, kUnmaximizeCurrentWindowMethod) == 0) {
    unmaximize_window(main_window(self));
  } else if (g_strcmp0(name, kUnmaximizeWindowByViewIdMethod) == 0) {
    unmaximize_window(target_window(self, args));
  } else if (g_strcmp0(name, kCenterCurrentWindowRestoreBoundsMethod) == 0) {
    GtkWindow* window = main_window(self);
    center_window_restore_bounds(window, window);
  } else if (g_strcmp0(name, kCenterWindowRestoreBoundsByViewIdMethod) == 0) {
    center_window_restore_bounds(target_window(self, args), main_window(self));
  } else if (g_strcmp0(name, kIsCurrentWindowMaximizedMethod) == 0) {
    *answer = Answer::kBool;
    *result =
        (get_current_window_state(self) & GDK_WINDOW_STATE_MAXIMIZED) != 0;
  } else if (g_strcmp0(name, kIsWindowMaximizedByViewIdMethod) == 0) {
    *answer = Answer::kBool;
    *result =
        window_state_has(target_window(self, args), GDK_WINDOW_STATE_MAXIMIZED);
  } else if (g_strcmp0(name, kSetCurrentWindowFullscreenMethod) == 0) {
    set_window_fullscreen(main_window(self), args);
  } else if (g_strcmp0(name, kSetWindowFullscreenByViewIdMethod) == 0) {
    set_window_fullscreen(target_window(self, args), args);
  } else if (g_strcmp0(name, kIsCurrentWindowFullscreenMethod) == 0) {
    *answer = Answer::kBool;
    *result =
        (get_current_window_state(self) & GDK_WINDOW_STATE_FULLSCREEN) != 0;
  } else if (g_strcmp0(name, kIsWindowFullscreenByViewIdMethod) == 0) {
    *answer = Answer::kBool;
    *result = window_state_has(target_window(self, args),
                               GDK_WINDOW_STATE_FULLSCREEN);
  } else if (g_strcmp0(name, kStartCurrentWindowDragMethod) == 0) {
    begin_window_drag(main_window(self), args);
  } else if (g_strcmp0(name, kStartWindowDragByViewIdMethod) == 0) {
    begin_window_drag(target_window(self, args), args);
  } else if (g_strcmp0(name, kStartCurrentWindowResizeMethod) == 0) {
    begin_window_resize(main_window(self), args);
  } else if (g_strcmp0(name, kStartWindowResizeByViewIdMethod) == 0) {
    begin_window_resize(target_window(self, args), args);
  } else if (g_strcmp0(name, kUpdateCurrentWindowDragMethod) == 0 ||
             g_strcmp0(name, kUpdateWindowDragByViewIdMethod) == 0 ||
             g_strcmp0(name, kEndWindowDragMethod) == 0) {
    // The window manager runs the move; there is nothing to update or end.
  } else if (g_strcmp0(name, kCenterWindowOnCurrentScreenMethod) == 0) {
    if (GtkWindow* window = target_window(self, args)) {
      stabilize_child_window_initial_frame(self, window);
      center_window_on_current_screen(window, main_window(self));
    }
  } else if (g_strcmp0(name, kCenterWindowOnParentByViewIdMethod) == 0) {
    GtkWindow* window = target_window(self, args);
    GtkWindow* parent = window_by_argument(self, args, kParentViewIdArgument);
    if (window != nullptr && parent != nullptr && window != parent) {
      stabilize_child_window_initial_frame(self, window);
      center_window_on_parent(window, parent);
    }
  } else if (g_strcmp0(name, kPrepareNextWindowSpawnOnCurrentScreenMethod) ==
                 0 ||
             g_strcmp0(name, kPrepareNextWindowSpawnOnParentByViewIdMethod) ==
                 0) {
    schedule_child_window_initial_frame_stabilization(self);
  } else if (g_strcmp0(name, kPrepareNextWindowChromeMethod) == 0) {
    read_next_window_content_size_hints(self, args);
    schedule_child_window_initial_frame_stabilization(self);
  } else if (g_strcmp0(name, kActivateWindowByViewIdMethod) == 0) {
    if (GtkWindow* window = target_window(self, args)) {
      stabilize_child_window_initial_frame(self, window);
      activate_window(window);
    }
  } else if (g_strcmp0(name, kBindChildWindowToParentByViewIdMethod) == 0) {
    bind_child_window_to_parent(
        window_by_argument(self, args, kChildViewIdArgument),
        window_by_argument(self, args, kParentViewIdArgument));
  } else if (g_strcmp0(name, kConfigureWindowChromeByViewIdMethod) == 0) {
    configure_window_chrome(self, args);
  } else {
    return false;
  }
  return true;
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

  Answer answer = Answer::kNull;
  bool result = false;
  g_autoptr(FlMethodResponse) response = nullptr;
  if (!handle_method(self, name, args, &answer, &result)) {
    response = FL_METHOD_RESPONSE(fl_method_not_implemented_response_new());
  } else {
    g_autoptr(FlValue) value = answer == Answer::kBool
                                   ? fl_value_new_bool(result)
                                   : fl_value_new_null();
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
