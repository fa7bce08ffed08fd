# nbsms_add_test(<tema> [SOURCES <more files...>] [LIBS <libs...>] [TIMEOUT <s>])
# The Qt Test executable tests/<carpeta>/prueba_<tema>.cpp, named <carpeta>_<tema> as a target and
# as a CTest test (the name is also left in ${prueba} for the caller). It links the application's
# libraries and the test support library (tests/common): its main() (NBSMS_TEST_MAIN) gives every
# run its own temporary HOME, XDG dirs and TMPDIR, and CTest runs it on the offscreen platform, so
# no test touches a real settings store.
function(nbsms_add_test tema)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  get_filename_component(carpeta ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  set(nombre ${carpeta}_${tema})
  add_executable(${nombre} prueba_${tema}.cpp ${T_SOURCES})
  target_link_libraries(${nombre} PRIVATE nbsms_prueba ${T_LIBS})
  add_test(NAME ${nombre} COMMAND ${nombre})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  # The program's debug lines on, for the tests that expect them and for the programs they start.
  set(entorno "QT_QPA_PLATFORM=offscreen;NBSMS_BIN_DIR=$<TARGET_FILE_DIR:nbsms>;NBSMS_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
              "QT_LOGGING_RULES=nbsms.*.debug=true")
  if(WIN32)
    # A Windows program with no console gives Qt's lines to the debugger: to the test's output instead.
    list(APPEND entorno "QT_FORCE_STDERR_LOGGING=1")
    if(CMAKE_CROSSCOMPILING_EMULATOR)
      # Wine hands a Windows process no Unix variable named QT_*; the WINE prefix passes them.
      list(APPEND entorno "WINEQT_QPA_PLATFORM=offscreen" "WINEQT_LOGGING_RULES=nbsms.*.debug=true"
                          "WINEQT_FORCE_STDERR_LOGGING=1")
    endif()
  endif()
  if(NBSMS_SANITIZE)
    # Leaks that Qt's platform plugin and QtWebKit keep until exit are not ours; full stacks
    # let the suppressions tell them apart from our own.
    list(APPEND entorno "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
                        "ASAN_OPTIONS=fast_unwind_on_malloc=0:detect_leaks=1"
                        "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  endif()
  set_tests_properties(${nombre} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${entorno}")
  set(prueba ${nombre} PARENT_SCOPE)
endfunction()
