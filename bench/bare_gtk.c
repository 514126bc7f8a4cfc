// The bare GTK program the benchmark holds the shell against: a
// single-instance GtkApplication that maps one window of the main window's
// default size on its first launch and prints the arguments of every launch,
// one a line, as its primary instance receives them.
#include <gtk/gtk.h>

static int command_line_cb(GApplication* application,
                           GApplicationCommandLine* command_line,
                           gpointer user_data) {
  (void)user_data;
  if (gtk_application_get_windows(GTK_APPLICATION(application)) == NULL) {
    GtkWidget* window =
        gtk_application_window_new(GTK_APPLICATION(application));
    gtk_window_set_default_size(GTK_WINDOW(window), 1330, 748);
    gtk_widget_show(window);
  }
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
  g_autoptr(GtkApplication) application = gtk_application_new(
      "dev.ferrow.bench.BareGtk", G_APPLICATION_HANDLES_COMMAND_LINE);
  g_signal_connect(application, "command-line", G_CALLBACK(command_line_cb),
                   NULL);
  return g_application_run(G_APPLICATION(application), argc, argv);
}
