# The platform the bundle is built for: FLUTTER_TARGET_PLATFORM (linux-x64 or
# linux-arm64, as `flutter build linux --target-platform` passes it; the
# host's by default) and, for a cross build, FLUTTER_TARGET_PLATFORM_SYSROOT.
# With a sysroot, the compiler, the linker and pkg-config look into it, so GTK
# and the rest come from the target's libraries, not the host's. Included
# before any library is looked up.

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
endif()
