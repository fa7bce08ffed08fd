#!/usr/bin/env bash
# Runs the Windows build's test suite (scripts/compilar-windows.sh) under Wine, headless (the
# offscreen platform, a private Wine prefix, a Spanish locale), prints CTest's summary, then checks
# the installer (scripts/comprobar-instalador-windows.sh).
#   bash scripts/probar-windows.sh [carpeta] [opciones de ctest...]
set -euo pipefail
raiz="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$raiz/scripts/windows-comun.sh"
carpeta="${1:-$raiz/build-windows}"
shift || true
if [ ! -f "$carpeta/CTestTestfile.cmake" ]; then
  echo "No hay una compilación para Windows en $carpeta: primero bash scripts/compilar-windows.sh" >&2
  exit 1
fi
instalar_paquetes wine wine64 xvfb xauth locales

configurar_espanol
preparar_wine "$carpeta" pruebas
trap 'wineserver -k 2>/dev/null || true' EXIT
unset DISPLAY WAYLAND_DISPLAY
# No display: Wine's null graphics driver still gives the programs their (hidden) windows, which
# take the requests to end. Set before the prefix's desktop starts.
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
wineserver -k 2>/dev/null || true
wineserver -w
# Wine's server, its services and the desktop started here, for the whole run: one started by a
# test would hold that test's output open after it ends, and CTest would wait for it until the
# time-out. (rundll32 makes a window, which starts the desktop.)
wineserver -p
wine cmd /c exit >/dev/null 2>&1
wine rundll32.exe user32.dll,GetDesktopWindow >/dev/null 2>&1
estado=0
nice -n 10 ctest --test-dir "$carpeta" --output-on-failure -j "${NBSMS_WINE_TRABAJOS:-2}" "$@" || estado=$?
wineserver -k 2>/dev/null || true

bash "$raiz/scripts/comprobar-instalador-windows.sh" "$carpeta" || estado=1
exit "$estado"
