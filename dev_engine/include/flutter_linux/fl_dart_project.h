// The Dart program to run: its assets and the entry point's arguments.
#ifndef FLUTTER_LINUX_FL_DART_PROJECT_H_
#define FLUTTER_LINUX_FL_DART_PROJECT_H_

#if !defined(__FLUTTER_LINUX_INSIDE__) && !defined(FLUTTER_LINUX_COMPILATION)
#error "Only <flutter_linux/flutter_linux.h> can be included directly."
#endif

#include <glib-object.h>

G_BEGIN_DECLS

G_DECLARE_FINAL_TYPE(FlDartProject, fl_dart_project, FL, DART_PROJECT, GObject)

FlDartProject* fl_dart_project_new();
const gchar* fl_dart_project_get_aot_library_path(FlDartProject* project);
const gchar* fl_dart_project_get_assets_path(FlDartProject* project);
const gchar* fl_dart_project_get_icu_data_path(FlDartProject* project);
void fl_dart_project_set_dart_entrypoint_arguments(FlDartProject* project,
                                                   char** argv);
gchar** fl_dart_project_get_dart_entrypoint_arguments(FlDartProject* project);

G_END_DECLS

#endif  // FLUTTER_LINUX_FL_DART_PROJECT_H_
