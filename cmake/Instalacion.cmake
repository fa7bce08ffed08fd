# What `cmake --install` puts where, and the Debian package that CPack makes of it (Windows: the
# program's folder and its installer, cmake/Windows.cmake):
#   cmake --install build [--prefix DIR]      the program, its help page, menu entry, icons, metadata
#   cd build && cpack -G DEB                  nbsms_<version>_<arch>.deb
# The gateway simulator and the settings tool are development aids: they are installed nowhere.

include(GNUInstallDirs)

# Release date of the version in project(); the AppStream metadata names both.
set(NBSMS_FECHA_VERSION "2026-12-07")
# The reverse-DNS id of the AppStream component, from the organisation's domain.
set(NBSMS_ID_APPSTREAM "com.velquor.nbsms")

# The version and the installed data folder, for the code. The data folder is known both
# relative to the executable (so an install under any prefix, a package included, finds its
# files) and as the prefix configured here.
set(NBSMS_DATOS_INSTALADOS "${CMAKE_INSTALL_FULL_DATADIR}/nbsms")
file(RELATIVE_PATH NBSMS_DATOS_RELATIVOS "${CMAKE_INSTALL_FULL_BINDIR}" "${NBSMS_DATOS_INSTALADOS}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/nbsms_version.h.in ${PROJECT_BINARY_DIR}/generado/nbsms_version.h @ONLY)
target_include_directories(nbsms_app PUBLIC ${PROJECT_BINARY_DIR}/generado)

if(WIN32)
  # A Windows folder holds everything beside the executable, as the build folder does.
  include(${PROJECT_SOURCE_DIR}/cmake/Windows.cmake)
  return()
endif()

install(TARGETS nbsms RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(NBSMS_WEBKIT)
  install(TARGETS nbsms_visor_ayuda LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/nbsms)
endif()

install(FILES ayuda/ayuda_home.html DESTINATION ${CMAKE_INSTALL_DATADIR}/nbsms/ayuda)
install(FILES resources/escritorio/nbsms.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${PROJECT_SOURCE_DIR}/resources/escritorio/${NBSMS_ID_APPSTREAM}.metainfo.xml.in
               ${PROJECT_BINARY_DIR}/generado/${NBSMS_ID_APPSTREAM}.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/generado/${NBSMS_ID_APPSTREAM}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(lado 16 32 48 128 256)
  install(FILES resources/hicolor/${lado}x${lado}/apps/nbsms.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${lado}x${lado}/apps)
endforeach()

# The Debian package.
set(NBSMS_MANTENEDOR "Velquor S.A. <sistemas@velquor.com>" CACHE STRING "Maintainer of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nbsms)
set(CPACK_PACKAGE_VENDOR "Velquor S.A.")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Envío de SMS masivos y manuales a través de un gateway de la red local")
set(CPACK_PACKAGE_DESCRIPTION "Importa listas CSV, arma un mensaje por fila con una plantilla y los envía\n\
de a uno por un gateway SMS de la red local, en los horarios permitidos, y guarda los\n\
mensajes recibidos. Vive en la bandeja del sistema y corre una vez por sesión.")
set(CPACK_PACKAGE_CONTACT "${NBSMS_MANTENEDOR}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Qt's libraries and everything else the executable loads, as dpkg-shlibdeps finds them; the
# SQLite driver of the history is a plugin Qt loads at run time, which it cannot see, and Qt's
# translations are files it reads (its buttons and dialogs in Spanish).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt5sql5-sqlite, qttranslations5-l10n")
include(CPack)
