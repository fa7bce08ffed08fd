# nbsms_add_test(<name> SOURCES <files...> [LIBS <libs...>] [TIMEOUT <s>])
# A Qt Test executable linked to the application's libraries (and LIBS), registered with CTest. The test's main()
# (NBSMS_TEST_MAIN) gives every run its own temporary HOME, XDG dirs and TMPDIR, and
# CTest runs it on the offscreen platform, so no test touches a real settings store.
function(nbsms_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE nbsms_app Qt5::Test ${T_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  # The program's debug lines on, for the tests that expect them and for the programs they start.
  set(entorno "QT_QPA_PLATFORM=offscreen;NBSMS_BIN_DIR=$<TARGET_FILE_DIR:nbsms>;NBSMS_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
              "QT_LOGGING_RULES=nbsms.*.debug=true")
  if(NBSMS_SANITIZE)
    # Leaks that Qt's platform plugin and QtWebKit keep until exit are not ours; full stacks
    # let the suppressions tell them apart from our own.
    list(APPEND entorno "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
                        "ASAN_OPTIONS=fast_unwind_on_malloc=0:detect_leaks=1"
                        "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${entorno}")
endfunction()
