# The plugin list of a build without the Flutter tool: the four stand-ins,
# added as the tool's generated flutter/generated_plugins.cmake adds real
# plugins (one target <plugin>_plugin each, linked into the executable, its
# library collected for the bundle's lib/).
set(FLUTTER_PLUGIN_LIST bitsdojo_window_linux file_selector_linux
    flutter_secure_storage_linux tarn_glass_chart)
set(PLUGIN_BUNDLED_LIBRARIES)
foreach(plugin ${FLUTTER_PLUGIN_LIST})
  add_subdirectory(plugin_stand_ins/${plugin}/linux plugins/${plugin})
  target_link_libraries(${BINARY_NAME} PRIVATE ${plugin}_plugin)
  list(APPEND PLUGIN_BUNDLED_LIBRARIES $<TARGET_FILE:${plugin}_plugin>)
  list(APPEND PLUGIN_BUNDLED_LIBRARIES ${${plugin}_bundled_libraries})
endforeach()
