# Compile options every target of the project links through kx_options:
# warnings, warnings-as-errors, sanitizers. Target-scoped, never global flags.
add_library(kx_options INTERFACE)
target_compile_options(kx_options INTERFACE -Wall -Wextra -Wshadow -Wpedantic)
if(KX_WERROR)
  target_compile_options(kx_options INTERFACE -Werror)
endif()
if(KX_SANITIZE)
  target_compile_options(kx_options INTERFACE -fsanitize=${KX_SANITIZE} -fno-omit-frame-pointer)
  target_link_options(kx_options INTERFACE -fsanitize=${KX_SANITIZE})
endif()
# Lets code and tests know they run under a sanitizer (timing tests relax then).
if(KX_SANITIZE MATCHES "thread")
  target_compile_definitions(kx_options INTERFACE KX_TSAN=1)
elseif(KX_SANITIZE)
  target_compile_definitions(kx_options INTERFACE KX_ASAN=1)
endif()

# kx_add_library(name SOURCES... LINKS...): a static library of one folder,
# exposing that folder as its include directory.
function(kx_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_LINKS} PRIVATE kx_options)
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
endfunction()

# kx_add_test(name MAIN core|gui|app SOURCES... LINKS... PROPERTIES...): a
# GoogleTest binary registered with CTest, with the test main of its kind
# (tests/support) and the test support library. Discovery runs just before
# the tests, in the tests' environment, so a test main that needs a display or
# a simulator is never run at build time.
function(kx_add_test name)
  cmake_parse_arguments(ARG "" "MAIN" "SOURCES;LINKS;PROPERTIES" ${ARGN})
  if(NOT ARG_MAIN MATCHES "^(core|gui|app)$")
    message(FATAL_ERROR "kx_add_test(${name}): MAIN core, gui or app")
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE kx_test_main_${ARG_MAIN} kx_test_support ${ARG_LINKS}
    GTest::gtest GTest::gmock kx_options)
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    TEST_LIST ${name}_TESTS
    PROPERTIES ${ARG_PROPERTIES})
  # The environment is a list-valued property, which the discovery's PROPERTIES
  # would split into separate arguments; a CTest include file that runs after
  # the discovery sets it on every discovered test instead.
  set(env_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_env.cmake)
  file(WRITE ${env_file}
    "if(${name}_TESTS)\n"
    "  set_tests_properties(\${${name}_TESTS} PROPERTIES ENVIRONMENT\n"
    "    \"QT_QPA_PLATFORM=offscreen;KX_SOURCE_DIR=${PROJECT_SOURCE_DIR};KX_BINARY_DIR=${PROJECT_BINARY_DIR}\")\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${env_file})
endfunction()

# kx_add_bench(name SOURCES... LINKS...): a Google Benchmark binary (not run by CI).
function(kx_add_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LINKS} benchmark::benchmark kx_options)
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
endfunction()

# Fuzzing instruments every library for coverage; the targets themselves link
# libFuzzer (tests/fuzz).
if(KX_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "KX_FUZZ needs clang (-DCMAKE_CXX_COMPILER=clang++-14)")
  endif()
  target_compile_options(kx_options INTERFACE -fsanitize=fuzzer-no-link)
endif()
