// The application's icon on every window: small PNGs compiled into the
// executable. A default icon name would make GTK scan the icon theme and load
// every size it lists, the SVG through librsvg, before the first window shows.
#include "runner/application_icon.h"

#include <gtk/gtk.h>

#include "runner/my_application.h"

// Generated at build time from the icon by desktop/window_icons.cmake.
extern "C" GResource* ferrow_window_icons_get_resource(void);

namespace {

// The resource prefix desktop/window_icons.cmake gives them.
constexpr char kWindowIconsPath[] = FERROW_WINDOW_ICONS_PATH;

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

}  // namespace

void use_application_icon() {
  GResource* resource = ferrow_window_icons_get_resource();
  g_auto(GStrv) names = g_resource_enumerate_children(
      resource, kWindowIconsPath, G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
  GList* icons = nullptr;
  for (gchar** name = names; name != nullptr && *name != nullptr; name++) {
    g_autofree gchar* path = g_strconcat(kWindowIconsPath, *name, nullptr);
    g_autoptr(GInputStream) stream = g_resource_open_stream(
        resource, path, G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
    GdkPixbuf* icon = stream != nullptr
                          ? gdk_pixbuf_new_from_stream(stream, nullptr, nullptr)
                          : nullptr;
    if (icon != nullptr) {
      icons = g_list_prepend(icons, icon);
    }
  }
  if (icons == nullptr) {
    use_themed_icon();
    return;
  }
  // GTK copies the list and takes references of its own.
  gtk_window_set_default_icon_list(icons);
  g_list_free_full(icons, g_object_unref);
}
