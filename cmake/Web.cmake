# The browser build, configured through Emscripten's toolchain:
#   emcmake cmake -S . -B build-web && cmake --build build-web
# (tools/web.sh does both and serves the result). The published folder is build-web/site:
# index.html, demo.js, demo.wasm and demo.data (the packaged res/ folder), and the music's
# AudioWorklet: music-link.js (the page's side), music-worklet.js and player.wasm.

# WebAssembly SIMD: every current browser has it, and the expansion and the rasteriser's
# inner loops gain from it.
add_compile_options(-msimd128)

# emcc's JavaScript optimiser needs acorn, which Debian installs for its own Node.js under
# /usr/share/nodejs; another Node.js on the path does not look there. Set for every link,
# whatever the environment of the configuring shell was.
if(EXISTS /usr/share/nodejs/acorn)
    set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
endif()

set(DEMO_WEB_SITE ${PROJECT_BINARY_DIR}/site)

# demo_web_program(TARGET): links TARGET as the page's program: demo.js with its .wasm and the
# resources packaged as demo.data (still opened as res/...), started by the page's prompt,
# next to copies of web/index.html and the music's scripts.
function(demo_web_program target)
    target_link_options(${target} PRIVATE
        "SHELL:--preload-file ${PROJECT_SOURCE_DIR}/res@res"
        # The page calls main once the viewer has clicked, so that sound may start.
        -sINVOKE_RUN=0
        "-sEXPORTED_RUNTIME_METHODS=['callMain']"
        -sENVIRONMENT=web
        # Drawing a still frame loads the show afresh; the heap may have to grow for it.
        -sALLOW_MEMORY_GROWTH=1)
    file(GLOB resources ${PROJECT_SOURCE_DIR}/res/*)
    set_target_properties(${target} PROPERTIES
        OUTPUT_NAME demo
        RUNTIME_OUTPUT_DIRECTORY ${DEMO_WEB_SITE}
        LINK_DEPENDS "${resources}")
    set(pages)
    foreach(page index.html music-link.js music-worklet.js)
        add_custom_command(OUTPUT ${DEMO_WEB_SITE}/${page}
            COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/web/${page}
                    ${DEMO_WEB_SITE}/${page}
            DEPENDS ${PROJECT_SOURCE_DIR}/web/${page})
        list(APPEND pages ${DEMO_WEB_SITE}/${page})
    endforeach()
    add_custom_target(${target}_page ALL DEPENDS ${pages})
endfunction()

# demo_web_worklet_player(TARGET SOURCES... DEPS...): links TARGET as player.wasm, a module
# without Emscripten's runtime (its only import is WASI's proc_exit) that the page's
# AudioWorklet instantiates itself: the sources' exported entry points over the music player.
function(demo_web_worklet_player target)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${target} ${ARG_SOURCES})
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${target} PRIVATE ${ARG_DEPS} demo_warnings)
    # The player needs little memory: its state, the module image and a small stack; a larger
    # module grows it.
    target_link_options(${target} PRIVATE -sSTANDALONE_WASM --no-entry -sTOTAL_STACK=65536
                        -sINITIAL_MEMORY=1MB -sALLOW_MEMORY_GROWTH=1)
    set_target_properties(${target} PROPERTIES
        OUTPUT_NAME player
        SUFFIX .wasm
        RUNTIME_OUTPUT_DIRECTORY ${DEMO_WEB_SITE})
endfunction()
