# Installing Archive on a practice's workstations: `cmake --install` rules and the Debian
# package made with CPack (scripts/package). The package holds the program, the help book,
# the man page, example Folders.xml, corvane.xml and layouts, desktop entries for "Archive"
# and "Corvane Pack" under a "Corvane" menu, and an application folder of its own
# (/opt/tarnwell/archive: corvane.xml, Folders.xml, the layouts and the blank template
# BlankDbc that creating an archive needs), which the program uses when the suite's own
# application folder is not on the workstation.
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

# The application folder. BlankDbc is written at build time by make-sample-data --blank.
set(ARCHIVE_APP_FOLDER /opt/tarnwell/archive)
set(BLANK_DBC ${CMAKE_BINARY_DIR}/packaging/BlankDbc)
add_custom_command(OUTPUT ${BLANK_DBC}/Corvane.dbc
                   COMMAND ${CMAKE_COMMAND} -E rm -rf ${BLANK_DBC}
                   COMMAND make-sample-data --blank ${BLANK_DBC} > /dev/null
                   DEPENDS make-sample-data)
add_custom_target(blank_template ALL DEPENDS ${BLANK_DBC}/Corvane.dbc)
add_dependencies(Archive blank_template)
install(FILES ${CMAKE_SOURCE_DIR}/demo/corvane.xml ${CMAKE_SOURCE_DIR}/demo/Folders.xml DESTINATION ${ARCHIVE_APP_FOLDER})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/demo/etc DESTINATION ${ARCHIVE_APP_FOLDER})
install(DIRECTORY ${BLANK_DBC} DESTINATION ${ARCHIVE_APP_FOLDER})

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
# Files a practice may edit are kept over an upgrade and asked about, as Debian does for them.
set(ARCHIVE_CONFFILES ${ARCHIVE_APP_FOLDER}/corvane.xml ${ARCHIVE_APP_FOLDER}/Folders.xml
    /etc/xdg/menus/applications-merged/corvane.menu)
file(GLOB ARCHIVE_LAYOUTS RELATIVE ${CMAKE_SOURCE_DIR}/demo/etc ${CMAKE_SOURCE_DIR}/demo/etc/*.lyt)
foreach(layout IN LISTS ARCHIVE_LAYOUTS)
  list(APPEND ARCHIVE_CONFFILES ${ARCHIVE_APP_FOLDER}/etc/${layout})
endforeach()
list(JOIN ARCHIVE_CONFFILES "\n" ARCHIVE_CONFFILES_TEXT)
file(WRITE ${CMAKE_BINARY_DIR}/packaging/conffiles "${ARCHIVE_CONFFILES_TEXT}\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/packaging/conffiles ${CMAKE_CURRENT_LIST_DIR}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
