# The Flutter tool's side of the build, included when the tool drives it: its
# generated configuration, the embedder it unpacks into flutter/ephemeral/
# (target flutter, FLUTTER_LIBRARY), the assemble step that unpacks it and
# builds the Dart side (flutter_assemble), and where that step leaves the
# bundle's data (PROJECT_BUILD_DIR, FLUTTER_ICU_DATA_FILE, AOT_LIBRARY).

# The tool's config sets some variables for the scope that includes it and
# some (the FLUTTER_VERSION ones) for that scope's parent; read inside a
# function, all of them land here.
function(read_flutter_tool_config)
  include("${FLUTTER_EPHEMERAL_DIR}/generated_config.cmake")
  foreach(name FLUTTER_ROOT PROJECT_DIR FLUTTER_TOOL_ENVIRONMENT
          FLUTTER_VERSION FLUTTER_VERSION_MAJOR
          FLUTTER_VERSION_MINOR FLUTTER_VERSION_PATCH FLUTTER_VERSION_BUILD)
    if(DEFINED ${name})
      set(${name} "${${name}}" PARENT_SCOPE)
    endif()
  endforeach()
endfunction()
read_flutter_tool_config()

set(FLUTTER_LIBRARY "${FLUTTER_EPHEMERAL_DIR}/libflutter_linux_gtk.so")
set(FLUTTER_HEADERS_DIR "${FLUTTER_EPHEMERAL_DIR}/flutter_linux")
set(FLUTTER_ICU_DATA_FILE "${FLUTTER_EPHEMERAL_DIR}/icudtl.dat")
set(PROJECT_BUILD_DIR "${PROJECT_DIR}/build/")
set(FLUTTER_ASSETS_DIR "${PROJECT_BUILD_DIR}flutter_assets")
set(AOT_LIBRARY "${PROJECT_BUILD_DIR}lib/libapp.so")

# The SDK's own engine headers are checked now (not the unpacked ones, which
# may be an older SDK's until the assemble step runs); whatever the assemble
# step unpacks is checked right after it, before anything compiles.
include("${CMAKE_CURRENT_LIST_DIR}/check_embedder_api.cmake")
set(sdk_headers_dir
    "${FLUTTER_ROOT}/bin/cache/artifacts/engine/${FLUTTER_TARGET_PLATFORM}/flutter_linux")
if(EXISTS "${sdk_headers_dir}/fl_view.h")
  check_embedder_api("${sdk_headers_dir}")
endif()

add_library(flutter INTERFACE)
target_include_directories(flutter INTERFACE "${FLUTTER_EPHEMERAL_DIR}")
target_link_libraries(flutter INTERFACE "${FLUTTER_LIBRARY}"
  PkgConfig::GTK PkgConfig::GLIB PkgConfig::GIO)
add_dependencies(flutter flutter_assemble)

# The tool knows what is out of date, so its step runs at every build: the
# stamp is never made.
set(assemble_stamp "${PROJECT_BINARY_DIR}/flutter_assemble.stamp")
set_source_files_properties("${assemble_stamp}" PROPERTIES SYMBOLIC TRUE)
add_custom_command(
  OUTPUT "${FLUTTER_LIBRARY}" "${FLUTTER_HEADERS_DIR}/flutter_linux.h"
         "${FLUTTER_HEADERS_DIR}/fl_view.h" "${FLUTTER_ICU_DATA_FILE}"
         "${assemble_stamp}"
  COMMAND "${CMAKE_COMMAND}" -E env ${FLUTTER_TOOL_ENVIRONMENT}
          "${FLUTTER_ROOT}/packages/flutter_tools/bin/tool_backend.sh"
          "${FLUTTER_TARGET_PLATFORM}" "${CMAKE_BUILD_TYPE}"
  COMMAND "${CMAKE_COMMAND}" "-DFLUTTER_HEADERS_DIR=${FLUTTER_HEADERS_DIR}"
          -P "${CMAKE_CURRENT_LIST_DIR}/check_embedder_api.cmake"
  VERBATIM)
add_custom_target(flutter_assemble DEPENDS
  "${FLUTTER_LIBRARY}" "${FLUTTER_ICU_DATA_FILE}" "${assemble_stamp}")
