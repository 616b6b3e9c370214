// libFuzzer target: any bytes as an OBJ model in a scratch directory, loaded and released.
// The input may carry two more files after separator lines: "#MTL" starts the text of
// "m.mtl" and "#PCX" the bytes of "t.pcx", so that mtllib and map_Kd statements can reach a
// material and a texture.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "loaders/obj.h"

namespace {

const std::string& scratch_dir() {
    static const std::string dir = [] {
        char pattern[] = "/tmp/fuzz-obj-XXXXXX";
        const char* made = mkdtemp(pattern);
        return std::string(made != nullptr ? made : "/tmp") + "/";
    }();
    return dir;
}

// Writes `bytes` to the scratch file `name`, or removes it when there are none.
void put_file(const std::string& name, std::string_view bytes, bool present) {
    std::string path = scratch_dir() + name;
    if (!present) {
        unlink(path.c_str());
        return;
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

}  // namespace

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
    put_file("m.mtl", mtl, mtl_at != std::string_view::npos);
    put_file("t.pcx", pcx, pcx_at != std::string_view::npos);
    put_file("f.obj", obj, true);
    free_model(load_obj((scratch_dir() + "f.obj").c_str(), 64));
    return 0;
}
