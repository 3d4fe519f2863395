# Installing Archive on a practice's workstations: `cmake --install` rules and the Debian
# package made with CPack (scripts/package). The package holds the program, the help book,
# the man page, example Folders.xml, corvane.xml and layouts, and desktop entries for
# "Archive" and "Corvane Pack" under a "Corvane" menu.
include(GNUInstallDirs)

install(TARGETS Archive RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/help/ DESTINATION ${CMAKE_INSTALL_DATADIR}/archive/help FILES_MATCHING PATTERN "*.html")
install(FILES ${CMAKE_SOURCE_DIR}/demo/Folders.xml ${CMAKE_SOURCE_DIR}/demo/corvane.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/archive/examples)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/demo/etc DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/archive/examples)

# The man page, with the version filled in and compressed as Debian keeps man pages.
configure_file(${CMAKE_CURRENT_LIST_DIR}/Archive.1 ${CMAKE_BINARY_DIR}/packaging/Archive.1 @ONLY)
find_program(GZIP_PROGRAM gzip REQUIRED)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/Archive.1.gz
                   COMMAND ${GZIP_PROGRAM} -9 -n -c ${CMAKE_BINARY_DIR}/packaging/Archive.1 > ${CMAKE_BINARY_DIR}/packaging/Archive.1.gz
                   DEPENDS ${CMAKE_BINARY_DIR}/packaging/Archive.1)
add_custom_target(man_page ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/Archive.1.gz)
add_dependencies(Archive man_page)
install(FILES ${CMAKE_BINARY_DIR}/packaging/Archive.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${CMAKE_CURRENT_LIST_DIR}/corvane-archive.desktop ${CMAKE_CURRENT_LIST_DIR}/corvane-pack.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/corvane.directory DESTINATION ${CMAKE_INSTALL_DATADIR}/desktop-directories)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/corvane.menu DESTINATION /etc/xdg/menus/applications-merged)

# `make install` and cpack install what is built; scripts/package builds the program first,
# so the tests and benchmarks are not built for a package.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME archive)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tarnwell")
set(CPACK_PACKAGE_CONTACT "Corvane support <support@corvane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Corvane patient archival: archive and restore patients of a practice database")
set(CPACK_PACKAGE_DESCRIPTION "Archive moves patients of a Corvane practice database (Visual FoxPro files)\n into an archive database and back, with a window, a batch command line and a\n help book.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "man-db")
include(CPack)
