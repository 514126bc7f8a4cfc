// Tests of the application's icon: a realized window carries the pixels
// compiled in as its _NET_WM_ICON, without GTK holding an icon list.
#include "runner/application_icon.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <vector>

TEST(ApplicationIcon, RealizedWindowCarriesTheCompiledSizes) {
  use_application_icon();
  if (gtk_window_get_default_icon_name() != nullptr) {
    GTEST_SKIP() << "a build without the renderer takes the theme's icon";
  }
  // Handed to GTK, it would paint the legacy icon pixmap at every realize.
  EXPECT_EQ(gtk_window_get_default_icon_list(), nullptr);

  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_widget_realize(window);
  GdkAtom type = GDK_NONE;
  gint format = 0;
  gint length = 0;
  guchar* data = nullptr;
  // 1 << 20 bytes: more than the icon holds.
  ASSERT_TRUE(gdk_property_get(gtk_widget_get_window(window),
                               gdk_atom_intern_static_string("_NET_WM_ICON"),
                               gdk_atom_intern_static_string("CARDINAL"), 0,
                               1 << 20, FALSE, &type, &format, &length, &data));
  EXPECT_EQ(format, 32);
  // Format 32 comes as C longs.
  const auto* cardinals = reinterpret_cast<const long*>(data);
  const size_t count = static_cast<size_t>(length) / sizeof(long);
  std::vector<long> sizes;
  size_t i = 0;
  while (i + 1 < count) {
    EXPECT_EQ(cardinals[i], cardinals[i + 1]);
    sizes.push_back(cardinals[i]);
    i += 2 + static_cast<size_t>(cardinals[i] * cardinals[i + 1]);
  }
  EXPECT_EQ(i, count);
  std::sort(sizes.begin(), sizes.end());
  EXPECT_EQ(sizes, (std::vector<long>{32, 48, 64}));
  g_free(data);
  gtk_widget_destroy(window);
}
