# `cmake --install`: the programs, the default setup file beside them (the application looks for
# it in its own directory), and the window's desktop entry, icon and udev rule.
include(GNUInstallDirs)

install(TARGETS ostra-cli zavik-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES "${OSTRA_DEFAULT_SETUP_FILE}" DESTINATION ${CMAKE_INSTALL_BINDIR})
if(OSTRA_BUILD_WINDOW)
    install(TARGETS ostra RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES "${PROJECT_SOURCE_DIR}/data/ostra.desktop"
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES "${PROJECT_SOURCE_DIR}/data/ostra.svg"
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()
install(FILES "${PROJECT_SOURCE_DIR}/data/60-zavik-driver.rules"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/ostra)
