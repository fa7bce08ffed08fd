#!/usr/bin/env bash
# Makes Qt 5.15.8 for Windows x86-64 (qtbase built with mingw-w64, posix threads) available in a
# cache folder, and installs the Debian 12 packages that building, testing and packaging NBsms for
# Windows need: the mingw-w64 compilers, wine64, nsis, Qt's translations. Only what is missing is
# installed or made; it says what it does. Run again, it does nothing.
#
#   bash scripts/qt-windows.sh            Qt in $NBSMS_QT_WINDOWS (default ~/.cache/nbsms/qt5-mingw-5.15.8)
#
# The tree is unpacked from ../shared/windows/qt5-mingw-5.15.8.tar.xz (beside the project's folder;
# $NBSMS_QT_WINDOWS_PAQUETE names another) when that file is there; otherwise it is built from Debian's source package of qtbase with the
# same options (about an hour on two cores).
set -euo pipefail
raiz="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$raiz/scripts/windows-comun.sh"

instalar_paquetes \
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
  wine wine64 nsis qttranslations5-l10n xz-utils zip cmake ninja-build

qt="$(carpeta_qt_windows)"
if [ -f "$qt/lib/cmake/Qt5/Qt5Config.cmake" ] && [ -f "$qt/.nbsms-completo" ]; then
  echo "Qt para Windows: ya está en $qt"
  exit 0
fi

paquete="${NBSMS_QT_WINDOWS_PAQUETE:-$raiz/../shared/windows/qt5-mingw-5.15.8.tar.xz}"
padre="$(dirname "$qt")"
mkdir -p "$padre"
temporal="$(mktemp -d "$padre/.qt-windows.XXXXXX")"
trap 'rm -rf "$temporal"' EXIT

if [ -f "$paquete" ]; then
  echo "Qt para Windows: se desempaqueta $(cd "$(dirname "$paquete")" && pwd)/$(basename "$paquete") en $qt"
  tar -xJf "$paquete" -C "$temporal"
  origen="$temporal/qt5-mingw-5.15.8"
else
  echo "Qt para Windows: no está $paquete; se compila qtbase 5.15.8 desde el paquete fuente de Debian"
  echo "(cerca de una hora en dos núcleos; el registro queda en $padre/qt-windows-compilacion.log)"
  instalar_paquetes dpkg-dev build-essential perl python3
  habilitar_fuentes_debian
  cd "$temporal"
  apt-get source -qq qtbase-opensource-src >/dev/null
  fuente="$(find . -maxdepth 1 -type d -name 'qtbase-opensource-src-5.15.8*' | head -n1)"
  [ -n "$fuente" ] || { echo "No se obtuvo el paquete fuente qtbase-opensource-src 5.15.8." >&2; exit 1; }
  # Debian's tarball leaves out SQLite's amalgamation: it is made from Debian's own sqlite3 source.
  mkdir sqlite && (cd sqlite && apt-get source -qq sqlite3 >/dev/null)
  fuente_sqlite="$(find sqlite -maxdepth 1 -type d -name 'sqlite3-*' | head -n1)"
  mkdir sqlite/amalgama
  (cd sqlite/amalgama && "../../$fuente_sqlite/configure" --disable-tcl >/dev/null &&
    make -j"$(nproc)" sqlite3.c >/dev/null)
  mkdir -p "$fuente/src/3rdparty/sqlite"
  cp sqlite/amalgama/sqlite3.c sqlite/amalgama/sqlite3.h "$fuente/src/3rdparty/sqlite/"
  # The plain mingw-w64 compiler names default to win32 threads (no std::thread): a folder of
  # names that lead to the posix ones.
  mkdir herramientas
  for t in gcc g++ c++ cpp; do ln -s "/usr/bin/x86_64-w64-mingw32-$t-posix" "herramientas/x86_64-w64-mingw32-$t"; done
  for t in ar as dlltool ld nm objcopy objdump ranlib strip windres; do
    ln -s "/usr/bin/x86_64-w64-mingw32-$t" "herramientas/x86_64-w64-mingw32-$t"
  done
  mkdir compilacion
  (
    cd compilacion
    "../$fuente/configure" -xplatform win32-g++ \
      -device-option CROSS_COMPILE="$temporal/herramientas/x86_64-w64-mingw32-" \
      -prefix "$temporal/qt5-mingw-5.15.8" -opensource -confirm-license -release -shared \
      -nomake examples -nomake tests -no-pkg-config \
      -no-opengl -no-dbus -no-icu -no-openssl -no-direct2d -no-feature-vulkan -no-feature-tabletevent \
      -qt-zlib -qt-libpng -qt-libjpeg -qt-pcre -qt-freetype -qt-harfbuzz \
      -sql-sqlite -qt-sqlite -no-sql-odbc -no-sql-psql -no-sql-mysql
    nice -n 10 make -j"$(nproc)"
    make install
  ) >"$padre/qt-windows-compilacion.log" 2>&1
  origen="$temporal/qt5-mingw-5.15.8"
fi

touch "$origen/.nbsms-completo"
rm -rf "$qt"
mv "$origen" "$qt"
echo "Qt para Windows: listo en $qt"
