# What `cmake --install` puts where besides the help file (data/CMakeLists.txt puts that into
# share/veldan/, which is how the program knows it is installed): the program, and the desktop
# entry, the AppStream metainfo, the manual page and the icon where desktops and man look for them.
include(GNUInstallDirs)

install(TARGETS veldan RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/data/veldan.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/io.github.veldan.veldan.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/data/veldan.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/data/veldan.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# Rendered sizes for desktops that do not draw SVG icons.
foreach(size 32 64 128 256)
  install(FILES ${CMAKE_SOURCE_DIR}/data/icons/veldan-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME veldan.png)
endforeach()
