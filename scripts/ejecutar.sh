#!/usr/bin/env bash
# Installs what is missing, builds NBsms and starts it.
set -euo pipefail
raiz="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$raiz/scripts/instalar-dependencias.sh"
bash "$raiz/scripts/compilar.sh" "$raiz/build"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No hay pantalla: NBsms se inicia bajo Xvfb (xvfb-run)."
  exec xvfb-run -a "$raiz/build/nbsms"
fi
exec "$raiz/build/nbsms"
