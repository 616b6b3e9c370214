// libFuzzer target: any bytes as a PCX file through open, decode, close and release. The
// file is removed after each input.
#include <cstdint>
#include <string>
#include <string_view>

#include "loaders/pcx.h"
#include "scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Scratch& scratch = Scratch::get();
    const std::string path =
        scratch.write("f.pcx", std::string_view(reinterpret_cast<const char*>(data), size));
    PcxImage* image = pcx_open(path.c_str());
    if (image != nullptr) {
        pcx_decode(image);
        pcx_close(image);
        pcx_free(image);
    }
    scratch.remove("f.pcx");
    return 0;
}
