# quelto_add_test(NAME <name> SOURCES <files...> LIBS <libs...> LABELS <labels...>
#                 [ENVIRONMENT <VAR=value...>] [TIMEOUT <seconds>]
#                 [RESOURCE_LOCK <names...>])
#
# RESOURCE_LOCK: tests naming the same lock never run at the same time under
# `ctest -j` (the real-time suites, which a second one beside them on a
# two-core machine would starve).
#
# Labels in use:
#   unit     no display, no sound stack; also run under the sanitizers
#   widget   real FLTK widgets, each test under an X server of its own
#            (tests/with-display)
#   interop  peer modems (minimodem, spandsp)
#   e2e      the real programs through the audio test line
#   fuzz     short bounded fuzzing runs
find_package(GTest REQUIRED)

function(quelto_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;ENVIRONMENT;RESOURCE_LOCK" ${ARGN})
  if(QUELTO_UNIT_ONLY AND NOT "unit" IN_LIST T_LABELS)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock Threads::Threads)
  target_compile_definitions(${T_NAME} PRIVATE QUELTO_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                                               QUELTO_BINARY_DIR="${CMAKE_BINARY_DIR}")
  if("widget" IN_LIST T_LABELS)
    add_test(NAME ${T_NAME} COMMAND ${CMAKE_SOURCE_DIR}/tests/with-display $<TARGET_FILE:${T_NAME}>)
  else()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT}
                       ENVIRONMENT "${T_ENVIRONMENT}")
  if(T_RESOURCE_LOCK)
    set_tests_properties(${T_NAME} PROPERTIES RESOURCE_LOCK "${T_RESOURCE_LOCK}")
  endif()
endfunction()
