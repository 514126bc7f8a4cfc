// The channel fuzzer: each input runs a real shell in-process (the
// application object with its main window and child windows on the
// development engine) through a sequence of steps: calls on the window
// control and keep-alive channels with arbitrary names and arguments, child
// windows opened and closed, first frames, sleep signals, lost buses and turns
// of the main loop. Between inputs everything is torn down and must be
// finalized, so that a crash file replays alone as it ran.
#include <flutter_linux/fl_dev_engine.h>
#include <gtk/gtk.h>
#include <sanitizer/lsan_interface.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "runner/keep_alive/system_keep_alive.h"
#include "runner/my_application.h"
#include "runner/presentation/widget_lookup.h"
#include "runner/window_control/window_control_channel.h"
#include "tests/fuzz/bus_mocks.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/virtual_clock.h"

namespace {

constexpr size_t kMaxSteps = 64;
constexpr size_t kMaxOpenWindows = 8;
// Ticks of the reset's drain, long enough (in virtual time) for every
// timeout the shell starts to run out.
constexpr int kDrainTicks = 400;
constexpr int kDrainTickMs = 25;

constexpr const char* kWindowControlMethods[] = {
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
    "isCurrentWindowMaximized",
    "isWindowMaximizedByViewId",
    "setCurrentWindowFullscreen",
    "setWindowFullscreenByViewId",
    "isCurrentWindowFullscreen",
    "isWindowFullscreenByViewId",
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
    "FocusCurrentWindow",
};

// The last starts without waiting for the answer, so that what follows
// meets it pending.
constexpr char kStartWithoutWaiting[] = "startKeepAlive, not waited for";
constexpr const char* kKeepAliveMethods[] = {
    "startKeepAlive", "stopKeepAlive",      "isKeepAliveActive",
    "StartKeepAlive", kStartWithoutWaiting,
};

// What the shell may send to Dart.
constexpr const char* kCallsToDart[] = {"systemWillSleep", "systemDidWake",
                                        "openUrl"};

enum Step {
  kWindowControlCall,
  kWindowControlCall2,
  kWindowControlCall3,
  kKeepAliveCall,
  kOpenChildWindow,
  kCloseWindow,
  kFirstFrame,
  kTurnMainLoop,
  kSleepSignal,
  kLoseBus,
  kStepCount,
};

MyApplication* application = nullptr;
// The open windows in the order they were opened, the main window first.
std::vector<GtkWindow*> open_windows;
// Objects of this input that must be released by everyone else by the end
// of the reset, each with a reference of the fuzzer's own (a weak one would
// already be cleared when a window is destroyed, before it is released).
std::vector<GObject*> held_objects;

[[noreturn]] void fail(const char* what) {
  fprintf(stderr, "channel_fuzzer: %s\n", what);
  abort();
}

// Criticals, and warnings of GLib, GDK or GTK, are faults; the shell's own
// warnings (no log domain: failed D-Bus calls) are expected and dropped.
GLogWriterOutput log_writer(GLogLevelFlags level,
                            const GLogField* fields,
                            gsize n_fields,
                            gpointer) {
  bool has_domain = false;
  for (gsize i = 0; i < n_fields; i++) {
    if (g_strcmp0(fields[i].key, "GLIB_DOMAIN") == 0 &&
        fields[i].value != nullptr) {
      has_domain = true;
    }
  }
  const bool fatal =
      (level & (G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL)) != 0 ||
      ((level & G_LOG_LEVEL_WARNING) != 0 && has_domain);
  if (fatal || g_getenv("CHANNEL_FUZZER_VERBOSE") != nullptr) {
    g_log_writer_standard_streams(level, fields, n_fields, nullptr);
  }
  if (fatal) {
    fail("GLib critical or warning");
  }
  return G_LOG_WRITER_HANDLED;
}

void expect_finalized(gpointer object) {
  held_objects.push_back(G_OBJECT(g_object_ref(object)));
}

// The application, unlike the windows, is released before the drain, so that
// its dispose ends what it holds first; nothing destroys it, so its weak
// reference goes only with its last reference.
bool application_released = false;

void application_released_cb(gpointer, GObject*) {
  application_released = true;
}

void window_destroyed_cb(GtkWidget* widget, gpointer) {
  open_windows.erase(
      std::remove(open_windows.begin(), open_windows.end(), GTK_WINDOW(widget)),
      open_windows.end());
}

void track_window(GtkWindow* window) {
  open_windows.push_back(window);
  g_signal_connect(window, "destroy", G_CALLBACK(window_destroyed_cb), nullptr);
  expect_finalized(window);
  if (FlView* view = find_fl_view(GTK_WIDGET(window))) {
    expect_finalized(view);
  }
}

GtkWindow* window_at(uint8_t index) {
  return open_windows.empty() ? nullptr
                              : open_windows[index % open_windows.size()];
}

// The view id of the window at `index` among the open ones; one past them
// names no window.
int64_t view_id_at(uint8_t index) {
  if (index % (open_windows.size() + 1) == open_windows.size()) {
    return static_cast<int64_t>(index) << 20;
  }
  FlView* view = find_fl_view(GTK_WIDGET(window_at(index)));
  return view != nullptr ? fl_view_get_id(view) : -1;
}

// Sends what the input says was drawn and lets due sources run, as many
// milliseconds of virtual time later.
void turn_main_loop(int ms, bool sync = true) {
  if (sync) {
    gdk_display_sync(gdk_display_get_default());
  }
  virtual_clock_advance_ms(ms);
  for (int i = 0; i < 1000 && g_main_context_iteration(nullptr, FALSE); i++) {
  }
}

FlBinaryMessenger* messenger() {
  return fl_engine_get_binary_messenger(fl_view_get_engine(application->view));
}

// The main window's messenger outlives the main window only as long as the
// application's channels hold it; calls go to it while it is there.
FlBinaryMessenger* main_messenger = nullptr;

// A call's answer, filled in by the messenger.
struct Answer {
  bool answered;
  FlMethodResponse* response;
};

void answered_cb(FlMethodResponse* response, gpointer user_data) {
  auto* answer = static_cast<Answer*>(user_data);
  answer->answered = true;
  answer->response = response != nullptr
                         ? FL_METHOD_RESPONSE(g_object_ref(response))
                         : nullptr;
}

// Waits for an answer that comes later (a keep-alive start waits for D-Bus
// replies, or for its deadline): the main loop runs, the mocks' thread gets
// real time to reply, and after 5 ms of it with no answer the virtual clock
// moves on 25 ms. Calls answered at once run no main loop.
void wait_for_answer(const Answer& answer) {
  constexpr int kMaxVirtualWaitMs = 10000;
  for (int round = 0; !answer.answered; round++) {
    if (round >= kMaxVirtualWaitMs / 25 * 5) {
      fail("a channel call was not answered within 10 s");
    }
    for (int i = 0; i < 100 && !answer.answered &&
                    g_main_context_iteration(nullptr, FALSE);
         i++) {
    }
    if (answer.answered) {
      break;
    }
    g_usleep(1000);
    if (round % 5 == 4) {
      virtual_clock_advance_ms(25);
    }
  }
}

void check_answer(const Answer& answer) {
  g_autoptr(FlMethodResponse) response = answer.response;
  if (response == nullptr) {
    fail("a channel call was released without an answer");
  }
  if (FL_IS_METHOD_ERROR_RESPONSE(response)) {
    fail("a channel call was answered with an error");
  }
}

void send(const char* channel,
          const std::string& method,
          FlValue* args,
          Answer* answer) {
  if (!fl_dev_messenger_invoke(main_messenger, channel, method.c_str(), args,
                               answered_cb, answer)) {
    fail("a channel has no handler");
  }
}

void call(const char* channel, const std::string& method, FlValue* args) {
  Answer answer = {false, nullptr};
  send(channel, method, args, &answer);
  wait_for_answer(answer);
  check_answer(answer);
}

// Calls not waited for; each must have been answered once the application
// has gone.
std::vector<Answer*> unwaited_answers;

void call_without_waiting(const char* channel,
                          const std::string& method,
                          FlValue* args) {
  auto* answer = new Answer{false, nullptr};
  unwaited_answers.push_back(answer);
  send(channel, method, args, answer);
}

void check_unwaited_answers() {
  for (Answer* answer : unwaited_answers) {
    wait_for_answer(*answer);
    check_answer(*answer);
    delete answer;
  }
  unwaited_answers.clear();
}

void open_child_window(uint8_t flags) {
  if (open_windows.size() >= kMaxOpenWindows) {
    return;
  }
  GtkWindow* window = GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL));
  g_autoptr(FlDartProject) project = fl_dart_project_new();
  FlView* view = fl_view_new(project);
  // -1: only a first-frame step draws it.
  const int delays[] = {-1, 0, 50, 2000};
  fl_dev_view_set_first_frame_delay(view, delays[flags % 4]);
  gtk_widget_show(GTK_WIDGET(view));
  gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(view));
  track_window(window);
  // Mostly a window of the application, as the embedder makes them.
  if ((flags & 0x30) != 0x30) {
    gtk_window_set_application(window, GTK_APPLICATION(application));
  }
  if ((flags & 0x04) != 0) {
    gtk_widget_show(GTK_WIDGET(window));
  }
}

