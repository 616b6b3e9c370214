#include "core/framebuffer.h"
#include "core/clock.h"
#include "core/expand.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) {
    return r << 24 | g << 16 | b << 8;
}

TEST(Palette, StandardColoursUseTheExactLevels) {
    const struct {
        int index;
        uint32_t colour;
    } cases[] = {
        {0, rgb(0, 0, 0)},           {1, rgb(0, 0, 0xA8)},        {6, rgb(0xA8, 0x57, 0)},
        {7, rgb(0xA8, 0xA8, 0xA8)},  {8, rgb(0x57, 0x57, 0x57)},  {9, rgb(0x57, 0x57, 0xFF)},
        {14, rgb(0xFF, 0xFF, 0x57)}, {15, rgb(0xFF, 0xFF, 0xFF)},
    };
    for (const auto& c : cases) EXPECT_EQ(palette[c.index], c.colour) << c.index;
}

TEST(Palette, GreysRingsAndBlackTail) {
    const uint8_t greys[16] = {0x00, 0x17, 0x20, 0x2F, 0x38, 0x47, 0x50, 0x60,
                               0x70, 0x80, 0x90, 0xA0, 0xB7, 0xC8, 0xE0, 0xFF};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(palette[16 + i], rgb(greys[i], greys[i], greys[i]));

    const struct {
        int index;
        uint32_t colour;
    } rings[] = {
        {32, rgb(0x00, 0x00, 0xFF)},  // first ring starts at blue
        {33, rgb(0x40, 0x00, 0xFF)},  {36, rgb(0xFF, 0x00, 0xFF)},  {40, rgb(0xFF, 0x00, 0x00)},
        {42, rgb(0xFF, 0x7F, 0x00)},  {44, rgb(0xFF, 0xFF, 0x00)},  {48, rgb(0x00, 0xFF, 0x00)},
        {55, rgb(0x00, 0x40, 0xFF)},  {56, rgb(0x7F, 0x7F, 0xFF)},  {80, rgb(0xB7, 0xB7, 0xFF)},
        {104, rgb(0x00, 0x00, 0x70)}, {113, rgb(0x70, 0x1F, 0x00)}, {128, rgb(0x38, 0x38, 0x70)},
        {152, rgb(0x50, 0x50, 0x70)}, {176, rgb(0x00, 0x00, 0x40)}, {200, rgb(0x20, 0x20, 0x40)},
        {224, rgb(0x2F, 0x2F, 0x40)}, {247, rgb(0x2F, 0x30, 0x40)},
    };
    for (const auto& c : rings) EXPECT_EQ(palette[c.index], c.colour) << c.index;
    for (int i = 248; i < 256; ++i) EXPECT_EQ(palette[i], 0u) << i;
    for (uint32_t c : palette) EXPECT_EQ(c & 0xFF, 0u) << "bits 7-0 are zero";
}

class Expansion : public ::testing::Test {
   protected:
    std::vector<uint8_t> src = std::vector<uint8_t>(FRAME_WIDTH * FRAME_HEIGHT, 0);
    std::vector<uint32_t> dst = std::vector<uint32_t>(SCREEN_WIDTH * SCREEN_HEIGHT, 0xDEADBEEF);

    void expand() {
        expand_frame(rgbx_surface_palette(), src.data(), FRAME_WIDTH, FRAME_HEIGHT, dst.data(),
                     SCREEN_WIDTH * 4);
    }
    uint32_t at(int x, int y) const { return dst[y * SCREEN_WIDTH + x]; }
};

TEST_F(Expansion, FillsEveryDestinationPixel) {
    std::fill(src.begin(), src.end(), 15);
    expand();
    for (uint32_t c : dst) ASSERT_EQ(c, rgb(0xFF, 0xFF, 0xFF));
    std::fill(src.begin(), src.end(), 6);
    expand();
    for (uint32_t c : dst) ASSERT_EQ(c, rgb(0xA8, 0x57, 0x00));
}

TEST_F(Expansion, OnePixelLightsExactlyItsTwoByTwoBlock) {
    src[239 * FRAME_WIDTH + 399] = 15;
    expand();
    for (int y = 0; y < SCREEN_HEIGHT; ++y)
        for (int x = 0; x < SCREEN_WIDTH; ++x) {
            bool lit = x >= 798 && y >= 478;
            ASSERT_EQ(at(x, y), lit ? palette[15] : 0u) << x << "," << y;
        }
}

TEST_F(Expansion, HonoursALargerPitch) {
    const int pitch_pixels = SCREEN_WIDTH + 16;
    std::vector<uint32_t> wide(pitch_pixels * SCREEN_HEIGHT, 0xDEADBEEF);
    src[0] = 4;
    src[FRAME_WIDTH] = 2;
    expand_frame(rgbx_surface_palette(), src.data(), FRAME_WIDTH, FRAME_HEIGHT, wide.data(),
                 pitch_pixels * 4);
    EXPECT_EQ(wide[pitch_pixels], palette[4]);
    EXPECT_EQ(wide[2 * pitch_pixels], palette[2]);
    EXPECT_EQ(wide[SCREEN_WIDTH], 0xDEADBEEFu) << "the padding beyond a row is not written";
}

TEST(FrameStorage, ClearPutAndPlot) {
    frame_attach_storage();
    ASSERT_EQ(framebuffer.width, 400);
    ASSERT_EQ(framebuffer.height, 240);
    clear_frame(9);
    EXPECT_EQ(framebuffer.pixels[0], 9);
    EXPECT_EQ(framebuffer.pixels[400 * 240 - 1], 9);
    put_pixel(399, 239, 3);
    EXPECT_EQ(framebuffer.pixels[400 * 240 - 1], 3);
    set_draw_colour(77);
    plot_pixel(1, 2);
    EXPECT_EQ(framebuffer.pixels[2 * 400 + 1], 77);
}

TEST(Pacing, WaitsOutTheRestOfSeventeenMilliseconds) {
    const struct {
        uint32_t stamp, now, wait;
    } cases[] = {
        {1000, 1005, 12},    {1000, 1001, 16}, {1000, 1016, 1},
        {1000, 1017, 0},     {1000, 1030, 0},  {1000, 1000, 0},  // a 0 ms frame is not held
        {0xFFFFFFFE, 3, 12},                                     // the clock wrapped: 5 ms
        {5, 0xFFFFFFF0, 0},                                      // clock behind the stamp
    };
    for (const auto& c : cases)
        EXPECT_EQ(pacing_delay(c.stamp, c.now), c.wait) << c.stamp << " -> " << c.now;
}

TEST(FrameRateLine, FormatsAndSurvivesZero) {
    const struct {
        uint32_t elapsed;
        const char* line;
    } cases[] = {{17, "FPS: 58.8\r"},
                 {1000, "FPS: 1.0\r"},
                 {2000, "FPS: 0.5\r"},
                 {1, "FPS: 1000.0\r"},
                 {0, "FPS: inf\r"}};
    for (const auto& c : cases) {
        char line[64];
        int n = format_fps_line(line, sizeof line, c.elapsed);
        EXPECT_STREQ(line, c.line);
        EXPECT_EQ(n, static_cast<int>(std::strlen(c.line)));
    }
}

}  // namespace
