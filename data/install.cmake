# What `cmake --install` puts where. The program looks for VELDAN.HLP (and its equalizer preset)
# in its own folder, so the help file goes into bin/ beside it; the desktop entry and the icon
# go where desktops look for them.
include(GNUInstallDirs)

if(TARGET veldan)
  install(TARGETS veldan RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/data/VELDAN.HLP)
  install(FILES ${CMAKE_SOURCE_DIR}/data/VELDAN.HLP DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES ${CMAKE_SOURCE_DIR}/data/veldan.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/veldan.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
