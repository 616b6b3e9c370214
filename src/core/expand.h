// Expansion of the frame into a 32-bit surface of any channel layout, doubled in both
// directions: the window's surface keeps red in the top byte, the browser's canvas keeps red,
// green, blue and alpha in memory order. The layout is read from the surface's channel masks.
#pragma once

#include <array>
#include <cstdint>

// The palette as a surface stores it, each colour twice: the 64-bit value of two adjacent
// pixels, which is what one doubled source pixel writes on a row.
struct SurfacePalette {
    std::array<uint64_t, 256> pairs;
};

// Places each palette colour's 8-bit channels under the given masks (a channel narrower than
// 8 bits keeps its top bits); a surface with an alpha mask gets it fully set (opaque).
void make_surface_palette(uint32_t rmask, uint32_t gmask, uint32_t bmask, uint32_t amask,
                          SurfacePalette* out);

// The palette in its own layout, 0xRRGGBB00 per pixel: the window's expansion surface and the
// tools' PNG frames.
const SurfacePalette& rgbx_surface_palette();

// Expands width x height palette indices into a surface of twice the size in both directions;
// dst_pitch is the surface's row length in bytes (at least 8 x width). Only the 2 x width
// pixels of each of the 2 x height rows are written.
void expand_frame(const SurfacePalette& colours, const uint8_t* src, int32_t width, int32_t height,
                  uint32_t* dst, int32_t dst_pitch);
