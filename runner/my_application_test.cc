// The application object, its command line and its activation, driven in
// process on real windows holding development-engine views.
#include "runner/my_application.h"

#include <flutter_linux/fl_dev_engine.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runner/command_line.h"
#include "runner/keep_alive/keep_alive_lock.h"
#include "runner/presentation/window_tags.h"
#include "tests/support/test_support.h"

namespace {

int run_command_line(MyApplication* app, std::vector<const char*> argv) {
  argv.push_back(nullptr);
  GVariant* arguments = g_variant_new_bytestring_array(argv.data(), -1);
  g_autoptr(GApplicationCommandLine) command_line =
      G_APPLICATION_COMMAND_LINE(g_object_new(G_TYPE_APPLICATION_COMMAND_LINE,
                                              "arguments", arguments, nullptr));
  return G_APPLICATION_GET_CLASS(app)->command_line(G_APPLICATION(app),
                                                    command_line);
}

std::vector<std::string> strv(char** values) {
  std::vector<std::string> out;
  for (char** v = values; v != nullptr && *v != nullptr; v++) {
    out.emplace_back(*v);
  }
  return out;
}

std::vector<std::string> string_list(FlValue* list) {
  std::vector<std::string> out;
  for (size_t i = 0; i < fl_value_get_length(list); i++) {
    out.emplace_back(fl_value_get_string(fl_value_get_list_value(list, i)));
  }
  return out;
}

class ApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The main view never draws by itself, so nothing reveals the window.
    g_setenv("FL_DEV_ENGINE_FIRST_FRAME_DELAY_MS", "-1", TRUE);
    app_ = make_test_application();
  }

  void TearDown() override {
    destroy_all_toplevels();
    g_clear_object(&engine_);
    g_object_unref(app_);
    drain_main_loop();
    g_unsetenv("FL_DEV_ENGINE_FIRST_FRAME_DELAY_MS");
  }

  // First launch; keeps the main view's engine for inspection.
  void first_launch(std::vector<const char*> argv) {
    ASSERT_EQ(run_command_line(app_, std::move(argv)), 0);
    ASSERT_NE(app_->view, nullptr);
    engine_ = FL_ENGINE(g_object_ref(fl_view_get_engine(app_->view)));
  }

  FlBinaryMessenger* messenger() {
    return fl_engine_get_binary_messenger(engine_);
  }

  std::vector<std::string> calls_on(const char* channel,
                                    const char* method = nullptr) {
    g_autoptr(FlValue) history = fl_dev_messenger_get_history(messenger());
    std::vector<std::string> out;
    for (size_t i = 0; i < fl_value_get_length(history); i++) {
      FlValue* call = fl_value_get_list_value(history, i);
      if (g_strcmp0(
              fl_value_get_string(fl_value_lookup_string(call, "channel")),
              channel) != 0) {
        continue;
      }
      const char* name =
          fl_value_get_string(fl_value_lookup_string(call, "method"));
      if (method != nullptr && g_strcmp0(name, method) != 0)
        continue;
      FlValue* args = fl_value_lookup_string(call, "args");
      out.emplace_back(fl_value_get_type(args) == FL_VALUE_TYPE_STRING
                           ? fl_value_get_string(args)
                           : std::string(name));
    }
    return out;
  }

  std::vector<std::string> deep_links_sent() {
    return calls_on("ferrow-dadira/deep_link", "openUrl");
  }

  guint toplevel_count() {
    return g_list_length(gtk_application_get_windows(GTK_APPLICATION(app_)));
  }

  MyApplication* app_ = nullptr;
  FlEngine* engine_ = nullptr;
};

TEST(ApplicationIdentity, ProgramNameAndApplicationIdAreOneString) {
  g_autoptr(MyApplication) app = my_application_new();
  EXPECT_STREQ(g_get_prgname(), kApplicationId);
  EXPECT_STREQ(g_application_get_application_id(G_APPLICATION(app)),
               kApplicationId);
  EXPECT_TRUE(g_application_id_is_valid(kApplicationId));
  EXPECT_EQ(g_application_get_flags(G_APPLICATION(app)),
            G_APPLICATION_HANDLES_COMMAND_LINE);
}

