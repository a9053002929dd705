# `cmake --install <build> --prefix <P>` puts the game where a desktop finds it:
# P/games/redavave, its resources under P/share/redavave, a menu entry, icons,
# AppStream metadata and a manual page. The generated resources and icons are
# installed by tools/CMakeLists.txt, which knows their files.
include(GNUInstallDirs)

set(REDAVAVE_APP_ID org.redavave.Redavave)
set(REDAVAVE_SCREENSHOT_URL "" CACHE STRING
  "Web address of a screenshot for the AppStream metadata (software centres need one on the web)")

set(packaging ${PROJECT_SOURCE_DIR}/packaging/linux)
if(REDAVAVE_SCREENSHOT_URL)
  set(REDAVAVE_SCREENSHOTS "  <screenshots>
    <screenshot type=\"default\">
      <caption>A song being played: blocks in three lanes over the planets</caption>
      <image>${REDAVAVE_SCREENSHOT_URL}</image>
    </screenshot>
  </screenshots>
")
else()
  set(REDAVAVE_SCREENSHOTS "")
endif()
configure_file(${packaging}/${REDAVAVE_APP_ID}.metainfo.xml.in
  ${CMAKE_BINARY_DIR}/${REDAVAVE_APP_ID}.metainfo.xml @ONLY)

# Debian keeps games in P/games; the game finds its files from there as from P/bin.
install(TARGETS redavave RUNTIME DESTINATION games)
# The game's own FFmpeg, in a folder of the game's, found from P/games.
if(REDAVAVE_FFMPEG_LIBS)
  install(DIRECTORY ${REDAVAVE_FFMPEG_LIBS}/ DESTINATION lib/redavave)
endif()
install(FILES ${packaging}/${REDAVAVE_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_BINARY_DIR}/${REDAVAVE_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${packaging}/redavave.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
