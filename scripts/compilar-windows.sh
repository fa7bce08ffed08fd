#!/usr/bin/env bash
# Builds NBsms for Windows x86-64 on Debian 12 with mingw-w64: the program, the tools and the
# tests into build-windows/ (everything beside nbsms.exe, with the DLLs and plugins it loads), then
# the installer nbsms-<version>-win64.exe and the portable nbsms-<version>-win64.zip there.
#   bash scripts/compilar-windows.sh [carpeta] [opciones de CMake...]
# Installs what is missing first (scripts/qt-windows.sh). scripts/probar-windows.sh runs the tests
# under Wine.
set -euo pipefail
raiz="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$raiz/scripts/windows-comun.sh"
destino="${1:-$raiz/build-windows}"
shift || true

bash "$raiz/scripts/qt-windows.sh"
extra="$(cabeceras_windows)"
qt="$(carpeta_qt_windows)"

lanzador=()
if command -v ccache >/dev/null; then lanzador=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S "$raiz" -B "$destino" -G Ninja -DCMAKE_BUILD_TYPE="${NBSMS_BUILD_TYPE:-Release}" \
  -DCMAKE_TOOLCHAIN_FILE="$raiz/cmake/mingw-w64.cmake" -DNBSMS_QT_WINDOWS="$qt" \
  -DNBSMS_WINDOWS_EXTRA="$extra" -DNBSMS_BENCH=OFF "${lanzador[@]}" "$@" >/dev/null
nice -n 10 cmake --build "$destino" -j "$(nproc)"
(cd "$destino" && cpack >/dev/null)
echo "Instalador: $(ls "$destino"/nbsms-*-win64.exe)"
echo "Portátil:   $(ls "$destino"/nbsms-*-win64.zip)"
