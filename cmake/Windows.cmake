# A Windows program's folder holds what it loads: Qt's DLLs and plugins, the compiler's runtime
# DLLs, Qt's Spanish translations and the help page, all beside nbsms.exe. The build folder is laid
# out the same way (the tests and tools are built there too, with Qt Test and the offscreen
# platform beside them), and CPack makes of the installed folder:
#   cd build-windows && cpack          nbsms-<version>-win64.exe (NSIS) and nbsms-<version>-win64.zip
if(NOT WIN32)
  return()
endif()

set(NBSMS_CARPETA_WINDOWS ${PROJECT_BINARY_DIR})
# Qt's imported targets are per folder: the ones named below, here.
find_package(Qt5 5.15 REQUIRED COMPONENTS Sql)
if(NBSMS_TESTS)
  find_package(Qt5 5.15 REQUIRED COMPONENTS Test)
endif()

# Qt: the modules and the plugins the program loads, by folder.
set(NBSMS_QT_MODULOS Core Gui Widgets Network Sql)
set(NBSMS_QT_PLUGINS
    platforms:QWindowsIntegrationPlugin sqldrivers:QSQLiteDriverPlugin imageformats:QICOPlugin
    imageformats:QJpegPlugin imageformats:QGifPlugin styles:QWindowsVistaStylePlugin)
# Only for the tests, which run headless: never installed.
set(NBSMS_QT_SOLO_PRUEBAS)
set(NBSMS_QT_PLUGINS_PRUEBAS platforms:QOffscreenIntegrationPlugin)
if(NBSMS_TESTS)
  list(APPEND NBSMS_QT_SOLO_PRUEBAS Test)
endif()

set(copias)
set(destinos)
foreach(modulo ${NBSMS_QT_MODULOS} ${NBSMS_QT_SOLO_PRUEBAS})
  list(APPEND copias COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:Qt5::${modulo}> ${NBSMS_CARPETA_WINDOWS}/)
endforeach()
foreach(entrada ${NBSMS_QT_PLUGINS} ${NBSMS_QT_PLUGINS_PRUEBAS})
  string(REPLACE ":" ";" partes ${entrada})
  list(GET partes 0 carpeta)
  list(GET partes 1 plugin)
  list(APPEND copias COMMAND ${CMAKE_COMMAND} -E make_directory ${NBSMS_CARPETA_WINDOWS}/${carpeta}
                     COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:Qt5::${plugin}>
                             ${NBSMS_CARPETA_WINDOWS}/${carpeta}/)
endforeach()

# The compiler's runtime (mingw-w64). Debian's libstdc++ carries its debugging symbols: stripped,
# it is a tenth of the size.
set(NBSMS_RUNTIME_DLLS)
if(MINGW)
  foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll} OUTPUT_VARIABLE ruta
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(ruta "${ruta}" ABSOLUTE)
    if(NOT EXISTS "${ruta}")
      message(FATAL_ERROR "The compiler's runtime ${dll} was not found (${ruta})")
    endif()
    list(APPEND NBSMS_RUNTIME_DLLS ${NBSMS_CARPETA_WINDOWS}/${dll})
    list(APPEND copias COMMAND ${CMAKE_COMMAND} -E copy_if_different ${ruta} ${NBSMS_CARPETA_WINDOWS}/${dll})
  endforeach()
  list(APPEND copias COMMAND ${CMAKE_STRIP} --strip-unneeded ${NBSMS_CARPETA_WINDOWS}/libstdc++-6.dll)
endif()