void close_window(uint8_t how) {
  GtkWindow* window = window_at(how >> 2);
  if (window == nullptr) {
    return;
  }
  switch (how % 4) {
    case 0:
    case 1:
      gtk_widget_destroy(GTK_WIDGET(window));
      break;
    case 2:
      // The window manager's close button.
      if (GdkWindow* gdk_window = gtk_widget_get_window(GTK_WIDGET(window))) {
        GdkEvent* event = gdk_event_new(GDK_DELETE);
        event->any.window = GDK_WINDOW(g_object_ref(gdk_window));
        event->any.send_event = TRUE;
        gtk_main_do_event(event);
        gdk_event_free(event);
      }
      break;
    default:
      // As the user or the window manager may hide it.
      gtk_widget_hide(GTK_WIDGET(window));
      break;
  }
}

void first_frame(uint8_t index) {
  GtkWindow* window = window_at(index);
  FlView* view = window != nullptr ? find_fl_view(GTK_WIDGET(window)) : nullptr;
  if (view != nullptr) {
    fl_dev_view_emit_first_frame(view);
  }
}

// --- Keep-alive and session state -----------------------------------------
// Everything the fuzzer does to or expects of the keep-alive subsystem and the
// end of an unseen session lives here, written against the application's
// fields; adapt it when they change.

