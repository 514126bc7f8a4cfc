// The display backend switch.
#include "runner/display_backend.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

// Runs the switch with the two variables as given (nullopt: unset) and
// returns GDK_BACKEND afterwards; restores both.
std::optional<std::string> backend_after(std::optional<std::string> enable,
                                         std::optional<std::string> backend) {
  g_autofree gchar* saved_enable =
      g_strdup(g_getenv("FERROW_LINUX_ENABLE_WAYLAND"));
  g_autofree gchar* saved_backend = g_strdup(g_getenv("GDK_BACKEND"));
  auto set = [](const char* name, const std::optional<std::string>& value) {
    if (value) {
      g_setenv(name, value->c_str(), TRUE);
    } else {
      g_unsetenv(name);
    }
  };
  set("FERROW_LINUX_ENABLE_WAYLAND", enable);
  set("GDK_BACKEND", backend);
  select_display_backend();
  const char* result = g_getenv("GDK_BACKEND");
  std::optional<std::string> out =
      result ? std::optional<std::string>(result) : std::nullopt;
  auto restore = [](const char* name, const gchar* value) {
    if (value) {
      g_setenv(name, value, TRUE);
    } else {
      g_unsetenv(name);
    }
  };
  restore("FERROW_LINUX_ENABLE_WAYLAND", saved_enable);
  restore("GDK_BACKEND", saved_backend);
  return out;
}

TEST(DisplayBackend, EnablingWordsInAnyCaseLeaveTheBackendAlone) {
  for (const char* word : {"1", "true", "TRUE", "Yes", "ON", "on", "tRuE"}) {
    EXPECT_EQ(backend_after(word, std::nullopt), std::nullopt) << word;
    EXPECT_EQ(backend_after(word, "wayland"), "wayland") << word;
  }
}

TEST(DisplayBackend, EverythingElseForcesX11) {
  EXPECT_EQ(backend_after(std::nullopt, std::nullopt), "x11");
  EXPECT_EQ(backend_after(std::nullopt, "wayland"), "x11");
  for (const char* value :
       {"", "0", "false", " true", "true ", "yes\n", "2", "enable"}) {
    EXPECT_EQ(backend_after(value, "wayland"), "x11") << "[" << value << "]";
    EXPECT_EQ(backend_after(value, std::nullopt), "x11") << "[" << value << "]";
  }
}

}  // namespace
