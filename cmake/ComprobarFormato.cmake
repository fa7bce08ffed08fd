cmake_minimum_required(VERSION 3.16)
# Every C++ source of the project formatted with the root .clang-format.
#   cmake -DRAIZ=<source dir> -DCLANG_FORMAT=<program> -P cmake/ComprobarFormato.cmake
set(archivos "")
foreach(carpeta ajustes app bench envio gateway lista tests tools ui)
  file(GLOB_RECURSE encontrados "${RAIZ}/${carpeta}/*.cpp" "${RAIZ}/${carpeta}/*.h")
  list(APPEND archivos ${encontrados})
endforeach()
execute_process(COMMAND "${CLANG_FORMAT}" --dry-run --Werror ${archivos}
                RESULT_VARIABLE resultado ERROR_VARIABLE salida)
if(NOT resultado EQUAL 0)
  message(FATAL_ERROR "Not formatted with .clang-format (run clang-format -i on them):\n${salida}")
endif()
