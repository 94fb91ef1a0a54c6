# One interface target carries the compile flags for every target of ours.
# -Wshadow=local is GCC's; the fuzz build (clang) would only warn it is unknown.
add_library(orvane_flags INTERFACE)
target_compile_options(orvane_flags INTERFACE
  -Wall -Wextra -Wpedantic $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local> -Wnon-virtual-dtor -Wcast-align
  -Wformat=2 -Wno-unused-parameter)
target_compile_definitions(orvane_flags INTERFACE
  QT_NO_CAST_FROM_BYTEARRAY QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_DEPRECATED_WARNINGS)
if(ORVANE_WERROR)
  target_compile_options(orvane_flags INTERFACE -Werror)
endif()
if(ORVANE_FUZZ)
  # Coverage for libFuzzer in every library of ours; the targets add the fuzzer's main.
  target_compile_options(orvane_flags INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(orvane_flags INTERFACE -fsanitize=address,undefined)
elseif(ORVANE_SANITIZE)
  target_compile_options(orvane_flags INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(orvane_flags INTERFACE -fsanitize=address,undefined)
elseif(ORVANE_TSAN)
  target_compile_options(orvane_flags INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(orvane_flags INTERFACE -fsanitize=thread)
endif()

set(ORVANE_TSAN_OPTIONS "ignore_noninstrumented_modules=1:suppressions=${PROJECT_SOURCE_DIR}/scripts/tsan.supp")

# Registers a Qt Test executable with CTest. GUI tests get the offscreen
# platform so they run without a display.
#   orvane_add_test(NAME name SOURCES a.cpp b.cpp LIBS lib1 lib2 [TIMEOUT s] [LABELS l])
function(orvane_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE orvane_flags Qt5::Test ${T_LIBS})
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set(env "QT_QPA_PLATFORM=offscreen;ORVANE_BIN_DIR=${ORVANE_BIN_DIR};ASAN_OPTIONS=detect_leaks=0:detect_stack_use_after_return=0;UBSAN_OPTIONS=print_stacktrace=1")
  if(ORVANE_TSAN)
    # A report makes the test fail (exit code 66). The libraries from the system (Qt above
    # all) are not instrumented: their own libc calls are not checked, and the one
    # suppression file covers the rest of Qt's internals.
    list(APPEND env "TSAN_OPTIONS=${ORVANE_TSAN_OPTIONS}")
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}")
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
