// Tests of the widget lookups and the window search by view id.
#include "runner/presentation/widget_lookup.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace {

// A drawing area subtype, to check that subtypes match.
GType special_drawing_area_get_type() {
  static GType type = 0;
  if (type == 0) {
    type = g_type_register_static_simple(
        GTK_TYPE_DRAWING_AREA, "PresentationTestSpecialDrawingArea",
        sizeof(GtkDrawingAreaClass), nullptr, sizeof(GtkDrawingArea), nullptr,
        static_cast<GTypeFlags>(0));
  }
  return type;
}

GtkWidget* vbox() {
  return gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
}

// Holds a floating widget tree for the length of a test.
class OwnedTree {
 public:
  explicit OwnedTree(GtkWidget* root)
      : root_(GTK_WIDGET(g_object_ref_sink(root))) {}
  ~OwnedTree() {
    gtk_widget_destroy(root_);
    g_object_unref(root_);
  }
  GtkWidget* get() const { return root_; }

 private:
  GtkWidget* root_;
};

class WidgetLookupTest : public testing::Test {
 protected:
  void TearDown() override { destroy_all_toplevels(); }
};

TEST_F(WidgetLookupTest, TreeSearchIsPreOrderAndMatchesSubtypes) {
  // root: [ a: [ b: [ deep_view ] ], shallow_view ]
  GtkWidget* root = vbox();
  OwnedTree tree(root);
  GtkWidget* a = vbox();
  GtkWidget* b = vbox();
  FlView* deep_view = make_view();
  FlView* shallow_view = make_view();
  gtk_container_add(GTK_CONTAINER(root), a);
  gtk_container_add(GTK_CONTAINER(a), b);
  gtk_container_add(GTK_CONTAINER(b), GTK_WIDGET(deep_view));
  gtk_container_add(GTK_CONTAINER(root), GTK_WIDGET(shallow_view));

  EXPECT_EQ(find_fl_view(root), deep_view);
  // The view's own drawing area comes before anything in a later sibling.
  GtkWidget* deep_area = find_drawing_area(GTK_WIDGET(deep_view));
  ASSERT_NE(deep_area, nullptr);
  EXPECT_EQ(find_drawing_area(root), deep_area);
  GtkWidget* deep_box = find_event_box(GTK_WIDGET(deep_view));
  ASSERT_NE(deep_box, nullptr);
  EXPECT_EQ(find_event_box(root), deep_box);
  EXPECT_TRUE(gtk_widget_is_ancestor(deep_area, deep_box));

  // A view holding a further view is returned itself.
  FlView* inner_view = make_view();
  gtk_container_add(GTK_CONTAINER(shallow_view), GTK_WIDGET(inner_view));
  EXPECT_EQ(find_fl_view(GTK_WIDGET(shallow_view)), shallow_view);

  // Subtypes match.
  GtkWidget* special =
      GTK_WIDGET(g_object_new(special_drawing_area_get_type(), nullptr));
  GtkWidget* first = vbox();
  gtk_container_add(GTK_CONTAINER(first), special);
  gtk_container_add(GTK_CONTAINER(root), first);
  gtk_box_reorder_child(GTK_BOX(root), first, 0);
  EXPECT_EQ(find_drawing_area(root), special);
  EXPECT_EQ(find_fl_view(root), deep_view);
}

TEST_F(WidgetLookupTest, TreeSearchGivesNoneWithoutMatch) {
  EXPECT_EQ(find_fl_view(nullptr), nullptr);
  EXPECT_EQ(find_drawing_area(nullptr), nullptr);
  EXPECT_EQ(find_event_box(nullptr), nullptr);

  OwnedTree leaf(gtk_label_new("leaf"));
  EXPECT_EQ(find_fl_view(leaf.get()), nullptr);
  OwnedTree empty(vbox());
  EXPECT_EQ(find_drawing_area(empty.get()), nullptr);
  OwnedTree nested(vbox());
  gtk_container_add(GTK_CONTAINER(nested.get()), vbox());
  gtk_container_add(GTK_CONTAINER(nested.get()), gtk_label_new("x"));
  EXPECT_EQ(find_event_box(nested.get()), nullptr);
}

TEST_F(WidgetLookupTest, FindsWindowsOfTheApplicationOrOfNone) {
  MyApplication* application = make_test_application();
  // Only one application registers per process at a time; another one need
  // not be registered to be searched for.
  MyApplication* other =
      MY_APPLICATION(g_object_new(my_application_get_type(), "application-id",
                                  "dev.ferrow.tests.other", nullptr));

  GtkWindow* no_view = GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL));
  gtk_window_set_application(no_view, GTK_APPLICATION(application));
  GtkWindow* own = make_window_with_view(GTK_APPLICATION(application));
  GtkWindow* unowned = make_window_with_view(nullptr);
  const gint64 own_id = fl_view_get_id(find_fl_view(GTK_WIDGET(own)));
  const gint64 unowned_id = fl_view_get_id(find_fl_view(GTK_WIDGET(unowned)));

  EXPECT_EQ(find_window_by_view_id(application, own_id), own);
  EXPECT_EQ(find_window_by_view_id(other, own_id), nullptr);
  EXPECT_EQ(find_window_by_view_id(application, unowned_id), unowned);
  EXPECT_EQ(find_window_by_view_id(other, unowned_id), unowned);
  EXPECT_EQ(find_window_by_view_id(application, -1), nullptr);
  EXPECT_EQ(find_window_by_view_id(application, G_MININT64), nullptr);
  EXPECT_EQ(find_window_by_view_id(application, G_MAXINT64), nullptr);

  // A window whose view sits deeper in its tree is found all the same.
  GtkWindow* nested = GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL));
  GtkWidget* box = vbox();
  gtk_container_add(GTK_CONTAINER(nested), box);
  FlView* nested_view = make_view();
  gtk_container_add(GTK_CONTAINER(box), GTK_WIDGET(nested_view));
  EXPECT_EQ(find_window_by_view_id(application, fl_view_get_id(nested_view)),
            nested);

  destroy_all_toplevels();
  EXPECT_EQ(find_window_by_view_id(application, own_id), nullptr);
  g_object_unref(other);
  g_object_unref(application);
}

}  // namespace
