#include <array>

#include "core/framebuffer.h"
#include "math/trig.h"
#include "resgen.h"

namespace {

void put_le16(std::vector<uint8_t>& out, size_t at, int32_t value) {
    out[at] = static_cast<uint8_t>(value & 0xFF);
    out[at + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

uint8_t red(uint32_t c) {
    return static_cast<uint8_t>(c >> 24);
}
uint8_t green(uint32_t c) {
    return static_cast<uint8_t>(c >> 16);
}
uint8_t blue(uint32_t c) {
    return static_cast<uint8_t>(c >> 8);
}

constexpr std::array<std::array<int32_t, 4>, 4> kBayer = {{
    {0, 8, 2, 10},
    {12, 4, 14, 6},
    {3, 11, 1, 9},
    {15, 7, 13, 5},
}};

}  // namespace

std::vector<uint8_t> encode_pcx(const Image& image) {
    // Even widths keep the bytes-per-line field honest without padding bytes.
    std::vector<uint8_t> out(128, 0);
    out[0] = 10;  // manufacturer
    out[1] = 5;   // version 3.0 and later: 256-colour palette at the end
    out[2] = 1;   // run-length encoding
    out[3] = 8;   // bits per pixel
    put_le16(out, 8, image.width - 1);
    put_le16(out, 10, image.height - 1);
    put_le16(out, 12, 72);
    put_le16(out, 14, 72);
    for (int i = 0; i < 16; ++i) {
        out[16 + 3 * i] = red(palette[i]);
        out[17 + 3 * i] = green(palette[i]);
        out[18 + 3 * i] = blue(palette[i]);
    }
    out[65] = 1;  // planes
    put_le16(out, 66, image.width);
    put_le16(out, 68, 1);  // colour palette

    for (int32_t y = 0; y < image.height; ++y) {
        const uint8_t* row = &image.pixels[static_cast<size_t>(y * image.width)];
        int32_t x = 0;
        while (x < image.width) {
            uint8_t value = row[x];
            int32_t run = 1;
            while (x + run < image.width && run < 63 && row[x + run] == value) ++run;
            // A lone byte below 0xC0 stands for itself; anything else needs a count byte.
            if (run > 1 || value >= 0xC0) out.push_back(static_cast<uint8_t>(0xC0 | run));
            out.push_back(value);
            x += run;
        }
    }
    out.push_back(0x0C);
    for (uint32_t colour : palette) {
        out.push_back(red(colour));
        out.push_back(green(colour));
        out.push_back(blue(colour));
    }
    return out;
}

uint8_t dither_ramp(const std::vector<uint8_t>& ramp, int32_t shade, int32_t x, int32_t y) {
    int32_t top = static_cast<int32_t>(ramp.size()) - 1;
    int32_t limit = top * 256;
    if (shade < 0) shade = 0;
    if (shade > limit) shade = limit;
    int32_t step = shade >> 8;
    int32_t fraction = shade & 0xFF;
    int32_t threshold = kBayer[static_cast<size_t>(y & 3)][static_cast<size_t>(x & 3)] * 16 + 8;
    if (step < top && fraction > threshold) ++step;
    return ramp[static_cast<size_t>(step)];
}

int32_t round_fixed(int64_t value) {
    return static_cast<int32_t>((value + 0x8000) >> 16);
}

int32_t sin16(int32_t fine_angle) {
    return fine_sin32(fine_angle);
}

int32_t cos16(int32_t fine_angle) {
    return fine_sin32(fine_angle + FINE_QUARTER);
}

std::string binary_fraction_text(int64_t num, int shift) {
    std::string text(num < 0 ? 1 : 0, '-');
    if (num < 0) num = -num;
    int64_t whole = num >> shift;
    int64_t fraction = num & ((int64_t{1} << shift) - 1);
    text += std::to_string(whole);
    if (fraction == 0) return text;
    // fraction / 2^shift = fraction x 5^shift / 10^shift.
    int64_t scaled = fraction;
    for (int i = 0; i < shift; ++i) scaled *= 5;
    std::string digits = std::to_string(scaled);
    digits.insert(0, static_cast<size_t>(shift) - digits.size(), '0');
    while (digits.back() == '0') digits.pop_back();
    return text + "." + digits;
}

std::vector<ResourceFile> make_all_resources() {
    std::vector<ResourceFile> files;
    make_pumpkin(files);
    make_cube(files);
    make_tunnel(files);
    make_tune(files);
    return files;
}
