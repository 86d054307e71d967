# The Debian package: `cpack -G DEB` in a Release build gives scale-readout_VERSION_ARCH.deb
# with what cmake/install.cmake installs, under /usr. The libraries come from dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME scale-readout)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${SCALE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "read and test weighing indicators over a serial line")
# CPack writes an apostrophe in it as "&apos;": the text has none.
set(CPACK_PACKAGE_DESCRIPTION_FILE ${CMAKE_SOURCE_DIR}/packaging/description.txt)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${SCALE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${SCALE_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's captions are Chinese; any CJK font shows them. The narrow Nimbus faces keep the
# selection boxes' texts and the readout inside the design's sizes whichever CJK font it is.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-zenhei | fonts-noto-cjk, fonts-urw-base35")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "mosquitto-clients")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
