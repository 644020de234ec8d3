# Installation and the Debian package: `cmake --install build` puts the
# programs, the engine library, the desktop entry, the icons, the manual
# page and the scheduler's systemd user units in the usual places;
# `cd build && cpack -G DEB` makes the package.
include(GNUInstallDirs)
# `cmake --install` and cpack take what `cmake --build` made; they do not build
# every test program first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# Installed programs find the library next to them: bin/../lib.
set(QB_INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
set_target_properties(quillbox-cli PROPERTIES INSTALL_RPATH "${QB_INSTALL_RPATH}")
install(TARGETS quillbox-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS qbfil LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_SKIP)
if(TARGET quillbox)
  set_target_properties(quillbox PROPERTIES INSTALL_RPATH "${QB_INSTALL_RPATH}")
  install(TARGETS quillbox RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

set(QB_PKG ${CMAKE_SOURCE_DIR}/packaging)
install(FILES ${QB_PKG}/quillbox.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${QB_PKG}/quillbox.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${QB_PKG}/quillbox-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${QB_PKG}/quillbox-scheduler.service ${QB_PKG}/quillbox-scheduler.timer
        DESTINATION lib/systemd/user)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# PNG icons rendered from the SVG at build time (with Qt's SVG renderer).
find_package(Qt6 COMPONENTS Gui Svg QUIET)
if(TARGET Qt6::Svg)
  set(QB_ICON_SIZES 16 24 32 48 64 128 256)
  add_executable(qb_render_icon ${QB_PKG}/render_icon.cpp)
  target_link_libraries(qb_render_icon PRIVATE Qt6::Gui Qt6::Svg)
  set(QB_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
  set(QB_PNGS)
  foreach(n ${QB_ICON_SIZES})
    list(APPEND QB_PNGS ${QB_ICON_DIR}/quillbox-${n}.png)
  endforeach()
  add_custom_command(OUTPUT ${QB_PNGS}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QB_ICON_DIR}
    COMMAND qb_render_icon ${QB_PKG}/quillbox.svg ${QB_ICON_DIR} ${QB_ICON_SIZES}
    DEPENDS qb_render_icon ${QB_PKG}/quillbox.svg
    COMMENT "Rendering the PNG icons")
  add_custom_target(qb_icons ALL DEPENDS ${QB_PNGS})
  foreach(n ${QB_ICON_SIZES})
    install(FILES ${QB_ICON_DIR}/quillbox-${n}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${n}x${n}/apps
            RENAME quillbox.png)
  endforeach()
else()
  message(STATUS "Qt 6 SVG not found: the PNG icons are not rendered (the SVG icon is installed)")
endif()

# ---- the Debian package --------------------------------------------------------
set(CPACK_PACKAGE_NAME quillbox)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quillbox")
set(CPACK_PACKAGE_CONTACT "Quillbox maintainers <quillbox@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "archive and converter for old forum, news and mail messages")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillbox imports the messages that old forum, newsreader and mail programs left on disk\nand lets you browse, search, maintain and export them; with scheduled imports.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://example.org/quillbox")
# The shared libraries the programs use decide the dependencies.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR})
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "pst-utils")
include(CPack)

if(QB_BUILD_TESTS)
  # Builds the package and runs the installed command line from it; skipped
  # where cpack or dpkg are missing.
  add_test(NAME packaging_deb COMMAND sh ${CMAKE_SOURCE_DIR}/scripts/package_test.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(packaging_deb PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300 RUN_SERIAL TRUE)
endif()
