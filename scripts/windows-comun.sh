# What the Windows scripts share (sourced, not run): the Windows Qt's folder, the tools'
# installation, Debian's source packages and the environment of a Windows program under Wine.

# The folder of Qt for Windows (the cache of scripts/qt-windows.sh).
carpeta_qt_windows() {
  echo "${NBSMS_QT_WINDOWS:-$HOME/.cache/nbsms/qt5-mingw-5.15.8}"
}

# Installs the named Debian packages that are missing, saying which.
instalar_paquetes() {
  bash "$raiz/scripts/instalar-dependencias.sh" "$@"
}

# apt-get source needs deb-src entries: made once, from the machine's own deb entries.
habilitar_fuentes_debian() {
  if apt-get indextargets --format '$(TARGET_OF)' 2>/dev/null | grep -qx deb-src; then
    return 0
  fi
  local SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  echo "Fuentes de Debian: se agregan las entradas deb-src de los repositorios configurados"
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      $SUDO tee /etc/apt/sources.list.d/nbsms-fuentes.sources >/dev/null
  fi
  if [ -f /etc/apt/sources.list ]; then
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list | $SUDO tee /etc/apt/sources.list.d/nbsms-fuentes.list >/dev/null
  fi
  $SUDO apt-get update -qq
}

# cpp-httplib's single header for Windows, from Debian's source package, in a cache folder beside
# the Windows Qt; prints the folder that holds include/httplib.h.
cabeceras_windows() {
  local extra
  extra="$(dirname "$(carpeta_qt_windows)")/windows-extra"
  if [ ! -f "$extra/include/httplib.h" ]; then
    instalar_paquetes dpkg-dev >&2
    habilitar_fuentes_debian >&2
    local temporal
    temporal="$(mktemp -d)"
    echo "cpp-httplib para Windows: se toma httplib.h del paquete fuente de Debian" >&2
    (cd "$temporal" && apt-get source -qq cpp-httplib >/dev/null 2>&1)
    local cabecera
    cabecera="$(find "$temporal" -maxdepth 2 -name httplib.h | head -n1)"
    if [ -z "$cabecera" ]; then
      rm -rf "$temporal"
      echo "No se obtuvo httplib.h del paquete fuente cpp-httplib." >&2
      return 1
    fi
    mkdir -p "$extra/include"
    cp "$cabecera" "$extra/include/httplib.h"
    rm -rf "$temporal"
  fi
  echo "$extra"
}

# A private Wine prefix for the Windows programs of $1 (the Windows build folder): made once
# (pristine) and copied fresh for every run into $1/wine/$2, so that no run sees what another
# left. Exports WINEPREFIX, a HOME of its own and the rest of a Windows program's environment.
preparar_wine() {
  local carpeta="$1" nombre="$2"
  export WINEARCH=win64 WINEDEBUG=-all
  # No Mono or Gecko installers asked for at the first start, and no menu entries or icons of the
  # installed programs written into this machine's own desktop (winemenubuilder).
  export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
  # Whatever Wine links or writes in the Unix home folder goes to one of the run's own.
  export HOME="$carpeta/wine/casa"
  mkdir -p "$HOME"
  local limpio="$carpeta/wine/limpio"
  if [ ! -f "$limpio/.nbsms-completo" ]; then
    echo "Wine: se prepara un prefijo propio en $limpio"
    rm -rf "$limpio"
    mkdir -p "$carpeta/wine"
    WINEPREFIX="$limpio" wine wineboot -i >/dev/null 2>&1
    WINEPREFIX="$limpio" wineserver -w
    touch "$limpio/.nbsms-completo"
  fi
  export WINEPREFIX="$carpeta/wine/$nombre"
  rm -rf "$WINEPREFIX"
  cp -a "$limpio" "$WINEPREFIX"
}

# Lists are read under a Spanish locale, as at the office (Wine takes its code page from it).
configurar_espanol() {
  if ! locale -a 2>/dev/null | grep -qix 'es_ES.utf8'; then
    echo "Configuración regional: se genera es_ES.UTF-8"
    local SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    $SUDO localedef -i es_ES -f UTF-8 es_ES.UTF-8
  fi
  export LC_ALL=es_ES.UTF-8
}
