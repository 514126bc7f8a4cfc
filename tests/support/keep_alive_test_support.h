// For the keep-alive tests: python3-dbusmock services run as real processes on
// the test desktop's private buses, and an application serving the keep-alive
// channel on a development-engine messenger.
#ifndef TESTS_SUPPORT_KEEP_ALIVE_TEST_SUPPORT_H_
#define TESTS_SUPPORT_KEEP_ALIVE_TEST_SUPPORT_H_

#include <gio/gio.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runner/flutter_embedder.h"
#include "runner/my_application.h"

extern const char kKeepAliveReason[];

// Whether both private buses are configured; the tests never touch a real
// system bus.
bool private_buses_available();

// One python3-dbusmock process that owns `bus_name`.
class DBusMockService {
 public:
  // Starts the mock and waits until it owns its name; null on failure (a
  // gtest failure is recorded).
  static std::unique_ptr<DBusMockService> start(
      GBusType bus_type,
      const std::string& bus_name,
      const std::vector<std::string>& dbusmock_args);

  // logind from the dbusmock template (Inhibit hands out real descriptors).
  static std::unique_ptr<DBusMockService> start_logind();
  // An org.freedesktop.login1 whose Inhibit fails with "Inhibition refused".
  static std::unique_ptr<DBusMockService> start_refusing_logind();
  // org.freedesktop.ScreenSaver whose Inhibit answers `cookie`, after
  // `delay_ms` in which the service answers nobody; UnInhibit fails with "No
  // such cookie" when `fail_uninhibit`.
  static std::unique_ptr<DBusMockService> start_screen_saver(
      guint32 cookie,
      bool fail_uninhibit = false,
      guint delay_ms = 0);

  // Stops the process and waits until its name is gone.
  ~DBusMockService();
  DBusMockService(const DBusMockService&) = delete;
  DBusMockService& operator=(const DBusMockService&) = delete;

  // A synchronous call to the mock on the shared bus connection; the reply,
  // or null on error (recorded as a gtest failure).
  GVariant* call(const char* object_path,
                 const char* interface_name,
                 const char* method,
                 GVariant* parameters,
                 const GVariantType* reply_type);

  // org.freedesktop.portal.Desktop whose Inhibit answers the path of a new
  // org.freedesktop.portal.Request object with a Close method, the path the
  // caller's "handle_token" and `caller` (its unique name) determine. The
  // request then emits "Response" with `response` after the reply (and is
  // gone when that is not 0); with -1 it emits none, as older portals.
  static std::unique_ptr<DBusMockService> start_portal(
      const std::string& caller,
      int response);

  // Arguments of each logged call of `method` on the main object (or on
  // `object_path`), strings and numbers rendered with g_variant_print.
  std::vector<std::vector<std::string>> method_calls(
      const char* method,
      const char* object_path = nullptr);
  // Number of calls of any method the mock has logged.
  size_t call_count();

  // Emits a signal from the mock's main object (or `path`).
  void emit_signal(const char* interface_name,
                   const char* signal_name,
                   const char* signature,
                   GVariant* args_array,
                   const char* path = nullptr);

 private:
  DBusMockService(GBusType bus_type, std::string bus_name, std::string path);
  GDBusConnection* connection() const;
  // Adds a method to the main object's interface; `code` is its Python body.
  void add_method(const char* name,
                  const char* in_signature,
                  const char* out_signature,
                  const char* code);

  GBusType bus_type_;
  std::string bus_name_;
  std::string object_path_;
  GSubprocess* process_ = nullptr;
};

// Inhibitors logind lists in `mode` (every mode when null), as
// "what|who|why|mode". Block by default: keep-alive's own locks.
std::vector<std::string> list_logind_inhibitors(const char* mode = "block");

// A test application whose keep-alive channel is served by the shell's handler
// on a development-engine messenger.
class KeepAliveApp {
 public:
  KeepAliveApp();
  // Drops the application (dispose runs) and the view.
  ~KeepAliveApp();
  KeepAliveApp(const KeepAliveApp&) = delete;
  KeepAliveApp& operator=(const KeepAliveApp&) = delete;

  MyApplication* application() const { return application_; }
  // The development engine's messenger the channel is on.
  FlBinaryMessenger* messenger() const { return messenger_; }
  // Disposes the application now; application() is null afterwards.
  void dispose();

  enum class Answer { kTrue, kFalse, kNotImplemented, kOther };
  // Filled in when the call is answered.
  using PendingAnswer = std::shared_ptr<std::optional<Answer>>;
  // Delivers a call from Dart and returns at once.
  PendingAnswer send(const char* method);
  // Delivers a call from Dart and waits (up to 10 s, failing the test) for
  // the answer.
  Answer invoke(const char* method);

  // Methods sent to Dart on the keep-alive channel, oldest first; a method
  // sent with arguments is recorded as "<method>(with arguments)".
  std::vector<std::string> sent_methods();

 private:
  MyApplication* application_ = nullptr;
  FlView* view_ = nullptr;
  FlBinaryMessenger* messenger_ = nullptr;
};

// Runs `statement` in a fresh process (the test binary re-executed for this
// test, with the environment of the moment) and expects no failure in it.
// Fresh because GIO keeps a bus connection for the life of a process.
#define EXPECT_IN_FRESH_PROCESS(statement)            \
  EXPECT_EXIT(                                        \
      {                                               \
        statement;                                    \
        fflush(stdout);                               \
        _exit(::testing::Test::HasFailure() ? 1 : 0); \
      },                                              \
      ::testing::ExitedWithCode(0), "")

#endif  // TESTS_SUPPORT_KEEP_ALIVE_TEST_SUPPORT_H_
