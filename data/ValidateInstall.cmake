# Installs the build into a scratch prefix and runs the freedesktop validators on
# what landed there, so that what is checked is what a user gets.
set(prefix "${BUILD_DIR}/validate-install")
file(REMOVE_RECURSE "${prefix}")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  message("${out}")
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGN}")
  endif()
endfunction()

run(${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}")

foreach(expected
    bin/caldrin
    share/man/man1/caldrin.1.gz
    share/applications/${APP_ID}.desktop
    share/metainfo/${APP_ID}.metainfo.xml
    share/icons/hicolor/scalable/apps/${APP_ID}.svg
    share/icons/hicolor/16x16/apps/${APP_ID}.png
    share/icons/hicolor/32x32/apps/${APP_ID}.png
    share/icons/hicolor/48x48/apps/${APP_ID}.png
    share/icons/hicolor/64x64/apps/${APP_ID}.png
    share/icons/hicolor/128x128/apps/${APP_ID}.png
    share/icons/hicolor/256x256/apps/${APP_ID}.png)
  if(NOT EXISTS "${prefix}/${expected}")
    message(FATAL_ERROR "not installed: ${expected}")
  endif()
endforeach()

run(${DESKTOP_FILE_VALIDATE} "${prefix}/share/applications/${APP_ID}.desktop")
run(${APPSTREAMCLI} validate --no-net "${prefix}/share/metainfo/${APP_ID}.metainfo.xml")
# The metainfo's launchable and icon must find the installed desktop entry and icon.
run(${APPSTREAMCLI} validate-tree --no-net "${prefix}")
file(REMOVE_RECURSE "${prefix}")
message("desktop entry, metainfo and icons installed and valid")
