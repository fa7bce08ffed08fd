#!/usr/bin/env bash
# The Windows installer under Wine, as an office gets it: installed silently (/S), the installed
# nbsms.exe answers --version; configured through the registry, it sends a queued message to the
# gateway simulator on 127.0.0.1, marks it sent, and writes the message it fetches with CR LF line
# ends; the uninstaller, run silently while the program runs, asks it to end in order and takes
# the program's folder and the user's "Iniciar con la sesión" entry for it away. The program runs as installed, with its own platform plugin, on a
# virtual display (Xvfb).
#   bash scripts/comprobar-instalador-windows.sh [carpeta de la compilación para Windows]
set -euo pipefail
raiz="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$raiz/scripts/windows-comun.sh"
carpeta="${1:-$raiz/build-windows}"
instalador="$(ls "$carpeta"/nbsms-*-win64.exe 2>/dev/null | head -n1 || true)"
if [ -z "$instalador" ]; then
  echo "No hay instalador en $carpeta: primero bash scripts/compilar-windows.sh" >&2
  exit 1
fi
version="$(basename "$instalador" | sed 's/^nbsms-\(.*\)-win64\.exe$/\1/')"
instalar_paquetes wine wine64 xvfb xauth

preparar_wine "$carpeta" instalador
registros="$carpeta/wine/instalador"
rm -rf "$registros"
mkdir -p "$registros"

