# Debian packages made by CPack (`cpack -G DEB` in the build folder):
#   vexhaltools     the programs, desktop entry, metainfo, icons, udev rule
#   libostrane0     Ostrane's runtime library, libostrane.so.0
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
# Install components, grouped into the three packages.
set(CPACK_COMPONENTS_ALL vexhaltools ostrane ostrane-dev)
set(CPACK_COMPONENT_VEXHALTOOLS_GROUP vexhaltools)
set(CPACK_COMPONENT_OSTRANE_GROUP libostrane0)
set(CPACK_COMPONENT_OSTRANE-DEV_GROUP libostrane-dev)
set(CPACK_COMPONENTS_GROUPING ONE_PER_GROUP)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VEXHAL_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Library dependencies come from dpkg-shlibdeps. It finds libostrane.so.0 in the build folder;
# the exact dependency on libostrane0 is named below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/logkit)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(VEXHAL_DEB_EXACT "${PROJECT_VERSION}-${VEXHAL_DEB_RELEASE}")

set(CPACK_DEBIAN_VEXHALTOOLS_PACKAGE_NAME vexhaltools)
set(CPACK_DEBIAN_VEXHALTOOLS_PACKAGE_SECTION video)
set(CPACK_DEBIAN_VEXHALTOOLS_PACKAGE_RECOMMENDS "qt6-qpa-plugins, qt6-wayland")
# A font with full-width punctuation and Chinese characters, which some texts use; a fresh
# system has none and would draw them as boxes. dpkg-shlibdeps adds the libraries to this.
set(CPACK_DEBIAN_VEXHALTOOLS_PACKAGE_DEPENDS
  "libostrane0 (= ${VEXHAL_DEB_EXACT}), fonts-wqy-microhei | fonts-noto-cjk")
# Own maintainer scripts: the udev rule is reloaded.
set(CPACK_DEBIAN_VEXHALTOOLS_PACKAGE_CONTROL_EXTRA
  ${PROJECT_SOURCE_DIR}/packaging/debian/postinst
  ${PROJECT_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_VEXHALTOOLS_DESCRIPTION "settings and firmware tool for USB conference cameras
VexhalTools lists the maker's USB conference cameras, changes their image
settings with a live preview and updates their firmware. A udev rule lets
the user at the local seat use the camera without root.")

set(CPACK_DEBIAN_LIBOSTRANE0_PACKAGE_NAME libostrane0)
set(CPACK_DEBIAN_LIBOSTRANE0_PACKAGE_SECTION libs)
# An ldconfig trigger instead of ldconfig calls in maintainer scripts. CPack writes such scripts
# for a library in /usr/lib unless the package names its own: the two names below point at no
# file, so the package has no maintainer scripts at all.
set(CPACK_DEBIAN_LIBOSTRANE0_PACKAGE_CONTROL_EXTRA
  ${PROJECT_SOURCE_DIR}/packaging/debian/libostrane0/triggers
  ${PROJECT_BINARY_DIR}/no-maintainer-scripts/postinst
  ${PROJECT_BINARY_DIR}/no-maintainer-scripts/postrm)
set(CPACK_DEBIAN_LIBOSTRANE0_DESCRIPTION "logging library of VexhalTools
Ostrane writes rotating, per-day log files in the user's cache folder and
exports them as a zip archive. This package holds its shared library.")

set(CPACK_DEBIAN_LIBOSTRANE-DEV_PACKAGE_NAME libostrane-dev)
set(CPACK_DEBIAN_LIBOSTRANE-DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_LIBOSTRANE-DEV_PACKAGE_DEPENDS "libostrane0 (= ${VEXHAL_DEB_EXACT})")
set(CPACK_DEBIAN_LIBOSTRANE-DEV_DESCRIPTION "development files for Ostrane, the VexhalTools logging library
Ostrane writes rotating, per-day log files in the user's cache folder and
exports them as a zip archive. This package holds its C++20 headers, its CMake
package (find_package(Ostrane), target Ostrane::ostrane) and ostrane.pc.")

include(CPack)
