# The windows' icon: a few small PNGs rendered from the SVG and compiled into
# the executable as a GResource (library ferrow_window_icons, resource
# ferrow_window_icons_get_resource()). GTK would otherwise look the icon up in
# the icon theme when the first window is realized and load every size the
# theme lists, rendering the SVG with librsvg, all before the window is shown.
# Without rsvg-convert the resource holds no icons and the windows take the
# icon from the theme.

set(FERROW_WINDOW_ICON_SIZES 32 48 64)
string(REPLACE "." "/" application_path "${APPLICATION_ID}")
set(FERROW_WINDOW_ICONS_PREFIX "/${application_path}/window-icons")
set(window_icons_dir "${CMAKE_CURRENT_BINARY_DIR}/window-icons")
set(window_icons_xml "${window_icons_dir}/window-icons.gresource.xml")
set(window_icons_source "${window_icons_dir}/window_icons.c")

set(window_icon_files "")
set(window_icon_entries "")
if(RSVG_CONVERT)
  foreach(size ${FERROW_WINDOW_ICON_SIZES})
    set(png "${window_icons_dir}/${size}.png")
    add_custom_command(OUTPUT "${png}"
      COMMAND "${RSVG_CONVERT}" --width ${size} --height ${size}
              --output "${png}" "${FERROW_SVG_ICON}"
      DEPENDS "${FERROW_SVG_ICON}"
      VERBATIM)
    list(APPEND window_icon_files "${png}")
    string(APPEND window_icon_entries "    <file>${size}.png</file>\n")
  endforeach()
endif()
file(CONFIGURE OUTPUT "${window_icons_xml}" CONTENT "<?xml version=\"1.0\" encoding=\"UTF-8\"?>
<gresources>
  <gresource prefix=\"${FERROW_WINDOW_ICONS_PREFIX}\">
${window_icon_entries}  </gresource>
</gresources>
")

# A tool of the build machine: in a cross build, pkg-config's answer may lie
# in the target's sysroot.
find_program(GLIB_COMPILE_RESOURCES glib-compile-resources)
if(NOT GLIB_COMPILE_RESOURCES)
  message(FATAL_ERROR "glib-compile-resources (Debian: libglib2.0-dev-bin) not found")
endif()
add_custom_command(OUTPUT "${window_icons_source}"
  COMMAND "${GLIB_COMPILE_RESOURCES}" --generate-source
          --c-name ferrow_window_icons --sourcedir "${window_icons_dir}"
          --target "${window_icons_source}" "${window_icons_xml}"
  DEPENDS "${window_icons_xml}" ${window_icon_files}
  VERBATIM)

add_library(ferrow_window_icons STATIC "${window_icons_source}")
apply_standard_settings(ferrow_window_icons)
target_link_libraries(ferrow_window_icons PRIVATE PkgConfig::GIO)
target_link_libraries(ferrow_shell PRIVATE ferrow_window_icons)
target_compile_definitions(ferrow_shell PRIVATE
  "FERROW_WINDOW_ICONS_PATH=\"${FERROW_WINDOW_ICONS_PREFIX}/\"")
