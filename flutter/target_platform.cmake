# The platform the bundle is built for: FLUTTER_TARGET_PLATFORM (linux-x64 or
# linux-arm64, as `flutter build linux --target-platform` passes it; the
# host's by default) and, for a cross build, FLUTTER_TARGET_PLATFORM_SYSROOT.
# With a sysroot, the compiler, the linker, pkg-config and library lookups
# look into it, so GTK and the rest come from the target's libraries, while
# the programs the build runs stay the build machine's. Included before any
# library or program is looked up.

if(NOT FLUTTER_TARGET_PLATFORM)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
    set(FLUTTER_TARGET_PLATFORM "linux-arm64")
  else()
    set(FLUTTER_TARGET_PLATFORM "linux-x64")
  endif()
endif()
if(FLUTTER_TARGET_PLATFORM STREQUAL "linux-x64")
  set(FERROW_TARGET_MULTIARCH "x86_64-linux-gnu")
  set(FERROW_TARGET_DEBIAN_ARCH "amd64")
elseif(FLUTTER_TARGET_PLATFORM STREQUAL "linux-arm64")
  set(FERROW_TARGET_MULTIARCH "aarch64-linux-gnu")
  set(FERROW_TARGET_DEBIAN_ARCH "arm64")
else()
  message(FATAL_ERROR "FLUTTER_TARGET_PLATFORM is ${FLUTTER_TARGET_PLATFORM}; "
                      "this app builds for linux-x64 and linux-arm64")
endif()

if(FLUTTER_TARGET_PLATFORM_SYSROOT)
  set(CMAKE_SYSROOT "${FLUTTER_TARGET_PLATFORM_SYSROOT}")
  set(sysroot "${FLUTTER_TARGET_PLATFORM_SYSROOT}")
  # pkg-config reads only the sysroot's .pc files and prefixes the paths they
  # give with the sysroot.
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "${sysroot}")
  set(ENV{PKG_CONFIG_LIBDIR}
      "${sysroot}/usr/lib/${FERROW_TARGET_MULTIARCH}/pkgconfig:${sysroot}/usr/lib/pkgconfig:${sysroot}/usr/share/pkgconfig")
  unset(ENV{PKG_CONFIG_PATH})
  # Programs the build runs (pkg-config, glib-compile-resources,
  # rsvg-convert) are the build machine's; what the target links, the
  # sysroot's.
  set(CMAKE_FIND_ROOT_PATH "${sysroot}")
  set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
  set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
  set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
  set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
endif()

# The compiler itself, with its target, flags and sysroot, must build for
# that platform; otherwise the package would hold binaries its machines cannot
# run. Only its preprocessor is asked, so nothing needs linking.
include(CheckCXXSourceCompiles)
if(FLUTTER_TARGET_PLATFORM STREQUAL "linux-x64")
  set(target_macro "__x86_64__")
else()
  set(target_macro "__aarch64__")
endif()
set(try_compile_type "${CMAKE_TRY_COMPILE_TARGET_TYPE}")
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
check_cxx_source_compiles("
#ifndef ${target_macro}
#error not this platform
#endif
int main() { return 0; }" FERROW_COMPILER_BUILDS_${target_macro})
set(CMAKE_TRY_COMPILE_TARGET_TYPE "${try_compile_type}")
if(NOT FERROW_COMPILER_BUILDS_${target_macro})
  set(compiler "${CMAKE_CXX_COMPILER}")
  if(CMAKE_CXX_COMPILER_TARGET)
    string(APPEND compiler " --target=${CMAKE_CXX_COMPILER_TARGET}")
  endif()
  message(FATAL_ERROR "FLUTTER_TARGET_PLATFORM is ${FLUTTER_TARGET_PLATFORM}, "
    "but the C++ compiler (${compiler}) does not build for it: give it a "
    "compiler for ${FERROW_TARGET_MULTIARCH} (with clang, for example "
    "-DCMAKE_C_COMPILER_TARGET=${FERROW_TARGET_MULTIARCH} "
    "-DCMAKE_CXX_COMPILER_TARGET=${FERROW_TARGET_MULTIARCH})")
endif()
