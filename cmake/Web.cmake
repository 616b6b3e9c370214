# The browser build, configured through Emscripten's toolchain:
#   emcmake cmake -S . -B build-web && cmake --build build-web
# (tools/web.sh does both and serves the result). The published folder is build-web/site:
# index.html, demo.js, demo.wasm and demo.data (the packaged res/ folder).

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
# next to a copy of web/index.html.
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
    add_custom_command(OUTPUT ${DEMO_WEB_SITE}/index.html
        COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/web/index.html
                ${DEMO_WEB_SITE}/index.html
        DEPENDS ${PROJECT_SOURCE_DIR}/web/index.html)
    add_custom_target(${target}_page ALL DEPENDS ${DEMO_WEB_SITE}/index.html)
endfunction()
