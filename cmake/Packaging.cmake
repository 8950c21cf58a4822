# The Debian package (scripts/package, option VR_PACKAGE): install rules for
# the program, the modem simulator and their desktop integration, and CPack's
# DEB settings. Files that go into the package as they stand are in packaging/.
if(NOT VR_WITH_QT OR CMAKE_CROSSCOMPILING OR NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
  message(FATAL_ERROR "VR_PACKAGE needs a native Linux build with the Qt windows")
endif()

set(VR_PACKAGE_NAME varnetrix-reader)
set(VR_MAINTAINER "Varnetrix Reader maintainers <maintainers@users.noreply.c-seed-616ca426.example>")
# AppStream wants a reverse domain name of the project's own, and screenshots
# on the web. The project has no public home yet: example.org holds its place
# in both until it has one (then the old id goes into <replaces>).
set(VR_APPSTREAM_ID org.example.VarnetrixReader)
set(VR_SCREENSHOT_URL "https://example.org/varnetrix-reader/docs" CACHE STRING
  "Web address of the folder that serves the README's pictures (docs/), for the AppStream screenshots")

set(pkg ${CMAKE_SOURCE_DIR}/packaging)
set(gen ${CMAKE_BINARY_DIR}/packaging)
set(docdir share/doc/${VR_PACKAGE_NAME})
# Debian's permissions whatever the umask of whoever builds.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS varnetrix-reader slm7650-sim RUNTIME DESTINATION bin)
# A stripped package binary also loses the compiler's notes, as Debian's own do.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(program varnetrix-reader slm7650-sim)
      execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/\${program}\" COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()")
install(PROGRAMS ${pkg}/varnetrix-reader-desktop DESTINATION bin)
install(FILES ${pkg}/varnetrix-reader.desktop DESTINATION share/applications)
install(FILES ${pkg}/copyright DESTINATION ${docdir})

# Dates: scripts/package sets SOURCE_DATE_EPOCH to the last commit's time,
# which string(TIMESTAMP) takes, so a rebuild of the same sources is the same.
string(TIMESTAMP VR_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP VR_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${pkg}/metainfo.xml.in ${gen}/${VR_APPSTREAM_ID}.metainfo.xml @ONLY)
install(FILES ${gen}/${VR_APPSTREAM_ID}.metainfo.xml DESTINATION share/metainfo)
configure_file(${pkg}/changelog.in ${gen}/changelog @ONLY)

# Icons at the usual sizes, rendered from the front-panel picture at build time.
add_executable(vr_make_icons ${pkg}/icon/make_icons.cpp)
target_link_libraries(vr_make_icons PRIVATE vr_app)
set(icon_sizes 16 22 24 32 48 64 128 256)
set(icons)
foreach(n IN LISTS icon_sizes)
  list(APPEND icons ${gen}/icons/${n}x${n}/apps/${VR_PACKAGE_NAME}.png)
endforeach()
add_custom_command(OUTPUT ${icons}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
    $<TARGET_FILE:vr_make_icons> ${gen}/icons ${icon_sizes}
  DEPENDS vr_make_icons
  COMMENT "Rendering the icons"
  VERBATIM)

# Manual pages and the changelog, compressed without a time stamp as Debian wants.
set(compressed)
foreach(pair IN ITEMS "${pkg}/man/varnetrix-reader.1|man/varnetrix-reader.1.gz"
                      "${pkg}/man/slm7650-sim.1|man/slm7650-sim.1.gz"
                      "${gen}/changelog|changelog.gz")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 in)
  list(GET pair 1 out)
  add_custom_command(OUTPUT ${gen}/${out}
    COMMAND sh -c "gzip -9n -c \"$1\" >\"$2\"" sh ${in} ${gen}/${out}
    DEPENDS ${in}
    VERBATIM)
  list(APPEND compressed ${gen}/${out})
endforeach()
add_custom_target(vr_package_files ALL DEPENDS ${icons} ${compressed})
# The starter script shares the program's page.
file(MAKE_DIRECTORY ${gen}/man)
file(CREATE_LINK varnetrix-reader.1.gz ${gen}/man/varnetrix-reader-desktop.1.gz SYMBOLIC)

foreach(n IN LISTS icon_sizes)
  install(FILES ${gen}/icons/${n}x${n}/apps/${VR_PACKAGE_NAME}.png DESTINATION share/icons/hicolor/${n}x${n}/apps)
endforeach()
install(FILES ${gen}/man/varnetrix-reader.1.gz ${gen}/man/varnetrix-reader-desktop.1.gz ${gen}/man/slm7650-sim.1.gz
  DESTINATION share/man/man1)
install(FILES ${gen}/changelog.gz DESTINATION ${docdir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${VR_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Varnetrix Reader developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "monitor and control an SLM-7650 satellite modem")
# Lines as they stand in the control file: at most 80 characters.
set(CPACK_PACKAGE_DESCRIPTION [[
Varnetrix Reader is for the operator of a weather-satellite ground station:
it monitors and controls an SLM-7650 satellite modem over a serial line. It
tunes fifteen satellite channels, recalls the modem's stored configurations,
polls the receive status twice a second, folds the measured frequency offset
back into the tuning, sweeps 136-155 MHz and plots level against frequency,
and has a raw request console.

The package also holds slm7650-sim, a modem simulator on a pseudo-terminal,
for trying the program without a modem.]])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VR_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries the binaries link come from dpkg-shlibdeps. Qt's platform
# plugins are loaded at run time, so no binary names them: without them
# (libqt6gui6 only recommends them) the program cannot open a window.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
include(CPack)
