cmake_minimum_required(VERSION 3.16)
# The layers of the program's code, checked on every source file: a folder may include only
# itself and the folders listed for it here (the direction of ARCHITECTURE.md).
#   cmake -DRAIZ=<source dir> -P cmake/ComprobarCapas.cmake
set(permitidas_ajustes "")
set(permitidas_lista ajustes)
set(permitidas_gateway ajustes)
set(permitidas_envio ajustes lista gateway)
set(permitidas_ui ajustes)
set(permitidas_historial ajustes lista)
set(permitidas_servicio ajustes lista gateway envio historial)
set(permitidas_app ajustes lista gateway envio ui historial servicio)
set(carpetas ajustes lista gateway envio ui historial servicio app)
# The window reaches sending through the service only: not the connection, its HTTP client, the
# worker or a list run's journal.
set(prohibidas_app gateway/conexion_ngw.h gateway/cliente_http.h envio/threads.h lista/diario_corrida.h)

set(faltas "")
foreach(carpeta ${carpetas})
  file(GLOB archivos "${RAIZ}/${carpeta}/*.cpp" "${RAIZ}/${carpeta}/*.h")
  foreach(archivo ${archivos})
    file(STRINGS "${archivo}" lineas REGEX "^#include \"[a-z_]+/")
    foreach(linea ${lineas})
      string(REGEX REPLACE "^#include \"([a-z_]+)/.*" "\\1" otra "${linea}")
      if(NOT otra STREQUAL carpeta AND NOT otra IN_LIST carpetas)
        continue() # generated or third-party headers
      endif()
      string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" cabecera "${linea}")
      if((NOT otra STREQUAL carpeta AND NOT otra IN_LIST permitidas_${carpeta}) OR cabecera IN_LIST prohibidas_${carpeta})
        file(RELATIVE_PATH relativo "${RAIZ}" "${archivo}")
        string(APPEND faltas "  ${relativo}: ${linea}\n")
      endif()
    endforeach()
  endforeach()
endforeach()
if(faltas)
  message(FATAL_ERROR "Includes against the layers (see ARCHITECTURE.md):\n${faltas}")
endif()
