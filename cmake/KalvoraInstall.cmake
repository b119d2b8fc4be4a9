# Where Kalvora's files go when installed, as a Debian desktop program lays them out.
# The programs find their data at <bin>/../share/kalvora at run time, so nothing here is
# compiled in and one build serves any prefix (the Debian package uses /usr).
include(GNUInstallDirs)

install(TARGETS kalvora-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET kalvora)
  install(TARGETS kalvora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

file(GLOB KALVORA_HELP_TEXTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/help/*.txt)
if(KALVORA_HELP_TEXTS)
  install(FILES ${KALVORA_HELP_TEXTS} DESTINATION ${CMAKE_INSTALL_DATADIR}/kalvora/help)
endif()

set(KALVORA_APP_ID org.example.Kalvora)
install(FILES data/${KALVORA_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/${KALVORA_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES data/icons/kalvora.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Desktop sessions read autostart entries only from $XDG_CONFIG_DIRS (/etc/xdg), never from
# below the prefix.
set(KALVORA_AUTOSTART_DIR /etc/xdg/autostart CACHE PATH
    "Folder of the system-wide autostart entry that starts Kalvora in the tray after login")
install(FILES data/${KALVORA_APP_ID}.autostart.desktop DESTINATION ${KALVORA_AUTOSTART_DIR}
        RENAME ${KALVORA_APP_ID}.desktop)

# Manual pages and the Debian changelog, compressed as Debian expects (gzip -9n).
set(KALVORA_COMPRESSED)
foreach(source data/man/kalvora.1 data/man/kalvora-cli.1 data/debian/changelog)
  get_filename_component(name ${source} NAME)
  set(output ${PROJECT_BINARY_DIR}/data/${name}.gz)
  add_custom_command(
    OUTPUT ${output}
    COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" sh ${PROJECT_SOURCE_DIR}/${source} ${output}
    DEPENDS ${source}
    VERBATIM)
  list(APPEND KALVORA_COMPRESSED ${output})
endforeach()
add_custom_target(kalvora_compressed_data ALL DEPENDS ${KALVORA_COMPRESSED})
install(FILES ${PROJECT_BINARY_DIR}/data/kalvora.1.gz ${PROJECT_BINARY_DIR}/data/kalvora-cli.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_BINARY_DIR}/data/changelog.gz data/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/kalvora)
