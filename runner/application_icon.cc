// The application's icon on every window: a few sizes compiled into the
// executable as raw RGBA. A default icon name would make GTK scan the icon
// theme and load every size it lists, the SVG through librsvg, before the
// first window shows; decoding PNGs there costs milliseconds of CPU.
#include "runner/application_icon.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <cstring>

#include "runner/my_application.h"

// Generated at build time from the icon by desktop/window_icons.cmake.
extern "C" GResource* ferrow_window_icons_get_resource(void);

namespace {

// The resource prefix desktop/window_icons.cmake gives them.
constexpr char kWindowIconsPath[] = "/dev/ferrow/FerrowDadira/window-icons/";

// Larger than any icon a window manager shows.
constexpr unsigned kMaxIconSize = 1024;

// For a build without them: the icon theme's, once installed, or else the
// share/icons beside the executable.
void use_themed_icon() {
  g_autofree gchar* executable = g_file_read_link("/proc/self/exe", nullptr);
  if (executable != nullptr) {
    g_autofree gchar* directory = g_path_get_dirname(executable);
    g_autofree gchar* icons =
        g_build_filename(directory, "share", "icons", nullptr);
    gtk_icon_theme_append_search_path(gtk_icon_theme_get_default(), icons);
  }
  gtk_window_set_default_icon_name(kApplicationId);
}

// The icon stored as NAME ("<width>x<height>.rgba"): its pixels wrapped as
// they lie in the resource, or null if their length does not fit the size.
GdkPixbuf* icon_from_resource(GResource* resource, const gchar* name) {
  unsigned width = 0;
  unsigned height = 0;
  int end = 0;
  if (std::sscanf(name, "%ux%u%n", &width, &height, &end) != 2 ||
      std::strcmp(name + end, ".rgba") != 0 || width == 0 || height == 0 ||
      width > kMaxIconSize || height > kMaxIconSize) {
    return nullptr;
  }
  g_autofree gchar* path = g_strconcat(kWindowIconsPath, name, nullptr);
  g_autoptr(GBytes) pixels = g_resource_lookup_data(
      resource, path, G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
  if (pixels == nullptr ||
      g_bytes_get_size(pixels) != gsize{width} * height * 4) {
    return nullptr;
  }
  const int side = static_cast<int>(width);
  return gdk_pixbuf_new_from_bytes(pixels, GDK_COLORSPACE_RGB, TRUE, 8, side,
                                   static_cast<int>(height), side * 4);
}

}  // namespace

void use_application_icon() {
  GResource* resource = ferrow_window_icons_get_resource();
  g_auto(GStrv) names = g_resource_enumerate_children(
      resource, kWindowIconsPath, G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
  GList* icons = nullptr;
  bool complete = names != nullptr && *names != nullptr;
  for (gchar** name = names; complete && *name != nullptr; name++) {
    GdkPixbuf* icon = icon_from_resource(resource, *name);
    if (icon != nullptr) {
      icons = g_list_prepend(icons, icon);
    } else {
      complete = false;
    }
  }
  // A size that does not fit means a broken build: the theme's icon, then.
  if (!complete) {
    g_list_free_full(icons, g_object_unref);
    use_themed_icon();
    return;
  }
  // GTK copies the list and takes references of its own.
  gtk_window_set_default_icon_list(icons);
  g_list_free_full(icons, g_object_unref);
}
