// Helpers for loader tests: a scratch directory removed at the end of the test, builders for
// small PCX files, and the hash that summarises what a reader made of a file.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <sstream>
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
        if (FILE* out = std::fopen((dir + name).c_str(), "wb")) {
            std::fwrite(contents.data(), 1, contents.size(), out);
            std::fclose(out);
        }
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
    auto put16 = [&bytes](int offset, int value) {
        bytes[offset] = static_cast<uint8_t>(value);
        bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
    };
    put16(0, h.manufacturer | 5 << 8);
    put16(2, h.encoding | h.bits << 8);
    put16(4, h.xmin), put16(6, h.ymin), put16(8, h.xmax), put16(10, h.ymax);
    put16(65, h.planes | h.line_bytes << 8), put16(67, h.line_bytes >> 8);
    for (int i = 0; i < 48; ++i) bytes[16 + i] = static_cast<uint8_t>(i);
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

// A width x height image at the origin.
inline PcxHeader pcx_layout(int bits, int planes, int width, int height, int line_bytes = 0) {
    return {bits, planes, 0, 0, width - 1, height - 1, line_bytes};
}

// An 8-bit single-plane PCX of the given indices, each pixel written as a run of one.
inline Bytes pcx_8bit(int width, int height, const Bytes& pixels) {
    Bytes data;
    for (uint8_t pixel : pixels) data.push_back(0xC1), data.push_back(pixel);
    return pcx_file(pcx_layout(8, 1, width, height, width), data);
}

// FNV-1a, 64 bits, over bytes and numbers fed in order.
struct Hash {
    uint64_t value = 0xCBF29CE484222325ull;
    Hash& bytes(const void* data, size_t size) {
        const auto* p = static_cast<const uint8_t*>(data);
        for (size_t i = 0; i < size; ++i) value = (value ^ p[i]) * 0x100000001B3ull;
        return *this;
    }
    Hash& number(int64_t n) { return bytes(&n, sizeof(n)); }
    std::string hex() const {
        std::ostringstream out;
        out << std::hex << value;
        return out.str();
    }
};