// Delivers a logind signal: one round trip on the shell's own system bus
// connection puts it behind the signal, which the main loop then dispatches.
void deliver_sleep_signal(uint8_t body) {
  bus_mocks_emit_prepare_for_sleep(body);
  if (application->system_bus != nullptr &&
      !g_dbus_connection_is_closed(application->system_bus)) {
    // Only the round trip matters.
    [[maybe_unused]] g_autoptr(GVariant) reply = g_dbus_connection_call_sync(
        application->system_bus, "org.freedesktop.DBus",
        "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId", nullptr,
        nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
  }
  turn_main_loop(0);
}

// The bus goes away under the shell, as when dbus-daemon restarts.
void lose_bus(uint8_t which) {
  GDBusConnection* bus =
      (which & 1) != 0 ? application->session_bus : application->system_bus;
  if (bus != nullptr) {
    g_dbus_connection_close_sync(bus, nullptr, nullptr);
  }
  bus_mocks_set_modes(which >> 1, which >> 4);
}

// Whatever keep-alive and the session hold must go with the application:
// dispose releases the inhibitors, the signal subscription and the reconnect
// timer, and the pending end of an unseen session is the application's data.
// A lock granted after the application went (a held answer, sent now) is
// released when its reply comes. Checked once the application and the drain
// are gone.
void answer_held_keep_alive_calls() {
  bus_mocks_answer_held();
}

void expect_keep_alive_released() {
  // The late replies come in real time; a second is plenty.
  for (int i = 0; i < 1000 && bus_mocks_inhibitors_held() > 0; i++) {
    turn_main_loop(0, false);
    g_usleep(1000);
  }
  if (!bus_mocks_inhibitors_released()) {
    fail("a sleep inhibitor is still held after the application went");
  }
}
// ---------------------------------------------------------------------------

// The session bus the mocks serve, hidden from GApplication's registration:
// registered on a bus, an application would stay exported there.
gchar* session_bus_address = nullptr;
gchar* program_name = nullptr;
gchar** icon_search_path = nullptr;

void start_shell(const char* program) {
  application = MY_APPLICATION(g_object_new(
      my_application_get_type(), "application-id", kApplicationId, "flags",
      G_APPLICATION_NON_UNIQUE | G_APPLICATION_HANDLES_COMMAND_LINE, nullptr));
  application_released = false;
  g_object_weak_ref(G_OBJECT(application), application_released_cb, nullptr);
  g_setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", TRUE);
  // The first command line, as a launch gives it.
  const char* argv[] = {program, nullptr};
  g_application_run(G_APPLICATION(application), 1, const_cast<char**>(argv));
}

// No window manager: without one, GDK runs a move or resize itself with a
// pointer grab, which only a motion without a button ends.
void end_pointer_grabs() {
  GdkDisplay* display = gdk_display_get_default();
  GdkSeat* seat = gdk_display_get_default_seat(display);
  GdkDevice* pointer = gdk_seat_get_pointer(seat);
  GdkScreen* screen = gdk_display_get_default_screen(display);
  for (int position : {11, 10}) {
    gdk_device_warp(pointer, screen, position, position);
    turn_main_loop(0);
  }
  gdk_seat_ungrab(seat);
}

// Every call the shell sent to Dart is one it may send; then forgotten.
void check_and_clear_call_log() {
  g_autoptr(FlValue) calls = fl_dev_messenger_get_history(main_messenger);
  for (size_t i = 0; i < fl_value_get_length(calls); i++) {
    FlValue* method =
        fl_value_lookup_string(fl_value_get_list_value(calls, i), "method");
    if (g_getenv("CHANNEL_FUZZER_VERBOSE") != nullptr) {
      fprintf(stderr, "channel_fuzzer: the shell called %s\n",
              fl_value_get_string(method));
    }
    bool known = false;
    for (const char* name : kCallsToDart) {
      known = known || g_strcmp0(fl_value_get_string(method), name) == 0;
    }
    if (!known) {
      fail("the shell sent Dart a call it never sends");
    }
  }
  fl_dev_messenger_clear_history(main_messenger);
}

// Everything of the input goes: the windows now, the application (and with
// its dispose whatever it holds) once its run has ended.
void end_input() {
  end_pointer_grabs();
  check_and_clear_call_log();
  g_clear_object(&main_messenger);
  std::vector<GtkWindow*> windows = open_windows;
  for (GtkWindow* window : windows) {
    gtk_widget_destroy(GTK_WIDGET(window));
  }
  g_application_quit(G_APPLICATION(application));
}

// Once the application is released: every timeout the input started runs
// out, and nothing of the input may remain.
void check_reset() {
  check_unwaited_answers();
  answer_held_keep_alive_calls();
  // The windows are gone: only the first tick waits for the X server.
  for (int i = 0; i < kDrainTicks; i++) {
    turn_main_loop(kDrainTickMs, i == 0);
  }
  bool held_elsewhere = !application_released;
  if (!application_released) {
    fprintf(stderr, "channel_fuzzer: the application is still referenced\n");
  }
  for (GObject* object : held_objects) {
    if (object->ref_count != 1) {
      fprintf(stderr, "channel_fuzzer: %s %p still has %u references\n",
              G_OBJECT_TYPE_NAME(object), object, object->ref_count - 1);
      held_elsewhere = true;
    }
  }
  if (held_elsewhere) {
    fail("a window, view or the application outlived the reset");
  }
  for (GObject* object : held_objects) {
    g_object_unref(object);
  }
  held_objects.clear();
  turn_main_loop(0);
  expect_keep_alive_released();
  open_windows.clear();
  // Startup adds the bundle's icons to the search path once per process;
  // here it runs once per input.
  gtk_icon_theme_set_search_path(gtk_icon_theme_get_default(),
                                 const_cast<const gchar**>(icon_search_path),
                                 g_strv_length(icon_search_path));
}

// With CHANNEL_FUZZER_VERBOSE set, what a replayed input does.
void trace(const char* step, const std::string& detail, FlValue* value) {
  if (g_getenv("CHANNEL_FUZZER_VERBOSE") == nullptr) {
    return;
  }
  g_autofree gchar* text =
      value != nullptr ? fl_value_to_string(value) : g_strdup("");
  fprintf(stderr, "channel_fuzzer: %s %s %.200s (%zu windows)\n", step,
          detail.c_str(), text, open_windows.size());
}

void run_step(FuzzInput& input) {
  const auto view_id = [](uint8_t index) { return view_id_at(index); };
  const uint8_t step = input.byte() % kStepCount;
  const uint8_t argument = step >= kOpenChildWindow ? input.byte() : 0;
  if (step >= kOpenChildWindow) {
    trace("step", std::to_string(step) + " " + std::to_string(argument),
          nullptr);
  }
  // The method's name, then its arguments, both from the input.
  const auto call_from_input = [&](const char* channel,
                                   const char* const* methods, size_t count) {
    const std::string method = input.name(methods, count);
    g_autoptr(FlValue) args = input.value(view_id);
    trace(channel, method, args);
    if (method == kStartWithoutWaiting) {
      call_without_waiting(channel, "startKeepAlive", args);
    } else {
      call(channel, method, args);
    }
  };
  switch (step) {
    case kWindowControlCall:
    case kWindowControlCall2:
    case kWindowControlCall3:
      call_from_input(kWindowControlChannelName, kWindowControlMethods,
                      std::size(kWindowControlMethods));
      break;
    case kKeepAliveCall:
      call_from_input(kSystemKeepAliveChannelName, kKeepAliveMethods,
                      std::size(kKeepAliveMethods));
      break;
    case kOpenChildWindow:
      open_child_window(argument);
      break;
    case kCloseWindow:
      close_window(argument);
      break;
    case kFirstFrame:
      first_frame(argument);
      break;
    case kTurnMainLoop:
      // Answers the mocks held come now, then up to two seconds pass, past
      // the reveal fallback and the keep-alive deadline.
      bus_mocks_answer_held();
      turn_main_loop(argument * 8);
      break;
    case kSleepSignal:
      deliver_sleep_signal(argument);
      break;
    case kLoseBus:
      lose_bus(argument);
      break;
  }
}

// The input runs inside the application's run, from its main loop's first
// idle, as Dart's calls would.
gboolean run_input_idle(gpointer data) {
  auto* input = static_cast<FuzzInput*>(data);
  g_setenv("DBUS_SESSION_BUS_ADDRESS", session_bus_address, TRUE);
  if (application->window == nullptr) {
    fail("activation built no main window");
  }
  track_window(application->window);
  main_messenger = FL_BINARY_MESSENGER(g_object_ref(messenger()));
  for (size_t i = 0; i < kMaxSteps && !input->empty(); i++) {
    run_step(*input);
  }
  end_input();
  return G_SOURCE_REMOVE;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  g_setenv("GDK_BACKEND", "x11", TRUE);
  g_setenv("NO_AT_BRIDGE", "1", TRUE);
  g_unsetenv("FL_DEV_ENGINE_SOCKET");
  // The main view draws its first frame only when an input says so.
  g_setenv("FL_DEV_ENGINE_FIRST_FRAME_DELAY_MS", "-1", TRUE);
  if (!bus_mocks_start()) {
    fprintf(stderr, "channel_fuzzer: could not start a private D-Bus bus\n");
    exit(1);
  }
  if (!gtk_init_check(argc, argv)) {
    fprintf(stderr,
            "channel_fuzzer: no display; run it on the test desktop "
            "(scripts/test-desktop)\n");
    exit(1);
  }
  g_log_set_writer_func(log_writer, nullptr, nullptr);
  session_bus_address = g_strdup(g_getenv("DBUS_SESSION_BUS_ADDRESS"));
  program_name = g_strdup((*argv)[0]);
  gint path_length = 0;
  gtk_icon_theme_get_search_path(gtk_icon_theme_get_default(),
                                 &icon_search_path, &path_length);
  virtual_clock_start();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const uint8_t logind_mode = input.byte();
  bus_mocks_set_modes(logind_mode, input.byte());
  g_idle_add(run_input_idle, &input);
  start_shell(program_name);
  g_clear_object(&application);
  check_reset();
  // A leak check after each input names the input that leaked; it costs more
  // than the input, so runs check at exit unless asked.
  if (g_getenv("CHANNEL_FUZZER_LEAK_CHECK") != nullptr &&
      __lsan_do_recoverable_leak_check() != 0) {
    fail("memory leaked");
  }
  return 0;
}
