# The windows' icon: the SVG rendered at a few small sizes and compiled into
# the executable as a GResource (library ferrow_window_icons, resource
# ferrow_window_icons_get_resource()). GTK would otherwise look the icon up in
# the icon theme when the first window is realized and load every size the
# theme lists, rendering the SVG with librsvg, all before the window is shown.
# Each size is stored as raw 8-bit RGBA, named "<width>x<height>.rgba", so
# that start-up takes the pixels as they are: decoding PNGs there costs
# milliseconds of CPU before the first window maps. Without
# rsvg-convert or ImageMagick's convert the resource holds no icons and the
# windows take the icon from the theme.

set(FERROW_WINDOW_ICON_SIZES 32 48 64)
string(REPLACE "." "/" application_path "${APPLICATION_ID}")
set(FERROW_WINDOW_ICONS_PREFIX "/${application_path}/window-icons")
set(window_icons_dir "${CMAKE_CURRENT_BINARY_DIR}/window-icons")
set(window_icons_xml "${window_icons_dir}/window-icons.gresource.xml")
set(window_icons_source "${window_icons_dir}/window_icons.c")

set(window_icon_files "")
set(window_icon_entries "")
# Tools of the build machine, as rsvg-convert is.
find_program(IMAGEMAGICK_CONVERT convert)
if(RSVG_CONVERT AND NOT IMAGEMAGICK_CONVERT)
  message(WARNING "convert (Debian: imagemagick) not found: the windows take "
                  "their icon from the icon theme")
endif()
if(RSVG_CONVERT AND IMAGEMAGICK_CONVERT)
  foreach(size ${FERROW_WINDOW_ICON_SIZES})
    set(png "${window_icons_dir}/${size}.png")
    set(name "${size}x${size}.rgba")
    add_custom_command(OUTPUT "${window_icons_dir}/${name}"
      COMMAND "${RSVG_CONVERT}" --width ${size} --height ${size}
              --output "${png}" "${FERROW_SVG_ICON}"
      COMMAND "${IMAGEMAGICK_CONVERT}" "${png}" -depth 8
              "rgba:${window_icons_dir}/${name}"
      DEPENDS "${FERROW_SVG_ICON}"
      VERBATIM)
    list(APPEND window_icon_files "${window_icons_dir}/${name}")
    string(APPEND window_icon_entries "    <file>${name}</file>\n")
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
