# What a desktop needs to offer the installed player: its menu entry
# (share/applications), its icon in the hicolor theme, as the SVG source
# and as PNGs of the sizes menus and docks ask for, and its AppStream
# metainfo (share/metainfo), which software centres list. Included from
# res/CMakeLists.txt, which has found rsvg-convert.
set(TESSEL_DESKTOP_ID tessel-audio-player)
set(_icon_src ${CMAKE_CURRENT_SOURCE_DIR}/appIcon.svg)
set(_icon_dir ${CMAKE_CURRENT_BINARY_DIR}/hicolor)
set(_icon_pngs)
foreach(_size 16 22 24 32 48 64 128 256 512)
  set(_png ${_icon_dir}/${_size}/${TESSEL_DESKTOP_ID}.png)
  add_custom_command(OUTPUT ${_png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_icon_dir}/${_size}
    COMMAND ${RSVG_CONVERT} -w ${_size} -h ${_size} -o ${_png} ${_icon_src}
    DEPENDS ${_icon_src}
    COMMENT "Drawing the ${_size} px application icon"
    VERBATIM)
  list(APPEND _icon_pngs ${_png})
  install(FILES ${_png}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps)
endforeach()
add_custom_target(tessel_desktop_icons ALL DEPENDS ${_icon_pngs})

install(FILES ${_icon_src} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${TESSEL_DESKTOP_ID}.svg)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/${TESSEL_DESKTOP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The date of the release the metainfo names, with the version.
set(TESSEL_RELEASE_DATE 2026-12-07)
set(TESSEL_APPSTREAM_ID org.tesselprograms.TesselAudioPlayer)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/${TESSEL_APPSTREAM_ID}.metainfo.xml.in
               ${CMAKE_CURRENT_BINARY_DIR}/${TESSEL_APPSTREAM_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${TESSEL_APPSTREAM_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