pid_x="" pid_simulador="" pid_nbsms=""
limpiar() {
  for pid in $pid_nbsms $pid_simulador; do kill "$pid" 2>/dev/null || true; done
  wineserver -k 2>/dev/null || true
  if [ -n "$pid_x" ]; then kill "$pid_x" 2>/dev/null || true; fi
}
trap limpiar EXIT
fallar() {
  echo "Instalador de Windows: FALLA: $*" >&2
  for r in "$registros"/*.log; do
    echo "--- $r" >&2
    tail -n 30 "$r" >&2 || true
  done
  exit 1
}
# Waits up to $1 seconds for the command that follows to succeed.
esperar() {
  local limite=$(($(date +%s) + $1))
  shift
  until "$@"; do
    [ "$(date +%s)" -lt "$limite" ] || return 1
    sleep 0.5
  done
}

# A virtual display of its own for the program as a user runs it (the installer and the
# uninstaller too, so that they share its desktop).
for n in $(seq 90 120); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
    Xvfb ":$n" -nolisten tcp -screen 0 1280x800x24 >"$registros/xvfb.log" 2>&1 &
    pid_x=$!
    export DISPLAY=":$n"
    break
  fi
done
[ -n "$pid_x" ] || fallar "no hay número de pantalla libre para Xvfb"
esperar 20 test -e "/tmp/.X11-unix/X${DISPLAY#:}" || fallar "Xvfb no arrancó"

echo "Instalador de Windows: $(basename "$instalador") /S"
wine "$instalador" /S >"$registros/instalar.log" 2>&1 || fallar "el instalador terminó con error"
wineserver -w
carpeta_programa_win='C:\Program Files\NBsms'
carpeta_programa="$(winepath -u "$carpeta_programa_win" 2>/dev/null)"
for archivo in nbsms.exe Uninstall.exe Qt5Core.dll Qt5Widgets.dll Qt5Sql.dll libstdc++-6.dll \
  platforms/qwindows.dll sqldrivers/qsqlite.dll styles/qwindowsvistastyle.dll imageformats/qico.dll \
  translations/qtbase_es.qm ayuda/ayuda_home.html; do
  [ -f "$carpeta_programa/$archivo" ] || fallar "falta $carpeta_programa_win\\$archivo"
done
find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/NBsms/NBsms.lnk' | grep -q . ||
  fallar "falta el acceso NBsms del menú Inicio"

salida="$(wine "$carpeta_programa_win\\nbsms.exe" --version 2>/dev/null | tr -d '\r')"
[ "$salida" = "nbsms $version" ] || fallar "nbsms.exe --version respondió «$salida»"
echo "Instalador de Windows: instalado; nbsms.exe --version: $salida"

# The gateway simulator (the Windows one) on 127.0.0.1 with a message to hand out. Its log exists
# before it starts, so that the first look for its port finds a file.
: >"$registros/simulador.log"
wine "$carpeta/nbsms-simulador.exe" --host 127.0.0.1 --port 0 --key clave-instalador \
  --mensaje "1160002222,Recibido en Windows" >"$registros/simulador.log" 2>&1 &
pid_simulador=$!
puerto=""
buscar_puerto() {
  puerto="$(sed -n 's|^nbsms-simulador escuchando en http://127\.0\.0\.1:\([0-9]*\)/cgi-bin.*$|\1|p' \
    "$registros/simulador.log" | head -n1)"
  [ -n "$puerto" ]
}
esperar 30 buscar_puerto || fallar "el simulador no arrancó"

# Configured as an office would: the registry, and a message queued in the data folder.
grupo='HKCU\Software\Velquor S.A.\NBsms\cfg_lista'
for valor in "str_ip_gateway=127.0.0.1:$puerto" "str_key_gateway=key=clave-instalador" "bool_envio_activado=true"; do
  wine reg add "$grupo" /v "${valor%%=*}" /t REG_SZ /d "${valor#*=}" /f >>"$registros/registro.log" 2>&1 ||
    fallar "reg add ${valor%%=*}"
done
perfil="$(winepath -u "$(wine cmd /c 'echo %USERPROFILE%' 2>/dev/null | tr -d '\r')")"
datos="$perfil/NBsms"
mkdir -p "$datos"
printf 'e,1150001111,,Prueba del instalador\r\n' >"$datos/salidas.csv"

wine "$carpeta_programa_win\\nbsms.exe" >"$registros/nbsms.log" 2>&1 &
pid_nbsms=$!
marcado() { grep -q '^E,1150001111,,Prueba del instalador' "$datos/salidas.csv"; }
esperar 90 marcado || fallar "el mensaje en cola no se marcó como enviado: $(cat "$datos/salidas.csv")"
grep -q 'num=1150001111' "$registros/simulador.log" ||
  fallar "el simulador no recibió el mensaje"
recibido() { grep -q 'Recibido en Windows' "$datos/sms_recibidos.csv" 2>/dev/null; }
esperar 90 recibido || fallar "no se escribió el mensaje recibido en sms_recibidos.csv"
lineas="$(wc -l <"$datos/sms_recibidos.csv")"
con_cr="$(grep -c $'\r$' "$datos/sms_recibidos.csv" || true)"
[ "$lineas" -gt 0 ] && [ "$lineas" = "$con_cr" ] || fallar "sms_recibidos.csv sin CR LF en cada línea"
echo "Instalador de Windows: enviado y marcado por el gateway simulado en 127.0.0.1:$puerto; recibido escrito con CR LF"

# "Iniciar con la sesión" on, as the program writes it: the uninstaller takes it away with it.
run='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
wine reg add "$run" /v NBsms /t REG_SZ /d "\"$carpeta_programa_win\\nbsms.exe\" --minimizado" /f \
  >>"$registros/registro.log" 2>&1 || fallar "reg add Run"

# The uninstaller, in place and silent, while NBsms runs: it must ask it to end in order first.
wine "$carpeta_programa_win\\Uninstall.exe" /S "_?=$carpeta_programa_win" >"$registros/desinstalar.log" 2>&1 ||
  fallar "el desinstalador terminó con error"
estado_nbsms=0
terminado() { ! kill -0 "$pid_nbsms" 2>/dev/null; }
esperar 60 terminado || fallar "NBsms siguió corriendo tras el desinstalador"
wait "$pid_nbsms" || estado_nbsms=$?
pid_nbsms=""
[ "$estado_nbsms" = 0 ] || fallar "NBsms terminó con estado $estado_nbsms al pedírselo el desinstalador"
for archivo in nbsms.exe Qt5Core.dll platforms/qwindows.dll; do
  [ ! -e "$carpeta_programa/$archivo" ] || fallar "el desinstalador dejó $carpeta_programa_win\\$archivo"
done
marcado || fallar "el mensaje perdió su marca al terminar"
if wine reg query "$run" /v NBsms >>"$registros/registro.log" 2>&1; then
  fallar "el desinstalador dejó el inicio con la sesión en $run"
fi
echo "Instalador de Windows: el desinstalador terminó NBsms en orden y quitó el programa"
echo "Instalador de Windows: bien"
