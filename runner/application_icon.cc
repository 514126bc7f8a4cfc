// The application's icon on every window: a few sizes compiled into the
// executable as raw RGBA and written as the window's _NET_WM_ICON when it is
// realized. A default icon name would make GTK scan the icon theme and load
// every size it lists, the SVG through librsvg, before the first window
// shows; a default icon list would make it paint each window's legacy
// WM_HINTS icon pixmap through cairo, which costs milliseconds of CPU there.
#include "runner/application_icon.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "runner/my_application.h"

// Generated at build time from the icon by desktop/window_icons.cmake.
extern "C" GResource* ferrow_window_icons_get_resource(void);

namespace {

// The resource prefix desktop/window_icons.cmake gives them.
constexpr char kWindowIconsPath[] = FERROW_WINDOW_ICONS_PATH;

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

// The value of _NET_WM_ICON: per size its width, height and non-premultiplied
// ARGB pixels, each a CARDINAL, which Xlib takes as a C long.
std::vector<long>& net_wm_icon() {
  static std::vector<long> cardinals;
  return cardinals;
}

// Appends the icon stored as NAME ("<width>x<height>.rgba") to CARDINALS;
// false if its pixels do not fit the size.
bool append_icon(GResource* resource,
                 const gchar* name,
                 std::vector<long>& cardinals) {
  unsigned width = 0;
  unsigned height = 0;
  int end = 0;
  if (std::sscanf(name, "%ux%u%n", &width, &height, &end) != 2 ||
      std::strcmp(name + end, ".rgba") != 0 || width == 0 || height == 0 ||
      width > kMaxIconSize || height > kMaxIconSize) {
    return false;
  }
  g_autofree gchar* path = g_strconcat(kWindowIconsPath, name, nullptr);
  g_autoptr(GBytes) pixels = g_resource_lookup_data(
      resource, path, G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
  gsize size = 0;
  const auto* rgba = static_cast<const guint8*>(
      pixels != nullptr ? g_bytes_get_data(pixels, &size) : nullptr);
  if (rgba == nullptr || size != gsize{width} * height * 4) {
    return false;
  }
  cardinals.push_back(width);
  cardinals.push_back(height);
  for (const guint8* p = rgba; p < rgba + size; p += 4) {
    cardinals.push_back(static_cast<long>(
        guint32{p[3]} << 24 | guint32{p[0]} << 16 | guint32{p[1]} << 8 | p[2]));
  }
  return true;
}

// Runs after the class handler of "realize" (a run-first signal), so after
// GTK's own realize, which leaves a window without an icon list without
// _NET_WM_ICON; and before the window can map.
gboolean window_realized_hook(GSignalInvocationHint*,
                              guint n_param_values,
                              const GValue* param_values,
                              gpointer) {
  if (n_param_values < 1) {
    return TRUE;
  }
  gpointer instance = g_value_peek_pointer(&param_values[0]);
  // Popups take no icon; a window given one of its own keeps it.
  if (!GTK_IS_WINDOW(instance) ||
      gtk_window_get_window_type(GTK_WINDOW(instance)) != GTK_WINDOW_TOPLEVEL ||
      gtk_window_get_icon(GTK_WINDOW(instance)) != nullptr ||
      gtk_window_get_icon_name(GTK_WINDOW(instance)) != nullptr) {
    return TRUE;
  }
  GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(instance));
  const std::vector<long>& cardinals = net_wm_icon();
  if (window != nullptr && GDK_IS_X11_WINDOW(window)) {
    gdk_property_change(window, gdk_atom_intern_static_string("_NET_WM_ICON"),
                        gdk_atom_intern_static_string("CARDINAL"), 32,
                        GDK_PROP_MODE_REPLACE,
                        reinterpret_cast<const guchar*>(cardinals.data()),
                        static_cast<gint>(cardinals.size()));
  }
  return TRUE;
}

}  // namespace

void use_application_icon() {
  // Once per process, as the hook stays for every later window.
  if (!net_wm_icon().empty()) {
    return;
  }
  GResource* resource = ferrow_window_icons_get_resource();
  g_auto(GStrv) names = g_resource_enumerate_children(
      resource, kWindowIconsPath, G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
  std::vector<long> cardinals;
  bool complete = names != nullptr && *names != nullptr;
  for (gchar** name = names; complete && *name != nullptr; name++) {
    complete = append_icon(resource, *name, cardinals);
  }
  // A size that does not fit means a broken build: the theme's icon, then.
  if (!complete) {
    use_themed_icon();
    return;
  }
  // Other displays take no icon from a GTK 3 client, but from the desktop
  // entry named after the application id.
  if (!GDK_IS_X11_DISPLAY(gdk_display_get_default())) {
    return;
  }
  net_wm_icon() = std::move(cardinals);
  // Class-initialized here, so that its signals exist.
  gpointer widget_class = g_type_class_ref(GTK_TYPE_WIDGET);
  g_signal_add_emission_hook(g_signal_lookup("realize", GTK_TYPE_WIDGET), 0,
                             window_realized_hook, nullptr, nullptr);
  g_type_class_unref(widget_class);
}
