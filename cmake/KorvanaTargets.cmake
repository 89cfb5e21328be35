# Common compile settings for every Korvana target.
# -ffp-contract=off: no fused multiply-add; every product is rounded where the
# formulas say. Fast-math style options are never used.
function(korvana_target_settings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
    -ffp-contract=off -fno-fast-math)
  # GCC 12 reports memcpy/memset overlaps and bounds inside inlined
  # std::string and std::vector code at -O2 that cannot happen (GCC bugs
  # 105329, 105651, 107852); the sanitizer build checks the real bounds.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict -Wno-array-bounds -Wno-stringop-overflow -Wno-stringop-overread)
  endif()
endfunction()

# Registers a GoogleTest executable built from the given sources; the tests'
# shared helpers (tests/common/TestFiles.h) are found from the source root.
function(korvana_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  korvana_target_settings(${name})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
endfunction()
