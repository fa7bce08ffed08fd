#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running, testing and packaging NBsms need.
# Only what is missing is installed; it says what it installs. With package names as arguments it
# does the same for those instead (the Windows scripts' tools).
set -euo pipefail

PAQUETES=(
  build-essential cmake ninja-build pkg-config clang-format
  qtbase5-dev qtbase5-dev-tools libqt5webkit5-dev
  # The history's SQLite driver for Qt (the Qt SQL headers come with qtbase5-dev).
  libqt5sql5-sqlite
  # Qt's own texts (message box buttons, the file dialog, the command line's help) in Spanish.
  qttranslations5-l10n
  libcpp-httplib-dev
  xvfb xauth
  curl
  # The Debian package (cpack -G DEB: dependencies by dpkg-shlibdeps, files told apart by file)
  # and the validators of its menu entry and AppStream metadata.
  dpkg-dev file desktop-file-utils appstream
)

if [ $# -gt 0 ]; then PAQUETES=("$@"); fi

faltan=()
for p in "${PAQUETES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    faltan+=("$p")
  fi
done

if [ ${#faltan[@]} -eq 0 ]; then
  echo "Dependencias: todo instalado."
  exit 0
fi

echo "Dependencias: se instalan ${faltan[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${faltan[@]}"
