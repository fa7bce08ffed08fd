#!/usr/bin/env bash
# Installs what is missing, builds NBsms and starts it.
# With no gateway address stored yet, it also starts the gateway simulator on 127.0.0.1, stores
# its address and key and switches sending on, so that a queued message can be watched going out
# at once; the simulator is stopped when NBsms ends.
set -euo pipefail
raiz="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$raiz/scripts/instalar-dependencias.sh"
bash "$raiz/scripts/compilar.sh" "$raiz/build"

programa="$raiz/build/nbsms"
ajustes="$raiz/build/tools/nbsms-ajustes"
simulador="$raiz/build/tools/simulador/nbsms-simulador"
# What this script stored the last time it started the simulator: "address key".
marca="$raiz/build/simulador-gateway.txt"
registro="$raiz/build/nbsms-simulador.log"

pid_simulador=""
detener_simulador() {
  if [ -n "$pid_simulador" ]; then
    kill "$pid_simulador" 2>/dev/null || true
    wait "$pid_simulador" 2>/dev/null || true
    echo "Simulador de gateway detenido."
    pid_simulador=""
  fi
}

# Starts the simulator with key $1 on port $2 (0: a free one) and sets $puerto_simulador.
iniciar_simulador() {
  : >"$registro"
  "$simulador" --host 127.0.0.1 --port "$2" --key "$1" >"$registro" 2>&1 &
  pid_simulador=$!
  trap detener_simulador EXIT
  trap 'exit 130' INT TERM
  puerto_simulador=""
  for _ in $(seq 100); do
    puerto_simulador="$(sed -n 's|^nbsms-simulador escuchando en http://127\.0\.0\.1:\([0-9]*\)/cgi-bin$|\1|p' "$registro")"
    [ -n "$puerto_simulador" ] && return 0
    kill -0 "$pid_simulador" 2>/dev/null || break
    sleep 0.1
  done
  echo "No se pudo iniciar el simulador de gateway:"
  sed 's/^/  /' "$registro"
  detener_simulador
  return 1
}

guardada="$("$ajustes" leer str_ip_gateway)"
if [ -z "$guardada" ]; then
  if [ -x "$simulador" ]; then
    clave="$(od -An -N4 -tx1 /dev/urandom | tr -d ' \n')"
    if iniciar_simulador "$clave" 0; then
      direccion="127.0.0.1:$puerto_simulador"
      "$ajustes" escribir str_ip_gateway "$direccion"
      "$ajustes" escribir str_key_gateway "key=$clave"
      "$ajustes" escribir bool_envio_activado true
      echo "$direccion $clave" >"$marca"
      echo "No hay gateway configurado: se inicio el simulador nbsms-simulador en $direccion (clave $clave)"
      echo "y se guardo como gateway de NBsms, con el envio activado. Sus pedidos quedan en $registro."
      echo "Para usar un gateway real, cambie la direccion y la clave en la pestana de configuracion."
    fi
  else
    echo "No hay gateway configurado y el simulador no esta compilado ($simulador)."
  fi
elif [ -x "$simulador" ] && [ -f "$marca" ]; then
  # The stored address is still the simulator this script set up: start it again there.
  read -r direccion_marca clave_marca <"$marca" || true
  if [ "$guardada" = "$direccion_marca" ] && [ -n "${clave_marca:-}" ]; then
    if iniciar_simulador "$clave_marca" "${direccion_marca##*:}"; then
      echo "El gateway guardado es el simulador: se inicio nbsms-simulador en $guardada. Sus pedidos quedan en $registro."
    fi
  fi
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No hay pantalla: NBsms se inicia bajo Xvfb (xvfb-run)."
  set -- xvfb-run -a "$programa"
else
  set -- "$programa"
fi
if [ -z "$pid_simulador" ]; then
  exec "$@"
fi
# Not exec: the EXIT trap must stop the simulator once NBsms ends.
estado=0
"$@" || estado=$?
exit "$estado"
