# Installing the program as a Linux desktop program: `cmake --install` puts the program folder
# under <prefix>/lib/gifclipmaker, the two commands under <prefix>/bin, and the desktop entry,
# icons and AppStream metainfo under <prefix>/share. Package.cmake makes a .deb of the same files.

include(GNUInstallDirs)

# The program finds its files beside its executable, so the program folder is installed whole.
set(VG_INSTALL_PROGRAM_DIR "lib/gifclipmaker")

# The names the desktop shows for each brand: the title, the company and its web site's name.
set(_vg_brand_table
  "talmori|Talmori GIF Clip Maker|Talmori Studio|talmori"
  "ftalm|Free GIF Clip Maker|Talmori Studio|talmori"
  "durwen|Durwen GIF Clip Maker|Durwen|durwen"
  "pelmat|GIF Clip Maker Pro|Pelmatix|pelmatix"
  "qopa|Qopasoft GIF Clip Maker|Qopasoft|qopasoft"
  "brenvik|Brenviksoft GIF Clip Maker|Brenviksoft|brenviksoft")
foreach(_vg_row IN LISTS _vg_brand_table)
  string(REPLACE "|" ";" _vg_fields "${_vg_row}")
  list(GET _vg_fields 0 _vg_key)
  if(_vg_key STREQUAL VG_BRAND)
    list(GET _vg_fields 1 VG_TITLE)
    list(GET _vg_fields 2 VG_COMPANY)
    list(GET _vg_fields 3 _vg_site)
  endif()
endforeach()
# The desktop entry, the icon and the metainfo share one reverse-DNS identifier.
set(VG_APP_ID "example.${_vg_site}.gifclipmaker")
set(VG_HOMEPAGE "https://www.${_vg_site}.example/gif-clip-maker/guide")
set(VG_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}")
set(VG_RELEASE_DATE "2026-12-07")

set(VG_DESKTOP_DIR "${CMAKE_BINARY_DIR}/desktop")
configure_file(${CMAKE_SOURCE_DIR}/resource/linux/gifclipmaker.desktop.in
               ${VG_DESKTOP_DIR}/${VG_APP_ID}.desktop @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/resource/linux/gifclipmaker.metainfo.xml.in
               ${VG_DESKTOP_DIR}/${VG_APP_ID}.metainfo.xml @ONLY)

# The icon, drawn by our generator at every size the desktop looks up.
add_executable(vg_icongen ${CMAKE_SOURCE_DIR}/resource/generator/icongen.cpp)
target_link_libraries(vg_icongen PRIVATE vg_options Qt6::Gui)
set(VG_ICON_STAMP ${VG_DESKTOP_DIR}/icons.stamp)
add_custom_command(
  OUTPUT ${VG_ICON_STAMP}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
          $<TARGET_FILE:vg_icongen> ${VG_DESKTOP_DIR}/icons ${VG_APP_ID}
  COMMAND ${CMAKE_COMMAND} -E touch ${VG_ICON_STAMP}
  DEPENDS vg_icongen
  COMMENT "Drawing the desktop icons"
  VERBATIM)
add_custom_target(desktop_icons ALL DEPENDS ${VG_ICON_STAMP})

# The program folder (its installation identifier is written separately, below).
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME Program)
install(TARGETS gifclipmaker gifclipmaker-cli RUNTIME DESTINATION ${VG_INSTALL_PROGRAM_DIR})
install(DIRECTORY ${VG_PROGRAM_DIR}/resource ${VG_PROGRAM_DIR}/Languages
        DESTINATION ${VG_INSTALL_PROGRAM_DIR})
install(DIRECTORY ${VG_PROGRAM_DIR}/Skin/${VG_BRAND} DESTINATION ${VG_INSTALL_PROGRAM_DIR}/Skin)
install(FILES ${VG_PROGRAM_DIR}/Sample.mp4 DESTINATION ${VG_INSTALL_PROGRAM_DIR})

# The commands: relative links, so the installed tree can be moved (DESTDIR, packages). The
# program resolves its own folder through the link.
file(MAKE_DIRECTORY ${VG_DESKTOP_DIR}/bin)
foreach(_vg_command IN ITEMS gifclipmaker gifclipmaker-cli)
  file(CREATE_LINK ../${VG_INSTALL_PROGRAM_DIR}/${_vg_command}
       ${VG_DESKTOP_DIR}/bin/${_vg_command} SYMBOLIC)
  install(FILES ${VG_DESKTOP_DIR}/bin/${_vg_command} DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()

install(FILES ${VG_DESKTOP_DIR}/${VG_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${VG_DESKTOP_DIR}/${VG_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${VG_DESKTOP_DIR}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

# The installation identifier, written once as an installer does: an existing one is kept, since
# a new identifier would reset every user's settings. The .deb leaves this to its maintainer
# scripts, so the file never belongs to the package.
install(CODE "
  set(_vg_registry \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${VG_INSTALL_PROGRAM_DIR}/registry.ini\")
  set(_vg_text \"\")
  if(EXISTS \"\${_vg_registry}\")
    file(READ \"\${_vg_registry}\" _vg_text)
  endif()
  if(_vg_text MATCHES \"insguid=[^\\n]*[^ \\t\\r\\n]\")
    message(STATUS \"Keeping the installation identifier: \${_vg_registry}\")
  else()
    string(RANDOM LENGTH 32 _vg_seed)
    string(TIMESTAMP _vg_now \"%s%f\" UTC)
    string(UUID _vg_uuid NAMESPACE 6ba7b811-9dad-11d1-80b4-00c04fd430c8
           NAME \"\${_vg_seed}\${_vg_now}\" TYPE SHA1 UPPER)
    file(WRITE \"\${_vg_registry}\"
         \"[SOFTWARE\\\\Classes\\\\QOPAVG.ProjFile]\\ninsguid={\${_vg_uuid}}\\n\")
    message(STATUS \"Writing the installation identifier: \${_vg_registry}\")
  endif()"
  COMPONENT Identifier)

include(${CMAKE_CURRENT_LIST_DIR}/Package.cmake)

if(VG_BUILD_TESTS)
  add_subdirectory(${CMAKE_SOURCE_DIR}/tests/install ${CMAKE_BINARY_DIR}/tests/install)
endif()
