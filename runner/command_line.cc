// The command line: the first launch's arguments go to the Dart entry point;
// a later launch forwards its first deep link and raises the main window.
#include "runner/command_line.h"

#include "runner/keep_alive/bus_connect.h"
#include "runner/my_application.h"
#include "runner/presentation/window_present.h"
#include "runner/unseen_session.h"

namespace {

constexpr const char* kDeepLinkPrefixes[] = {
    "ferrow-dadira:", "--extension-id=", "--market-extension-id=",
    "--extend-id=",   "--pid=",
};

// The prefix `argument` begins with, or null. Prefixes are static strings,
// safe to carry into a reply callback.
const char* deep_link_prefix(const char* argument) {
  for (const char* prefix : kDeepLinkPrefixes) {
    if (g_str_has_prefix(argument, prefix)) {
      return prefix;
    }
  }
  return nullptr;
}

// A link that reached no handler (pushed out of the engine's buffer before
// Dart listened, or Dart has none) must not vanish in silence. Only the
// prefix is named: the rest of a link may carry tokens.
void deep_link_reply_cb(GObject* object,
                        GAsyncResult* result,
                        gpointer user_data) {
  const char* prefix = static_cast<const char*>(user_data);
  g_autoptr(GError) error = nullptr;
  g_autoptr(FlMethodResponse) response = fl_method_channel_invoke_method_finish(
      FL_METHOD_CHANNEL(object), result, &error);
  const char* reason = nullptr;
  if (response == nullptr) {
    reason = error_reason(error);
  } else if (FL_IS_METHOD_NOT_IMPLEMENTED_RESPONSE(response)) {
    reason = "no handler for it in Dart";
  } else if (FL_IS_METHOD_ERROR_RESPONSE(response)) {
    reason =
        fl_method_error_response_get_code(FL_METHOD_ERROR_RESPONSE(response));
  } else {
    return;
  }
  g_log(nullptr, G_LOG_LEVEL_WARNING, "Failed to deliver a %s deep link: %s",
        prefix, reason);
}

// The first non-empty deep link among `arguments`, or null.
const char* find_first_deep_link(gchar** arguments) {
  if (arguments == nullptr) {
    return nullptr;
  }
  for (gchar** argument = arguments; *argument != nullptr; argument++) {
    if ((*argument)[0] != '\0' && is_deep_link(*argument)) {
      return *argument;
    }
  }
  return nullptr;
}

}  // namespace

bool is_deep_link(const char* argument) {
  return deep_link_prefix(argument) != nullptr;
}

void send_deep_link(FlMethodChannel* channel, const char* link) {
  g_autoptr(FlValue) value = fl_value_new_string(link);
  fl_method_channel_invoke_method(channel, kDeepLinkOpenUrlMethod, value,
                                  nullptr, deep_link_reply_cb,
                                  const_cast<char*>(deep_link_prefix(link)));
}

int my_application_command_line(GApplication* application,
                                GApplicationCommandLine* command_line) {
  MyApplication* self = MY_APPLICATION(application);

  gint argc = 0;
  g_auto(GStrv) argv =
      g_application_command_line_get_arguments(command_line, &argc);
  // The program path is never looked at.
  gchar** rest = (argv != nullptr && argc >= 1) ? argv + 1 : argv;

  if (!self->main_window_built) {
    g_clear_pointer(&self->dart_entrypoint_arguments, g_strfreev);
    self->dart_entrypoint_arguments = g_strdupv(rest);
    g_application_activate(application);
    return 0;
  }

  const char* link = find_first_deep_link(rest);
  if (link != nullptr) {
    if (self->deep_link_channel != nullptr) {
      send_deep_link(self->deep_link_channel, link);
    } else {
      g_ptr_array_add(self->pending_deep_links, g_strdup(link));
    }
  }

  // Once the main window is gone there is nothing to raise, and the
  // application may be about to end unseen: Dart gets time to answer first.
  if (self->window != nullptr) {
    present_window_to_front_with_retries(self->window);
  } else {
    delay_unseen_session_check_for_link(self);
  }
  return 0;
}
