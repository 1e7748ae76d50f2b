# What `cmake --install` puts where besides the help file (data/CMakeLists.txt puts that into
# share/veldan/, which is how the program knows it is installed): the program, and the desktop
# entry and the icon where desktops look for them.
include(GNUInstallDirs)

if(TARGET veldan)
  install(TARGETS veldan RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES ${CMAKE_SOURCE_DIR}/data/veldan.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/veldan.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
