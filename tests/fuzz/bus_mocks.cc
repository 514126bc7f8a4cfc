// The fuzzer's private bus and its logind, screen-saver and GNOME
// session-manager mocks.
#include "tests/fuzz/bus_mocks.h"

#include <gio/gunixfdlist.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace {

constexpr char kIntrospection[] =
    "<node>"
    " <interface name='org.freedesktop.login1.Manager'>"
    "  <method name='Inhibit'>"
    "   <arg type='s' direction='in'/><arg type='s' direction='in'/>"
    "   <arg type='s' direction='in'/><arg type='s' direction='in'/>"
    "   <arg type='h' direction='out'/>"
    "  </method>"
    "  <signal name='PrepareForSleep'><arg type='b'/></signal>"
    " </interface>"
    " <interface name='org.freedesktop.ScreenSaver'>"
    "  <method name='Inhibit'>"
    "   <arg type='s' direction='in'/><arg type='s' direction='in'/>"
    "   <arg type='u' direction='out'/>"
    "  </method>"
    "  <method name='UnInhibit'><arg type='u' direction='in'/></method>"
    " </interface>"
    " <interface name='org.gnome.SessionManager'>"
    "  <method name='Inhibit'>"
    "   <arg type='s' direction='in'/><arg type='u' direction='in'/>"
    "   <arg type='s' direction='in'/><arg type='u' direction='in'/>"
    "   <arg type='u' direction='out'/>"
    "  </method>"
    "  <method name='Uninhibit'><arg type='u' direction='in'/></method>"
    " </interface>"
    "</node>";

GTestDBus* bus = nullptr;
GDBusConnection* mock_connection = nullptr;
std::atomic<uint8_t> logind_mode{0};
std::atomic<uint8_t> screen_saver_mode{0};
std::atomic<uint32_t> next_cookie{1};
// The read ends of the pipes whose write ends went out as inhibitors.
std::mutex inhibitors_mutex;
std::vector<int> inhibitor_read_ends;

constexpr uint8_t kHoldAnswers = 0x40;

// A call whose answer is held, with the mode it is to be answered in.
struct HeldCall {
  GDBusMethodInvocation* invocation;
  uint8_t mode;
};
std::mutex held_mutex;
std::vector<HeldCall> held_calls;

// logind: 0 grants, 1 refuses, 2 names a descriptor outside the list,
// 3 sends no descriptor, 4 names descriptor -1. As logind, it takes a block
// or a delay lock and refuses any other mode.
void answer_logind_inhibit(GDBusMethodInvocation* invocation, uint8_t mode) {
  const gchar* lock_mode = nullptr;
  g_variant_get(g_dbus_method_invocation_get_parameters(invocation),
                "(&s&s&s&s)", nullptr, nullptr, nullptr, &lock_mode);
  if (g_strcmp0(lock_mode, "block") != 0 &&
      g_strcmp0(lock_mode, "delay") != 0) {
    g_autofree gchar* message = g_strdup_printf("Invalid mode %s", lock_mode);
    g_dbus_method_invocation_return_dbus_error(
        invocation, "org.freedesktop.DBus.Error.InvalidArgs", message);
    return;
  }
  mode %= 5;
  if (mode == 1) {
    g_dbus_method_invocation_return_dbus_error(
        invocation, "org.freedesktop.DBus.Error.AccessDenied", "Refused");
    return;
  }
  if (mode == 3) {
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(h)", 0));
    return;
  }
  int ends[2];
  if (pipe(ends) != 0) {
    g_dbus_method_invocation_return_dbus_error(
        invocation, "org.freedesktop.DBus.Error.Failed", "No pipe");
    return;
  }
  {
    std::lock_guard<std::mutex> lock(inhibitors_mutex);
    inhibitor_read_ends.push_back(ends[0]);
  }
  g_autoptr(GUnixFDList) fds = g_unix_fd_list_new_from_array(&ends[1], 1);
  const gint32 handle = mode == 2 ? 3 : (mode == 4 ? -1 : 0);
  g_dbus_method_invocation_return_value_with_unix_fd_list(
      invocation, g_variant_new("(h)", handle), fds);
}

