// libFuzzer target: any bytes as a PCX file through open, decode, close and release.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "loaders/pcx.h"

namespace {

const std::string& scratch_file() {
    static const std::string path = [] {
        char pattern[] = "/tmp/fuzz-pcx-XXXXXX";
        int fd = mkstemp(pattern);
        if (fd >= 0) close(fd);
        return std::string(pattern);
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = scratch_file();
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    PcxImage* image = pcx_open(path.c_str());
    if (image != nullptr) {
        pcx_decode(image);
        pcx_close(image);
        pcx_free(image);
    }
    return 0;
}
