// Reading and writing 8-bit RGB PNG files, for the tools and tests that save or compare
// frames. Frames come from the expansion surface: 32-bit pixels 0xRRGGBB00.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct RgbImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgb;  // width x height x 3 bytes, row after row
};

// Writes 0xRRGGBB00 pixels (row stride `width`) as an RGB PNG. False, with a message in
// `error`, when the file cannot be written.
bool write_png_rgbx(const std::string& path, const uint32_t* pixels, int32_t width, int32_t height,
                    std::string* error);

// Reads any PNG as 8-bit RGB. False, with a message in `error`, when it cannot be read.
bool read_png_rgb(const std::string& path, RgbImage* image, std::string* error);

// Expands a 400 x 240 palette-index frame to 800 x 480 and writes it as a PNG.
bool write_frame_png(const std::string& path, const uint8_t* indices, int32_t width, int32_t height,
                     std::string* error);
