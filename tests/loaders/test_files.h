// Loader test helpers: a scratch directory removed at the end and a builder of small PCX files.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct TempDir {
    std::string dir;  // with a trailing '/'; empty if it could not be made
    TempDir() {
        char pattern[] = "/tmp/loaders-test-XXXXXX";
        if (mkdtemp(pattern) != nullptr) dir = std::string(pattern) + "/";
    }
    ~TempDir() {
        std::error_code ignored;
        if (!dir.empty()) std::filesystem::remove_all(dir, ignored);
    }
    // Writes `contents` (bytes or text) to dir + name and returns that path.
    template <typename Contents>
    std::string write(const std::string& name, const Contents& contents) const {
        std::ofstream(dir + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(contents.data()),
                   std::streamsize(contents.size()));
        return dir + name;
    }
};

struct PcxHeader {
    int bits = 8, planes = 1;
    int xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    int line_bytes = 0;  // the header's bytes per line and plane
    int manufacturer = 10, encoding = 1;
};

// The 128-byte header (its 16-colour map holds 0, 1, 2, ...), then `data`.
inline Bytes pcx_file(const PcxHeader& h, const Bytes& data = {}) {
    Bytes bytes(128, 0);
    const int at[] = {0, 2, 4, 6, 8, 10, 65, 67};
    const int values[] = {
        h.manufacturer | 5 << 8,      h.encoding | h.bits << 8, h.xmin, h.ymin, h.xmax, h.ymax,
        h.planes | h.line_bytes << 8, h.line_bytes >> 8};
    for (int i = 0; i < 8; ++i)
        bytes[at[i]] = uint8_t(values[i]), bytes[at[i] + 1] = uint8_t(values[i] >> 8);
    for (int i = 0; i < 48; ++i) bytes[16 + i] = static_cast<uint8_t>(i);
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

// An 8-bit single-plane PCX of the given indices, each pixel written as a run of one.
inline Bytes pcx_8bit(int width, int height, const Bytes& pixels) {
    Bytes data;
    for (uint8_t pixel : pixels) data.push_back(0xC1), data.push_back(pixel);
    return pcx_file({.xmax = width - 1, .ymax = height - 1, .line_bytes = width}, data);
}
