// The show's palette in the encoder's colour space. Every pixel of the 800 x 480 picture is one
// of a 2 x 2 block standing for one pixel of the 400 x 240 frame, so 4:2:0 chroma, one sample
// per 2 x 2 block, gives each frame pixel its own chroma sample: nothing is averaged with a
// neighbour, and the picture stays playable everywhere 4:2:0 is.
#pragma once

#include <array>
#include <cstdint>

// One colour as 8-bit YCbCr: BT.709 matrix, limited range (Y 16..235, Cb and Cr 16..240).
struct Ycc {
    uint8_t y;
    uint8_t cb;
    uint8_t cr;
};

// The standard decode of `ycc` to 8-bit RGB, rounded and clamped as players do.
std::array<uint8_t, 3> rgb_from_ycc(Ycc ycc);

// The triple for a colour 0xRRGGBB00: of the eight that round the exact value up or down,
// the one that decodes nearest to the colour.
Ycc ycc_from_rgbx(uint32_t rgbx);

// ycc_from_rgbx over all 256 entries of a palette.
std::array<Ycc, 256> ycc_palette(const std::array<uint32_t, 256>& palette);

// Writes a width x height frame of palette indices as planes of twice the size: 2 x 2 luma
// samples and one Cb and one Cr sample per frame pixel. Strides are in bytes.
void frame_to_yuv420(const uint8_t* indices, int32_t width, int32_t height,
                     const std::array<Ycc, 256>& table, uint8_t* y, int32_t y_stride, uint8_t* cb,
                     int32_t cb_stride, uint8_t* cr, int32_t cr_stride);