# Qt's own texts in Spanish (Debian's qttranslations5-l10n, or the Qt tree's).
find_file(NBSMS_QT_TRADUCCION qtbase_es.qm
          PATHS ${NBSMS_QT_WINDOWS}/translations /usr/share/qt5/translations NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
if(NBSMS_QT_TRADUCCION)
  list(APPEND copias COMMAND ${CMAKE_COMMAND} -E make_directory ${NBSMS_CARPETA_WINDOWS}/translations
                     COMMAND ${CMAKE_COMMAND} -E copy_if_different ${NBSMS_QT_TRADUCCION}
                             ${NBSMS_CARPETA_WINDOWS}/translations/)
else()
  message(WARNING "qtbase_es.qm not found (Debian: qttranslations5-l10n): Qt's dialogs stay in English")
endif()

add_custom_target(nbsms_carpeta_windows ALL ${copias} VERBATIM
                  COMMENT "Qt, runtime DLLs and translations beside the executables")

# The installed folder.
install(TARGETS nbsms RUNTIME DESTINATION .)
foreach(modulo ${NBSMS_QT_MODULOS})
  install(FILES $<TARGET_FILE:Qt5::${modulo}> DESTINATION .)
endforeach()
foreach(entrada ${NBSMS_QT_PLUGINS})
  string(REPLACE ":" ";" partes ${entrada})
  list(GET partes 0 carpeta)
  list(GET partes 1 plugin)
  install(FILES $<TARGET_FILE:Qt5::${plugin}> DESTINATION ${carpeta})
endforeach()
install(FILES ${NBSMS_RUNTIME_DLLS} DESTINATION .)
if(NBSMS_QT_TRADUCCION)
  install(FILES ${NBSMS_QT_TRADUCCION} DESTINATION translations)
endif()
install(FILES ayuda/ayuda_home.html DESTINATION ayuda)

# The installer and the portable zip.
set(CPACK_GENERATOR "NSIS;ZIP")
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_NAME NBsms)
set(CPACK_PACKAGE_VENDOR "Velquor S.A.")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Envío de SMS masivos y manuales a través de un gateway de la red local")
set(CPACK_PACKAGE_FILE_NAME "nbsms-${PROJECT_VERSION}-win64")
set(CPACK_PACKAGE_INSTALL_DIRECTORY NBsms)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY NBsms)
set(CPACK_PACKAGE_EXECUTABLES nbsms NBsms)
set(CPACK_STRIP_FILES ON)
# A 64-bit installer for a 64-bit program (Unicode, the amd64 stubs and plugins of nsis).
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_PACKAGE_NAME NBsms)
set(CPACK_NSIS_DISPLAY_NAME NBsms)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_INSTALLED_ICON_NAME nbsms.exe)
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/resources/images/nbsms.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/resources/images/nbsms.ico)
set(CPACK_NSIS_IGNORE_LICENSE_PAGE ON)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
set(CPACK_NSIS_CONTACT "sistemas@velquor.com")
# A running NBsms (this user's session) is asked to end in order through its hidden window
# (app/senales.h), and its process waited for (up to 30 s: time to finish a send in flight), before
# its files are replaced or removed. 16 is WM_CLOSE, 0x00100000 SYNCHRONIZE.
set(nbsms_nsis_terminar [=[
  StrCpy $R1 0
  nbsms_terminar_bucle:
    FindWindow $R0 "NBsms_terminar"
    StrCmp $R0 0 nbsms_terminar_listo
    System::Call 'user32::GetWindowThreadProcessId(p R0, *i .R2)'
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i R2) p .R3'
    SendMessage $R0 16 0 0 /TIMEOUT=5000
    System::Call 'kernel32::WaitForSingleObject(p R3, i 30000) i .R4'
    System::Call 'kernel32::CloseHandle(p R3)'
    IntOp $R1 $R1 + 1
    IntCmp $R1 5 nbsms_terminar_listo nbsms_terminar_bucle nbsms_terminar_listo
  nbsms_terminar_listo:
]=])
set(CPACK_NSIS_EXTRA_PREINSTALL_COMMANDS "${nbsms_nsis_terminar}")
# The uninstaller also takes away the uninstalling user's "Iniciar con la sesión" entry when it
# names this installation (app/autoarranque.cpp writes it so).
set(nbsms_nsis_run [=[
  ReadRegStr $R0 HKCU "Software\Microsoft\Windows\CurrentVersion\Run" "NBsms"
  StrCmp $R0 '"$INSTDIR\nbsms.exe" --minimizado' 0 +2
    DeleteRegValue HKCU "Software\Microsoft\Windows\CurrentVersion\Run" "NBsms"
]=])
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "${nbsms_nsis_terminar}${nbsms_nsis_run}")
include(CPack)
