# Writes the desktop entry from its template with the given executable:
#   FERROW_DESKTOP_TEMPLATE, FERROW_DESKTOP_OUTPUT, FERROW_DESKTOP_EXECUTABLE.
# Runs as a script (cmake -P) at build time and is included by install steps,
# so that every copy of the entry names the executable where it really is.

# An absolute path is used bare when it holds only plain characters (so that
# simple launchers such as xdg-open's generic mode can split Exec on spaces);
# otherwise it is quoted and escaped as desktop entries require: '"', '`', '$'
# and '\' escaped inside the quotes, then '\' doubled for the string value,
# and '%' doubled for field codes.
function(ferrow_desktop_exec_argument PATH OUT)
  if(PATH MATCHES "^[A-Za-z0-9_./+,:=@-]+$")
    set(${OUT} "${PATH}" PARENT_SCOPE)
    return()
  endif()
  string(REPLACE "\\" "\\\\\\\\" quoted "${PATH}")
  string(REPLACE "\"" "\\\\\"" quoted "${quoted}")
  string(REPLACE "`" "\\\\`" quoted "${quoted}")
  string(REPLACE "$" "\\\\$" quoted "${quoted}")
  string(REPLACE "%" "%%" quoted "${quoted}")
  set(${OUT} "\"${quoted}\"" PARENT_SCOPE)
endfunction()

foreach(variable FERROW_DESKTOP_TEMPLATE FERROW_DESKTOP_OUTPUT
                 FERROW_DESKTOP_EXECUTABLE)
  if(NOT ${variable})
    message(FATAL_ERROR "write_entry.cmake: ${variable} is not set")
  endif()
endforeach()
if(NOT IS_ABSOLUTE "${FERROW_DESKTOP_EXECUTABLE}")
  message(FATAL_ERROR
    "write_entry.cmake: the executable must be an absolute path: ${FERROW_DESKTOP_EXECUTABLE}")
endif()
if(FERROW_DESKTOP_EXECUTABLE MATCHES "[\n\r\t]")
  message(FATAL_ERROR "write_entry.cmake: control characters in the executable's path")
endif()
ferrow_desktop_exec_argument("${FERROW_DESKTOP_EXECUTABLE}" FERROW_DESKTOP_EXEC)
configure_file("${FERROW_DESKTOP_TEMPLATE}" "${FERROW_DESKTOP_OUTPUT}" @ONLY)
