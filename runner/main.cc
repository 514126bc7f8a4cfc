// Process entry: choose the display backend, then run the application.
#include "runner/display_backend.h"
#include "runner/my_application.h"

int main(int argc, char** argv) {
  select_display_backend();
  g_autoptr(MyApplication) app = my_application_new();
  my_application_register(app);
  return g_application_run(G_APPLICATION(app), argc, argv);
}
