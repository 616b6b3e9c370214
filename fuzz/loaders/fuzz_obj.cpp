// libFuzzer target: any bytes as an OBJ model in a scratch directory, loaded and released.
// The input may carry two more files after separator lines: "#MTL" starts the text of
// "m.mtl" and "#PCX" the bytes of "t.pcx", so that mtllib and map_Kd statements can reach a
// material and a texture. The files are removed after each input.
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "loaders/obj.h"
#include "scratch.h"

// The loader prints progress lines on standard output; libFuzzer reports on standard error.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::freopen("/dev/null", "w", stdout);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    constexpr std::string_view MTL_MARK = "\n#MTL\n";
    constexpr std::string_view PCX_MARK = "\n#PCX\n";
    size_t pcx_at = input.find(PCX_MARK);
    std::string_view pcx = pcx_at == std::string_view::npos
                               ? std::string_view()
                               : input.substr(pcx_at + PCX_MARK.size());
    input = input.substr(0, pcx_at);
    size_t mtl_at = input.find(MTL_MARK);
    std::string_view mtl = mtl_at == std::string_view::npos
                               ? std::string_view()
                               : input.substr(mtl_at + MTL_MARK.size());
    std::string_view obj = input.substr(0, mtl_at);
    const Scratch& scratch = Scratch::get();
    if (mtl_at != std::string_view::npos) scratch.write("m.mtl", mtl);
    if (pcx_at != std::string_view::npos) scratch.write("t.pcx", pcx);
    // The stricter load of a required model runs every check of the plain one and its own.
    free_model(load_required_model(scratch.write("f.obj", obj).c_str(), 64));
    for (const char* name : {"f.obj", "m.mtl", "t.pcx"}) scratch.remove(name);
    return 0;
}
