// Tests of the application's icon: the pixels compiled in are used as they
// lie in the executable, with no image decoded on the way to the first window.
#include "runner/application_icon.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

TEST(ApplicationIcon, WindowsWrapThePixelsCompiledIn) {
  use_application_icon();
  GList* icons = gtk_window_get_default_icon_list();
  if (icons == nullptr) {
    // A build without the renderer: the icon theme's.
    EXPECT_NE(gtk_window_get_default_icon_name(), nullptr);
    return;
  }
  for (GList* l = icons; l != nullptr; l = l->next) {
    GdkPixbuf* icon = GDK_PIXBUF(l->data);
    EXPECT_EQ(gdk_pixbuf_get_width(icon), gdk_pixbuf_get_height(icon));
    // A decoded image lies on the heap; the compiled pixels in the
    // executable's image.
    Dl_info image;
    EXPECT_NE(dladdr(gdk_pixbuf_read_pixels(icon), &image), 0);
  }
  g_list_free(icons);
}