TEST(ApplicationDispose, UnstartedObjectAndRepeatedDisposeAreSafe) {
  g_autoptr(MyApplication) app = my_application_new();
  EXPECT_FALSE(keep_alive_lock_is_held(app->sleep_lock));
  ASSERT_NE(app->pending_deep_links, nullptr);
  g_object_run_dispose(G_OBJECT(app));
  EXPECT_EQ(app->pending_deep_links, nullptr);
  EXPECT_EQ(app->window_added_handler_id, 0u);
  g_object_run_dispose(G_OBJECT(app));
  EXPECT_EQ(app->pending_deep_links, nullptr);
}

TEST_F(ApplicationTest, FirstLaunchHandsEveryArgumentToTheEntryPoint) {
  first_launch({"/opt/ferrow/ferrow_dadira", "alpha", "ferrow-dadira:open/1",
                "--pid=7"});
  EXPECT_EQ(
      strv(app_->dart_entrypoint_arguments),
      (std::vector<std::string>{"alpha", "ferrow-dadira:open/1", "--pid=7"}));
  EXPECT_EQ(strv(fl_dev_engine_get_entrypoint_arguments(engine_)),
            strv(app_->dart_entrypoint_arguments));
  EXPECT_TRUE(deep_links_sent().empty());
}

TEST_F(ApplicationTest, FirstLaunchWithOnlyTheProgramPathGivesAnEmptyVector) {
  first_launch({"ferrow_dadira"});
  ASSERT_NE(app_->dart_entrypoint_arguments, nullptr);
  EXPECT_EQ(app_->dart_entrypoint_arguments[0], nullptr);
  gchar** given = fl_dev_engine_get_entrypoint_arguments(engine_);
  ASSERT_NE(given, nullptr);
  EXPECT_EQ(given[0], nullptr);
}

TEST_F(ApplicationTest, LaterLaunchSendsOnlyTheFirstDeepLinkWhole) {
  first_launch({"ferrow_dadira"});
  EXPECT_EQ(run_command_line(app_, {"ferrow_dadira", "plain", "", "--pid=4242",
                                    "ferrow-dadira:x"}),
            0);
  EXPECT_EQ(deep_links_sent(), (std::vector<std::string>{"--pid=4242"}));
  EXPECT_EQ(toplevel_count(), 1u);
}

TEST_F(ApplicationTest, LaterLaunchMatchesPrefixesByteForByte) {
  first_launch({"ferrow_dadira"});
  // Another letter case, one hyphen fewer, a prefix not at the start, and a
  // program path that is itself a deep link: nothing is sent.
  run_command_line(app_, {"ferrow-dadira:path", "Ferrow-Dadira:x",
                          "-extension-id=a", "x--pid=1", "--PID=2"});
  EXPECT_TRUE(deep_links_sent().empty());
  // Arguments equal to a prefix count; the two extension prefixes differ.
  run_command_line(app_, {"ferrow_dadira", "ferrow-dadira:"});
  run_command_line(app_, {"ferrow_dadira", "--pid="});
  run_command_line(app_, {"ferrow_dadira", "--extension-id=abc"});
  run_command_line(app_, {"ferrow_dadira", "--extend-id=def"});
  run_command_line(app_, {"ferrow_dadira", "--market-extension-id=g"});
  EXPECT_EQ(deep_links_sent(),
            (std::vector<std::string>{
                "ferrow-dadira:", "--pid=", "--extension-id=abc",
                "--extend-id=def", "--market-extension-id=g"}));
  EXPECT_TRUE(is_deep_link("--extension-id="));
  EXPECT_TRUE(is_deep_link("--extend-id="));
  EXPECT_FALSE(is_deep_link("--extend-i"));
}

