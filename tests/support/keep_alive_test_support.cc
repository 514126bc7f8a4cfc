// D-Bus mock services and a keep-alive application for the keep-alive tests.
#include "tests/support/keep_alive_test_support.h"

#include <flutter_linux/fl_dev_engine.h>
#include <gtest/gtest.h>

#include <csignal>

#include "runner/keep_alive/system_keep_alive.h"
#include "tests/support/test_support.h"

const char kKeepAliveReason[] =
    "Keep blueprint runtime active while TarnGlass is open.";

namespace {

constexpr char kPython[] = "/usr/bin/python3";
constexpr char kMockInterface[] = "org.freedesktop.DBus.Mock";
constexpr char kLogindName[] = "org.freedesktop.login1";
constexpr char kLogindPath[] = "/org/freedesktop/login1";
constexpr char kLogindManager[] = "org.freedesktop.login1.Manager";
constexpr char kScreenSaverName[] = "org.freedesktop.ScreenSaver";
constexpr char kScreenSaverPath[] = "/org/freedesktop/ScreenSaver";
// Python 3 snippets run by dbusmock as method bodies.
constexpr char kRefuseInhibitCode[] =
    "raise dbus.exceptions.DBusException('Inhibition refused', "
    "name='org.freedesktop.login1.Refused')";
constexpr char kPortalName[] = "org.freedesktop.portal.Desktop";
constexpr char kPortalPath[] = "/org/freedesktop/portal/desktop";
// Each request gets an object of its own, so that its Close is logged there.
// Format: the caller's path element, then the Response (-1 for none).
constexpr char kPortalInhibitCode[] =
    "from gi.repository import GLib\n"
    "ret = dbus.ObjectPath('/org/freedesktop/portal/desktop/request/%s/' + "
    "args[2].get('handle_token', 'none'))\n"
    "self.AddObject(ret, 'org.freedesktop.portal.Request', {}, "
    "[('Close', '', '', '')])\n"
    "def respond(path=ret, mock=self, code=%d):\n"
    "    objects[path].EmitSignal('org.freedesktop.portal.Request', "
    "'Response', 'ua{sv}', [dbus.UInt32(code), "
    "dbus.Dictionary({}, signature='sv')])\n"
    "    if code != 0:\n"
    "        mock.RemoveObject(path)\n"
    "    return False\n"
    "if %d >= 0:\n"
    "    GLib.idle_add(respond)\n";
constexpr char kFailUnInhibitCode[] =
    "raise dbus.exceptions.DBusException('No such cookie', "
    "name='org.freedesktop.ScreenSaver.NoCookie')";

bool name_has_owner(GDBusConnection* connection, const std::string& name) {
  g_autoptr(GVariant) reply = g_dbus_connection_call_sync(
      connection, "org.freedesktop.DBus", "/org/freedesktop/DBus",
      "org.freedesktop.DBus", "NameHasOwner",
      g_variant_new("(s)", name.c_str()), G_VARIANT_TYPE("(b)"),
      G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
  gboolean has_owner = FALSE;
  if (reply != nullptr) {
    g_variant_get(reply, "(b)", &has_owner);
  }
  return has_owner;
}

std::string variant_to_string(GVariant* value) {
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)) {
    return g_variant_get_string(value, nullptr);
  }
  g_autofree gchar* printed = g_variant_print(value, FALSE);
  return printed;
}

}  // namespace

bool private_buses_available() {
  return g_getenv("DBUS_SYSTEM_BUS_ADDRESS") != nullptr &&
         g_getenv("DBUS_SESSION_BUS_ADDRESS") != nullptr;
}

DBusMockService::DBusMockService(GBusType bus_type,
                                 std::string bus_name,
                                 std::string path)
    : bus_type_(bus_type),
      bus_name_(std::move(bus_name)),
      object_path_(std::move(path)) {}

