// The show's resources, made from nothing but code: models, textures and the tune. Every
// byte is a pure function of this program, so the files can be rebuilt and compared.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ResourceFile {
    std::string name;  // file name inside res/
    std::vector<uint8_t> bytes;
};

// A deterministic pseudo-random source (xorshift32) for noise and texture grain.
struct Noise {
    uint32_t state;
    uint32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    // Uniform in -range .. range.
    int32_t signed_value(int32_t range) {
        return static_cast<int32_t>(next() % static_cast<uint32_t>(2 * range + 1)) - range;
    }
};

// An 8-bit image of palette indices, row-major.
struct Image {
    int32_t width;
    int32_t height;
    std::vector<uint8_t> pixels;
    Image(int32_t w, int32_t h) : width(w), height(h), pixels(static_cast<size_t>(w * h), 0) {}
    uint8_t& at(int32_t x, int32_t y) { return pixels[static_cast<size_t>(y * width + x)]; }
};

// Encodes an 8-bit single-plane run-length PCX whose trailing palette is the system palette.
std::vector<uint8_t> encode_pcx(const Image& image);

// Picks an index from a dark-to-light ramp for a shade of 0..256 x (ramp size - 1), with
// 4 x 4 ordered dithering between neighbouring entries.
uint8_t dither_ramp(const std::vector<uint8_t>& ramp, int32_t shade, int32_t x, int32_t y);

// Rounded 16.16 -> integer and sine/cosine in 16.16 of fine angles (2880 per turn).
int32_t round_fixed(int64_t value);
int32_t sin16(int32_t fine_angle);
int32_t cos16(int32_t fine_angle);

// Exact decimal text of num / 2^shift (a terminating decimal, so the model reader's
// fixed-point parser gets the value exactly).
std::string binary_fraction_text(int64_t num, int shift);

// res/pumpkin.obj, res/pumpkin.mtl, res/pumpkin.pcx.
void make_pumpkin(std::vector<ResourceFile>& out);
// res/cube.obj, res/cube.mtl, res/cube.pcx.
void make_cube(std::vector<ResourceFile>& out);
// res/tunnel.pcx.
void make_tunnel(std::vector<ResourceFile>& out);
// res/brumo.mod.
void make_tune(std::vector<ResourceFile>& out);

// Every resource, in a fixed order.
std::vector<ResourceFile> make_all_resources();
