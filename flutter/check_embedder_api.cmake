# Stops the build when the Flutter embedder's headers lack a function the
# shell calls that older releases do not have, naming each missing function,
# the release that brought it and the oldest release the shell builds with.
# Included by the build, or run as a script with -DFLUTTER_HEADERS_DIR=<dir>.
#
# The view's "first-frame" signal is not declared in the headers; the shell
# looks for it at run time.

# name|oldest Flutter release that has it
set(FERROW_EMBEDDER_API_SINCE
    "fl_view_set_background_color|3.24"
    "fl_view_get_id|3.27")

function(check_embedder_api HEADERS_DIR)
  file(GLOB headers "${HEADERS_DIR}/*.h")
  if(NOT headers)
    message(FATAL_ERROR "No Flutter embedder headers in ${HEADERS_DIR}.")
  endif()
  set(declarations "")
  foreach(header ${headers})
    file(READ "${header}" text)
    string(APPEND declarations "${text}\n")
  endforeach()
  set(missing)
  set(needed "0")
  foreach(entry ${FERROW_EMBEDDER_API_SINCE})
    string(REPLACE "|" ";" fields "${entry}")
    list(GET fields 0 name)
    list(GET fields 1 release)
    if(NOT declarations MATCHES "[^A-Za-z0-9_]${name}[ \t\r\n]*\\(")
      list(APPEND missing "${name} (Flutter ${release})")
    endif()
    if(release VERSION_GREATER needed)
      set(needed "${release}")
    endif()
  endforeach()
  if(missing)
    list(JOIN missing ", " names)
    message(FATAL_ERROR
      "The Flutter embedder in ${HEADERS_DIR} is too old for this app: it "
      "lacks ${names}. Build with Flutter ${needed} or later.")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  check_embedder_api("${FLUTTER_HEADERS_DIR}")
endif()
