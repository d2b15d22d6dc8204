# Installation and packages: `cpack` in a build folder makes the package of its
# platform. Linux: a .deb that puts the program, its desktop entry and its icon in
# the usual places, so that it appears in the desktop's program menu, with the
# Debian packages it needs worked out from the libraries it links. Windows: a zip of
# the one static vellumite.exe and the README.
if(NOT TARGET vellumite)
  return()
endif()

set(CPACK_PACKAGE_NAME vellumite)
set(CPACK_PACKAGE_VENDOR "Vellumite")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Fills a drive's free space with throw-away files of zeroes, ones or random data")
set(CPACK_PACKAGE_DESCRIPTION
  "Vellumite writes fill files of a chosen size and number (all 0x00, all 0xFF or\n\
pseudo-random bytes) into a folder of your choice, one 1 MiB block at a time.\n\
Once the drive is nearly full and the files are deleted again, its free space\n\
has been overwritten. Vellumite never deletes the fill files itself.")
set(CPACK_PACKAGE_CONTACT "Vellumite developers <vellumite@localhost>")
set(CPACK_RESOURCE_FILE_README ${CMAKE_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR "")

if(WIN32)
  # Everything at the top of the zip: unpacked, vellumite.exe starts as it is.
  install(TARGETS vellumite RUNTIME DESTINATION .)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_PACKAGE_FILE_NAME
    "vellumite-${PROJECT_VERSION}-windows-${CMAKE_SYSTEM_PROCESSOR}")
else()
  include(GNUInstallDirs)
  install(TARGETS vellumite RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # Exec=vellumite and Icon=vellumite of the entry are found through PATH and the
  # icon theme; the desktop's menu picks the entry up from share/applications.
  install(FILES ${CMAKE_SOURCE_DIR}/resources/vellumite.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/icon.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps RENAME vellumite.png)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vellumite)

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The dependencies (libc6, the Qt 6 runtime, ...) as dpkg-shlibdeps finds them.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