std::unique_ptr<DBusMockService> DBusMockService::start(
    GBusType bus_type,
    const std::string& bus_name,
    const std::vector<std::string>& dbusmock_args) {
  std::vector<const gchar*> argv = {kPython, "-m", "dbusmock"};
  if (bus_type == G_BUS_TYPE_SYSTEM) {
    argv.push_back("--system");
  }
  for (const auto& arg : dbusmock_args) {
    argv.push_back(arg.c_str());
  }
  argv.push_back(nullptr);

  // The main object is the first positional argument after the name, or
  // logind's for the template.
  std::string path = kLogindPath;
  for (size_t i = 0; i + 1 < dbusmock_args.size(); i++) {
    if (dbusmock_args[i] == bus_name) {
      path = dbusmock_args[i + 1];
    }
  }
  std::unique_ptr<DBusMockService> service(
      new DBusMockService(bus_type, bus_name, path));

  g_autoptr(GError) error = nullptr;
  // dbusmock logs every call on stdout.
  service->process_ =
      g_subprocess_newv(argv.data(), G_SUBPROCESS_FLAGS_STDOUT_SILENCE, &error);
  if (service->process_ == nullptr) {
    ADD_FAILURE() << "Starting dbusmock failed: " << error->message;
    return nullptr;
  }
  g_autoptr(GDBusConnection) connection = service->connection();
  // The identifier goes once the process has ended and been reaped.
  run_until(
      [&] {
        return g_subprocess_get_identifier(service->process_) == nullptr ||
               name_has_owner(connection, bus_name);
      },
      30000);
  if (!name_has_owner(connection, bus_name)) {
    ADD_FAILURE() << "dbusmock never owned " << bus_name;
    return nullptr;
  }
  return service;
}

std::unique_ptr<DBusMockService> DBusMockService::start_logind() {
  return start(G_BUS_TYPE_SYSTEM, kLogindName, {"--template", "logind"});
}

std::unique_ptr<DBusMockService> DBusMockService::start_refusing_logind() {
  auto service = start(G_BUS_TYPE_SYSTEM, kLogindName,
                       {kLogindName, kLogindPath, kLogindManager});
  if (service != nullptr) {
    service->add_method("Inhibit", "ssss", "h", kRefuseInhibitCode);
  }
  return service;
}

std::unique_ptr<DBusMockService> DBusMockService::start_screen_saver(
    guint32 cookie,
    bool fail_uninhibit,
    guint delay_ms) {
  auto service = start(G_BUS_TYPE_SESSION, kScreenSaverName,
                       {kScreenSaverName, kScreenSaverPath, kScreenSaverName});
  if (service != nullptr) {
    g_autofree gchar* inhibit_code =
        g_strdup_printf("time.sleep(%u / 1000)\nret = %u", delay_ms, cookie);
    service->add_method("Inhibit", "ss", "u", inhibit_code);
    service->add_method("UnInhibit", "u", "",
                        fail_uninhibit ? kFailUnInhibitCode : "");
  }
  return service;
}

std::unique_ptr<DBusMockService> DBusMockService::start_portal(
    const std::string& caller,
    int response) {
  auto service =
      start(G_BUS_TYPE_SESSION, kPortalName,
            {kPortalName, kPortalPath, "org.freedesktop.portal.Inhibit"});
  if (service != nullptr) {
    g_autofree gchar* element = g_strdup(caller.c_str() + 1);
    g_strdelimit(element, ".", '_');
    g_autofree gchar* code =
        g_strdup_printf(kPortalInhibitCode, element, response, response);
    service->add_method("Inhibit", "sua{sv}", "o", code);
  }
  return service;
}

void DBusMockService::add_method(const char* name,
                                 const char* in_signature,
                                 const char* out_signature,
                                 const char* code) {
  [[maybe_unused]] g_autoptr(GVariant) reply = call(
      object_path_.c_str(), kMockInterface, "AddMethod",
      g_variant_new("(sssss)", "", name, in_signature, out_signature, code),
      nullptr);
}

DBusMockService::~DBusMockService() {
  if (process_ == nullptr) {
    return;
  }
  g_subprocess_send_signal(process_, SIGTERM);
  g_subprocess_wait(process_, nullptr, nullptr);
  g_clear_object(&process_);
  g_autoptr(GDBusConnection) bus = connection();
  EXPECT_TRUE(run_until([&] { return !name_has_owner(bus, bus_name_); }))
      << bus_name_ << " still owned after its mock ended";
}

