// Entry of the in-process test binary: GTK on the test desktop's display.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  // Test discovery lists tests without a display. InitGoogleTest has taken
  // the flag out of argv, so ask GoogleTest.
  if (GTEST_FLAG_GET(list_tests)) {
    return RUN_ALL_TESTS();
  }
  g_setenv("GDK_BACKEND", "x11", TRUE);
  // No accessibility bus: it would only slow every window down.
  g_setenv("NO_AT_BRIDGE", "1", TRUE);
  if (!gtk_init_check(&argc, &argv)) {
    fprintf(stderr, "No display: run the tests on the test desktop.\n");
    return 1;
  }
  return RUN_ALL_TESTS();
}
