# Toolchain for Windows x86-64 with Debian's mingw-w64 compilers (posix threads: std::thread and
# std::mutex need them) and Qt for Windows from NBSMS_QT_WINDOWS (scripts/qt-windows.sh):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DNBSMS_QT_WINDOWS=<qt>
# Third-party headers made for Windows (cpp-httplib's single header) come from NBSMS_WINDOWS_EXTRA.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(NBSMS_TRIPLETE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER /usr/bin/${NBSMS_TRIPLETE}-gcc-posix)
set(CMAKE_CXX_COMPILER /usr/bin/${NBSMS_TRIPLETE}-g++-posix)
set(CMAKE_RC_COMPILER /usr/bin/${NBSMS_TRIPLETE}-windres)
set(CMAKE_AR /usr/bin/${NBSMS_TRIPLETE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/${NBSMS_TRIPLETE}-ranlib CACHE FILEPATH "")
set(CMAKE_STRIP /usr/bin/${NBSMS_TRIPLETE}-strip CACHE FILEPATH "")

if(NOT NBSMS_QT_WINDOWS)
  if(DEFINED ENV{NBSMS_QT_WINDOWS})
    set(NBSMS_QT_WINDOWS $ENV{NBSMS_QT_WINDOWS})
  else()
    set(NBSMS_QT_WINDOWS $ENV{HOME}/.cache/nbsms/qt5-mingw-5.15.8)
  endif()
endif()
set(NBSMS_QT_WINDOWS ${NBSMS_QT_WINDOWS} CACHE PATH "Qt 5.15 built for x86_64-w64-mingw32")
set(NBSMS_WINDOWS_EXTRA ${NBSMS_WINDOWS_EXTRA} CACHE PATH "Headers for Windows builds (include/httplib.h)")
# try_compile projects see only the cache; these carry the two folders into them.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES NBSMS_QT_WINDOWS NBSMS_WINDOWS_EXTRA)

set(CMAKE_FIND_ROOT_PATH /usr/${NBSMS_TRIPLETE} ${NBSMS_QT_WINDOWS} ${NBSMS_WINDOWS_EXTRA})
set(CMAKE_PREFIX_PATH ${NBSMS_QT_WINDOWS})
# Host programs (moc, uic, rcc, wine) from the host; everything linked, from the Windows roots.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs built here run under Wine when the build itself needs to run one.
find_program(NBSMS_WINE NAMES wine64 wine)
if(NBSMS_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${NBSMS_WINE})
endif()
