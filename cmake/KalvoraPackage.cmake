# The Debian package, made by `cpack -G DEB` over a built tree (scripts/package).

# Users see the product version of config/ProductVersion.h ("2.1 RC5"); the package
# version is the project version with the release candidate after a tilde (2.1~rc5), which
# Debian sorts before the final 2.1.
file(STRINGS ${PROJECT_SOURCE_DIR}/src/config/ProductVersion.h KALVORA_PRODUCT_VERSION_LINE
     REGEX "kProductVersion\\[\\] = ")
string(REGEX REPLACE ".*\"(.*)\".*" "\\1" KALVORA_PRODUCT_VERSION "${KALVORA_PRODUCT_VERSION_LINE}")
if(KALVORA_PRERELEASE)
  string(TOUPPER "${PROJECT_VERSION} ${KALVORA_PRERELEASE}" KALVORA_EXPECTED_PRODUCT_VERSION)
  set(KALVORA_PACKAGE_VERSION "${PROJECT_VERSION}~${KALVORA_PRERELEASE}")
else()
  set(KALVORA_EXPECTED_PRODUCT_VERSION "${PROJECT_VERSION}")
  set(KALVORA_PACKAGE_VERSION "${PROJECT_VERSION}")
endif()
if(NOT KALVORA_PRODUCT_VERSION STREQUAL KALVORA_EXPECTED_PRODUCT_VERSION)
  message(FATAL_ERROR "Product version \"${KALVORA_PRODUCT_VERSION}\" in ProductVersion.h "
                      "does not match the project version \"${KALVORA_EXPECTED_PRODUCT_VERSION}\"")
endif()

set(KALVORA_PACKAGE_MAINTAINER "Kalvora developers <packages@example.org>" CACHE STRING
    "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kalvora)
set(CPACK_PACKAGE_VENDOR "Kalvora developers")
set(CPACK_PACKAGE_VERSION ${KALVORA_PACKAGE_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "import patient images from CDs, DVDs and USB sticks into DICOM stations")
set(CPACK_PACKAGE_DESCRIPTION
    "Kalvora waits in the tray for a patient medium. It walks the medium, loads
every file as DICOM, gives the images the local patient ID or anonymizes them
if asked, copies them into a private job folder and sends the job by DICOM
C-STORE to the configured stations.
.
The package holds the tray application kalvora and the command line
kalvora-cli, which runs the same engine without a desktop.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_VERSION ${KALVORA_PACKAGE_VERSION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KALVORA_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The DICOM tools (storescp, dcmdump, ...) help to check a station or a medium.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS dcmtk)
if(TARGET kalvora)
  # Qt loads the SVG icon engine as a plugin, which the library dependencies do not show.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS libqt6svg6)
endif()
# GNOME shows tray icons only with this extension; other desktops have a tray of their own.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS gnome-shell-extension-appindicator)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# The autostart entry lives in /etc: a conffile, so a site's edits survive upgrades.
if(KALVORA_AUTOSTART_DIR MATCHES "^/etc/")
  file(WRITE ${PROJECT_BINARY_DIR}/debian/conffiles
       "${KALVORA_AUTOSTART_DIR}/${KALVORA_APP_ID}.desktop\n")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/conffiles)
endif()

include(CPack)
