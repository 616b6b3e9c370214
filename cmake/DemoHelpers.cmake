# demo_library(NAME SOURCES... [DEPS targets...])
# A static library of our own code, with the project's warnings and `src/` as include root,
# so headers are included as "render/raster.h", "math/trig.h" and so on.
function(demo_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE demo_warnings)
endfunction()

# demo_test(NAME SOURCES... [DEPS targets...] [LABELS labels...])
# A GoogleTest executable registered with CTest. Tests run from the repository root so that
# relative paths such as res/ and the shared corpus resolve as they do for the program.
function(demo_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main demo_warnings)
    gtest_discover_tests(${name}
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        PROPERTIES LABELS "${ARG_LABELS}"
        DISCOVERY_TIMEOUT 60)
endfunction()

# demo_benchmark(NAME SOURCES... [DEPS targets...])
function(demo_benchmark name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark benchmark::benchmark_main
                                          demo_warnings)
endfunction()

# demo_fuzzer(NAME SOURCES... [DEPS targets...])
function(demo_fuzzer name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} demo_warnings)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
endfunction()
