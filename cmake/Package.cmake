# The .deb: `cpack -G DEB` in the build folder (scripts/make-deb does the whole road). It holds
# the installed files of the Program component; the installation identifier is written by the
# maintainer scripts instead (postinst on first install, postrm on purge).

set(CPACK_PACKAGE_NAME "gifclipmaker")
set(CPACK_PACKAGE_VERSION "${VG_VERSION}")
set(CPACK_PACKAGE_VENDOR "${VG_COMPANY}")
set(CPACK_PACKAGE_CONTACT "${VG_COMPANY} <support@${_vg_site}.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${VG_TITLE}: turn a stretch of a video into an animated GIF")
# The extended description, one line of the control file per list item.
set(_vg_description
    "Open a video, mark a clip, pick the frames to keep, set size, frame rate,"
    "speed, captions, logo, crop, flip and rotation, then convert, preview and"
    "save the GIF. A command-line converter, gifclipmaker-cli, makes the same GIFs"
    "without a window.")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION ${_vg_description})
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
# Only the Program component: the identifier belongs to the machine, not to the package.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};Program;/")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "graphics")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${VG_HOMEPAGE}")
# The libraries the executables link come from dpkg-shlibdeps; Qt's platform and image-format
# plugins, FFmpeg's filter library (deinterlacing) and the fonts that stand in for
# Arial and Tahoma are loaded at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
pkg_check_modules(VG_PACKAGE_AVFILTER REQUIRED libavfilter)
string(REGEX MATCH "^[0-9]+" _vg_avfilter_major "${VG_PACKAGE_AVFILTER_VERSION}")
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libavfilter${_vg_avfilter_major}, fonts-liberation2, qt6-qpa-plugins, qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${CMAKE_SOURCE_DIR}/resource/linux/deb/postinst"
                                       "${CMAKE_SOURCE_DIR}/resource/linux/deb/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# The copyright file, the changelog and the manual pages a Debian package carries (installed by `cmake --install`
# too, in share/doc/gifclipmaker).
set(_vg_doc_dir ${CMAKE_BINARY_DIR}/desktop/doc)
configure_file(${CMAKE_SOURCE_DIR}/resource/linux/deb/copyright.in ${_vg_doc_dir}/copyright @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/resource/linux/deb/changelog.in ${_vg_doc_dir}/changelog @ONLY)
execute_process(COMMAND gzip -9 -n -c ${_vg_doc_dir}/changelog
                OUTPUT_FILE ${_vg_doc_dir}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${_vg_doc_dir}/copyright ${_vg_doc_dir}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/gifclipmaker)
foreach(_vg_page IN ITEMS gifclipmaker gifclipmaker-cli)
  execute_process(COMMAND gzip -9 -n -c ${CMAKE_SOURCE_DIR}/resource/linux/man/${_vg_page}.1
                  OUTPUT_FILE ${_vg_doc_dir}/${_vg_page}.1.gz COMMAND_ERROR_IS_FATAL ANY)
  install(FILES ${_vg_doc_dir}/${_vg_page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${CMAKE_SOURCE_DIR}/resource/linux/man/${_vg_page}.1)
endforeach()

include(CPack)
