# What `cmake --install` puts where (GNUInstallDirs): the three programs, the desktop entry, the
# AppStream metainfo, the icons, the manual pages and the documentation; then the Debian package.
include(GNUInstallDirs)

# One ID for the desktop entry, the metainfo and the icons; main.cpp names it too.
set(SCALE_APP_ID io.github.scalereadout.ScaleReadout)
# The release of PROJECT_VERSION, for the metainfo, the manual pages and the changelog.
set(SCALE_RELEASE_DATE 2026-12-07)
set(SCALE_MAINTAINER "scale-readout maintainers <maintainers@scale-readout.example>")
set(SCALE_HOMEPAGE https://github.com/scalereadout/scale-readout)

find_program(SCALE_RSVG_CONVERT rsvg-convert REQUIRED)
find_program(SCALE_GZIP gzip REQUIRED)
find_program(SCALE_DATE date REQUIRED)
execute_process(COMMAND ${SCALE_DATE} -u -R -d "${SCALE_RELEASE_DATE} 12:00"
    OUTPUT_VARIABLE SCALE_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
    COMMAND_ERROR_IS_FATAL ANY)

set(scale_packaging ${CMAKE_SOURCE_DIR}/packaging)
set(scale_staged ${CMAKE_BINARY_DIR}/packaging)
set(scale_generated)

# Debian wants manual pages and changelogs compressed, without a name or time stamp in the
# header so that a rebuild gives the same bytes.
function(scale_gzipped source output)
    get_filename_component(plain ${output} NAME_WLE)
    get_filename_component(folder ${output} DIRECTORY)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${folder}/${plain}
        COMMAND ${SCALE_GZIP} -9nf ${folder}/${plain}
        DEPENDS ${source} VERBATIM)
    set(scale_generated ${scale_generated} ${output} PARENT_SCOPE)
endfunction()

install(TARGETS scale-readout indicator-sim scale-read scale-wedge RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The tray program's own entry, "Scale to keyboard", with the window's icon.
install(FILES ${scale_packaging}/${SCALE_APP_ID}.desktop
    ${scale_packaging}/io.github.scalereadout.ScaleWedge.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${scale_packaging}/${SCALE_APP_ID}.metainfo.xml.in
    ${scale_staged}/${SCALE_APP_ID}.metainfo.xml @ONLY)
install(FILES ${scale_staged}/${SCALE_APP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The icon as drawn, and PNGs rendered from it for desktops that want bitmaps.
set(scale_icon ${scale_packaging}/${SCALE_APP_ID}.svg)
install(FILES ${scale_icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
    set(folder ${scale_staged}/icons/${size}x${size})
    add_custom_command(OUTPUT ${folder}/${SCALE_APP_ID}.png
        COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
        COMMAND ${SCALE_RSVG_CONVERT} --width ${size} --height ${size}
                --output ${folder}/${SCALE_APP_ID}.png ${scale_icon}
        DEPENDS ${scale_icon} VERBATIM)
    list(APPEND scale_generated ${folder}/${SCALE_APP_ID}.png)
    install(FILES ${folder}/${SCALE_APP_ID}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

foreach(page scale-readout indicator-sim scale-read scale-wedge)
    configure_file(${scale_packaging}/man/${page}.1.in ${scale_staged}/man/${page}.1 @ONLY)
    scale_gzipped(${scale_staged}/man/${page}.1 ${scale_staged}/man/gz/${page}.1.gz)
    install(FILES ${scale_staged}/man/gz/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

configure_file(${scale_packaging}/copyright.in ${scale_staged}/copyright @ONLY)
configure_file(${scale_packaging}/changelog.in ${scale_staged}/changelog @ONLY)
scale_gzipped(${scale_staged}/changelog ${scale_staged}/gz/changelog.gz)
install(FILES ${scale_staged}/copyright ${scale_staged}/gz/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${CMAKE_SOURCE_DIR}/docs/scale-read.service
    DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

add_custom_target(install-data ALL DEPENDS ${scale_generated})

include(${CMAKE_CURRENT_LIST_DIR}/debian.cmake)
