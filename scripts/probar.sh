#!/usr/bin/env bash
# Installs what is missing, builds NBsms and runs the whole test suite.
set -euo pipefail
raiz="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$raiz/scripts/instalar-dependencias.sh"
bash "$raiz/scripts/compilar.sh" "$raiz/build"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$raiz/build" --output-on-failure -j "$(nproc)"
