# The Debian package (cpack -G DEB in the build folder): the bundle under
# /opt/ferrow-dadira, the command /usr/bin/ferrow-dadira, the desktop entry,
# icons and metainfo under /usr/share, and the copyright file and changelog
# under /usr/share/doc/ferrow-dadira. Its dependencies are computed from the
# executable's and libraries' needs by dpkg-shlibdeps.

set(FERROW_PACKAGE_PREFIX "/opt/ferrow-dadira")
set(FERROW_PACKAGE_COMMAND "/usr/bin/ferrow-dadira")
set(FERROW_PACKAGE_MAINTAINER "Ferrow Dadira developers <dev@ferrow.dev>"
    CACHE STRING "Maintainer field of the Debian package")

# The system's copy of the desktop files, only for the package.
ferrow_install_desktop_files("/usr/share" "${FERROW_PACKAGE_COMMAND}"
  ferrow_package_desktop EXCLUDE_FROM_ALL)
file(CREATE_LINK "${FERROW_PACKAGE_PREFIX}/${BINARY_NAME}"
     "${CMAKE_CURRENT_BINARY_DIR}/ferrow-dadira" SYMBOLIC)
install(FILES "${CMAKE_CURRENT_BINARY_DIR}/ferrow-dadira" DESTINATION /usr/bin
        COMPONENT ferrow_package_desktop EXCLUDE_FROM_ALL)

# Debian wants the changelog compressed, reproducibly (no name or time stamp).
set(changelog_gz "${CMAKE_CURRENT_BINARY_DIR}/changelog.gz")
add_custom_command(OUTPUT "${changelog_gz}"
  COMMAND gzip -9 -n -c "${FERROW_CHANGELOG}" > "${changelog_gz}"
  DEPENDS "${FERROW_CHANGELOG}")
add_custom_target(package_changelog ALL DEPENDS "${changelog_gz}")
install(FILES "${CMAKE_CURRENT_SOURCE_DIR}/copyright" "${changelog_gz}"
        DESTINATION /usr/share/doc/ferrow-dadira
        COMPONENT ferrow_package_desktop EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "ferrow-dadira")
set(CPACK_PACKAGE_VENDOR "Ferrow")
set(CPACK_PACKAGE_VERSION "${FERROW_RELEASE_VERSION}")
set(CPACK_PACKAGE_CONTACT "${FERROW_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Ferrow Dadira desktop application")
# Debian's lines are at most 80 characters long.
set(CPACK_PACKAGE_DESCRIPTION
    "The Ferrow Dadira desktop application for Linux, with its desktop entry\n(the handler of ferrow-dadira: links), icon and AppStream metadata.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "misc")
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE "${FERROW_TARGET_DEBIAN_ARCH}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The executable and every library of the bundle, the plugins' and the
# engine's too (flutter/install_bundled_libraries.cmake).
set(CPACK_STRIP_FILES ON)
# The bundle's own libraries are found through the executable's run path;
# this tells dpkg-shlibdeps they belong to the package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    ".${FERROW_PACKAGE_PREFIX}/lib")

# The bundle is installed with its prefix set to /opt/ferrow-dadira; the
# system's files name absolute paths, so the package is staged with DESTDIR.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX "${FERROW_PACKAGE_PREFIX}")
set(CPACK_PACKAGING_INSTALL_PREFIX "${FERROW_PACKAGE_PREFIX}")

# One package of every component but the bundle's own desktop files, whose
# place the system's copy takes.
get_cmake_property(ferrow_components COMPONENTS)
list(REMOVE_ITEM ferrow_components ferrow_bundle_desktop)
set(CPACK_COMPONENTS_ALL ${ferrow_components})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)

include(CPack)