GDBusConnection* DBusMockService::connection() const {
  return g_bus_get_sync(bus_type_, nullptr, nullptr);
}

GVariant* DBusMockService::call(const char* object_path,
                                const char* interface_name,
                                const char* method,
                                GVariant* parameters,
                                const GVariantType* reply_type) {
  g_autoptr(GDBusConnection) bus = connection();
  g_autoptr(GError) error = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(
      bus, bus_name_.c_str(), object_path, interface_name, method, parameters,
      reply_type, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &error);
  if (reply == nullptr) {
    ADD_FAILURE() << "Calling " << method << " on " << bus_name_
                  << " failed: " << error->message;
  }
  return reply;
}

std::vector<std::vector<std::string>> DBusMockService::method_calls(
    const char* method,
    const char* object_path) {
  std::vector<std::vector<std::string>> calls;
  g_autoptr(GVariant) reply =
      call(object_path != nullptr ? object_path : object_path_.c_str(),
           kMockInterface, "GetMethodCalls", g_variant_new("(s)", method),
           G_VARIANT_TYPE("(a(tav))"));
  if (reply == nullptr) {
    return calls;
  }
  g_autoptr(GVariant) list = g_variant_get_child_value(reply, 0);
  for (gsize i = 0; i < g_variant_n_children(list); i++) {
    g_autoptr(GVariant) entry = g_variant_get_child_value(list, i);
    g_autoptr(GVariant) args = g_variant_get_child_value(entry, 1);
    std::vector<std::string> strings;
    for (gsize j = 0; j < g_variant_n_children(args); j++) {
      g_autoptr(GVariant) boxed = g_variant_get_child_value(args, j);
      g_autoptr(GVariant) value = g_variant_get_variant(boxed);
      strings.push_back(variant_to_string(value));
    }
    calls.push_back(strings);
  }
  return calls;
}

size_t DBusMockService::call_count() {
  g_autoptr(GVariant) reply =
      call(object_path_.c_str(), kMockInterface, "GetCalls", nullptr,
           G_VARIANT_TYPE("(a(tsav))"));
  if (reply == nullptr) {
    return 0;
  }
  g_autoptr(GVariant) list = g_variant_get_child_value(reply, 0);
  return g_variant_n_children(list);
}

void DBusMockService::emit_signal(const char* interface_name,
                                  const char* signal_name,
                                  const char* signature,
                                  GVariant* args_array,
                                  const char* path) {
  GVariantBuilder details;
  g_variant_builder_init(&details, G_VARIANT_TYPE("a{sv}"));
  if (path != nullptr) {
    g_variant_builder_add(&details, "{sv}", "path",
                          g_variant_new_object_path(path));
  }
  [[maybe_unused]] g_autoptr(GVariant) reply =
      call(object_path_.c_str(), kMockInterface, "EmitSignalDetailed",
           g_variant_new("(sss@ava{sv})", interface_name, signal_name,
                         signature, args_array, &details),
           nullptr);
}

std::vector<std::string> list_logind_inhibitors(const char* mode_filter) {
  std::vector<std::string> inhibitors;
  g_autoptr(GDBusConnection) bus =
      g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, nullptr);
  g_autoptr(GError) error = nullptr;
  g_autoptr(GVariant) reply = g_dbus_connection_call_sync(
      bus, kLogindName, kLogindPath, kLogindManager, "ListInhibitors", nullptr,
      G_VARIANT_TYPE("(a(ssssuu))"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr,
      &error);
  if (reply == nullptr) {
    ADD_FAILURE() << "ListInhibitors failed: " << error->message;
    return inhibitors;
  }
  g_autoptr(GVariantIter) iter = nullptr;
  g_variant_get(reply, "(a(ssssuu))", &iter);
  const gchar *what, *who, *why, *mode;
  guint32 uid, pid;
  while (g_variant_iter_next(iter, "(&s&s&s&suu)", &what, &who, &why, &mode,
                             &uid, &pid)) {
    if (mode_filter != nullptr && g_strcmp0(mode, mode_filter) != 0) {
      continue;
    }
    inhibitors.push_back(std::string(what) + "|" + who + "|" + why + "|" +
                         mode);
  }
  return inhibitors;
}

