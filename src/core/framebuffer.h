// The 400 x 240 frame of palette indices that everything draws into, the fixed 256-colour
// palette and the draw colour: the bottom of the SDL-free core that every target shares.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

inline constexpr int32_t FRAME_WIDTH = 400;
inline constexpr int32_t FRAME_HEIGHT = 240;
inline constexpr int32_t SCREEN_WIDTH = 2 * FRAME_WIDTH;
inline constexpr int32_t SCREEN_HEIGHT = 2 * FRAME_HEIGHT;

// Palette indices the show chooses by number.
enum : uint8_t {
    COLOUR_BLACK = 0,
    COLOUR_WHITE = 15,
    COLOUR_DARK_GREY = 20,
    COLOUR_DARK_RED_BROWN = 113,
};

struct Framebuffer {
    uint8_t* pixels;  // row-major, one palette index per pixel, stride = width
    int32_t width;
    int32_t height;
};

// Holds no storage until init_display (or frame_attach_storage, for headless users).
extern Framebuffer framebuffer;
// 0xRRGGBB00 per entry: the pixel layout of the 32-bit expansion surface.
extern const std::array<uint32_t, 256> palette;
extern uint8_t draw_colour;

// Points the framebuffer at the system's static 400 x 240 storage. init_display does this;
// headless tools and tests call it instead of opening a window.
void frame_attach_storage();

void clear_frame(uint8_t index);
// No clipping: the caller keeps 0 <= x < width and 0 <= y < height.
void put_pixel(int32_t x, int32_t y, uint8_t index);
void plot_pixel(int32_t x, int32_t y);
void set_draw_colour(uint8_t index);
