#include "core/framebuffer.h"

#include <cstring>

namespace {

// The VGA default palette arrangement with this system's own 8-bit levels.
constexpr uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) {
    return r << 24 | g << 16 | b << 8;
}

constexpr std::array<uint32_t, 16> kStandard = {
    rgb(0x00, 0x00, 0x00), rgb(0x00, 0x00, 0xA8), rgb(0x00, 0xA8, 0x00), rgb(0x00, 0xA8, 0xA8),
    rgb(0xA8, 0x00, 0x00), rgb(0xA8, 0x00, 0xA8), rgb(0xA8, 0x57, 0x00), rgb(0xA8, 0xA8, 0xA8),
    rgb(0x57, 0x57, 0x57), rgb(0x57, 0x57, 0xFF), rgb(0x57, 0xFF, 0x57), rgb(0x57, 0xFF, 0xFF),
    rgb(0xFF, 0x57, 0x57), rgb(0xFF, 0x57, 0xFF), rgb(0xFF, 0xFF, 0x57), rgb(0xFF, 0xFF, 0xFF),
};

constexpr std::array<uint8_t, 16> kGreys = {0x00, 0x17, 0x20, 0x2F, 0x38, 0x47, 0x50, 0x60,
                                            0x70, 0x80, 0x90, 0xA0, 0xB7, 0xC8, 0xE0, 0xFF};

// Each ring walks blue, magenta, red, yellow, green, cyan and back towards blue; the
// entries are level numbers 0..4 for red, green and blue.
constexpr uint8_t kRingSteps[24][3] = {
    {0, 0, 4}, {1, 0, 4}, {2, 0, 4}, {3, 0, 4}, {4, 0, 4}, {4, 0, 3}, {4, 0, 2}, {4, 0, 1},
    {4, 0, 0}, {4, 1, 0}, {4, 2, 0}, {4, 3, 0}, {4, 4, 0}, {3, 4, 0}, {2, 4, 0}, {1, 4, 0},
    {0, 4, 0}, {0, 4, 1}, {0, 4, 2}, {0, 4, 3}, {0, 4, 4}, {0, 3, 4}, {0, 2, 4}, {0, 1, 4},
};

constexpr uint8_t kRingLevels[9][5] = {
    {0x00, 0x40, 0x7F, 0xBF, 0xFF}, {0x7F, 0x9F, 0xBF, 0xDF, 0xFF}, {0xB7, 0xC7, 0xD8, 0xE8, 0xFF},
    {0x00, 0x1F, 0x38, 0x57, 0x70}, {0x38, 0x47, 0x57, 0x60, 0x70}, {0x50, 0x58, 0x60, 0x68, 0x70},
    {0x00, 0x10, 0x20, 0x30, 0x40}, {0x20, 0x28, 0x30, 0x38, 0x40}, {0x2F, 0x30, 0x37, 0x3F, 0x40},
};

constexpr std::array<uint32_t, 256> make_palette() {
    std::array<uint32_t, 256> p{};
    for (int i = 0; i < 16; ++i) p[i] = kStandard[i];
    for (int i = 0; i < 16; ++i) p[16 + i] = rgb(kGreys[i], kGreys[i], kGreys[i]);
    for (int ring = 0; ring < 9; ++ring) {
        for (int k = 0; k < 24; ++k) {
            const uint8_t* level = kRingLevels[ring];
            const uint8_t* step = kRingSteps[k];
            p[32 + ring * 24 + k] = rgb(level[step[0]], level[step[1]], level[step[2]]);
        }
    }
    // 248..255 stay black.
    return p;
}

static_assert(32 + 9 * 24 == 248, "the rings end where the black tail starts");

uint8_t frame_storage[FRAME_WIDTH * FRAME_HEIGHT];

}  // namespace

Framebuffer framebuffer = {nullptr, 0, 0};
const std::array<uint32_t, 256> palette = make_palette();
uint8_t draw_colour = 0;

void frame_attach_storage() {
    framebuffer.pixels = frame_storage;
    framebuffer.width = FRAME_WIDTH;
    framebuffer.height = FRAME_HEIGHT;
}

void clear_frame(uint8_t index) {
    std::memset(framebuffer.pixels, index,
                static_cast<size_t>(framebuffer.width) * static_cast<size_t>(framebuffer.height));
}

void put_pixel(int32_t x, int32_t y, uint8_t index) {
    framebuffer.pixels[x + y * framebuffer.width] = index;
}

void plot_pixel(int32_t x, int32_t y) {
    put_pixel(x, y, draw_colour);
}

void set_draw_colour(uint8_t index) {
    draw_colour = index;
}
