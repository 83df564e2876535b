# What `cmake --install` puts where (the Debian packages are made from it):
# the programs, the starter thesaurus beside them in share/wyc (the programs
# find it there from their own folder), the desktop entry, icons and metainfo,
# the manual pages and the bash completions.
include(GNUInstallDirs)
option(WYC_PNG_ICONS "Render the PNG icon sizes from the SVG icon (needs rsvg-convert)" OFF)

install(TARGETS wyc-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES data/synonyms.txt DESTINATION ${CMAKE_INSTALL_DATADIR}/wyc)
install(FILES man/wyc-cli.1 man/wyc-cli-rewrite.1 man/wyc-cli-batch.1 man/wyc-cli-thesaurus.1
              man/wyc-cli-init-db.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES completion/wyc-cli.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME wyc-cli)

if(WYC_GUI)
  install(TARGETS wyc RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES man/wyc.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES completion/wyc.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
          RENAME wyc)
  configure_file(desktop/wyc.desktop.in ${WYC_APP_ID}.desktop @ONLY)
  configure_file(desktop/wyc.metainfo.xml.in ${WYC_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${WYC_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_BINARY_DIR}/${WYC_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES desktop/wyc.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
          RENAME ${WYC_APP_ID}.svg)
  if(WYC_PNG_ICONS)
    find_program(RSVG_CONVERT rsvg-convert REQUIRED)
    set(pngs)
    foreach(size 16 22 24 32 48 64 128 256)
      set(png ${PROJECT_BINARY_DIR}/icons/${size}/${WYC_APP_ID}.png)
      add_custom_command(OUTPUT ${png}
                         COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/icons/${size}
                         COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png}
                                 ${PROJECT_SOURCE_DIR}/desktop/wyc.svg
                         DEPENDS ${PROJECT_SOURCE_DIR}/desktop/wyc.svg VERBATIM)
      list(APPEND pngs ${png})
      install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
    add_custom_target(wyc_png_icons ALL DEPENDS ${pngs})
  endif()
endif()

if(WYC_SERVER)
  install(TARGETS wyc-server RUNTIME DESTINATION ${CMAKE_INSTALL_SBINDIR})
  install(FILES man/wyc-server.8 DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)
endif()
