#!/usr/bin/env bash
# Installs what is missing, builds NBsms and runs the whole test suite.
# With NBSMS_SANITIZE=ON in the environment it also builds the suite with AddressSanitizer and
# UndefinedBehaviorSanitizer (folder build-asan) and runs it there.
set -euo pipefail
raiz="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$raiz/scripts/instalar-dependencias.sh"
bash "$raiz/scripts/compilar.sh" "$raiz/build"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$raiz/build" --output-on-failure -j "$(nproc)"
if [ "${NBSMS_SANITIZE:-OFF}" = "ON" ]; then
  bash "$raiz/scripts/compilar.sh" "$raiz/build-asan" -DNBSMS_SANITIZE=ON -DNBSMS_BENCH=OFF
  ctest --test-dir "$raiz/build-asan" --output-on-failure -j "$(nproc)"
fi
