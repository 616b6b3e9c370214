// Helpers for loader tests: a scratch directory removed at the end of the test, and builders
// for small PCX files.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

class TempDir {
   public:
    TempDir() {
        char pattern[] = "/tmp/loaders-test-XXXXXX";
        path_ = mkdtemp(pattern) != nullptr ? pattern : "";
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The directory with a trailing '/'.
    std::string dir() const { return path_ + "/"; }
    // Writes `contents` (bytes or text) to dir() + name and returns that path.
    template <typename Contents>
    std::string write(const std::string& name, const Contents& contents) const {
        std::string file = dir() + name;
        if (FILE* out = std::fopen(file.c_str(), "wb")) {
            if (!contents.empty()) std::fwrite(contents.data(), 1, contents.size(), out);
            std::fclose(out);
        }
        return file;
    }

   private:
    std::string path_;
};

struct PcxHeader {
    int bits = 8, planes = 1;
    int xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    int line_bytes = 0;  // header's bytes per line and plane; 0 leaves the field 0
    int manufacturer = 10, encoding = 1;
};

// A header for a width x height image at the origin.
inline PcxHeader pcx_layout(int bits, int planes, int width, int height, int line_bytes = 0) {
    PcxHeader h;
    h.bits = bits, h.planes = planes, h.xmax = width - 1, h.ymax = height - 1;
    h.line_bytes = line_bytes;
    return h;
}

inline Bytes pcx_header(const PcxHeader& h) {
    Bytes bytes(128, 0);
    auto put16 = [&bytes](int offset, int value) {
        bytes[offset] = static_cast<uint8_t>(value & 0xFF);
        bytes[offset + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
    };
    bytes[0] = static_cast<uint8_t>(h.manufacturer);
    bytes[1] = 5;
    bytes[2] = static_cast<uint8_t>(h.encoding);
    bytes[3] = static_cast<uint8_t>(h.bits);
    put16(4, h.xmin), put16(6, h.ymin), put16(8, h.xmax), put16(10, h.ymax);
    for (int i = 0; i < 48; ++i) bytes[16 + i] = static_cast<uint8_t>(i);
    bytes[65] = static_cast<uint8_t>(h.planes);
    put16(66, h.line_bytes);
    return bytes;
}

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// An 8-bit single-plane PCX of the given indices, each pixel written as a run of one.
inline Bytes pcx_8bit(int width, int height, const Bytes& pixels) {
    Bytes file = pcx_header(pcx_layout(8, 1, width, height, width));
    for (uint8_t pixel : pixels) file.insert(file.end(), {0xC1, pixel});
    return file;
}
