# Installing and packaging. The program keeps its own folder: the program file, its
# libraries, its two controls and its read-only pictures live together in
# <prefix>/lib/arkavo (found through $ORIGIN), and <prefix>/bin/arkavo points there. What
# it writes goes to the user's data folder when that folder cannot be written (Startup.cpp).
include(GNUInstallDirs)
set(ARKAVO_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/arkavo)
set(desktop_dir ${PROJECT_SOURCE_DIR}/app/resources/desktop)

install(TARGETS arkavo RUNTIME DESTINATION ${ARKAVO_INSTALL_DIR})
# Libraries and controls are loaded, not run: no executable bit.
install(TARGETS globalmem codec pixolve ovisco capteon
  LIBRARY DESTINATION ${ARKAVO_INSTALL_DIR}
  PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(FILES ${PROJECT_SOURCE_DIR}/app/store/unknown-file.bmp DESTINATION ${ARKAVO_INSTALL_DIR})
# The user's guide is made in the build folder beside the program (app/guide).
if(TARGET arkavo_help)
  install(FILES ${CMAKE_BINARY_DIR}/bin/help.pdf DESTINATION ${ARKAVO_INSTALL_DIR})
endif()
# A relative link, so the installed tree can be moved (or unpacked anywhere) as a whole.
install(CODE "
  file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  file(CREATE_LINK ../${ARKAVO_INSTALL_DIR}/arkavo
       \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/arkavo\" SYMBOLIC)")
# Marks the folder as installed: the program writes nothing there, even for root.
install(FILES ${desktop_dir}/arkavo.installed DESTINATION ${ARKAVO_INSTALL_DIR})

install(FILES ${desktop_dir}/arkavo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${desktop_dir}/icons/arkavo.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
  install(FILES ${desktop_dir}/icons/arkavo-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME arkavo.png)
endforeach()

# The Debian package's documents: the copyright notice and a compressed change log.
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/arkavo)
set(changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND gzip -9 -n -c ${desktop_dir}/changelog > ${changelog}
  DEPENDS ${desktop_dir}/changelog)
add_custom_target(arkavo_changelog ALL DEPENDS ${changelog})
install(FILES ${desktop_dir}/copyright ${changelog} DESTINATION ${doc_dir})

set(CPACK_PACKAGE_NAME arkavo)
set(CPACK_PACKAGE_VENDOR "Arkavo")
set(CPACK_PACKAGE_CONTACT "Arkavo developers <arkavo@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "document scanning and filing")
set(CPACK_PACKAGE_DESCRIPTION
  "Arkavo scans paper documents through SANE scanners, cleans the pages and files\n them in a catalogue of cabinets, folders and files, with fields for searching.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY arkavo)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
# What the program needs that no library link shows: the scanner tools and drivers, the
# catalogue's database driver, the Chinese font and the opener of exported files.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libsane1, sane-utils, sane-airscan, fonts-wqy-microhei, xdg-utils, libqt6sql6-sqlite")
# The driver for a catalogue on a PostgreSQL server, needed only when Settings.ini names one.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-psql")
include(CPack)