// Screen saver: 0 grants, 1 answers cookie 0, 2 refuses, 3 grants and
// refuses the release.
void answer_screen_saver(GDBusMethodInvocation* invocation, uint8_t mode) {
  const gchar* method = g_dbus_method_invocation_get_method_name(invocation);
  mode %= 4;
  // GNOME spells it "Uninhibit".
  if (g_ascii_strcasecmp(method, "UnInhibit") == 0) {
    if (mode == 3) {
      g_dbus_method_invocation_return_dbus_error(
          invocation, "org.freedesktop.DBus.Error.Failed", "Not released");
    } else {
      g_dbus_method_invocation_return_value(invocation, nullptr);
    }
    return;
  }
  if (mode == 2) {
    g_dbus_method_invocation_return_dbus_error(
        invocation, "org.freedesktop.DBus.Error.Failed", "Refused");
    return;
  }
  const guint32 cookie = mode == 1 ? 0 : next_cookie++;
  g_dbus_method_invocation_return_value(invocation,
                                        g_variant_new("(u)", cookie));
}

// GNOME's session manager: as the screen saver, and 4 answers as a bus
// without the service does.
void answer_gnome_session(GDBusMethodInvocation* invocation, uint8_t mode) {
  mode %= 5;
  if (mode == 4) {
    g_dbus_method_invocation_return_dbus_error(
        invocation, "org.freedesktop.DBus.Error.NameHasNoOwner", "No owner");
    return;
  }
  answer_screen_saver(invocation, mode);
}

bool is_interface(GDBusMethodInvocation* invocation, const char* name) {
  return g_strcmp0(g_dbus_method_invocation_get_interface_name(invocation),
                   name) == 0;
}

bool is_logind(GDBusMethodInvocation* invocation) {
  return is_interface(invocation, "org.freedesktop.login1.Manager");
}

bool is_gnome_session(GDBusMethodInvocation* invocation) {
  return is_interface(invocation, "org.gnome.SessionManager");
}

void answer(GDBusMethodInvocation* invocation, uint8_t mode) {
  if (is_logind(invocation)) {
    answer_logind_inhibit(invocation, mode);
  } else if (is_gnome_session(invocation)) {
    answer_gnome_session(invocation, mode);
  } else {
    answer_screen_saver(invocation, mode);
  }
}

// The session manager's mode: the screen saver's hold bit, and its own
// answer in the bits above the screen saver's.
uint8_t gnome_session_mode(uint8_t screen_saver) {
  return (screen_saver & kHoldAnswers) | ((screen_saver & 0x3f) >> 2);
}

void method_call_cb(GDBusConnection*,
                    const gchar*,
                    const gchar*,
                    const gchar*,
                    const gchar*,
                    GVariant*,
                    GDBusMethodInvocation* invocation,
                    gpointer) {
  const uint8_t mode = is_logind(invocation) ? logind_mode.load()
                       : is_gnome_session(invocation)
                           ? gnome_session_mode(screen_saver_mode)
                           : screen_saver_mode.load();
  if ((mode & kHoldAnswers) != 0) {
    std::lock_guard<std::mutex> lock(held_mutex);
    // The invocation is ours until answered.
    held_calls.push_back(
        {invocation, static_cast<uint8_t>(mode & ~kHoldAnswers)});
    return;
  }
  answer(invocation, mode);
}

