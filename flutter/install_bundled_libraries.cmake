# Installs the bundle's libraries into lib/ below the install prefix: the
# engine, the plugins and the libraries they bundle, and the native assets
# that the Flutter tool built, when there are any. Included by an install
# step, given
#   FERROW_BUNDLED_LIBRARIES   the files
#   FERROW_NATIVE_ASSETS_DIR   a folder whose files are native assets, or ""
#   FERROW_READELF, FERROW_STRIP  the tools for the target's binaries
# A copied library keeps whatever run path it was linked with, often one into
# the build tree; each is confined to the bundle ($ORIGIN), so that a copied
# or packaged bundle finds nothing outside itself, and is stripped when the
# install strips (install/strip, a package).

set(files ${FERROW_BUNDLED_LIBRARIES})
if(FERROW_NATIVE_ASSETS_DIR AND IS_DIRECTORY "${FERROW_NATIVE_ASSETS_DIR}")
  file(GLOB native_assets LIST_DIRECTORIES false "${FERROW_NATIVE_ASSETS_DIR}/*")
  list(APPEND files ${native_assets})
endif()
list(REMOVE_DUPLICATES files)

file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/lib" TYPE SHARED_LIBRARY
     FILES ${files}
     PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

foreach(file ${files})
  get_filename_component(name "${file}" NAME)
  set(installed "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/lib/${name}")
  file(READ "${installed}" magic LIMIT 4 HEX)
  if(NOT magic STREQUAL "7f454c46")
    continue()
  endif()

  execute_process(COMMAND "${FERROW_READELF}" -d --wide "${installed}"
                  OUTPUT_VARIABLE dynamic RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "readelf cannot read ${installed}")
  endif()
  if(dynamic MATCHES "Library (runpath|rpath): \\[([^]\n]*)\\]")
    string(REPLACE ":" ";" entries "${CMAKE_MATCH_2}")
    set(kept)
    foreach(entry ${entries})
      if(entry MATCHES "^\\$(ORIGIN|{ORIGIN})")
        list(APPEND kept "${entry}")
      endif()
    endforeach()
    if(NOT kept)
      # What it looked for in the build is beside it in the bundle.
      set(kept "$ORIGIN")
    endif()
    if(NOT kept STREQUAL entries)
      string(REPLACE ";" ":" runpath "${kept}")
      file(RPATH_SET FILE "${installed}" NEW_RPATH "${runpath}")
    endif()
  endif()

  if(CMAKE_INSTALL_DO_STRIP AND FERROW_STRIP)
    execute_process(COMMAND "${FERROW_STRIP}" "${installed}"
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "${FERROW_STRIP} cannot strip ${installed}")
    endif()
  endif()
endforeach()
