#!/usr/bin/env bash
# Configures and builds NBsms into the given folder (default: build); further arguments go to
# CMake's configure step (e.g. -DNBSMS_SANITIZE=ON).
set -euo pipefail
raiz="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
destino="${1:-$raiz/build}"
shift || true
tipo="${NBSMS_BUILD_TYPE:-RelWithDebInfo}"
cmake -S "$raiz" -B "$destino" -G Ninja -DCMAKE_BUILD_TYPE="$tipo" "$@" >/dev/null
cmake --build "$destino" -j "$(nproc)"