bool own_name(const char* name) {
  g_autoptr(GVariant) reply = g_dbus_connection_call_sync(
      mock_connection, "org.freedesktop.DBus", "/org/freedesktop/DBus",
      "org.freedesktop.DBus", "RequestName", g_variant_new("(su)", name, 4u),
      G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
  return reply != nullptr;
}

// The mocks' thread: their calls are dispatched in its own main context.
gpointer serve(gpointer ready) {
  g_autoptr(GMainContext) context = g_main_context_new();
  g_main_context_push_thread_default(context);
  g_autoptr(GDBusNodeInfo) node =
      g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
  const GDBusInterfaceVTable vtable = {method_call_cb, nullptr, nullptr, {}};
  mock_connection = g_dbus_connection_new_for_address_sync(
      g_test_dbus_get_bus_address(bus),
      static_cast<GDBusConnectionFlags>(
          G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, nullptr);
  bool serving =
      mock_connection != nullptr &&
      g_dbus_connection_register_object(
          mock_connection, "/org/freedesktop/login1", node->interfaces[0],
          &vtable, nullptr, nullptr, nullptr) != 0 &&
      g_dbus_connection_register_object(
          mock_connection, "/org/freedesktop/ScreenSaver", node->interfaces[1],
          &vtable, nullptr, nullptr, nullptr) != 0 &&
      g_dbus_connection_register_object(
          mock_connection, "/org/gnome/SessionManager", node->interfaces[2],
          &vtable, nullptr, nullptr, nullptr) != 0 &&
      own_name("org.freedesktop.login1") &&
      own_name("org.freedesktop.ScreenSaver") &&
      own_name("org.gnome.SessionManager");
  static_cast<std::atomic<int>*>(ready)->store(serving ? 1 : -1);
  while (serving) {
    g_main_context_iteration(context, TRUE);
  }
  return nullptr;
}

}  // namespace

bool bus_mocks_start() {
  bus = g_test_dbus_new(G_TEST_DBUS_NONE);
  // GTestDBus unsets DISPLAY against X11 autolaunch; the display stays ours.
  g_autofree gchar* display = g_strdup(g_getenv("DISPLAY"));
  g_test_dbus_up(bus);
  if (display != nullptr) {
    g_setenv("DISPLAY", display, TRUE);
  }
  const gchar* address = g_test_dbus_get_bus_address(bus);
  if (address == nullptr) {
    return false;
  }
  g_setenv("DBUS_SESSION_BUS_ADDRESS", address, TRUE);
  g_setenv("DBUS_SYSTEM_BUS_ADDRESS", address, TRUE);
  std::atomic<int> ready{0};
  g_thread_unref(g_thread_new("bus-mocks", serve, &ready));
  while (ready.load() == 0) {
    g_usleep(1000);
  }
  return ready.load() == 1;
}

void bus_mocks_set_modes(uint8_t logind, uint8_t screen_saver) {
  logind_mode.store(logind);
  screen_saver_mode.store(screen_saver);
}

void bus_mocks_emit_prepare_for_sleep(uint8_t body) {
  GVariant* parameters;
  switch (body % 4) {
    case 0:
      parameters = g_variant_new("(b)", TRUE);
      break;
    case 1:
      parameters = g_variant_new("(b)", FALSE);
      break;
    case 2:
      parameters = g_variant_new("(s)", "true");
      break;
    default:
      parameters = nullptr;
      break;
  }
  g_dbus_connection_emit_signal(
      mock_connection, nullptr, "/org/freedesktop/login1",
      "org.freedesktop.login1.Manager", "PrepareForSleep", parameters, nullptr);
  g_dbus_connection_flush_sync(mock_connection, nullptr, nullptr);
}

void bus_mocks_answer_held() {
  std::vector<HeldCall> calls;
  {
    std::lock_guard<std::mutex> lock(held_mutex);
    calls.swap(held_calls);
  }
  for (const HeldCall& call : calls) {
    answer(call.invocation, call.mode);
  }
}

size_t bus_mocks_inhibitors_held() {
  std::lock_guard<std::mutex> lock(inhibitors_mutex);
  size_t held = 0;
  for (int fd : inhibitor_read_ends) {
    struct pollfd entry = {fd, POLLIN, 0};
    if (poll(&entry, 1, 0) == 0 || (entry.revents & POLLHUP) == 0) {
      held++;
    }
  }
  return held;
}

bool bus_mocks_inhibitors_released() {
  std::lock_guard<std::mutex> lock(inhibitors_mutex);
  bool released = true;
  for (int fd : inhibitor_read_ends) {
    // The write end's last copy closed: the inhibitor is over.
    struct pollfd entry = {fd, POLLIN, 0};
    const gint64 deadline = g_get_real_time() + 2 * G_USEC_PER_SEC;
    while (poll(&entry, 1, 10) == 0 && g_get_real_time() < deadline) {
    }
    char byte;
    if ((entry.revents & POLLHUP) == 0 || read(fd, &byte, 1) != 0) {
      released = false;
    }
    close(fd);
  }
  inhibitor_read_ends.clear();
  return released;
}
