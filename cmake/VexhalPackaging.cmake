# Debian packages made by CPack (`cpack -G DEB` in the build folder):
#   vexhaltools     the program, libostrane.so.0, desktop entry, metainfo, icons, udev rule
#   libostrane-dev  Ostrane's headers, CMake package and pkg-config file
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vexhaltools)
set(CPACK_PACKAGE_VENDOR "The VexhalTools developers")
set(CPACK_PACKAGE_CONTACT "The VexhalTools developers <maintainers@vexhal.example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Empty, so each package's description below starts with its own summary line.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://vexhal.example.org/")
set(CPACK_STRIP_FILES ON)
set(CPACK_SET_DESTDIR OFF)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Install components, grouped into the two packages.
set(CPACK_COMPONENTS_ALL vexhaltools ostrane ostrane-dev)
set(CPACK_COMPONENT_VEXHALTOOLS_GROUP vexhaltools)
set(CPACK_COMPONENT_OSTRANE_GROUP vexhaltools)
set(CPACK_COMPONENT_OSTRANE-DEV_GROUP libostrane-dev)
set(CPACK_COMPONENTS_GROUPING ONE_PER_GROUP)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VEXHAL_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Library dependencies come from dpkg-shlibdeps; libostrane.so.0 ships in the same package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS usr/${CMAKE_INSTALL_LIBDIR})
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)

set(CPACK_DEBIAN_VEXHALTOOLS_PACKAGE_NAME vexhaltools)
set(CPACK_DEBIAN_VEXHALTOOLS_PACKAGE_SECTION video)
set(CPACK_DEBIAN_VEXHALTOOLS_PACKAGE_RECOMMENDS "qt6-qpa-plugins, qt6-wayland")
# A font with full-width punctuation and Chinese characters, which some texts use; a fresh
# system has none and would draw them as boxes. dpkg-shlibdeps adds the libraries to this.
set(CPACK_DEBIAN_VEXHALTOOLS_PACKAGE_DEPENDS "fonts-wqy-microhei | fonts-noto-cjk")
# Own maintainer scripts (udev reload) and an ldconfig trigger instead of CPack's ldconfig calls.
set(CPACK_DEBIAN_VEXHALTOOLS_PACKAGE_CONTROL_EXTRA
  ${PROJECT_SOURCE_DIR}/packaging/debian/postinst
  ${PROJECT_SOURCE_DIR}/packaging/debian/postrm
  ${PROJECT_SOURCE_DIR}/packaging/debian/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_VEXHALTOOLS_DESCRIPTION "settings and firmware tool for USB conference cameras
VexhalTools lists the maker's USB conference cameras, changes their image
settings with a live preview and updates their firmware. A udev rule lets
the user at the local seat use the camera without root.

The package also holds Ostrane, the program's logging library.")

set(CPACK_DEBIAN_LIBOSTRANE-DEV_PACKAGE_NAME libostrane-dev)
set(CPACK_DEBIAN_LIBOSTRANE-DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_LIBOSTRANE-DEV_PACKAGE_DEPENDS
  "vexhaltools (= ${PROJECT_VERSION}-${VEXHAL_DEB_RELEASE})")
set(CPACK_DEBIAN_LIBOSTRANE-DEV_DESCRIPTION "development files for Ostrane, the VexhalTools logging library
Ostrane writes rotating, per-day log files in the user's cache folder and
exports them as a zip archive. This package holds its C++20 headers, its CMake
package (find_package(Ostrane), target Ostrane::ostrane) and ostrane.pc.")

include(CPack)
