// The expansion into surfaces of other channel layouts, such as the browser's canvas.
#include "core/expand.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/framebuffer.h"

namespace {

struct Layout {
    const char* name;
    uint32_t rmask, gmask, bmask, amask;
    uint8_t index;
    uint32_t pixel;
};

// Index 6 is A8 57 00, index 9 is 57 57 FF.
const Layout kLayouts[] = {
    {"window, red on top", 0xFF000000, 0x00FF0000, 0x0000FF00, 0, 6, 0xA8570000},
    {"canvas, red first in memory", 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000, 6, 0xFF0057A8},
    {"canvas, blue colour", 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000, 9, 0xFFFF5757},
    {"16 bits, 5-6-5", 0xF800, 0x07E0, 0x001F, 0, 6, (0xA8 >> 3) << 11 | (0x57 >> 2) << 5},
    {"16 bits, 5-6-5, blue", 0xF800, 0x07E0, 0x001F, 0, 9,
     (0x57 >> 3) << 11 | (0x57 >> 2) << 5 | 0x1F},
};

TEST(SurfacePalette, PlacesEachChannelUnderItsMask) {
    for (const Layout& l : kLayouts) {
        SurfacePalette colours;
        make_surface_palette(l.rmask, l.gmask, l.bmask, l.amask, &colours);
        EXPECT_EQ(colours.pairs[l.index], uint64_t{l.pixel} * 0x100000001ull) << l.name;
    }
}

TEST(SurfacePalette, CanvasBytesAreRedGreenBlueOpaque) {
    SurfacePalette colours;
    make_surface_palette(0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000, &colours);
    for (int i = 0; i < 256; ++i) {
        uint8_t bytes[8];
        std::memcpy(bytes, &colours.pairs[i], 8);
        const uint8_t want[4] = {static_cast<uint8_t>(palette[i] >> 24),
                                 static_cast<uint8_t>(palette[i] >> 16),
                                 static_cast<uint8_t>(palette[i] >> 8), 0xFF};
        EXPECT_EQ(std::memcmp(bytes, want, 4), 0) << "index " << i;
        EXPECT_EQ(std::memcmp(bytes + 4, want, 4), 0) << "index " << i;
    }
}

// The last source pixel lights exactly the last 2 x 2 block; the bytes past each row's 800
// pixels (a wider pitch) are left alone.
TEST(SurfacePalette, DoublesIntoTheSurfaceRowsOnly) {
    constexpr int32_t kPitchPixels = SCREEN_WIDTH + 3;
    std::vector<uint8_t> frame(FRAME_WIDTH * FRAME_HEIGHT, 0);
    frame.back() = 15;
    std::vector<uint32_t> surface(kPitchPixels * SCREEN_HEIGHT, 0xDEADBEEF);
    SurfacePalette colours;
    make_surface_palette(0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000, &colours);
    expand_frame(colours, frame.data(), FRAME_WIDTH, FRAME_HEIGHT, surface.data(),
                 kPitchPixels * 4);
    int white = 0, black = 0, untouched = 0;
    for (int32_t y = 0; y < SCREEN_HEIGHT; ++y) {
        for (int32_t x = 0; x < kPitchPixels; ++x) {
            const uint32_t p = surface[y * kPitchPixels + x];
            if (x >= SCREEN_WIDTH) {
                untouched += p == 0xDEADBEEF;
            } else if (x >= 798 && y >= 478) {
                white += p == 0xFFFFFFFF;
            } else {
                black += p == 0xFF000000;
            }
        }
    }
    EXPECT_EQ(white, 4);
    EXPECT_EQ(black, SCREEN_WIDTH * SCREEN_HEIGHT - 4);
    EXPECT_EQ(untouched, 3 * SCREEN_HEIGHT);
}

}  // namespace