TEST_F(ApplicationTest, LaterLaunchRaisesTheMainWindowWithOrWithoutALink) {
  first_launch({"ferrow_dadira"});
  ASSERT_FALSE(gtk_widget_get_visible(GTK_WIDGET(app_->window)));
  run_command_line(app_, {"ferrow_dadira", "no-link-here"});
  EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(app_->window)));
  gtk_widget_hide(GTK_WIDGET(app_->window));
  run_command_line(app_, {"ferrow_dadira", "ferrow-dadira:go"});
  EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(app_->window)));
}

TEST_F(ApplicationTest, QueuedLinksAreSentAtActivationInOrder) {
  // Dart listens only after its start-up, as under the real engine: every
  // queued link must wait for it, not just the last.
  g_setenv("FL_DEV_ENGINE_DART_LISTENS", "later", TRUE);
  g_ptr_array_add(app_->pending_deep_links, g_strdup("ferrow-dadira:one"));
  g_ptr_array_add(app_->pending_deep_links, g_strdup(""));
  g_ptr_array_add(app_->pending_deep_links, g_strdup("--pid=2"));
  g_ptr_array_add(app_->pending_deep_links, g_strdup("--pid=3"));
  first_launch({"ferrow_dadira"});
  g_unsetenv("FL_DEV_ENGINE_DART_LISTENS");
  EXPECT_EQ(app_->pending_deep_links->len, 0u);
  drain_main_loop();
  EXPECT_TRUE(deep_links_sent().empty());
  fl_dev_messenger_listen(messenger(), kDeepLinkChannelName,
                          FL_DEV_DART_REPLY_SUCCESS);
  EXPECT_EQ(deep_links_sent(), (std::vector<std::string>{
                                   "ferrow-dadira:one", "--pid=2", "--pid=3"}));
}

TEST_F(ApplicationTest, ActivationBuildsAHiddenRealizedMainWindow) {
  first_launch({"ferrow_dadira"});
  GtkWidget* window = GTK_WIDGET(app_->window);
  GtkWidget* view = GTK_WIDGET(app_->view);
  EXPECT_EQ(gtk_widget_get_parent(view), window);
  EXPECT_STREQ(gtk_window_get_title(app_->window), "Ferrow Dadira");
  EXPECT_TRUE(gtk_widget_get_realized(window));
  EXPECT_FALSE(gtk_widget_get_visible(window));
  EXPECT_TRUE(
      window_tag_is_set(window, kWindowPendingActivateAfterInitialFrameKey));
  EXPECT_TRUE(gtk_widget_get_realized(view));
  EXPECT_TRUE(gtk_widget_get_visible(view));
  EXPECT_EQ(gtk_window_get_focus(app_->window), view);
  gint width = 0, height = 0;
  gtk_window_get_default_size(app_->window, &width, &height);
  EXPECT_EQ(width, 1330);
  EXPECT_EQ(height, 748);
}

TEST_F(ApplicationTest, PluginsRegisterInOrderBeforeTheShellChannels) {
  first_launch({"ferrow_dadira"});
  g_autoptr(FlValue) registrars = fl_dev_engine_get_registrar_names(engine_);
  EXPECT_EQ(string_list(registrars),
            (std::vector<std::string>{
                "BitsdojoWindowPlugin", "FileSelectorPlugin",
                "FlutterSecureStorageLinuxPlugin", "TarnGlassChartPlugin"}));
  g_autoptr(FlValue) channel_list = fl_dev_messenger_get_channels(messenger());
  std::vector<std::string> channels = string_list(channel_list);
  ASSERT_GE(channels.size(), 2u);
  // The shell's two served channels come last; the deep-link channel has no
  // handler.
  EXPECT_EQ(channels[channels.size() - 2], "tarn_glass/window_control");
  EXPECT_EQ(channels.back(), "tarn_glass/system_keep_alive");
  for (const auto& name : channels) {
    EXPECT_NE(name, "ferrow-dadira/deep_link");
  }
}

TEST_F(ApplicationTest, RepeatedActivationBuildsNothingAndPresents) {
  first_launch({"ferrow_dadira", "a"});
  GtkWindow* window = app_->window;
  FlMethodChannel* channel = app_->window_control_channel;
  g_application_activate(G_APPLICATION(app_));
  EXPECT_EQ(app_->window, window);
  EXPECT_EQ(app_->window_control_channel, channel);
  EXPECT_EQ(toplevel_count(), 1u);
  EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(window)));
}

