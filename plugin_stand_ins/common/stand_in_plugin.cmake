# Builds one plugin stand-in the way the Flutter tool builds a real plugin:
# a shared library target <package>_plugin exporting only its registration
# function, with the package's include/ for the app and no further bundled
# libraries.

# The stand-ins' own folder, resolved: the Flutter tool reaches a plugin
# through a symlink, and "../.." must climb the real tree.
get_filename_component(STAND_IN_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." REALPATH)

function(add_stand_in_plugin PACKAGE SOURCE)
  set(target ${PACKAGE}_plugin)
  add_library(${target} SHARED
    "${CMAKE_CURRENT_SOURCE_DIR}/${SOURCE}"
    "${STAND_IN_ROOT}/common/stand_in_channel.cc")
  apply_standard_settings(${target})
  # What the app gives plugins, and the repository's own -Wextra, which a
  # plugin may choose for itself.
  target_compile_options(${target} PRIVATE -Wextra)
  set_target_properties(${target} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  target_compile_definitions(${target} PRIVATE FLUTTER_PLUGIN_IMPL)
  target_include_directories(${target}
    PUBLIC "${CMAKE_CURRENT_SOURCE_DIR}/include"
    PRIVATE "${STAND_IN_ROOT}")
  target_link_libraries(${target} PRIVATE flutter PkgConfig::GTK)
endfunction()
