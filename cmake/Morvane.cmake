# Helpers that keep every area's CMakeLists.txt to a list of files.
#
# morvane_library(<name> SOURCES ... [DEPS ...] [PRIVATE_DEPS ...])
#   A static library of one area (platform_base, platform_net, sdk_foundation, ...).
#   Headers are included from the repository root: #include "platform/base/Clock.h".
#   `cmake --install` installs it into the package (cmake/MorvaneInstall.cmake).
# morvane_test(<name> SOURCES ... [DEPS ...] [LABELS ...])
#   A GoogleTest executable; LABELS let ctest presets leave its tests out. ctest runs every test in its own process; the binary also
#   passes whole, in any order, as process-wide state registers its reset
#   (platform/base/TestingReset.h) and the test main runs the resets around each test.
# morvane_fuzzer(<name> SOURCES ... [DEPS ...]) / morvane_benchmark(<name> SOURCES ... [DEPS ...])

include(GNUInstallDirs)
# Where the package puts its parts, below the install prefix.
set(MORVANE_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/morvane)
set(MORVANE_INSTALL_LIBDIR ${CMAKE_INSTALL_LIBDIR}/morvane)
set(MORVANE_INSTALL_LIBEXECDIR ${CMAKE_INSTALL_LIBEXECDIR}/morvane)
set(MORVANE_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Morvane)

function(morvane_library name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
    $<INSTALL_INTERFACE:${MORVANE_INSTALL_INCLUDEDIR}>)
  target_link_libraries(${name} PUBLIC ${A_DEPS} PRIVATE ${A_PRIVATE_DEPS})
  install(TARGETS ${name} EXPORT MorvaneTargets ARCHIVE DESTINATION ${MORVANE_INSTALL_LIBDIR})
endfunction()

function(morvane_test name)
  if(NOT MORVANE_TESTS)
    return()
  endif()
  cmake_parse_arguments(A "" "" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS} morvane_testing morvane_testing_main GTest::gmock)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 120 LABELS "${A_LABELS}")
endfunction()

function(morvane_fuzzer name)
  if(NOT MORVANE_FUZZ)
    return()
  endif()
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_property(GLOBAL APPEND PROPERTY MORVANE_FUZZERS ${name})
endfunction()

function(morvane_benchmark name)
  if(NOT MORVANE_BENCH)
    return()
  endif()
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS} benchmark::benchmark)
  set_property(GLOBAL APPEND PROPERTY MORVANE_BENCHMARKS ${name})
endfunction()
