// The limit of a later launch's hand-off: a single-instance GApplication
// without GTK whose primary instance stays up and prints the arguments of
// every launch, one a line.
#include <gio/gio.h>
#include <stdio.h>

static void startup_cb(GApplication* application, gpointer user_data) {
  (void)user_data;
  g_application_hold(application);
}

static int command_line_cb(GApplication* application,
                           GApplicationCommandLine* command_line,
                           gpointer user_data) {
  (void)application;
  (void)user_data;
  int argc = 0;
  g_auto(GStrv) argv =
      g_application_command_line_get_arguments(command_line, &argc);
  for (int i = 1; i < argc; i++) {
    printf("%s\n", argv[i]);
  }
  fflush(stdout);
  return 0;
}

int main(int argc, char** argv) {
  g_autoptr(GApplication) application = g_application_new(
      "dev.ferrow.bench.BareGio", G_APPLICATION_HANDLES_COMMAND_LINE);
  g_signal_connect(application, "startup", G_CALLBACK(startup_cb), NULL);
  g_signal_connect(application, "command-line", G_CALLBACK(command_line_cb),
                   NULL);
  return g_application_run(application, argc, argv);
}