TEST_F(ApplicationTest, RendererLineNamesTheDisplay) {
  {
    LogCapture logs(G_LOG_LEVEL_MESSAGE);
    g_unsetenv("FLUTTER_LINUX_RENDERER");
    first_launch({"ferrow_dadira"});
    bool found = false;
    for (const auto& entry : logs.entries()) {
      if (entry.message == "Using default OpenGL renderer on x11 display") {
        found = true;
        EXPECT_EQ(entry.domain, "");
        EXPECT_EQ(entry.level & G_LOG_LEVEL_MASK, G_LOG_LEVEL_MESSAGE);
      }
    }
    EXPECT_TRUE(found);
  }
  destroy_all_toplevels();
  g_clear_object(&engine_);
  g_clear_object(&app_);
  app_ = make_test_application();
  {
    LogCapture logs(G_LOG_LEVEL_MESSAGE);
    g_setenv("FLUTTER_LINUX_RENDERER", "software", TRUE);
    first_launch({"ferrow_dadira"});
    g_unsetenv("FLUTTER_LINUX_RENDERER");
    EXPECT_TRUE(logs.contains(
        "Using preset FLUTTER_LINUX_RENDERER=software on x11 display"));
  }
}

// The main window can go while child windows keep the application running.
TEST_F(ApplicationTest, AfterTheMainWindowIsDestroyedNothingIsRebuilt) {
  first_launch({"ferrow_dadira", "first"});
  GtkWindow* child = make_window_with_view(GTK_APPLICATION(app_));
  gtk_widget_destroy(GTK_WIDGET(app_->window));
  EXPECT_EQ(app_->window, nullptr);
  EXPECT_EQ(app_->view, nullptr);
  ASSERT_NE(app_->deep_link_channel, nullptr);

  EXPECT_EQ(run_command_line(app_, {"ferrow_dadira", "--pid=9"}), 0);
  g_application_activate(G_APPLICATION(app_));
  EXPECT_EQ(app_->window, nullptr);
  EXPECT_EQ(strv(app_->dart_entrypoint_arguments),
            (std::vector<std::string>{"first"}));
  GList* windows = gtk_application_get_windows(GTK_APPLICATION(app_));
  ASSERT_EQ(g_list_length(windows), 1u);
  EXPECT_EQ(windows->data, child);
  EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(child)));
  EXPECT_EQ(deep_links_sent(), (std::vector<std::string>{"--pid=9"}));
}

// A link that comes while the end of an unseen session waits for its turn
// reaches Dart, and Dart gets a grace period to show a window for it.
TEST_F(ApplicationTest, ALinkDelaysTheEndOfAnUnseenSession) {
  first_launch({"ferrow_dadira"});
  GtkWindow* child = make_window_with_view(GTK_APPLICATION(app_), 0);
  gtk_widget_show(GTK_WIDGET(child));
  ASSERT_TRUE(run_until([&] {
    return !window_tag_is_set(child, kWindowInitialFrameRevealDeferredKey);
  }));
  gtk_widget_destroy(GTK_WIDGET(app_->window));
  drain_main_loop();
  auto window_count = [&] {
    return g_list_length(gtk_application_get_windows(GTK_APPLICATION(app_)));
  };
  ASSERT_EQ(window_count(), 1u);

  // Hiding the last window makes the end due at the next idle; the link is
  // handled before it.
  gtk_widget_hide(GTK_WIDGET(child));
  EXPECT_EQ(run_command_line(app_, {"ferrow_dadira", "ferrow-dadira:late"}), 0);
  EXPECT_EQ(deep_links_sent(), std::vector<std::string>{"ferrow-dadira:late"});
  run_for(1000);
  EXPECT_EQ(window_count(), 1u);
  // Dart showed nothing: the end comes with the grace period's.
  EXPECT_TRUE(run_until([&] { return window_count() == 0; }, 10000));
}

}  // namespace
