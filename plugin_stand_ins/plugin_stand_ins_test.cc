// The plugin stand-ins: each registration opens a working channel of its
// own, and the window-frame stand-in's window object.
#include <bitsdojo_window_linux/bitsdojo_window_plugin.h>
#include <file_selector_linux/file_selector_plugin.h>
#include <flutter_linux/fl_dev_engine.h>
#include <flutter_secure_storage_linux/flutter_secure_storage_linux_plugin.h>
#include <gtest/gtest.h>
#include <tarn_glass_chart/tarn_glass_chart_plugin.h>

#include "plugin_stand_ins/bitsdojo_window_linux/linux/bitsdojo_window_stand_in.h"
#include "tests/support/test_support.h"

namespace {

struct StandIn {
  const char* registrar_name;
  void (*register_with_registrar)(FlPluginRegistrar*);
  const char* channel;
};

const StandIn kStandIns[] = {
    {"BitsdojoWindowPlugin", bitsdojo_window_plugin_register_with_registrar,
     "bitsdojo/window"},
    {"FileSelectorPlugin", file_selector_plugin_register_with_registrar,
     "plugins.flutter.io/file_selector"},
    {"FlutterSecureStorageLinuxPlugin",
     flutter_secure_storage_linux_plugin_register_with_registrar,
     "plugins.it_nomads.com/flutter_secure_storage"},
    {"TarnGlassChartPlugin", tarn_glass_chart_plugin_register_with_registrar,
     "tarn_glass/chart"},
};

bool list_has_string(FlValue* list, const char* text) {
  for (size_t i = 0; i < fl_value_get_length(list); i++) {
    if (g_strcmp0(fl_value_get_string(fl_value_get_list_value(list, i)),
                  text) == 0) {
      return true;
    }
  }
  return false;
}

class PluginStandInTest : public testing::Test {
 protected:
  void TearDown() override { destroy_all_toplevels(); }
};

TEST_F(PluginStandInTest, EachRegistrationOpensAChannelThatAnswers) {
  GtkWindow* window = make_window_with_view();
  gtk_widget_realize(GTK_WIDGET(window));
  FlView* view = FL_VIEW(gtk_bin_get_child(GTK_BIN(window)));
  FlBinaryMessenger* messenger =
      fl_engine_get_binary_messenger(fl_view_get_engine(view));

  for (const StandIn& stand_in : kStandIns) {
    SCOPED_TRACE(stand_in.registrar_name);
    g_autoptr(FlPluginRegistrar) registrar =
        fl_plugin_registry_get_registrar_for_plugin(FL_PLUGIN_REGISTRY(view),
                                                    stand_in.registrar_name);
    ASSERT_NE(registrar, nullptr);
    stand_in.register_with_registrar(registrar);
  }
  // The registrars are gone; the channels must live on with the view.
  for (const StandIn& stand_in : kStandIns) {
    SCOPED_TRACE(stand_in.channel);
    g_autoptr(FlValue) channels = fl_dev_messenger_get_channels(messenger);
    EXPECT_TRUE(list_has_string(channels, stand_in.channel));
    g_autoptr(FlMethodResponse) response = fl_dev_messenger_invoke_sync(
        messenger, stand_in.channel, "anything", nullptr);
    ASSERT_NE(response, nullptr);
    EXPECT_TRUE(FL_IS_METHOD_NOT_IMPLEMENTED_RESPONSE(response));
  }
}

TEST_F(PluginStandInTest, FrameObjectTakesTheTitleBarOffItsWindow) {
  EXPECT_EQ(bitsdojo_window_from(nullptr), nullptr);

  GtkWindow* window = make_window_with_view();
  GtkWindow* other = make_window_with_view();
  gtk_widget_show(GTK_WIDGET(window));
  BitsdojoWindowGtk* frame = bitsdojo_window_from(window);
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(bitsdojo_window_stand_in_get_window(), window);
  frame->setCustomFrame(TRUE);
  EXPECT_FALSE(gtk_window_get_decorated(window));
  EXPECT_TRUE(gtk_window_get_decorated(other));

  // One object for the process, re-pointed at each window it is given.
  EXPECT_EQ(bitsdojo_window_from(other), frame);
  frame->setCustomFrame(FALSE);
  EXPECT_TRUE(gtk_window_get_decorated(other));
  EXPECT_FALSE(gtk_window_get_decorated(window));

  // A window gone leaves it pointing at nothing (checked under ASan).
  gtk_widget_destroy(GTK_WIDGET(other));
  drain_main_loop();
  EXPECT_EQ(bitsdojo_window_stand_in_get_window(), nullptr);
  frame->setCustomFrame(TRUE);
}

}  // namespace