KeepAliveApp::KeepAliveApp() {
  application_ = make_test_application();
  view_ = make_view();
  g_object_ref_sink(view_);
  messenger_ = fl_engine_get_binary_messenger(fl_view_get_engine(view_));
  g_autoptr(FlStandardMethodCodec) codec = fl_standard_method_codec_new();
  application_->system_keep_alive_channel = fl_method_channel_new(
      messenger_, kSystemKeepAliveChannelName, FL_METHOD_CODEC(codec));
  fl_method_channel_set_method_call_handler(
      application_->system_keep_alive_channel, system_keep_alive_method_call_cb,
      application_, nullptr);
}

KeepAliveApp::~KeepAliveApp() {
  dispose();
  g_clear_object(&view_);
}

void KeepAliveApp::dispose() {
  if (application_ == nullptr) {
    return;
  }
  // The application's D-Bus registration keeps a reference of its own, so
  // dropping ours would not run dispose.
  g_object_run_dispose(G_OBJECT(application_));
  g_clear_object(&application_);
}

namespace {

KeepAliveApp::Answer read_answer(FlMethodResponse* response) {
  using Answer = KeepAliveApp::Answer;
  if (FL_IS_METHOD_NOT_IMPLEMENTED_RESPONSE(response)) {
    return Answer::kNotImplemented;
  }
  if (!FL_IS_METHOD_SUCCESS_RESPONSE(response)) {
    return Answer::kOther;
  }
  FlValue* result = fl_method_success_response_get_result(
      FL_METHOD_SUCCESS_RESPONSE(response));
  if (fl_value_get_type(result) != FL_VALUE_TYPE_BOOL) {
    return Answer::kOther;
  }
  return fl_value_get_bool(result) ? Answer::kTrue : Answer::kFalse;
}

// Called once per call, with null when the call went unanswered.
void answered_cb(FlMethodResponse* response, gpointer user_data) {
  auto* pending = static_cast<KeepAliveApp::PendingAnswer*>(user_data);
  **pending = read_answer(response);
  delete pending;
}

}  // namespace

KeepAliveApp::PendingAnswer KeepAliveApp::send(const char* method) {
  auto answer = std::make_shared<std::optional<Answer>>();
  auto* slot = new PendingAnswer(answer);
  if (!fl_dev_messenger_invoke(messenger_, kSystemKeepAliveChannelName, method,
                               nullptr, answered_cb, slot)) {
    delete slot;
    ADD_FAILURE() << "no handler for " << method;
  }
  return answer;
}

KeepAliveApp::Answer KeepAliveApp::invoke(const char* method) {
  PendingAnswer answer = send(method);
  if (!run_until([&] { return answer->has_value(); }, 10000)) {
    ADD_FAILURE() << method << " was not answered within 10 s";
    return Answer::kOther;
  }
  return **answer;
}

std::vector<std::string> KeepAliveApp::sent_methods() {
  std::vector<std::string> methods;
  g_autoptr(FlValue) history = fl_dev_messenger_get_history(messenger_);
  for (size_t i = 0; i < fl_value_get_length(history); i++) {
    FlValue* call = fl_value_get_list_value(history, i);
    if (g_strcmp0(fl_value_get_string(fl_value_lookup_string(call, "channel")),
                  kSystemKeepAliveChannelName) != 0) {
      continue;
    }
    std::string method =
        fl_value_get_string(fl_value_lookup_string(call, "method"));
    FlValue* args = fl_value_lookup_string(call, "args");
    if (args != nullptr && fl_value_get_type(args) != FL_VALUE_TYPE_NULL) {
      method += "(with arguments)";
    }
    methods.push_back(method);
  }
  return methods;
}
