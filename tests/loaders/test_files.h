// Helpers for loader tests: a scratch directory removed at the end of the test, and builders
// for small PCX files.
#pragma once

#include <stdlib.h>
#include <unistd.h>

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
    std::string write(const std::string& name, const Bytes& bytes) const {
        std::string file = dir() + name;
        FILE* out = std::fopen(file.c_str(), "wb");
        if (out != nullptr) {
            if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), out);
            std::fclose(out);
        }
        return file;
    }
    std::string write(const std::string& name, const std::string& text) const {
        return write(name, Bytes(text.begin(), text.end()));
    }

   private:
    std::string path_;
};

struct PcxHeader {
    int bits = 8;
    int planes = 1;
    int xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    int line_bytes = 0;  // header's bytes per line and plane; 0 leaves the field 0
    int manufacturer = 10;
    int encoding = 1;
};

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
    put16(4, h.xmin);
    put16(6, h.ymin);
    put16(8, h.xmax);
    put16(10, h.ymax);
    for (int i = 0; i < 48; ++i) bytes[16 + i] = static_cast<uint8_t>(i);
    bytes[65] = static_cast<uint8_t>(h.planes);
    put16(66, h.line_bytes);
    return bytes;
}

// Run-length encodes `data` with runs of at most 63, never across a call.
inline Bytes pcx_encode(const Bytes& data) {
    Bytes out;
    for (size_t i = 0; i < data.size();) {
        size_t run = 1;
        while (i + run < data.size() && data[i + run] == data[i] && run < 63) ++run;
        if (run > 1 || data[i] >= 0xC0) out.push_back(static_cast<uint8_t>(0xC0 | run));
        out.push_back(data[i]);
        i += run;
    }
    return out;
}

// An 8-bit single-plane PCX of the given indices, row after row, each row encoded on its own.
inline Bytes pcx_8bit(int width, int height, const Bytes& pixels) {
    PcxHeader h;
    h.xmax = width - 1;
    h.ymax = height - 1;
    h.line_bytes = width;
    Bytes file = pcx_header(h);
    for (int y = 0; y < height; ++y) {
        Bytes row(pixels.begin() + y * width, pixels.begin() + (y + 1) * width);
        Bytes encoded = pcx_encode(row);
        file.insert(file.end(), encoded.begin(), encoded.end());
    }
    return file;
}

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
